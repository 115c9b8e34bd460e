// Analysis while sampling: the document follows the host's online-data notices and reads the new events of the block
// being sampled into the results; and the host's notices about changed data, channels and marks.
#include "document/cxdoc.h"
#include "document/settingids.h"
#include "foundation/bitset.h"
#include "foundation/xkvo.h"
#include "graph/analysisview/cxviewbase.h"
#include "tableview/tvftableviewmgr.h"
#include "sdk/analysishost.h"
#include "sdk/chartcomment.h"
#include "sdk/ikvostring.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace CX::Doc {

namespace {

using namespace SettingId;

// The event number N of a module comment's text "CX: Peak N..." or "CX: Population Spike N..." (blanks and a sign
// may precede N; anything may follow it).
std::optional<long> CommentEventNumber(std::u16string_view text)
{
    for (const std::u16string_view prefix : {std::u16string_view(u"CX: Peak "), std::u16string_view(u"CX: Population Spike ")}) {
        if (text.substr(0, prefix.size()) != prefix) {
            continue;
        }
        std::string digits;
        std::size_t at = prefix.size();
        while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) {
            ++at;
        }
        for (; at < text.size() && (text[at] == u'-' || text[at] == u'+' || (text[at] >= u'0' && text[at] <= u'9'));
             ++at) {
            digits += static_cast<char>(text[at]);
        }
        const char* first = digits.c_str() + (digits.size() > 0 && digits[0] == '+' ? 1 : 0);
        long number = 0;
        const auto [end, error] = std::from_chars(first, digits.c_str() + digits.size(), number);
        if (error == std::errc() && end != first) {
            return number;
        }
    }
    return std::nullopt;
}

} // namespace

bool CXDoc::IsHostSampling() const
{
    const auto state = Ask<IHostSampling>(hostDocument_.Get(), IID_IHostSampling);
    VARIANT_BOOL answer = VARIANT_FALSE;
    return state && SUCCEEDED(state->GetSamplingState(0, &answer)) && answer != VARIANT_FALSE;
}

void CXDoc::UpdateOnlineSubscription()
{
    const auto notices = Ask<IOnlineDataNotices>(hostDocument_.Get(), IID_IOnlineDataNotices);
    if (!notices) {
        return;
    }
    // Subscribing twice would have every notice handled twice.
    const bool wanted = Settings().GetBool(kAnalyseWhileSampling);
    if (wanted && !onlineSubscribed_) {
        onlineSubscribed_ = SUCCEEDED(notices->Subscribe(this));
    } else if (!wanted && onlineSubscribed_) {
        notices->Unsubscribe(this);
        onlineSubscribed_ = false;
    }
}

HRESULT CXDoc::GetInterest(DWORD* flags, WORD* wanted)
{
    if (!flags || !wanted) {
        return E_POINTER;
    }
    *flags = 0;
    *wanted = 0xFFFF;
    return S_OK;
}

HRESULT CXDoc::SamplingStarted(DWORD)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        sampling = true;
        SettingsSet& settings = Settings();
        if (!settings.GetBool(kAnalyseWhileSampling)) {
            return S_OK;
        }
        RemoveEventMarks();
        settings.SetLong(kRangeEndBlock, -1);
        settings.SetLong(kRangeEndTick, -1);
        settings.SetBool(kNoCurrentResult, false);
        if (!settings.GetBool(kHasAnalysedRange)) {
            LONG blocks = 0;
            if (const auto extent = Ask<IChartExtent>(hostDocument_.Get(), IID_IChartExtent)) {
                extent->GetBlockCount(0, &blocks);
            }
            settings.SetLong(kRangeStartBlock, blocks);
            settings.SetLong(kRangeStartTick, 0);
            RebuildCalculationChannels();
            RecheckChannelCalculations();
            NotifyEventChainObservers();
        }
        if (settings.GetBool(kShowEventMarks)) {
            PutEventMarks();
        }
        const std::int32_t count = results_ ? results_->EventCount() : 0;
        currentEvent_ = count > 0 ? count - 1 : 0;
        if (CXViewBase* view = AnalysisViewWindow()) {
            view->Refresh();
        }
        return S_OK;
    });
}

