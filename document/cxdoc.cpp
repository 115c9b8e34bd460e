#include "foundation/comobject.h"
#include "document/cxdoc.h"

#include "document/docmessages.h"
#include "document/paramcatalogue.h"
#include "document/settingdescriptions.h"
#include "document/settingids.h"
#include "document/settingsmessages.h"
#include "foundation/moduleinstance.h"
#include "frame/module.h"
#include "foundation/resourcestring.h"
#include "foundation/stringstream.h"
#include "frame/menucommands.h"
#include "resources/stringtable.h"
#include "sdk/analysisjob.h"
#include "sdk/analysishost.h"
#include "sdk/analysismanager.h"
#include "sdk/calcchannels.h"
#include "sdk/datasource.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvftableviewmgr.h"

#include <sstream>
#include <string>

namespace CX::Doc {

namespace {

// True when the text holds a value of the setting's kind and nothing after it: a flag is "t..." or "f...", a
// number is read whole in the classic form.
bool TextFitsSetting(const CXSetting& setting, const KVO::String& text)
{
    if (text.View().empty()) {
        return false;
    }
    if (setting.Kind() == kSettingBool) {
        return text.View()[0] == u't' || text.View()[0] == u'f';
    }
    if (setting.Kind() == kSettingDetection) {
        return true;
    }
    std::wistringstream in(KVO::ToWide(text.View()));
    in.imbue(std::locale::classic());
    double value = 0.0;
    in >> value;
    return !in.fail() && (in >> std::ws).eof();
}

// A setting's numbers as the settings tables give them (zeros where it holds no number).
void DescribeSetting(const CXSetting& setting, AnalysisSettingInfo& info)
{
    info = AnalysisSettingInfo{setting.Id(), setting.Kind(), setting.TypeMask(), 0, 0.0, 0.0, 0.0};
    if (const auto* flag = dynamic_cast<const CXSetting_Bool*>(&setting)) {
        info.defaultValue = flag->Default() ? 1.0 : 0.0;
    } else if (const auto* whole = dynamic_cast<const CXSettingIO<std::int32_t, kSettingInt>*>(&setting)) {
        info = {setting.Id(), setting.Kind(), setting.TypeMask(), 0, static_cast<double>(whole->Default()),
                static_cast<double>(whole->Minimum()), static_cast<double>(whole->Maximum())};
    } else if (const auto* count = dynamic_cast<const CXSettingLong*>(&setting)) {
        info = {setting.Id(), setting.Kind(), setting.TypeMask(), 0, static_cast<double>(count->Default()),
                static_cast<double>(count->Minimum()), static_cast<double>(count->Maximum())};
    } else if (const auto* number = dynamic_cast<const CXSettingDouble*>(&setting)) {
        info = {setting.Id(), setting.Kind(), setting.TypeMask(), 0, number->Default(), number->Minimum(),
                number->Maximum()};
    }
}

// The first setting of the group that the analysis type checks and finds invalid, or null.
const CXSetting* FirstInvalid(const SettingsGroup& group, std::int32_t analysisType)
{
    const std::uint32_t bit = AnalysisTypeBit(analysisType);
    for (std::uint32_t i = 0; i < group.Count(); ++i) {
        const CXSetting* setting = group.At(i);
        if (setting && (setting->TypeMask() & bit) != 0 && !setting->IsValid()) {
            return setting;
        }
    }
    return nullptr;
}

// The analysis document as a host without windows drives it; holds the document while it lives.
class AnalysisJob final : public platform::UnknownImpl<IAnalysisJob> {
public:
    explicit AnalysisJob(CXDoc& document) : UnknownImpl(IID_IAnalysisJob), document_(&document) {}

    HRESULT Open() override { return document_->Open(); }

