#include "host/blocktimebase.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace host {

platform::ComPtr<BlockTimeBase> BlockTimeBase::Create(double tickSeconds)
{
    return platform::ComPtr<BlockTimeBase>(new BlockTimeBase(tickSeconds));
}

void BlockTimeBase::AppendBlock(LONGLONG ticks)
{
    ticks_.push_back(std::max<LONGLONG>(ticks, 0));
    current_ = static_cast<LONG>(ticks_.size()) - 1;
    changes_ |= 0xFF000000u;
}

HRESULT BlockTimeBase::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IChartTimeBase, static_cast<IChartTimeBase*>(this)}}, iid, out);
}

LONGLONG BlockTimeBase::Pixels(LONGLONG ticks) const
{
    return static_cast<LONGLONG>(static_cast<__int128>(ticks) * denominator_ / numerator_);
}

LONGLONG BlockTimeBase::BlockStartPixel(std::size_t block) const
{
    LONGLONG pixel = 0;
    for (std::size_t index = 0; index < block && index < ticks_.size(); ++index) {
        pixel += Pixels(ticks_[index]);
    }
    return pixel;
}

HRESULT BlockTimeBase::SetCompression(LONGLONG numerator, LONGLONG denominator)
{
    if (numerator <= 0 || denominator <= 0) {
        return E_INVALIDARG;
    }
    // The longest recording must still fit 64-bit pixels at the new compression.
    __int128 total = 0;
    for (LONGLONG ticks : ticks_) {
        total += static_cast<__int128>(ticks) * denominator / numerator;
    }
    if (total > std::numeric_limits<LONGLONG>::max() / 2) {
        return E_INVALIDARG;
    }
    numerator_ = numerator;
    denominator_ = denominator;
    changes_ |= 0xFF000000u;
    return S_OK;
}

HRESULT BlockTimeBase::GetCompression(LONGLONG* numerator, LONGLONG* denominator)
{
    if (!numerator || !denominator) {
        return E_POINTER;
    }
    *numerator = numerator_;
    *denominator = denominator_;
    return S_OK;
}

HRESULT BlockTimeBase::GetExtent(LONGLONG* pixels)
{
    if (!pixels) {
        return E_POINTER;
    }
    *pixels = BlockStartPixel(ticks_.size());
    return ticks_.empty() ? S_FALSE : S_OK;
}

HRESULT BlockTimeBase::LocateBlock(LONGLONG pixel, ChartBlockPosition* position, LONGLONG* blockEnd)
{
    if (!position || !blockEnd) {
        return E_POINTER;
    }
    if (ticks_.empty() || pixel < 0) {
        return S_FALSE;
    }
    LONGLONG start = 0;
    for (std::size_t index = 0; index < ticks_.size(); ++index) {
        const LONGLONG end = start + Pixels(ticks_[index]);
        if (pixel < end || index + 1 == ticks_.size()) {
            if (pixel > end) {
                return S_FALSE;
            }
            position->block = static_cast<LONG>(index);
            position->tick = static_cast<LONGLONG>(static_cast<__int128>(pixel - start) * numerator_ / denominator_);
            *blockEnd = end;
            return S_OK;
        }
        start = end;
    }
    return S_FALSE;
}

HRESULT BlockTimeBase::PixelToPosition(LONGLONG pixel, ChartBlockPosition* position)
{
    LONGLONG end = 0;
    const HRESULT hr = LocateBlock(std::max<LONGLONG>(pixel, 0), position, &end);
    return hr == S_OK && pixel <= end ? S_OK : S_FALSE;
}

HRESULT BlockTimeBase::PositionToPixel(const ChartBlockPosition& position, double* pixel)
{
    if (!pixel) {
        return E_POINTER;
    }
    if (position.block < 0 || static_cast<std::size_t>(position.block) >= ticks_.size()) {
        return E_INVALIDARG;
    }
    *pixel = static_cast<double>(BlockStartPixel(position.block)) +
             static_cast<double>(static_cast<__int128>(position.tick) * denominator_ / numerator_);
    return S_OK;
}

HRESULT BlockTimeBase::MarkToPixel(LONG, LONGLONG origin, LONG block, double tick, double* pixel)
{
    if (!pixel) {
        return E_POINTER;
    }
    if (!std::isfinite(tick)) {
        return E_INVALIDARG;
    }
    const double whole = std::floor(tick);
    const HRESULT hr = PositionToPixel(ChartBlockPosition{origin + static_cast<LONGLONG>(whole), block}, pixel);
    if (hr == S_OK) {
        *pixel += (tick - whole) * static_cast<double>(denominator_) / static_cast<double>(numerator_);
    }
    return hr;
}

HRESULT BlockTimeBase::BlockStart(LONG block, ChartBlockPosition* position, LONGLONG* blockEnd)
{
    if (!position || !blockEnd) {
        return E_POINTER;
    }
    if (block < 0 || static_cast<std::size_t>(block) >= ticks_.size()) {
        return S_FALSE;
    }
    position->block = block;
    position->tick = 0;
    *blockEnd = BlockStartPixel(block + 1);
    return S_OK;
}

HRESULT BlockTimeBase::GetBlockInfo(LONG, double* secondsPerPixel, double* tickSeconds)
{
    if (!secondsPerPixel || !tickSeconds) {
        return E_POINTER;
    }
    *secondsPerPixel = tickSeconds_ * static_cast<double>(numerator_) / static_cast<double>(denominator_);
    *tickSeconds = tickSeconds_;
    return S_OK;
}

HRESULT BlockTimeBase::GetChangeFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = changes_;
    return S_OK;
}

HRESULT BlockTimeBase::AcknowledgeChanges(DWORD flags)
{
    changes_ &= ~flags;
    return S_OK;
}

HRESULT BlockTimeBase::GetCurrentBlock(LONG* block)
{
    if (!block) {
        return E_POINTER;
    }
    *block = current_;
    return S_OK;
}

HRESULT BlockTimeBase::SamplingStarted(DWORD)
{
    sampling_ = true;
    return S_OK;
}

HRESULT BlockTimeBase::BlockStarted(LONG block, double tickSeconds, BOOL)
{
    if (block < 0) {
        return E_INVALIDARG;
    }
    if (ticks_.size() <= static_cast<std::size_t>(block)) {
        ticks_.resize(static_cast<std::size_t>(block) + 1, 0);
    }
    current_ = block;
    if (tickSeconds > 0) {
        tickSeconds_ = tickSeconds;
    }
    changes_ |= 0xFF000000u;
    return S_OK;
}

HRESULT BlockTimeBase::NewData(LONGLONG samples, LONGLONG* newestPixel)
{
    if (!newestPixel) {
        return E_POINTER;
    }
    if (ticks_.empty()) {
        ticks_.push_back(0);
    }
    ticks_[current_] = std::max<LONGLONG>(samples, 0);
    *newestPixel = BlockStartPixel(ticks_.size());
    return S_OK;
}

HRESULT BlockTimeBase::SamplingStopped(DWORD)
{
    return S_OK;
}

HRESULT BlockTimeBase::AfterStop(BOOL)
{
    sampling_ = false;
    return S_OK;
}

} // namespace host
