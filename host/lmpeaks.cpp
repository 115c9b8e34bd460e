#include "host/lmpeaks.h"

#include "host/framework.h"
#include "host/hoststring.h"
#include "platform/com/oleauto.h"
#include "platform/win/codepage.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

namespace host {

namespace {

constexpr LONG kNumberCount = 7;
constexpr ULONG kEventBytes = sizeof(DetectedPeak);
constexpr LONG kReadChunk = 4096;

struct ParamRow {
    const char16_t* name;
    double minimum;
    double maximum;
};
constexpr ParamRow kRows[kNumberCount] = {
    {u"Direction", -1.0, 1.0},     {u"Threshold in SD", 0.0, 1.0}, {u"Height", 0.0, 1e30},
    {u"Min Interval s", 0.0, 1e6}, {u"Transform", 0.0, 1.0},       {u"Smoothing s", 0.0, 10.0},
    {u"Noise Window s", 0.0, 1e4},
};

} // namespace

std::optional<PeakDetectionParams> ParsePeakParams(std::u16string_view text)
{
    const std::string ascii = platform::Utf16ToUtf8(text);
    std::vector<double> values;
    const char* at = ascii.data();
    const char* end = at + ascii.size();
    for (;;) {
        while (at < end && (*at == ' ' || *at == '\t' || *at == ',')) {
            ++at;
        }
        if (at == end) {
            break;
        }
        if (*at == '+') {
            ++at;
        }
        double value = 0.0;
        const auto result = std::from_chars(at, end, value);
        if (result.ec != std::errc() || values.size() == kNumberCount || !std::isfinite(value)) {
            return std::nullopt;
        }
        values.push_back(value);
        at = result.ptr;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] < kRows[i].minimum || values[i] > kRows[i].maximum) {
            return std::nullopt;
        }
    }
    PeakDetectionParams params;
    const auto given = [&](std::size_t i, double fallback) { return i < values.size() ? values[i] : fallback; };
    params.direction = given(0, 1.0) < 0.0 ? -1 : 1;
    params.thresholdInSD = given(1, params.thresholdInSD ? 1.0 : 0.0) >= 0.5;
    params.height = given(2, params.height);
    params.minInterval = given(3, params.minInterval);
    params.transform = given(4, params.transform) >= 0.5 ? 1 : 0;
    params.smoothing = given(5, params.smoothing);
    params.noiseWindow = given(6, params.noiseWindow);
    return params;
}

std::u16string WritePeakParams(const PeakDetectionParams& params, const char* separator)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << params.direction << separator << (params.thresholdInSD ? 1 : 0) << separator << params.height << separator
        << params.minInterval << separator << params.transform << separator << params.smoothing << separator
        << params.noiseWindow;
    return platform::Utf8ToUtf16(out.str());
}

// ---- LMPeaksClass ----

HRESULT LMPeaksClass::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ICalcEnumClass2, static_cast<ICalcEnumClass2*>(this)},
                       {&IID_ICAFClassObject, static_cast<ICalcEnumClass2*>(this)},
                       {&IID_ICalcNumericParamsFuncClass, static_cast<ICalcNumericParamsFuncClass*>(this)}},
                      iid, out);
}

HRESULT LMPeaksClass::CreateInstance(IUnknown*, ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    try {
        auto* instance = new LMPeaksEnum(*this);
        instance->AddRef();
        *out = instance;
        return S_OK;
    } catch (...) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
}

HRESULT LMPeaksClass::GetAliasCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT LMPeaksClass::GetAlias(LONG, IKVOString** alias)
{
    if (alias) {
        *alias = nullptr;
    }
    return E_INVALIDARG;
}

HRESULT LMPeaksClass::GetInfo(IKVOString** name, DWORD* id, LONG* paramCount, LONG* sourceCount, DWORD* kind1,
                              DWORD* kind2)
{
    if (!name || !id || !paramCount || !sourceCount || !kind1 || !kind2) {
        return E_POINTER;
    }
    *name = MakeString(kName).Detach();
    *id = 0;
    *paramCount = 1 + kNumberCount;
    *sourceCount = 1;
    *kind1 = CalcKind::kSampleSource;
    *kind2 = 0;
    return S_OK;
}