    HRESULT SetSettingText(LONG id, IKVOString* text) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            CXSetting* setting = document_->Settings().Find(id);
            KVO::String value;
            value.AssignInterface(text);
            if (!setting || !TextFitsSetting(*setting, value)) {
                return E_INVALIDARG;
            }
            setting->FromText(value, true);
            return S_OK;
        });
    }

    HRESULT Analyse() override
    {
        return KVO::GuardSlot([&]() -> HRESULT { return document_->RunAnalysis() ? S_OK : S_FALSE; });
    }

    HRESULT ExportTable(IKVOString* path) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            TableViewData* table = document_->TableData();
            if (!table) {
                return E_FAIL;
            }
            // The table view's refresh computes the summary before anything shows or exports it.
            table->ComputeSummary();
            return table->ExportText(path);
        });
    }

    HRESULT GetPersistence(IPersistStreamInit** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = &document_->Persistence(); // lives as long as the document, which this object holds
        (*out)->AddRef();
        return S_OK;
    }

    HRESULT GetSettingText(LONG id, IKVOString** text) override
    {
        if (!text) {
            return E_POINTER;
        }
        *text = nullptr;
        return KVO::GuardSlot([&]() -> HRESULT {
            const CXSetting* setting = document_->Settings().Find(id);
            if (!setting) {
                return E_INVALIDARG;
            }
            *text = setting->ToText(true).GetInterface();
            return S_OK;
        });
    }

    HRESULT SelectEvent(LONG index, LONG* count) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            const CycleDetector* results = document_->Results();
            const LONG events = results ? results->EventCount() : 0;
            if (count) {
                *count = events;
            }
            if (index < 0) {
                return S_FALSE;
            }
            if (index >= events) {
                return E_INVALIDARG;
            }
            document_->SelectEvent(index, 0x80000000u);
            return S_OK;
        });
    }

    HRESULT GetSettingInfo(LONG analysisType, LONG index, AnalysisSettingInfo* info,
                           IKVOString** description) override
    {
        if (!info) {
            return E_POINTER;
        }
        if (description) {
            *description = nullptr;
        }
        return KVO::GuardSlot([&]() -> HRESULT {
            if (!tables_) {
                tables_ = std::make_unique<SettingsSet>(&document_->Catalogue());
                tables_->AddChannel(0);
            }
            const SettingsGroup& channel = *tables_->ChannelAt(0);
            const SettingsGroup& global = tables_->Global();
            if (index < 0 || static_cast<std::uint32_t>(index) >= channel.Count() + global.Count()) {
                return S_FALSE;
            }
            const auto at = static_cast<std::uint32_t>(index);
            const CXSetting& setting = *(at < channel.Count() ? channel.At(at) : global.At(at - channel.Count()));
            DescribeSetting(setting, *info);
            if (description) {
                *description =
                    KVO::String(SettingDescription(setting.Id(), analysisType, &document_->Catalogue())).GetInterface();
            }
            return S_OK;
        });
    }

    HRESULT FindInvalidSetting(LONG* id, IKVOString** caption, IKVOString** text) override
    {
        if (!id || !caption || !text) {
            return E_POINTER;
        }
        *id = 0;
        *caption = nullptr;
        *text = nullptr;
        return KVO::GuardSlot([&]() -> HRESULT {
            SettingsSet& settings = document_->Settings();
            const std::int32_t type = settings.GetInt(SettingId::kAnalysisType);
            const CXSetting* invalid = FirstInvalid(settings.Global(), type);
            const std::int32_t channel = settings.IndexOfChannel(settings.GetLong(SettingId::kSourceChannel));
            if (!invalid && channel >= 0) {
                invalid = FirstInvalid(*settings.ChannelAt(static_cast<std::uint32_t>(channel)), type);
            }
            if (!invalid) {
                return S_FALSE;
            }
            SettingsMessage message;
            SettingsMessages::Lookup(invalid->Id(), message);
            // The dialog's words where they explain the setting; a row it lacks, or its placeholder, does not.
            if (message.Caption == u"invalid caption" || message.Caption == u"Internal Error") {
                message.Clear();
            }
            *id = invalid->Id();
            *caption = KVO::String(message.Caption).GetInterface();
            *text = KVO::String(message.Text).GetInterface();
            return S_OK;
        });
    }

    HRESULT GetAnalysisTypeName(LONG analysisType, IKVOString** name) override
    {
        if (!name) {
            return E_POINTER;
        }
        *name = nullptr;
        if (analysisType < 0 || analysisType > 5) {
            return E_INVALIDARG;
        }
        return KVO::GuardSlot([&]() -> HRESULT {
            *name = KVO::String(ParamCatalogue::AnalysisTypeName(analysisType)).GetInterface();
            return S_OK;
        });
    }

    HRESULT CountStimuliWithoutResponse(LONG* count) override
    {
        if (!count) {
            return E_POINTER;
        }
        *count = 0;
        return KVO::GuardSlot([&]() -> HRESULT {
            const CycleDetector* results = document_->Results();
            constexpr std::int32_t kEvokedResponse = 3;
            if (!results || results->AnalysisType() != kEvokedResponse) {
                return S_OK;
            }
            // A stimulus with its response is placed on the response's peak and takes its value; one without has
            // no value of its own.
            for (std::int32_t row = 0; row < results->EventCount(); ++row) {
                *count += Enum::IsFiniteValue(results->EventAt(row).record.value) ? 0 : 1;
            }
            return S_OK;
        });
    }

    HRESULT GetEventValue(LONG index, LONG code, double* value) override
    {
        if (!value) {
            return E_POINTER;
        }
        *value = 0.0;
        return KVO::GuardSlot([&]() -> HRESULT {
            const CycleDetector* results = document_->Results();
            constexpr LONG kLastCode = 57; // 58, the time of day, comes from the event's place, not its record
            if (!results || index < 0 || index >= results->EventCount() || code < 0 || code > kLastCode) {
                return E_INVALIDARG;
            }
            const float measured = results->EventAt(index).record.GetValueById(static_cast<std::uint32_t>(code));
            if (!Enum::IsFiniteValue(measured)) {
                return S_FALSE;
            }
            *value = measured;
            return S_OK;
        });
    }

    HRESULT CountBlocksWithoutStimulus(LONG* without, LONG* blocks) override
    {
        if (!without || !blocks) {
            return E_POINTER;
        }
        *without = 0;
        *blocks = 0;
        return KVO::GuardSlot([&]() -> HRESULT {
            const CycleDetector* results = document_->Results();
            SettingsSet& settings = document_->Settings();
            constexpr std::int32_t kNoStimulusSearch = 5;
            if (!results || (results->AnalysisType() != 3 && results->AnalysisType() != 4) ||
                settings.GetInt(SettingId::kStimulusMode) == kNoStimulusSearch || !document_->HasAnalysedRange()) {
                return S_OK;
            }
            // Every stimulus found gives a row, with or without its response: a block without rows had none.
            const std::vector<std::int32_t>& perBlock = results->EventsPerBlock();
            const std::int32_t last = CXDoc::LastAnalysedBlock(
                {settings.GetLong(SettingId::kRangeEndTick), settings.GetLong(SettingId::kRangeEndBlock)});
            for (std::int32_t block = settings.GetLong(SettingId::kRangeStartBlock); block <= last; ++block) {
                ++*blocks;
                const auto at = static_cast<std::size_t>(block);
                *without += block < 0 || at >= perBlock.size() || perBlock[at] == 0 ? 1 : 0;
            }
            return S_OK;
        });
    }

