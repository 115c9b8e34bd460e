// A recording as the host offers it to calculations: the sample channels of a document, stored event channels,
// calculation channels (a calculation text evaluated per record) and virtual event channels, each record with its
// tick period. One object answers the data source, its channel data, the channel list and the sampling notices.
#pragma once

#include "host/calcevaluator.h"
#include "host/chartdata.h"
#include "host/document.h"
#include "host/eventarray.h"
#include "host/onlinesinks.h"
#include "host/sampleformula.h"
#include "sdk/analysishost.h"
#include "sdk/cafevents.h"
#include "sdk/channelcalc.h"
#include "sdk/channeltitles.h"
#include "sdk/channeltoken.h"
#include "sdk/datasource.h"
#include "sdk/sampling.h"

#include <deque>
#include <map>
#include <utility>
#include <memory>
#include <optional>
#include <string>
#include <optional>
#include <vector>

namespace host {

class Host;
class CalcChannel;

// {5D7C1E4F-2B8A-4F63-9D05-7A1C3E9B4F21}: answered by the host's own data source with the object itself.
inline constexpr IID IID_HostDataSource{0x5D7C1E4F, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};

class DataSource final : public IDataSource,
                         public IOnlineDataNotices,
                         public IChannelList,
                         public IDataSourceHolder,
                         public IChartExtent,
                         public IChartSelection,
                         public IChannelNaming,
                         public ISamplingPosition,
                         public IChartChanges,
                         public IChannelNames,
                         public ISubject,
                         public IDocumentChannels,
                         public IChannelTitles,
                         private RefCounted {
public:
    // A new data source over the document's channels, with one reference for the caller. Calculation channels
    // are evaluated by the host's evaluator.
    static platform::ComPtr<DataSource> Create(Host& host, std::shared_ptr<Document> document);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    // IDataSource
    HRESULT GetChannelCount(LONG* count) override;
    HRESULT GetSampleEnum(DWORD kind, LONG record, LONG channel, IUnknown** out) override;
    HRESULT GetRecordTickPeriod(DWORD flags, LONG record, double* period) override;
    HRESULT GetChannelTickPeriod(DWORD kind, LONG record, LONG channel, double* period) override;
    HRESULT OpenEnum(DWORD flags, LONG channel, LONG start, LONG record, LONG end, DWORD reserved,
                     IUnknown** out) override;
    HRESULT GetValueEnum(DWORD kind, LONG record, LONG channel, IUnknown** out) override;
    HRESULT GetCommentPosition(LONG tick, LONG record, std::int32_t* pair) override;
    HRESULT GetChannelObject(DWORD flags, LONG record, LONG channel, IUnknown** out) override;
    HRESULT GetProperty(DWORD reserved, WORD* value) override;
    HRESULT GetSampleCount(DWORD kind, LONG record, LONG* count) override;
    // The limits of a recorded channel's samples over every block (they are kept in base units, unscaled);
    // S_FALSE when it holds no finite sample.
    HRESULT GetRawRange(DWORD reserved, LONG channel, DWORD kind, double* lower, double* upper) override;
    // A recorded channel's scaling is {1, 0} in every record (record -2: any record).
    HRESULT GetChannelScaling(DWORD kind, LONG record, LONG channel, ChannelGain* scaling) override;
    // IOnlineDataNotices
    HRESULT Subscribe(IOnlineDataSink* sink) override;
    HRESULT Unsubscribe(IOnlineDataSink* sink) override;
    // IChannelList: the event channels (stored and calculated) of the record, then nothing.
    HRESULT GetEntry(DWORD reserved, LONG word1, LONG word2, LONG index, ChannelListEntry* entry,
                     LONG* count) override;
    // IDataSourceHolder: itself as source 0.
    HRESULT GetSource(LONG index, IDataSource** out) override;

    // IChartExtent: the end of the data is the end of the last block (its longest channel).
    HRESULT GetEndOfData(DWORD kind, KVOPosition* end) override;
    HRESULT GetBlockLength(DWORD kind, LONG block, LONG* length) override;
    HRESULT GetBlockCount(DWORD kind, LONG* count) override;
    // IChartSelection
    HRESULT GetSelectionRange(DWORD kind, KVOPosition* start, KVOPosition* end) override;
    HRESULT ClearSelection() override;
    HRESULT SetTimeSelection(DWORD kind, const KVOPosition* start, const KVOPosition* end) override;
    HRESULT SelectChannel(DWORD kind, LONG channel, const double* valueRange) override;
    void SetSelection(KVOPosition start, KVOPosition end) { selection_ = {start, end}; }
    // The channel and value range {top, bottom} the selection was narrowed to; none after a clear.
    const std::optional<std::pair<LONG, std::pair<double, double>>>& SelectedChannel() const { return selectedChannel_; }
    // IChannelNaming: "ch" and the channel number plus 1, as the evaluator reads it.
    HRESULT GetChannelToken(LONG reserved, LONG channel, LONG kind, BSTR* token) override;
    // IChannelNames: a recorded channel's name, the title of the calculation on a channel that holds one; empty
    // for any other channel.
    HRESULT GetChannelName(LONG channel, DWORD flags, BSTR* name) override;
    // The channels that hold channel calculations (not held: each withdraws itself as it goes).
    void AddCalcChannel(CalcChannel* channel) { calcChannels_.push_back(channel); }
    void WithdrawCalcChannel(CalcChannel* channel) { std::erase(calcChannels_, channel); }
    // ISubject: the chart's subject; every operation goes to the host's event manager. The document's views register
    // with it when they are attached.
    HRESULT Notify2(DWORD value1, DWORD value2) override;
    HRESULT Attach(IObserver* observer) override;
    HRESULT Notify(DWORD value) override;
    HRESULT RegisterFor(IObserver* observer, DWORD eventId, DWORD flags) override;
    // Changes one of the document's display settings (the property source the host document answers) and tells
    // the chart's observers with the display notice.
    void SetDisplaySetting(DWORD id, LONG value);
    // The display notice's id: n 8 of the chart notice family.
    DWORD DisplayNoticeId() const;
    // IDocumentChannels and IChannelTitles: the recorded channels, titled by their names.
    HRESULT GetChannelCount(DWORD reserved, LONG* count) override;
    HRESULT GetChannels(IUnknown** channels) override;
    HRESULT GetChannelTitle(LONG word1, LONG index, LONG word2, IKVOString** title) override;

    // The chart's calculation channels are numbered from this on, past any channel the source adds itself, and
    // evaluated from the texts the chart's channels hold.
    static constexpr LONG kFirstChartCalculation = 1000;

    // A stored event channel (one array per record; records without one hold no events); its number.
    int AddEventChannel(std::u16string name, std::vector<std::shared_ptr<const EventArray>> records);
    // A channel whose events the evaluator computes from `text` in each record; its number.
    int AddCalculationChannel(std::u16string name, std::u16string text);
    // The virtual channel `number` (0-based, "vch1" is 0) with these events per record.
    void SetVirtualChannel(int number, std::vector<std::shared_ptr<const EventArray>> records);
    // The virtual channel `number` computed by the evaluator from `text` in each record.
    void SetVirtualCalculation(int number, std::u16string text) { virtualTexts_[number] = std::move(text); }
    // Calculation channels opened block after block reuse a finished evaluator of the same text instead of parsing
    // the text and making its calculations again for every block. The kept evaluators refer to this source, so
    // whoever turns this on calls DropKeptCalculations before letting the source go.
    void KeepCalculations(bool on)
    {
        keepCalculations_ = on;
        if (!on) {
            DropKeptCalculations();
        }
    }
    bool KeepsCalculations() const { return keepCalculations_; }
    void DropKeptCalculations()
    {
        // Evaluators that go meanwhile keep nothing back.
        const bool keep = std::exchange(keepCalculations_, false);
        kept_.clear();
        parsed_.clear();
        models_.clear();
        trees_.clear();
        keepCalculations_ = keep;
    }
    // While calculations are kept, the parse of each calculation text, so that a text made again for every block
    // is parsed once: null when it is not known.
    const CalcNode* ParsedCalculation(const std::u16string& text) const
    {
        const auto found = parsed_.find(text);
        return found == parsed_.end() ? nullptr : &found->second;
    }
    void RememberParse(const std::u16string& text, const CalcNode& root)
    {
        if (keepCalculations_ && parsed_.size() < 64) {
            parsed_.emplace(text, root);
        }
    }
    // While calculations are kept, the calculations of a text made for a context, parsed and never bound, for
    // evaluators of the same text to copy instead of parsing their numbers again: null when there are none.
    const CalcNode* CalculationModel(const std::u16string& text, IUnknown* context) const
    {
        const auto found = models_.find({text, context});
        return found == models_.end() ? nullptr : &found->second;
    }
    void RememberModel(const std::u16string& text, IUnknown* context, CalcNode model)
    {
        if (keepCalculations_ && models_.size() < 64) {
            models_.emplace(std::make_pair(text, context), std::move(model));
        }
    }

    // While calculations are kept, the calculation trees of evaluators that let go (released from their sources
    // and held by no one else), for the next evaluator of the same text and context to bind again instead of
    // copying the calculations: null when there is none.
    std::unique_ptr<CalcNode> TakeTree(const std::u16string& text, IUnknown* context);
    void KeepTree(const std::u16string& text, IUnknown* context, std::unique_ptr<CalcNode> tree);

    // Another object answers this interface for the source (the chart server and the preview data that a chart
    // draws the source with).
    void Offer(const IID& iid, platform::ComPtr<IUnknown> object) { offered_.emplace_back(iid, std::move(object)); }

    // The time base that channel objects report for a channel ({1, 1, 0.0} unless set).
    void SetChannelTimeBase(int channel, ChannelTimeBase base) { timeBases_[channel] = base; }

    ChannelSort Sort(const ChannelRef& ref) const;
    // The samples of one of the chart's calculation channels whose text is a sample formula, over a whole record
    // (NaN where the formula has no value yet); null for any other channel.
    std::shared_ptr<const std::vector<float>> CalculatedSamples(LONG channel, LONG record);
    // A text that names just one of the chart's calculation channels ("ch1003") evaluates as that channel's text.
    std::u16string CalculationBehind(const std::u16string& text) const;
    Document& GetDocument() { return *document_; }
    ChartData& GetChartData() { return *chartData_.Get(); }
    IDataSource* AsSource() { return this; }
    IUnknown* AsUnknown() { return static_cast<IDataSource*>(this); }
    // Tells the listeners that the recording stopped (IOnlineDataSink slot 7).
    void StopSampling();
    std::size_t Listeners() const { return sinks_.Size(); }
    const OnlineSinks& Sinks() const { return sinks_; }

    // ISamplingPosition: the last block that is being sampled; E_FAIL when none is.
    HRESULT GetSamplingPosition(DWORD reserved, KVOPosition* position) override;
    HRESULT GetSamplingBlock(DWORD reserved, LONG* block) override;
    // IChartChanges: every sample channel unless the host named the changed ones (SetChangedChannels); no other
    // channel.
    HRESULT GetChangedChannels(DWORD reserved, LONG first, LONG second, VARIANT_BOOL all,
                               IKVOBitset** sampleChannels, IKVOBitset** otherChannels) override;
    void SetChangedChannels(std::vector<LONG> channels) { changed_ = std::move(channels); }
    // Every event channel (stored or calculated, not virtual) by number.
    std::vector<int> EventChannels() const;

private:
    DataSource(Host& host, std::shared_ptr<Document> document);
    ~DataSource() override;
    friend class ChannelObject;

    struct ExtraChannel {
        std::u16string name;
        std::vector<std::shared_ptr<const EventArray>> events; // stored channels
        std::u16string text;                                    // calculation channels
    };
    const ExtraChannel* Extra(LONG channel) const;
    static bool SameText(const std::u16string& a, const std::u16string& b);
    // The text of one of the chart's calculation channels; null when there is no such channel or it has no text.
    const std::u16string* ChartCalculation(LONG channel) const;
    // A chart calculation whose text names just another channel ("ch3") stands for that channel.
    LONG Resolve(LONG channel) const;
    // The channel of a bare reference "chN", or -1.
    static LONG BareReference(const std::u16string& text);
    // The sample formula of one of the chart's calculation channels (resolved already), or nothing.
    std::optional<SampleFormula> FormulaOf(LONG channel) const;
    // The formulas from a formula channel down to the recorded channel they end at, outermost first, each with its
    // channel; nothing when the chain does not end at a recorded channel (or runs in a ring).
    struct FormulaStep {
        LONG channel;
        SampleFormula formula;
    };
    std::optional<std::pair<std::vector<FormulaStep>, LONG>> FormulaChain(LONG channel) const;
    HRESULT OpenFormula(LONG channel, LONG record, LONG start, IUnknown** out);
    // The unit of a recorded channel or of a sample formula's channel; nothing for any other channel.
    std::optional<std::u16string> UnitOf(LONG channel) const;
    bool ValidRecord(LONG record) const { return record >= 0 && record < document_->BlockCount(); }
    HRESULT OpenEvents(const std::shared_ptr<const EventArray>& events, LONG start, IUnknown** out);
    HRESULT OpenCalculation(const std::u16string& text, LONG record, LONG start, IUnknown** out);

    Host& host_;
    std::shared_ptr<Document> document_;
    platform::ComPtr<ChartData> chartData_;
    std::vector<ExtraChannel> extra_;
    std::map<int, std::vector<std::shared_ptr<const EventArray>>> virtual_;
    std::map<int, std::u16string> virtualTexts_;
    bool KnownVirtual(int number) const { return virtual_.count(number) > 0 || virtualTexts_.count(number) > 0; }
    OnlineSinks sinks_;
    std::optional<std::vector<LONG>> changed_;
    std::map<int, ChannelTimeBase> timeBases_;
    std::pair<KVOPosition, KVOPosition> selection_{};
    std::optional<std::pair<LONG, std::pair<double, double>>> selectedChannel_;
    std::vector<std::pair<IID, platform::ComPtr<IUnknown>>> offered_;
    bool keepCalculations_ = false;
    struct KeptCalculations {
        std::u16string text;
        std::vector<platform::ComPtr<ICalcEnum>> calcs;
    };
    std::deque<KeptCalculations> kept_;
    std::map<std::u16string, CalcNode> parsed_;                                // by text, without calculations
    std::map<std::pair<std::u16string, IUnknown*>, CalcNode> models_;           // by text and context
    struct KeptTrees {
        std::u16string text;
        IUnknown* context;
        std::vector<std::unique_ptr<CalcNode>> trees;
    };
    std::vector<KeptTrees> trees_;
    std::vector<CalcChannel*> calcChannels_;
    bool naming_ = false; // a calculation's title may name its source channel: no second title meanwhile
};

} // namespace host
