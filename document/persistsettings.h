// The analysis document's persistence in the host document: the settings container (kept in the module's child
// data of the host chart data), two window placements and the table's column order, widths and number formats,
// saved into and loaded from the host document's stream.
#pragma once

#include "document/chartdatachilddata.h"
#include "foundation/windowplacement.h"
#include "platform/com/objidl.h"

class TVF_TableViewMgr;

namespace CX {
class ParamCatalogue;
class TableViewData;
} // namespace CX

namespace CX::Doc {

// {B3E1C6A4-52D8-4F17-9C2B-7A0E4D61F853}: the module's persistence class.
inline constexpr CLSID CLSID_CXPersistSettings{
    0xB3E1C6A4, 0x52D8, 0x4F17, {0x9C, 0x2B, 0x7A, 0x0E, 0x4D, 0x61, 0xF8, 0x53}};

// What the persistence needs of its document: the table objects, made when missing (null when they cannot be).
struct PersistTables {
    virtual TVF_TableViewMgr* TableManager() = 0;
    virtual TableViewData* TableData() = 0;

protected:
    ~PersistTables() = default;
};

class PersistSettings final : public IPersistStreamInit {
public:
    static constexpr LONG kVersion = 1;
    static constexpr LONG kCheckWord = 787;

    // Finds or makes the child data of the host document's chart data at once.
    PersistSettings(IUnknown* hostDocument, PersistTables& tables);
    PersistSettings(const PersistSettings&) = delete;
    PersistSettings& operator=(const PersistSettings&) = delete;

    // The catalogue every settings container of the module is built over; it lives as long as the process, so a
    // container the host keeps (or clones) after its document has gone never points at a deleted catalogue.
    static const ParamCatalogue& Catalogue();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetClassID(CLSID* classId) override;
    HRESULT IsDirty() override { return dirty ? S_OK : S_FALSE; }
    // S_OK when both check words are 787, the table state and column formats were read and neither placement was
    // bad; else E_FAIL, keeping what was read.
    HRESULT Load(IStream* stream) override;
    // A failure when any write failed; only a successful save clears `dirty`.
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    // Fresh default settings when attached or loaded (S_OK); otherwise nothing changes (S_FALSE).
    HRESULT InitNew() override;

    // The settings container of the child data, made empty when missing.
    SettingsSet& Settings();
    // Binds the detection settings to the host document and adds a group for the source channel (setting 2001).
    void Open();
    ChartDataChildData* ChildData() const { return childData_.Get(); }

    KVO::WindowPlacement placement1;
    KVO::WindowPlacement placement2;
    bool loaded = false;
    bool dirty = false;
    bool attached = false;

private:
    void WriteState(KVO::BinOStream& out);
    bool ReadState(KVO::BinIStream& in);

    IUnknown* hostDocument_; // not held: the document holds it
    PersistTables& tables_;
    platform::ComPtr<ChartDataChildData> childData_;
    // Without a host chart data the settings still have a home.
    std::unique_ptr<SettingsSet> ownSettings_;
};

} // namespace CX::Doc