private:
    platform::ComPtr<CXDoc> document_;
    std::unique_ptr<SettingsSet> tables_; // fresh settings: the tables' defaults, whatever the document holds
};

// {91C4E2B7-3F58-4A06-8D1E-6B7A20C9F354}: answered only by the analysis document itself, with the object.
constexpr IID kOwnDocument{0x91C4E2B7, 0x3F58, 0x4A06, {0x8D, 0x1E, 0x6B, 0x7A, 0x20, 0xC9, 0xF3, 0x54}};

// "Crestmetrics (Channel %1)" with the channel shown 1-based.
std::u16string ChannelTitle(std::int32_t sourceChannel)
{
    const KVO::String format = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::CalcChannelTitle, false);
    std::u16string text(format.c_str());
    const std::string number = std::to_string(static_cast<long long>(sourceChannel) + 1);
    const std::size_t at = text.find(u"%1");
    if (at != std::u16string::npos) {
        text.replace(at, 2, std::u16string(number.begin(), number.end()));
    }
    return text;
}


} // namespace

CAF::MessageMapEntry* CXDoc::MessageMapEntries()
{
    using Map = CAF::MapOf<CXDoc>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Observer<&CXDoc::OnCommentNotice>(&Msg::ChartNoticeId<44>),
        Map::Execute<&CXDoc::OnSettings>(&Msg::DocId<Command::kSettings>),
        Map::Update<&CXDoc::OnUpdateAlwaysEnabled>(&Msg::DocId<Command::kSettings>),
        Map::Execute<&CXDoc::OnOpenAnalysisView>(&Msg::DocId<Command::kAnalysisView>),
        Map::Update<&CXDoc::OnUpdateAlwaysEnabled>(&Msg::DocId<Command::kAnalysisView>),
        Map::Execute<&CXDoc::OnOpenTableView>(&Msg::DocId<Command::kTableView>),
        Map::Update<&CXDoc::OnUpdateAlwaysEnabled>(&Msg::DocId<Command::kTableView>),
        Map::Execute<&CXDoc::OnToggleOnlineAnalysis>(&Msg::DocId<Command::kOnlineAnalysis>),
        Map::Update<&CXDoc::OnUpdateOnlineAnalysis>(&Msg::DocId<Command::kOnlineAnalysis>),
        Map::Execute<&CXDoc::OnToggleEventMarks>(&Msg::DocId<Command::kShowMarks>),
        Map::Update<&CXDoc::OnUpdateEventMarks>(&Msg::DocId<Command::kShowMarks>),
        Map::Execute<&CXDoc::OnAnalyse>(&Msg::DocId<Command::kAnalyse>),
        Map::Update<&CXDoc::OnUpdateAnalyse>(&Msg::DocId<Command::kAnalyse>),
        Map::Execute<&CXDoc::OnClear>(&Msg::DocId<Command::kClear>),
        Map::Update<&CXDoc::OnUpdateClear>(&Msg::DocId<Command::kClear>),
        Map::Execute<&CXDoc::OnHelp>(&Msg::DocId<Command::kHelp>),
        Map::Update<&CXDoc::OnUpdateAlwaysEnabled>(&Msg::DocId<Command::kHelp>),
        Map::Execute<&CXDoc::OnReselect>(&Msg::DocId<Command::kReselect>),
        Map::Update<&CXDoc::OnUpdateReselect>(&Msg::DocId<Command::kReselect>),
        Map::Observer<&CXDoc::ReportRange>(&Msg::AnalysisManagerId<7>),
        Map::Observer<&CXDoc::Stop>(&Msg::AnalysisManagerId<5>),
        Map::Observer<&CXDoc::ReRun>(&Msg::AnalysisManagerId<6>),
        Map::Observer<&CXDoc::OnFirstActivation>(&Msg::FirstActivationId),
        Map::Observer<&CXDoc::OnDataChanged>(&Msg::ChartNoticeId<6>),
        Map::Observer<&CXDoc::OnDataChanged>(&Msg::ChartNoticeId<4>),
        Map::Observer<&CXDoc::OnDataChangedFrom>(&Msg::ChartNoticeId<14>),
        Map::Observer<&CXDoc::OnDataRemovedFrom>(&Msg::ChartNoticeId<16>),
        Map::Observer<&CXDoc::OnMarksGone>(&Msg::ChartNoticeId<18>),
        Map::Observer<&CXDoc::OnChannelChanged>(&Msg::ChartNoticeId<20>),
        Map::Observer<&CXDoc::OnChannelChanged>(&Msg::ChartNoticeId<22>),
        Map::Observer<&CXDoc::OnRangeChanged>(&Msg::ChartNoticeId<34>),
        Map::Message<&CXDoc::OnAnalyzeMessage>(&Msg::AnalyzeMessageId),
        Map::Message<&CXDoc::OnCopyToTallysheetMessage>(&Msg::CopyToTallysheetMessageId),
        Map::Message<&CXDoc::OnClearAnalysisMessage>(&Msg::ClearAnalysisMessageId),
        Map::End(),
    };
    return entries;
}