HRESULT CXDoc::BlockStarted(LONG, DWORD, double, LONGLONG, LONGLONG, DWORD, DWORD, DWORD, VARIANT_BOOL recorded)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        onlineActive_ = recorded != VARIANT_FALSE;
        onlineBlockOpen_ = true;
        onlineSamples_ = 0;
        const auto position = Ask<ISamplingPosition>(hostDocument_.Get(), IID_ISamplingPosition);
        if (!position || FAILED(position->GetSamplingPosition(0, &samplingPosition_)) ||
            FAILED(position->GetSamplingBlock(0, &sampledBlock_))) {
            return E_FAIL;
        }
        SettingsSet& settings = Settings();
        if (onlineActive_ && settings.GetBool(kAnalyseWhileSampling)) {
            if (!settings.GetBool(kHasAnalysedRange)) {
                settings.SetLong(kRangeStartBlock, sampledBlock_);
                settings.SetLong(kRangeStartTick, 0);
                settings.SetBool(kHasAnalysedRange, true);
            }
            blockStartPending_ = true;
        }
        return S_OK;
    });
}

HRESULT CXDoc::NewData(LONG samples)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        onlineSamples_ += samples;
        if (!onlineBlockOpen_ || !onlineActive_ || !Settings().GetBool(kAnalyseWhileSampling)) {
            return S_OK;
        }
        CycleDetector* results = Results();
        if (!results) {
            return S_OK;
        }
        if (blockStartPending_) {
            results->StartBlock(sampledBlock_, 0, true);
            blockStartPending_ = false;
        }
        const std::int32_t before = results->EventCount();
        results->EnumerateTo(onlineSamples_);
        const std::int32_t after = results->EventCount();
        if (after != before) {
            // The current event follows the newest events only when it was the newest.
            if (currentEvent_ == before - 1 || before == 0) {
                currentEvent_ = before;
            }
            // The user watches the run: both views and the table's rows follow the new events.
            if (CXViewBase* table = TableViewWindow()) {
                table->Refresh();
            }
            if (CXViewBase* view = AnalysisViewWindow()) {
                view->Refresh();
            }
            if (tableManager_) {
                tableManager_->RowsChanged(0, -1);
            }
        }
        return S_OK;
    });
}

HRESULT CXDoc::SamplingStopped(DWORD, DWORD)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        NewData(0);
        onlineBlockOpen_ = false;
        if (onlineActive_ && Settings().GetBool(kAnalyseWhileSampling)) {
            if (CycleDetector* results = Results()) {
                results->EndBlock();
            }
        }
        return S_OK;
    });
}

HRESULT CXDoc::AfterStop(VARIANT_BOOL)
{
    sampling = false;
    return KVO::GuardSlot([&] {
        if (Settings().GetBool(kHasAnalysedRange) && Settings().GetBool(kAnalyseWhileSampling)) {
            RecheckChannelCalculations();
        }
        return S_OK;
    });
}

HRESULT CXDoc::GetUpdateInterval(DWORD, DWORD* milliseconds)
{
    if (!milliseconds) {
        return E_POINTER;
    }
    *milliseconds = 200;
    return S_OK;
}

HRESULT CXDoc::GetDataKinds(DWORD, DWORD, DWORD, DWORD* kinds)
{
    if (!kinds) {
        return E_POINTER;
    }
    *kinds = 0x80000000u;
    return S_OK;
}

// ---- the host's change notices

