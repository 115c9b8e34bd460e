// The settings of one host document: a group of global settings and one group per source channel, looked up by
// id, copied deeply, and stored in the tagged stream format.
#pragma once

#include "document/cxsetting.h"
#include "foundation/arrays.h"

#include <cstdint>
#include <vector>

namespace KVO {
class BinIStream;
class BinOStream;
}

namespace CX {
class ParamCatalogue;
}

namespace CX::Doc {

class SettingsGroup {
public:
    SettingsGroup() = default;
    // A group that will hold this many settings, with room for them made at once.
    explicit SettingsGroup(std::uint32_t capacity) : settings_(capacity, 8, true) {}
    SettingsGroup(const SettingsGroup&) = delete;
    SettingsGroup& operator=(const SettingsGroup&) = delete;
    virtual ~SettingsGroup() = default;

    // False as soon as a setting that the analysis type checks is invalid.
    virtual bool IsValid(std::int32_t analysisType) const;
    // Run after reading a group record written before version 1.
    virtual void UpgradeFromVersion0() {}

    // The first setting with the id, or null.
    CXSetting* Find(std::int32_t id) const;
    // Copies the values of a group built by the same constructor, position by position.
    void CopyValues(const SettingsGroup& other);
    void Write(KVO::BinOStream& out) const;
    void Read(KVO::BinIStream& in);

    std::uint32_t Count() const { return settings_.Count(); }
    CXSetting* At(std::uint32_t index) const { return settings_.At(index); }

protected:
    struct IndexEntry {
        std::int32_t id;
        std::uint32_t position;
    };
    struct Index {
        std::vector<IndexEntry> sorted;  // every id, by id
        std::vector<std::int32_t> dense; // ids 0 to dense.size() - 1 straight to their position (-1: none)
    };

    void Add(CXSetting* setting) { settings_.Add(setting); }
    // The position of the first setting with each id, sorted by id.
    Index MakeIndex() const;
    // A group whose settings always have the same ids in the same order shares one index, made once: a stream names
    // every setting by id, and a search per setting would cost more than the rest of reading it.
    void ShareIndex(const Index& index) { index_ = &index; }

private:
    CIArray<CXSetting> settings_{0, 8, true}; // doubling: a channel's group holds nearly a hundred
    const Index* index_ = nullptr; // none: Find searches
};

class GlobalSettings : public SettingsGroup {
public:
    GlobalSettings();
};

// The settings of one source channel, then one on/off setting per parameter code of the catalogue.
class Settings1 : public SettingsGroup {
public:
    explicit Settings1(const ParamCatalogue* catalogue);

    void UpgradeFromVersion0() override;

    std::int32_t Key() const { return key_; }
    void SetKey(std::int32_t key) { key_ = key; }
    CXSetting_LMDetSet* DetectionSetting() const;

private:
    std::int32_t key_ = 1;
};

class SettingsSet {
public:
    explicit SettingsSet(const ParamCatalogue* catalogue);
    SettingsSet(const SettingsSet& other);
    SettingsSet& operator=(const SettingsSet&) = delete;
    ~SettingsSet();

    // Ids 2000 to 2999 in the global group, every other in the group of the source channel (setting 2001).
    CXSetting* Find(std::int32_t id) const;
    std::int32_t IndexOfChannel(std::int32_t key) const;
    std::uint32_t ChannelCount() const { return channels_.Count(); }
    Settings1* ChannelAt(std::uint32_t index) const { return channels_.At(index); }
    GlobalSettings& Global() { return global_; }
    const GlobalSettings& Global() const { return global_; }
    const ParamCatalogue* Catalogue() const { return catalogue_; }

    // Typed access. A missing id or one of another class reads as false or 0 and is not written.
    bool GetBool(std::int32_t id) const;
    void SetBool(std::int32_t id, bool value);
    std::int32_t GetInt(std::int32_t id) const; // also the step-of-ten settings
    void SetInt(std::int32_t id, std::int32_t value);
    std::int32_t GetLong(std::int32_t id) const;
    void SetLong(std::int32_t id, std::int32_t value);
    double GetDouble(std::int32_t id) const;
    void SetDouble(std::int32_t id, double value);
    CXSettingLong* GetLongSetting(std::int32_t id) const;
    // The detection settings of the source channel (no reference added), or null.
    ILMDetectionSettings* DetectionSettingsObject() const;

    // Adds a group for the channel unless it exists; binds its detection settings to the host document when one
    // is given, and copies the values of the group of copyFromKey when that exists.
    void AddChannel(std::int32_t key, std::int32_t copyFromKey = -1, IUnknown* hostDocument = nullptr);
    void BindDetectionSettings(IUnknown* hostDocument);
    // Becomes a deep copy of the other container.
    void Assign(const SettingsSet& other);

    void Write(KVO::BinOStream& out) const;
    void Read(KVO::BinIStream& in);

private:
    Settings1* Channel(std::int32_t key) const;
    template <class T>
    T* FindAs(std::int32_t id) const;

    const ParamCatalogue* catalogue_;
    GlobalSettings global_;
    CIArray<Settings1> channels_{0, 8};
};

// Where the settings dialog lists an analysis type (0 -> 0, 1 -> 5, 2 -> 3, 3 -> 1, 4 -> 2, 5 -> 4), and back;
// -1 for anything else.
std::int32_t TypeListPosition(std::int32_t analysisType);
std::int32_t AnalysisTypeAtListPosition(std::int32_t position);

} // namespace CX::Doc