CXDoc::CXDoc(IUnknown* hostDocument, CAFDocumentClassBase* documentClass)
    : ChartChildDocument(nullptr, hostDocument, documentClass, 0), hostDocument_(hostDocument),
      persist_(hostDocument, *this)
{
}

CXDoc::~CXDoc()
{
    WithdrawPersistence();
    results_.reset();
    tableManager_ = {};
    tableData_ = {};
}

CXDoc* CXDoc::Create(IUnknown* hostDocument, CAFDocumentClassBase* documentClass)
{
    return new CXDoc(hostDocument, documentClass);
}

CXDoc* CXDoc::FromHostDocument(IUnknown* hostDocument)
{
    if (!hostDocument) {
        return nullptr;
    }
    platform::ComPtr<IUnknown> found;
    if (FAILED(hostDocument->QueryInterface(IID_ICXDocInterface, found.OutVoid())) || !found) {
        return nullptr;
    }
    CXDoc* document = nullptr;
    if (FAILED(found->QueryInterface(kOwnDocument, reinterpret_cast<void**>(&document))) || !document) {
        return nullptr;
    }
    document->Release();
    return document;
}

HRESULT CXDoc::QueryInterface(REFIID iid, void** out)
{
    if (out && iid == IID_IAnalysisJob) {
        // A separate object, so that the document's own interfaces stay as they are.
        auto* job = new AnalysisJob(*this);
        job->AddRef();
        *out = static_cast<IAnalysisJob*>(job);
        return S_OK;
    }
    if (out && iid == IID_IOnlineDataSink) {
        *out = static_cast<IOnlineDataSink*>(this);
        AddRef();
        return S_OK;
    }
    if (out && (iid == IID_ICXDocInterface || iid == kOwnDocument)) {
        *out = iid == kOwnDocument ? static_cast<void*>(this) : static_cast<ICustomDocument2*>(this);
        AddRef();
        return S_OK;
    }
    return ChartChildDocument::QueryInterface(iid, out);
}