HRESULT LMPeaksClass::GetParam(LONG index, double* maximum, double* minimum, DWORD* kind, IKVOString** name)
{
    if (!maximum || !minimum || !kind || !name) {
        return E_POINTER;
    }
    if (index == 0) {
        *maximum = *minimum = 0.0;
        *kind = CalcKind::kSampleSource;
        *name = MakeString(u"Source").Detach();
        return S_OK;
    }
    if (index < 0 || index > kNumberCount) {
        *name = nullptr;
        return E_INVALIDARG;
    }
    const ParamRow& row = kRows[index - 1];
    *maximum = row.maximum;
    *minimum = row.minimum;
    *kind = 0;
    *name = MakeString(row.name).Detach();
    return S_OK;
}

HRESULT LMPeaksClass::TestSourceKind(LONG index, DWORD mask)
{
    if (index != 0) {
        return E_INVALIDARG;
    }
    return (mask & CalcKind::kSampleSource) != 0 ? S_OK : S_FALSE;
}

// ---- LMPeaksEnum ----

HRESULT LMPeaksEnum::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom(
        {{&IID_ICalcEnum, static_cast<ICalcEnum*>(this)}, {&IID_IEnumEventEx, static_cast<IEnumEventEx*>(this)}}, iid,
        out);
}

HRESULT LMPeaksEnum::GetClassId(DWORD* id)
{
    return owner_.GetId(id);
}

HRESULT LMPeaksEnum::GetClassObject(ICalcEnumClass2** out)
{
    if (!out) {
        return E_POINTER;
    }
    owner_.AddRef();
    *out = &owner_;
    return S_OK;
}

HRESULT LMPeaksEnum::Parse(IKVOString* text, DWORD* flags)
{
    if (flags) {
        *flags = 0x40000000;
    }
    if (text) {
        text->AddRef(); // TakeText consumes a reference
    }
    const auto parsed = ParsePeakParams(text ? TakeText(text) : std::u16string());
    if (!parsed) {
        return E_INVALIDARG;
    }
    params_ = *parsed;
    return S_OK;
}

HRESULT LMPeaksEnum::Write(IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = MakeString(WritePeakParams(params_)).Detach();
    return S_OK;
}

HRESULT LMPeaksEnum::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    auto* copy = new LMPeaksEnum(owner_);
    copy->params_ = params_;
    copy->AddRef();
    *out = copy;
    return S_OK;
}

HRESULT LMPeaksEnum::SetSources(LONG, LONG count, IUnknown** sources, IUnknown**, double tickPeriod, LONG)
{
    ReleaseSources();
    if (count != 1 || !sources || !sources[0]) {
        return E_INVALIDARG;
    }
    if (FAILED(sources[0]->QueryInterface(IID_IEnumFloatEx, samples_.OutVoid())) || !samples_) {
        return E_NOINTERFACE;
    }
    if (FAILED(sources[0]->QueryInterface(IID_HostSlopeSamples, slopes_.OutVoid()))) {
        slopes_ = nullptr;
    }
    tickPeriod_ = tickPeriod > 0.0 && std::isfinite(tickPeriod) ? tickPeriod : 1.0;
    Restart(0);
    return S_OK;
}

void LMPeaksEnum::Restart(LONG from)
{
    if (samples_) {
        LONG at = 0;
        samples_->GetPosition(&at);
        samples_->Move(-at);
    }
    detector_.emplace(params_, tickPeriod_);
    queue_.clear();
    head_ = 0;
    from_ = std::max<LONG>(0, from);
    ended_ = false;
}

HRESULT LMPeaksEnum::SeekStart(LONG tick)
{
    if (!samples_) {
        return E_UNEXPECTED;
    }
    Restart(tick);
    return S_OK;
}

HRESULT LMPeaksEnum::ReleaseSources()
{
    samples_ = nullptr;
    slopes_ = nullptr;
    detector_.reset();
    queue_.clear();
    head_ = 0;
    ended_ = false;
    return S_OK;
}

HRESULT LMPeaksEnum::QueryFlags(DWORD, DWORD, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 0;
    return S_OK;
}

HRESULT LMPeaksEnum::GetTickPeriod(double* period, IKVOString** text)
{
    if (!period) {
        return E_POINTER;
    }
    *period = tickPeriod_;
    if (text) {
        *text = nullptr;
    }
    return S_OK;
}

HRESULT LMPeaksEnum::GetCapabilities(DWORD* out)
{
    return QueryFlags(0, 0, out);
}

HRESULT LMPeaksEnum::GetStatus(DWORD* out)
{
    return QueryFlags(0, 0, out);
}

HRESULT LMPeaksEnum::GetSourceTimeBase(SourceTimeBase* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = {1, 1, 0};
    return samples_ ? samples_->GetTimeBase(out) : S_OK;
}