bool CXDoc::DataChanged(LONG first, LONG second)
{
    const auto changes = Ask<IChartChanges>(hostDocument_.Get(), IID_IChartChanges);
    if (!changes) {
        return false;
    }
    KVO::Bitset samples;
    KVO::Bitset others;
    {
        IKVOBitset* sampleSet = nullptr;
        IKVOBitset* otherSet = nullptr;
        if (FAILED(changes->GetChangedChannels(0, first, second, VARIANT_TRUE, &sampleSet, &otherSet))) {
            return false;
        }
        if (sampleSet) {
            samples = KVO::Bitset(KVO::BitsetRep::CopyFromInterface(sampleSet));
            sampleSet->Release();
        }
        if (otherSet) {
            otherSet->Release();
        }
    }
    const LONG source = Settings().GetLong(kSourceChannel);
    if (source < 0 || !samples.Test(static_cast<std::uint32_t>(source))) {
        return false;
    }
    if (!sampling) {
        if (Settings().GetBool(kHasAnalysedRange)) {
            Analyse(true, true);
            RecheckChannelCalculations();
        }
    } else {
        ClearAnalysis();
    }
    return true;
}

void CXDoc::OnCommentNotice(IUnknown* comment)
{
    const auto chartComment = Ask<IChartComment>(comment, IID_IChartComment);
    DWORD typeId = 0;
    if (!chartComment || FAILED(chartComment->GetWord1(&typeId))) {
        return;
    }
    const DWORD family = TypeIdClass<&CXEventDrawGUID, 0>::Get() & 0xFFFF0000u;
    if ((typeId & 0xFFFF0000u) != family || (typeId & 0xFFFFu) > 2) {
        return;
    }
    IKVOString* text = nullptr;
    if (FAILED(chartComment->GetInfo(nullptr, nullptr, nullptr, &text)) || !text) {
        return;
    }
    const char16_t* characters = text->GetText();
    const std::optional<long> number = CommentEventNumber(characters ? characters : u"");
    text->Release();
    // Event numbers count from 1; one outside the results selects nothing.
    const std::int32_t count = results_ ? results_->EventCount() : 0;
    if (number && *number >= 1 && *number <= count) {
        SelectEventFromComment(static_cast<std::int32_t>(*number - 1));
    }
}

void CXDoc::SelectEventFromComment(std::int32_t index) { SelectEvent(index, kSelectTableRow); }

void CXDoc::OnFirstActivation(FirstActivationNotice notice)
{
    if (!firstActivation || notice.first != notice.second) {
        return;
    }
    // Opening has usually registered already; a second registration would leave the first client behind.
    if (cookie_ == kNoCookie) {
        RegisterClient();
    }
    if (Settings().GetBool(kHasAnalysedRange)) {
        Analyse(true, true);
    }
    firstActivation = false;
}

void CXDoc::OnDataChanged(ChartRangeNotice notice) { DataChanged(notice.first, notice.second); }

void CXDoc::OnRangeChanged(LONG range)
{
    if (DataChanged(range, static_cast<LONG>(0xC0000000u))) {
        if (CXViewBase* table = TableViewWindow()) {
            table->Refresh();
        }
    }
}

void CXDoc::OnDataChangedFrom(KVOPosition position)
{
    SettingsSet& settings = Settings();
    if (settings.GetBool(kHasAnalysedRange)) {
        const LONG endBlock = settings.GetLong(kRangeEndBlock);
        const LONG endTick = settings.GetLong(kRangeEndTick);
        const bool withinRange = endBlock == -1 || position.mRecord < endBlock ||
                                 (position.mRecord == endBlock && position.mRecordOffset <= endTick);
        if (withinRange) {
            currentEvent_ = 0;
            ClearAnalysis();
            RecheckChannelCalculations();
        }
    }
    if (settings.GetBool(kAnalyseWhileSampling)) {
        SetOnlineAnalysis(true, false); // its current value, the setting left as it is
    }
}

void CXDoc::OnDataRemovedFrom(KVOPosition position)
{
    OnDataChangedFrom(position);
    RemoveEventMarks();
}

void CXDoc::OnMarksGone() { RemoveEventMarks(); }

void CXDoc::OnChannelChanged(LONG channel)
{
    if (channel == Settings().GetLong(kSourceChannel)) {
        currentEvent_ = 0;
        ClearAnalysis();
        RecheckChannelCalculations();
    }
}

} // namespace CX::Doc