void CXDoc::RegisterCommands(CAFDocumentClassBase& documentClass, ICAFCommandHandler*, IUnknown*)
{
    if (!CX::Module::GetModule()) {
        return; // the library is not loaded into a host: there is nothing to offer commands from
    }
    auto keep = [&](platform::ComPtr<ICAFCommand>& item) { documentClass.AddCommand(item); };
    platform::ComPtr<ICAFCommand> item;
    CAF::AddCommandCategory(item, u"Crestmetrics", 0, u"CRESTMETRICS", 0, 0);
    keep(item);

    // A command of the document family with a key of its own.
    auto keyed = [&](UINT stringId, const char16_t* path, UINT imageId, const char16_t* key, WORD index) {
        CAF::MenuCommand command;
        command.stringId = stringId;
        command.path = path;
        command.imageId = imageId;
        command.key = key;
        command.category = u"CRESTMETRICS";
        command.idHigh = TypeIdRegistration<&CXDocGUID>::Get();
        command.idIndex = index;
        CAF::AddMenuCommand(item, KVO::ModuleInstance(), command);
        keep(item);
    };
    // A command whose path and texts come from its string-table entry.
    auto fromTable = [&](UINT stringId, WORD index) {
        const KVO::String text = KVO::LoadResourceString(KVO::ModuleInstance(), stringId, false);
        CAF::AddMenuCommandFromTable(item, KVO::ModuleInstance(), 1, stringId,
                                     (u"Crestmetrics|" + std::u16string(text.c_str())).c_str(),
                                     TypeIdRegistration<&CXDocGUID>::Get(), index);
        keep(item);
    };
    auto separator = [&] {
        CAF::AddMenuSeparator(item, u"Crestmetrics|-");
        keep(item);
    };
    CAF::AddExtensionMenu(item, KVO::ModuleInstance(), StringId::ExtensionMenu, u"Crestmetrics^EXTENSION|", 0, 0);
    keep(item);

    keyed(StringId::MenuSettings, u"Crestmetrics|Settings", 269, u"settings", Command::kSettings);
    separator();
    keyed(StringId::MenuAnalysisView, u"Crestmetrics|Analysis View", 272, u"window_DRAnalysis",
          Command::kAnalysisView);
    keyed(StringId::MenuTableView, u"Crestmetrics|Table View", 271, u"table_view", Command::kTableView);
    separator();
    fromTable(StringId::MenuShowMarks, Command::kShowMarks);
    fromTable(StringId::MenuOnlineAnalysis, Command::kOnlineAnalysis);
    separator();
    fromTable(StringId::MenuReselect, Command::kReselect);
    fromTable(StringId::MenuClear, Command::kClear);

    keyed(StringId::CommandAnalyse, u"Crestmetrics|Analyze", 270, u"analyse", Command::kAnalyse);
}

