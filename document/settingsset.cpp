#include "document/settingsset.h"

#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "foundation/binstream.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <iterator>

namespace CX::Doc {

namespace {

constexpr std::int32_t kRecordVersion = 1;
constexpr std::int32_t kContainerMarker = 347;
constexpr std::int32_t kSettingMarker = 777;
constexpr std::int32_t kGlobalCategory = 4;
constexpr std::uint32_t kGlobalTypeMask = 31; // types 0 to 4
constexpr std::int32_t kParameterCategory = 3;
constexpr double kLargest = DBL_MAX;

// The smallest records a count can stand for: a setting (tag, id, the empty string, marker) and a channel (key,
// version, count).
constexpr std::uint64_t kMinSettingRecordBytes = 4 + 4 + 12 + 2 + 4;
constexpr std::uint64_t kMinChannelRecordBytes = 4 + 4 + 4;

struct SettingRow {
    std::int32_t id;
    std::int32_t kind;
    std::int32_t category;
    std::uint32_t typeMask;
    double defaultValue; // 0 or 1 for the on/off settings
    double minimum;
    double maximum;
};

// The settings of a source channel, in the order they are stored and copied.
constexpr SettingRow kChannelSettings[] = {
    {1005, kSettingDouble, 0, 24, 50, 0, 2000000000},
    {1003, kSettingDouble, 0, 24, 1, 0, 99999},
    {1002, kSettingDouble, 0, 8, 1, 0, kLargest},
    {1028, kSettingDouble, 0, 16, 0.0005, 0, kLargest},
    {1000, kSettingInt, 0, 24, 4, 2, 5},
    {1004, kSettingDouble, 0, 24, 10, 0, 99999},
    {1006, kSettingDouble, 1, 10, 0.03, 0, kLargest},
    {1007, kSettingDouble, 1, 8, 0, 0, 99999},
    {1008, kSettingDouble, 1, 8, 100, 0, 99999},
    {1009, kSettingBool, 1, 10, 1, 0, 0},
    {1010, kSettingDetection, 1, 5, 0, 0, 0},
    {1001, kSettingDouble, 1, 2, 50, 0, 99999},
    {1035, kSettingDouble, 1, 32, 4, 0, 99999},
    {1027, kSettingDouble, 1, 24, 10, 0, 99999},
    {1036, kSettingBool, 1, 34, 1, 0, 0},
    {1039, kSettingInt, 5, 15, 0, 0, 3},
    {1040, kSettingDouble, 5, 15, 0, -kLargest, kLargest},
    {1033, kSettingInt, 5, 15, 5, 5, 99},
    {1034, kSettingInt, 5, 32, 12, 5, 99},
    {1041, kSettingInt, 5, 47, 0, 0, 99},
    {1011, kSettingInt10, 2, 2, 40, 0, 100},
    {1012, kSettingInt10, 2, 2, 90, 0, 100},
    {1013, kSettingInt, 2, 2, 50, 0, 100},
    {1014, kSettingDouble, 2, 2, 5, 0, 99999},
    {1015, kSettingDouble, 2, 13, 5, 0, 99999},
    {1016, kSettingDouble, 2, 13, 10, 0, 99999},
    {1017, kSettingInt, 2, 43, 10, 0, 100},
    {1018, kSettingInt, 2, 43, 90, 0, 100},
    {1019, kSettingBool, 2, 0, 1, 0, 0},
    {1037, kSettingInt, 2, 13, 1, 0, 3},
    {1038, kSettingDouble, 2, 1, 0, -kLargest, kLargest},
    {1020, kSettingDouble, 2, 1, 10, 0, 99999},
    {1021, kSettingDouble, 2, 1, 11, 0, 99999},
    {1022, kSettingDouble, 2, 8, 10, 0, 99999},
    {1023, kSettingDouble, 2, 16, 10, 0, 99999},
    {1024, kSettingDouble, 2, 16, 20, 0, 99999},
    {1025, kSettingInt, 2, 2, 30, 0, 100},
    {1026, kSettingDouble, 2, 2, 5, 0, 99999},
    {1029, kSettingInt, 2, 13, 50, 0, 100},
    {1030, kSettingInt, 2, 13, 0, 0, 100},
    {1031, kSettingInt, 2, 34, 5, 0, 99999},
    {1032, kSettingDouble, 2, 34, 4, 0.1, 100},
};

constexpr SettingRow Global(std::int32_t id, std::int32_t kind, double value, double minimum = 0, double maximum = 0)
{
    return {id, kind, kGlobalCategory, kGlobalTypeMask, value, minimum, maximum};
}

constexpr double kIntMax = INT_MAX;

constexpr SettingRow kGlobalSettings[] = {
    Global(2000, kSettingInt, 0, 0, 6),
    Global(2001, kSettingLong, 0, 0, 32),
    Global(2023, kSettingLong, -1, -1, kIntMax),
    Global(2024, kSettingLong, -1, -1, kIntMax),
    Global(2025, kSettingLong, -1, -1, kIntMax),
    Global(2002, kSettingBool, 1),
    Global(2003, kSettingInt, 0, 0, 4),
    Global(2004, kSettingBool, 0),
    Global(2005, kSettingLong, -1, -1, kIntMax),
    Global(2006, kSettingLong, -1, -1, kIntMax),
    Global(2007, kSettingLong, -1, -1, kIntMax),
    Global(2008, kSettingLong, -1, -1, kIntMax),
    Global(2009, kSettingBool, 0),
    Global(2010, kSettingBool, 1),
    Global(2011, kSettingBool, 0),
    Global(2012, kSettingBool, 1),
    Global(2013, kSettingBool, 1),
    Global(2014, kSettingBool, 1),
    Global(2015, kSettingBool, 1),
    Global(2016, kSettingBool, 1),
    Global(2017, kSettingBool, 1),
    Global(2018, kSettingBool, 1),
    Global(2019, kSettingBool, 1),
    Global(2020, kSettingBool, 1),
    Global(2021, kSettingBool, 1),
    Global(2022, kSettingBool, 1),
    Global(2026, kSettingBool, 0),
    Global(2027, kSettingDouble, 0, -kLargest, kLargest),
    Global(2028, kSettingDouble, 0, -kLargest, kLargest),
    Global(2029, kSettingDouble, 0, -kLargest, kLargest),
    Global(2030, kSettingDouble, 0, -kLargest, kLargest),
};

// The parameter codes that have an on/off setting, in stored order, with their defaults.
struct ParameterColumn {
    std::int32_t code;
    bool on;
};

constexpr ParameterColumn kParameterColumns[] = {
    {0, true},   {1, false},  {2, true},   {3, true},   {4, true},   {5, true},   {9, true},   {10, false},
    {11, true},  {12, true},  {13, true},  {14, true},  {15, true},  {16, true},  {17, true},  {18, true},
    {19, true},  {20, true},  {21, true},  {23, false}, {24, false}, {25, true},  {26, false}, {27, true},
    {28, false}, {29, false}, {30, false}, {31, true},  {32, false}, {33, true},  {34, false}, {35, false},
    {36, false}, {37, true},  {38, false}, {39, false}, {40, false}, {41, false}, {42, true},  {43, true},
    {44, true},  {45, true},  {52, true},  {46, false}, {47, true},  {48, false}, {49, true},  {50, true},
    {53, true},  {54, true},  {55, true},  {56, true},  {57, true},  {58, false},
};

CXSetting* MakeSetting(const SettingRow& row)
{
    const auto whole = [](double value) { return static_cast<std::int32_t>(value); };
    switch (row.kind) {
    case kSettingBool:
        return new CXSetting_Bool(row.id, row.category, row.typeMask, row.defaultValue != 0);
    case kSettingInt:
        return new CXSettingInt(row.id, row.category, row.typeMask, whole(row.defaultValue), whole(row.minimum),
                                whole(row.maximum));
    case kSettingInt10:
        return new CXSetting_Int10(row.id, row.category, row.typeMask, whole(row.defaultValue), whole(row.minimum),
                                   whole(row.maximum));
    case kSettingLong:
        return new CXSettingLong(row.id, row.category, row.typeMask, whole(row.defaultValue), whole(row.minimum),
                                 whole(row.maximum));
    case kSettingDouble:
        return new CXSettingDouble(row.id, row.category, row.typeMask, row.defaultValue, row.minimum, row.maximum);
    default:
        return new CXSetting_LMDetSet;
    }
}

// The number of records of at least `recordBytes` that the rest of the stream can hold; `count` when the stream
// cannot tell.
std::int32_t BoundedCount(KVO::BinIStream& in, std::int32_t count, std::uint64_t recordBytes)
{
    if (count <= 0) {
        return 0;
    }
    std::streambuf* buffer = in.Buffer();
    if (!buffer) {
        return count;
    }
    constexpr auto side = std::ios_base::in;
    const std::streamoff here = buffer->pubseekoff(0, std::ios_base::cur, side);
    if (here < 0) {
        return count;
    }
    const std::streamoff end = buffer->pubseekoff(0, std::ios_base::end, side);
    if (buffer->pubseekpos(here, side) != std::streampos(here)) {
        in.SetFailure(KVO::BinStream::kShortTransfer);
        return 0;
    }
    if (end < here) {
        return count;
    }
    const std::uint64_t fits = static_cast<std::uint64_t>(end - here) / recordBytes;
    return static_cast<std::int32_t>(std::min<std::uint64_t>(fits, static_cast<std::uint64_t>(count)));
}

LONG ReadLongOrZero(KVO::BinIStream& in)
{
    LONG value = 0;
    in.ReadLong(&value);
    return value;
}

} // namespace

// ---- SettingsGroup ----

bool SettingsGroup::IsValid(std::int32_t analysisType) const
{
    const std::uint32_t bit = AnalysisTypeBit(analysisType);
    return std::none_of(settings_.begin(), settings_.end(), [bit](const CXSetting* setting) {
        return (setting->TypeMask() & bit) != 0 && !setting->IsValid();
    });
}

namespace {
constexpr auto kIdBelow = [](const auto& entry, std::int32_t id) { return entry.id < id; };
}

SettingsGroup::Index SettingsGroup::MakeIndex() const
{
    Index index;
    index.sorted.reserve(Count());
    for (std::uint32_t position = 0; position < Count(); ++position) {
        const std::int32_t id = At(position)->Id();
        const auto at = std::lower_bound(index.sorted.begin(), index.sorted.end(), id, kIdBelow);
        if (at == index.sorted.end() || at->id != id) {
            index.sorted.insert(at, IndexEntry{id, position});
        }
    }
    // The ids of the groups are small numbers (at most a few thousand): a table finds them without a search.
    constexpr std::int32_t kDenseIds = 4096;
    index.dense.assign(kDenseIds, -1);
    for (const IndexEntry& entry : index.sorted) {
        if (entry.id >= 0 && entry.id < kDenseIds) {
            index.dense[static_cast<std::size_t>(entry.id)] = static_cast<std::int32_t>(entry.position);
        }
    }
    return index;
}

CXSetting* SettingsGroup::Find(std::int32_t id) const
{
    if (!index_) {
        const auto found =
            std::find_if(settings_.begin(), settings_.end(), [id](const CXSetting* s) { return s->Id() == id; });
        return found == settings_.end() ? nullptr : *found;
    }
    if (id >= 0 && static_cast<std::size_t>(id) < index_->dense.size()) {
        const std::int32_t position = index_->dense[static_cast<std::size_t>(id)];
        return position < 0 ? nullptr : settings_.At(static_cast<std::uint32_t>(position));
    }
    const auto found = std::lower_bound(index_->sorted.begin(), index_->sorted.end(), id, kIdBelow);
    return found == index_->sorted.end() || found->id != id ? nullptr : settings_.At(found->position);
}

void SettingsGroup::CopyValues(const SettingsGroup& other)
{
    if (&other == this) {
        return;
    }
    const std::uint32_t count = std::min(Count(), other.Count());
    for (std::uint32_t i = 0; i < count; ++i) {
        CXSetting* own = At(i);
        const CXSetting* theirs = other.At(i);
        if (own && theirs && !own->CopyFrom(*theirs)) {
            own->FromText(theirs->ToText(true), true);
        }
    }
}

void SettingsGroup::Write(KVO::BinOStream& out) const
{
    out.WriteLong(kRecordVersion);
    out.WriteLong(static_cast<LONG>(Count()));
    // Each record is tag (0), id, text, marker; a marker goes out with the next record's tag and id.
    bool first = true;
    for (const CXSetting* setting : settings_) {
        if (first) {
            out.WriteLongs({0, setting->Id()});
            first = false;
        } else {
            out.WriteLongs({kSettingMarker, 0, setting->Id()});
        }
        setting->WriteClassicText(out);
    }
    if (!first) {
        out.WriteLong(kSettingMarker);
    }
}

void SettingsGroup::Read(KVO::BinIStream& in)
{
    if (!in.Good()) {
        return;
    }
    const LONG version = ReadLongOrZero(in);
    const LONG count = ReadLongOrZero(in);
    if (!in.Good()) {
        return;
    }
    const std::int32_t records = BoundedCount(in, count, kMinSettingRecordBytes);
    KVO::String text; // one for every record: a text no setting kept is read into the same memory
    for (std::int32_t i = 0; i < records && in.Good(); ++i) {
        LONG tagAndId[2] = {0, 0};
        in.ReadLongs(tagAndId, 2);
        const LONG id = tagAndId[1];
        in.ReadString(text);
        ReadLongOrZero(in); // marker
        if (!in.Good()) {
            return; // the record was cut: nothing of it is applied
        }
        if (CXSetting* setting = Find(id)) {
            setting->FromText(text, true);
        }
    }
    if (in.Good() && version < 1) {
        UpgradeFromVersion0();
    }
}

GlobalSettings::GlobalSettings() : SettingsGroup(static_cast<std::uint32_t>(std::size(kGlobalSettings)))
{
    for (const SettingRow& row : kGlobalSettings) {
        Add(MakeSetting(row));
    }
    static const Index index = MakeIndex();
    ShareIndex(index);
}

Settings1::Settings1(const ParamCatalogue* catalogue)
    : SettingsGroup(static_cast<std::uint32_t>(std::size(kChannelSettings) + std::size(kParameterColumns)))
{
    for (const SettingRow& row : kChannelSettings) {
        Add(MakeSetting(row));
    }
    for (const ParameterColumn& column : kParameterColumns) {
        static_assert(AnalysisTypeBit(0) == 1 && AnalysisTypeBit(ParamCatalogue::kTypeCount - 1) ==
                                                     1u << (ParamCatalogue::kTypeCount - 1));
        const std::uint32_t mask = catalogue ? catalogue->OfferMask(column.code) : 0;
        Add(new CXSetting_Bool(column.code, kParameterCategory, mask, column.on));
    }
    static const Index index = MakeIndex(); // the ids do not depend on the catalogue
    ShareIndex(index);
}

void Settings1::UpgradeFromVersion0()
{
    const auto* tauFit = dynamic_cast<const CXSetting_Bool*>(Find(SettingId::kTauFitOld));
    auto* tauMode = dynamic_cast<CXSettingInt*>(Find(SettingId::kTauMode));
    if (tauFit && tauMode) {
        tauMode->SetValue(tauFit->Value() ? 1 : 0);
    }
}

CXSetting_LMDetSet* Settings1::DetectionSetting() const
{
    return dynamic_cast<CXSetting_LMDetSet*>(Find(SettingId::kDetectionSettings));
}

// ---- SettingsSet ----

SettingsSet::SettingsSet(const ParamCatalogue* catalogue) : catalogue_(catalogue) {}

SettingsSet::SettingsSet(const SettingsSet& other) : catalogue_(other.catalogue_) { Assign(other); }

SettingsSet::~SettingsSet() = default;

Settings1* SettingsSet::Channel(std::int32_t key) const
{
    const std::int32_t index = IndexOfChannel(key);
    return index < 0 ? nullptr : channels_.At(static_cast<std::uint32_t>(index));
}

std::int32_t SettingsSet::IndexOfChannel(std::int32_t key) const
{
    for (std::uint32_t i = 0; i < channels_.Count(); ++i) {
        if (channels_.At(i)->Key() == key) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

CXSetting* SettingsSet::Find(std::int32_t id) const
{
    if (SettingId::IsGlobal(id)) {
        return global_.Find(id);
    }
    const Settings1* group = Channel(GetLong(SettingId::kSourceChannel));
    return group ? group->Find(id) : nullptr;
}

template <class T>
T* SettingsSet::FindAs(std::int32_t id) const
{
    return dynamic_cast<T*>(Find(id));
}

bool SettingsSet::GetBool(std::int32_t id) const
{
    const auto* setting = FindAs<CXSetting_Bool>(id);
    return setting && setting->Value();
}

void SettingsSet::SetBool(std::int32_t id, bool value)
{
    if (auto* setting = FindAs<CXSetting_Bool>(id)) {
        setting->SetValue(value);
    }
}

std::int32_t SettingsSet::GetInt(std::int32_t id) const
{
    const auto* setting = FindAs<CXSettingInt>(id);
    return setting ? setting->Value() : 0;
}

void SettingsSet::SetInt(std::int32_t id, std::int32_t value)
{
    if (auto* setting = FindAs<CXSettingInt>(id)) {
        setting->SetValue(value);
    }
}

std::int32_t SettingsSet::GetLong(std::int32_t id) const
{
    const auto* setting = GetLongSetting(id);
    return setting ? setting->Value() : 0;
}

void SettingsSet::SetLong(std::int32_t id, std::int32_t value)
{
    if (auto* setting = GetLongSetting(id)) {
        setting->SetValue(value);
    }
}

double SettingsSet::GetDouble(std::int32_t id) const
{
    const auto* setting = FindAs<CXSettingDouble>(id);
    return setting ? setting->Value() : 0.0;
}

void SettingsSet::SetDouble(std::int32_t id, double value)
{
    if (auto* setting = FindAs<CXSettingDouble>(id)) {
        setting->SetValue(value);
    }
}

CXSettingLong* SettingsSet::GetLongSetting(std::int32_t id) const
{
    // The source channel is looked up without Find, which itself asks for the source channel.
    return dynamic_cast<CXSettingLong*>(SettingId::IsGlobal(id) ? global_.Find(id) : Find(id));
}

ILMDetectionSettings* SettingsSet::DetectionSettingsObject() const
{
    const auto* setting = FindAs<CXSetting_LMDetSet>(SettingId::kDetectionSettings);
    return setting ? setting->Object() : nullptr;
}

namespace {
void TellChannelKey(const Settings1& group)
{
    if (const CXSetting_LMDetSet* setting = group.DetectionSetting(); setting && setting->Object()) {
        setting->Object()->SetParameter(0, group.Key());
    }
}
} // namespace

void SettingsSet::AddChannel(std::int32_t key, std::int32_t copyFromKey, IUnknown* hostDocument)
{
    if (Channel(key)) {
        return;
    }
    auto* group = new Settings1(catalogue_);
    channels_.Add(group);
    group->SetKey(key);
    if (hostDocument) {
        if (CXSetting_LMDetSet* setting = group->DetectionSetting()) {
            setting->Bind(hostDocument);
        }
        TellChannelKey(*group);
    }
    if (copyFromKey >= 0) {
        if (const Settings1* source = Channel(copyFromKey); source && source != group) {
            group->CopyValues(*source);
            TellChannelKey(*group);
        }
    }
}

void SettingsSet::BindDetectionSettings(IUnknown* hostDocument)
{
    for (Settings1* group : channels_) {
        if (CXSetting_LMDetSet* setting = group->DetectionSetting()) {
            setting->Bind(hostDocument);
        }
        TellChannelKey(*group);
    }
}

void SettingsSet::Assign(const SettingsSet& other)
{
    if (&other == this) {
        return; // deleting the own groups first would lose them
    }
    global_.CopyValues(other.global_);
    channels_.RemoveAll();
    for (const Settings1* theirs : other.channels_) {
        AddChannel(theirs->Key());
        Channel(theirs->Key())->CopyValues(*theirs);
    }
}

void SettingsSet::Write(KVO::BinOStream& out) const
{
    out.WriteLong(kRecordVersion);
    out.WriteLong(kContainerMarker);
    global_.Write(out);
    out.WriteLong(static_cast<LONG>(channels_.Count()));
    for (const Settings1* group : channels_) {
        out.WriteLong(group->Key());
        group->Write(out);
    }
    out.WriteLong(kContainerMarker);
}

void SettingsSet::Read(KVO::BinIStream& in)
{
    if (!in.Good()) {
        return;
    }
    LONG version = 0;
    if (FAILED(in.ReadLong(&version)) || version < 1) {
        return;
    }
    ReadLongOrZero(in); // marker
    global_.Read(in);
    const std::int32_t channels = BoundedCount(in, ReadLongOrZero(in), kMinChannelRecordBytes);
    for (std::int32_t i = 0; i < channels && in.Good(); ++i) {
        const LONG key = ReadLongOrZero(in);
        if (!in.Good()) {
            break;
        }
        AddChannel(key);
        Channel(key)->Read(in);
    }
    ReadLongOrZero(in); // marker
}

// ---- the settings dialog's list of analysis types ----

namespace {
constexpr std::int32_t kListPositions[] = {0, 5, 3, 1, 2, 4};
}

std::int32_t TypeListPosition(std::int32_t analysisType)
{
    return analysisType >= 0 && analysisType < static_cast<std::int32_t>(std::size(kListPositions))
               ? kListPositions[analysisType]
               : -1;
}

std::int32_t AnalysisTypeAtListPosition(std::int32_t position)
{
    const auto* found = std::find(std::begin(kListPositions), std::end(kListPositions), position);
    return found == std::end(kListPositions) ? -1 : static_cast<std::int32_t>(found - std::begin(kListPositions));
}

} // namespace CX::Doc