bool LMPeaksEnum::Fill()
{
    if (!detector_ || ended_) {
        return false;
    }
    if (head_ == queue_.size()) {
        queue_.clear();
        head_ = 0;
    }
    // Slopes the source worked out are taken as the doubles they are, as the detection's own transform gives them.
    SlopeSamples* const slopes = params_.transform == 0 ? slopes_.Get() : nullptr;
    if (slopes) {
        slopeBuffer_.resize(kReadChunk);
    } else {
        buffer_.resize(kReadChunk);
    }
    while (head_ == queue_.size()) {
        LONG read = 0;
        const HRESULT hr = slopes ? slopes->ReadSlopes(kReadChunk, slopeBuffer_.data(), &read)
                                  : samples_->Read(kReadChunk, buffer_.data(), &read);
        if (FAILED(hr) || read < 0) {
            detector_->Finish(queue_);
            ended_ = true;
            break;
        }
        if (read == 0) {
            return false; // the block is still being sampled
        }
        const auto count = static_cast<std::size_t>(std::min(read, kReadChunk));
        if (slopes) {
            detector_->FeedTransformed(slopeBuffer_.data(), count, queue_);
        } else {
            detector_->Feed(buffer_.data(), count, queue_);
        }
        // Peaks before the start asked for are passed over.
        while (head_ < queue_.size() && queue_[head_].tick < from_) {
            ++head_;
        }
    }
    while (head_ < queue_.size() && queue_[head_].tick < from_) {
        ++head_;
    }
    return head_ < queue_.size();
}

LONG LMPeaksEnum::Position() const
{
    if (head_ < queue_.size()) {
        return queue_[head_].tick;
    }
    if (ended_ || !detector_) {
        return kEndOfBlockTick;
    }
    return std::max<LONG>(from_, detector_->SettledTick());
}

HRESULT LMPeaksEnum::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    if (!count || !nextPosition) {
        return E_POINTER;
    }
    *count = 0;
    *nextPosition = kEndOfBlockTick;
    if (!detector_) {
        return E_UNEXPECTED;
    }
    const ULONG capacity = bufferBytes / kEventBytes;
    if (capacity > 0 && !buffer) {
        return E_POINTER;
    }
    const LONG bound = endTick < 0 ? kEndOfBlockTick : endTick;
    auto* out = static_cast<std::byte*>(buffer);
    ULONG delivered = 0;
    try {
        while (delivered < capacity && (head_ < queue_.size() || Fill()) && queue_[head_].tick < bound) {
            std::memcpy(out + delivered * kEventBytes, &queue_[head_++], kEventBytes);
            ++delivered;
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *count = static_cast<LONG>(delivered);
    const LONG position = Position();
    *nextPosition = position == kEndOfBlockTick ? position : std::min(position, bound);
    return position == kEndOfBlockTick ? S_FALSE : S_OK;
}

HRESULT LMPeaksEnum::Find(LONG direction, LONG from, LONG low, LONG high)
{
    if (!samples_) {
        return E_UNEXPECTED;
    }
    try {
        if (direction == 0) {
            Restart(std::max(from, low));
            return Fill() && queue_[head_].tick < high ? S_OK : S_FALSE;
        }
        // Backward: the last peak in [low, min(from + 1, high)).
        const LONG limit = std::min(from + 1, high);
        Restart(low);
        std::optional<LONG> last;
        while (Fill() && queue_[head_].tick < limit) {
            last = queue_[head_++].tick;
        }
        Restart(last.value_or(limit));
        return last ? (Fill(), S_OK) : S_FALSE;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT LMPeaksEnum::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = Position();
    return S_OK;
}

HRESULT LMPeaksEnum::Skip(LONG count, LONG* skipped)
{
    LONG done = 0;
    while (done < count && (head_ < queue_.size() || Fill())) {
        ++head_;
        ++done;
    }
    if (skipped) {
        *skipped = done;
    }
    return done == count ? S_OK : S_FALSE;
}

HRESULT LMPeaksEnum::Clone(IEnumEventEx** out)
{
    // A sample cursor cannot be copied, so neither can a reading detection.
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT LMPeaksEnum::GetEventSize(LONG* bytes)
{
    if (!bytes) {
        return E_POINTER;
    }
    *bytes = static_cast<LONG>(kEventBytes);
    return S_OK;
}

HRESULT LMPeaksEnum::GetDrawType(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = 0;
    return S_OK;
}

HRESULT LMPeaksEnum::GetExtension(IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

} // namespace host