HRESULT CXDoc::Open()
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (cookie_ == kNoCookie) {
            RegisterClient();
        }
        persist_.Open();
        UpdateOnlineSubscription();
        Results();
        TableData();
        if (hostDocument_) {
            TableManager();
        }
        CreateCalcChannels();
        return S_OK;
    });
}

HRESULT CXDoc::Close()
{
    return KVO::GuardSlot([&]() -> HRESULT {
        // The host's listeners must not keep a document that is going.
        platform::ComPtr<IOnlineDataNotices> notices;
        if (onlineSubscribed_ && hostDocument_ &&
            SUCCEEDED(hostDocument_->QueryInterface(IID_IOnlineDataNotices, notices.OutVoid())) && notices) {
            notices->Unsubscribe(this);
        }
        onlineSubscribed_ = false;
        RemoveCalcChannels();
        ReleaseClient();
        WithdrawPersistence();
        hostDocument_ = {};
        return ChartChildDocument::Close();
    });
}

HRESULT CXDoc::InterfaceByKind(LONG index, LONG kind, DWORD* word, IUnknown** out)
{
    if (word) {
        *word = 0;
    }
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (kind == 2 && index == 0) {
        *out = static_cast<IPersistStreamInit*>(&persist_);
        return S_OK;
    }
    return S_FALSE;
}

CycleDetector* CXDoc::Results()
{
    if (!results_ && hostDocument_) {
        results_ = std::make_unique<CycleDetector>(hostDocument_.Get(), persist_);
    }
    return results_.get();
}

TableViewData* CXDoc::TableData()
{
    if (!tableData_ && Results()) {
        tableData_ = platform::ComPtr<TableViewData>(new TableViewData(
            results_.get(), &persist_.Settings(), [this] { return SourceChannelUnits(); }));
    }
    return tableData_.Get();
}

TVF_TableViewMgr* CXDoc::TableManager()
{
    if (!tableManager_ && hostDocument_) {
        TVF::CreateTableViewManager(tableManager_.Out());
    }
    return tableManager_.Get();
}

HRESULT CXDoc::TableViewManager(TVF_TableViewMgr** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = TableManager();
    if (*out) {
        (*out)->AddRef();
    }
    return S_OK;
}

KVO::PrefixedUnit CXDoc::SourceChannelUnits()
{
    KVO::PrefixedUnit unit;
    platform::ComPtr<IDataSourceHolder> holder;
    platform::ComPtr<IDataSource> source;
    if (hostDocument_ && SUCCEEDED(hostDocument_->QueryInterface(IID_IDataSourceHolder, holder.OutVoid())) && holder &&
        SUCCEEDED(holder->GetSource(0, source.Out())) && source) {
        ExtLib::GetEnumUnitNameEx(source.Get(), 0, Settings().GetLong(SettingId::kSourceChannel), unit, true);
    }
    return unit;
}

bool CXDoc::IsOnlineAnalysis() { return Settings().GetBool(SettingId::kAnalyseWhileSampling); }
bool CXDoc::HasAnalysedRange() { return Settings().GetBool(SettingId::kHasAnalysedRange); }

platform::ComPtr<IChartCalcChannels> CXDoc::CalcChannels() const
{
    platform::ComPtr<IChartCalcChannels> channels;
    if (IChartDocument* chart = ChartDocument()) {
        chart->QueryInterface(IID_IChartCalcChannels, channels.OutVoid());
    }
    return channels;
}

void CXDoc::CreateCalcChannels()
{
    const platform::ComPtr<IChartCalcChannels> channels = CalcChannels();
    if (!channels) {
        return;
    }
    SettingsSet& settings = Settings();
    for (const std::int32_t id : kCalcChannelSettings) {
        BSTR name = nullptr;
        std::int32_t pair[2] = {static_cast<std::int32_t>(0x80000000u), static_cast<std::int32_t>(0xC0000000u)};
        channels->AddChannel(0, VARIANT_FALSE, 0, &name, pair);
        settings.SetLong(id, pair[0]);
        const std::u16string added = KVO::TakeBstr(name);
        if (id == SettingId::kEventChainChannel) {
            channels->SetTitle(0, added.c_str(), ChannelTitle(settings.GetLong(SettingId::kSourceChannel)).c_str());
        }
    }
}

void CXDoc::RemoveCalcChannels()
{
    const platform::ComPtr<IChartCalcChannels> channels = CalcChannels();
    if (!channels) {
        return;
    }
    SettingsSet& settings = Settings();
    for (const std::int32_t id : kCalcChannelSettings) {
        BSTR name = nullptr;
        channels->GetChannelText(0, settings.GetLong(id), kCalcChannelNameText, &name);
        channels->RemoveChannel(0, KVO::TakeBstr(name).c_str());
    }
}

void CXDoc::TitleEventChainChannel(bool on)
{
    const platform::ComPtr<IChartCalcChannels> channels = CalcChannels();
    if (!channels) {
        return;
    }
    SettingsSet& settings = Settings();
    BSTR text = nullptr;
    channels->GetChannelText(0, settings.GetLong(SettingId::kEventChainChannel), kCalcChannelNameText, &text);
    const std::u16string name = KVO::TakeBstr(text);
    VARIANT_BOOL state = VARIANT_FALSE;
    channels->GetState(0, name.c_str(), &state);
    if ((state != 0) == on) {
        return;
    }
    channels->SetState(0, name.c_str(), on ? VARIANT_TRUE : VARIANT_FALSE);
    channels->SetTitle(0, name.c_str(), ChannelTitle(settings.GetLong(SettingId::kSourceChannel)).c_str());
}

bool CXDoc::RegisterClient()
{
    if (!hostDocument_) {
        return false;
    }
    platform::ComPtr<IHostApplicationLink> link;
    platform::ComPtr<IUnknown> application;
    platform::ComPtr<IHostObjectsById> objects;
    platform::ComPtr<IUnknown> object;
    platform::ComPtr<IAnalysisManager> manager;
    if (FAILED(hostDocument_->QueryInterface(IID_IHostApplicationLink, link.OutVoid())) || !link ||
        FAILED(link->GetApplication(application.Out())) || !application ||
        FAILED(application->QueryInterface(IID_IHostObjectsById, objects.OutVoid())) || !objects ||
        FAILED(objects->GetObjectById(TypeIdClass<&GUID_AnalysisManagerFamily, 0>::Get(), 0, object.Out())) ||
        !object || FAILED(object->QueryInterface(IID_IAnalysisManager, manager.OutVoid())) || !manager) {
        return false;
    }
    analysisManager_ = platform::ComPtr<IUnknown>(manager.Get());
    const KVO::String display = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::AnalysisClientName, false);
    manager->RegisterClient(display.c_str(), u"Crestmetrics", &cookie_);
    bool handed = false;
    for (LONG index = 0; index < 2; ++index) {
        DWORD word = 0;
        IUnknown* found = nullptr;
        InterfaceByKind(index, 2, &word, &found);
        platform::ComPtr<IPersistStreamInit> persist;
        if (found && SUCCEEDED(found->QueryInterface(IID_IPersistStreamInit, persist.OutVoid())) && persist) {
            handed |= SUCCEEDED(manager->SetPersistObject(cookie_, index, persist.Get(),
                                                          persist_.loaded ? VARIANT_TRUE : VARIANT_FALSE));
        }
    }
    return handed;
}

platform::ComPtr<IAnalysisManager> CXDoc::RegisteredManager() const
{
    platform::ComPtr<IAnalysisManager> manager;
    if (analysisManager_ && cookie_ != kNoCookie) {
        analysisManager_->QueryInterface(IID_IAnalysisManager, manager.OutVoid());
    }
    return manager;
}

void CXDoc::ReleaseClient()
{
    if (const platform::ComPtr<IAnalysisManager> manager = RegisteredManager()) {
        manager->ReleaseClient(cookie_);
    }
    cookie_ = kNoCookie;
    analysisManager_ = {};
}

bool CXDoc::ManagerActive()
{
    const platform::ComPtr<IAnalysisManager> manager = RegisteredManager();
    VARIANT_BOOL active = VARIANT_FALSE;
    return manager && SUCCEEDED(manager->IsActive(cookie_, &active)) && active != 0;
}

bool CXDoc::IsClientActive()
{
    return cookie_ != kNoCookie && (persist_.attached || persist_.loaded) && ManagerActive();
}

void CXDoc::ReportRange(LONG argument)
{
    const platform::ComPtr<IAnalysisManager> manager = RegisteredManager();
    if (!manager || !(persist_.attached || persist_.loaded)) {
        return;
    }
    SettingsSet& settings = Settings();
    const KVOPosition start{settings.GetLong(SettingId::kRangeStartTick), settings.GetLong(SettingId::kRangeStartBlock)};
    const KVOPosition end{settings.GetLong(SettingId::kRangeEndTick), settings.GetLong(SettingId::kRangeEndBlock)};
    manager->ReportRange(cookie_, argument, &start, &end);
}

void CXDoc::Stop()
{
    if (!IsClientActive()) {
        return;
    }
    ClearCommand();
    RemoveCalcChannels();
}

void CXDoc::ReRun()
{
    if (!IsClientActive() || !HasAnalysedRange()) {
        return;
    }
    Analyse(true, true);
    NotifyViews();
}

void CXDoc::AttachPersistence()
{
    if (persist_.attached || persist_.loaded || !hostDocument_) {
        return;
    }
    platform::ComPtr<IDocumentStorage> storage;
    if (FAILED(hostDocument_->QueryInterface(IID_IDocumentStorage, storage.OutVoid())) || !storage) {
        return;
    }
    BSTR name = nullptr;
    if (SUCCEEDED(storage->Register(RegistrationLink(), 0, &persist_, 0, 0, &name))) {
        persist_.attached = true;
    }
    SysFreeString(name);
}

void CXDoc::WithdrawPersistence()
{
    platform::ComPtr<IDocumentStorage> storage;
    if (persist_.attached && hostDocument_ &&
        SUCCEEDED(hostDocument_->QueryInterface(IID_IDocumentStorage, storage.OutVoid())) && storage) {
        storage->Withdraw(&persist_);
    }
}

void CXDoc::MarkDirtyAndAttach()
{
    if (clientEnabled && ManagerActive()) {
        ReleaseClient();
    }
    persist_.dirty = true;
    AttachPersistence();
}

} // namespace CX::Doc
