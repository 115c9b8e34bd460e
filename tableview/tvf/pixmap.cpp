#include "tableview/tvf/pixmap.h"

#include <algorithm>
#include <limits>

TVF_PixMap::TVF_PixMap(IUnknown* rows, LONG headerRows, LONG headerColumns, DWORD selector)
    : headerRows_(headerRows), headerColumns_(headerColumns), selector_(selector)
{
    if (rows && FAILED(rows->QueryInterface(IID_ITableStoredRowInfo, reinterpret_cast<void**>(&rows_))))
        rows_ = nullptr;
}

TVF_PixMap::~TVF_PixMap()
{
    if (rows_)
        rows_->Release();
}

std::int64_t TVF_PixMap::RecordLength(HRESULT* result) const
{
    LONG count = 0;
    const HRESULT hr = rows_ ? rows_->GetRowCount(selector_, &count) : E_POINTER;
    if (result)
        *result = hr;
    // Without a row source, or with fewer rows than headers, the record is empty rather than negative.
    return FAILED(hr) ? 0 : std::max<std::int64_t>(std::int64_t{count} - headerRows_, 0);
}

std::int64_t TVF_PixMap::NextStart(std::size_t record) const
{
    if (record + 1 < starts_.size())
        return starts_[record + 1];
    return RecordLength() + starts_[record] + Gap(record);
}

std::size_t TVF_PixMap::RecordAt(std::int64_t pixel) const
{
    if (pixel < 0 || starts_.empty())
        return 0;
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), pixel);
    return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin() - 1);
}

void TVF_PixMap::DoRebuild()
{
    starts_.clear();
    std::int64_t running = 0;
    starts_.push_back(running);
    running += RecordLength() + Gap(0);
    dirty_ = false;
}

void TVF_PixMap::RebuildIfDirty()
{
    if (dirty_)
        DoRebuild();
}

HRESULT TVF_PixMap::SetOrigin(LONG_PTR value)
{
    origin_ = value;
    dirty_ = true;
    return S_OK;
}

HRESULT TVF_PixMap::Unused4(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR)
{
    dirty_ = true;
    return E_NOTIMPL;
}

HRESULT TVF_PixMap::SetGap(LONG which, LONG pixels)
{
    switch (which) {
    case 0: firstGap_ = pixels; break;
    case 1: laterGap_ = pixels; break;
    case 2: thirdGap_ = pixels; break;
    default: return E_INVALIDARG;
    }
    dirty_ = true;
    return S_OK;
}

HRESULT TVF_PixMap::SetScale(std::int64_t numerator, std::int64_t denominator)
{
    scaleNumerator_ = numerator;
    scaleDenominator_ = denominator;
    scale_ = denominator != 0 ? static_cast<double>(numerator) / static_cast<double>(denominator) : 0.0;
    dirty_ = true;
    return S_OK;
}

HRESULT TVF_PixMap::GetScale(KVORational* scale)
{
    if (!scale)
        return E_POINTER;
    scale->numerator = scaleNumerator_;
    scale->denominator = scaleDenominator_;
    return S_OK;
}

HRESULT TVF_PixMap::Unused10(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR)
{
    dirty_ = true;
    return E_NOTIMPL;
}

HRESULT TVF_PixMap::Unused11(LONG_PTR, LONG_PTR)
{
    dirty_ = true;
    return E_NOTIMPL;
}

HRESULT TVF_PixMap::Rebuild(LONG_PTR)
{
    DoRebuild();
    return S_OK;
}

HRESULT TVF_PixMap::BeginIteration(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR,
                                   LONG_PTR, LONG_PTR, LONG_PTR)
{
    RebuildIfDirty();
    iterating_ = true;
    iterationIndex_ = 0;
    if (starts_.empty())
        starts_.push_back(0);
    return S_OK;
}

HRESULT TVF_PixMap::EndIteration(LONG_PTR)
{
    iterating_ = false;
    return S_OK;
}

HRESULT TVF_PixMap::GetIterationPosition(LONG_PTR, std::int64_t* pixel)
{
    if (!pixel)
        return E_POINTER;
    if (iterating_ && static_cast<std::size_t>(iterationIndex_) < starts_.size()) {
        *pixel = starts_[iterationIndex_] + Gap(iterationIndex_);
        return S_OK;
    }
    *pixel = starts_.empty() ? Gap(0) : NextStart(starts_.size() - 1) + Gap(starts_.size());
    return S_FALSE;
}

HRESULT TVF_PixMap::GetTotalLength(std::int64_t* length)
{
    if (!length)
        return E_POINTER;
    RebuildIfDirty();
    *length = starts_.empty() ? 0 : NextStart(starts_.size() - 1);
    return S_OK;
}

HRESULT TVF_PixMap::GetRecordCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    RebuildIfDirty();
    *count = static_cast<LONG>(starts_.size());
    return S_OK;
}

HRESULT TVF_PixMap::PixelToPosition(std::int64_t pixel, RecordDataPosition* position, std::int64_t* nextStart)
{
    if (!position || !nextStart)
        return E_POINTER;
    RebuildIfDirty();
    const std::size_t r = RecordAt(pixel);
    *position = {pixel - starts_[r] - Gap(r), static_cast<std::int32_t>(r), 0};
    *nextStart = NextStart(r);
    return pixel < 0 || pixel >= *nextStart ? S_FALSE : S_OK;
}

HRESULT TVF_PixMap::GetRecordExtent(LONG record, std::int64_t* from, std::int64_t* to)
{
    if (!from || !to)
        return E_POINTER;
    RebuildIfDirty();
    if (record < 0 || static_cast<std::size_t>(record) >= starts_.size()) {
        *from = *to = std::numeric_limits<std::int64_t>::min();
        return S_FALSE;
    }
    *from = -std::int64_t{Gap(record)};
    *to = NextStart(record);
    return S_OK;
}

HRESULT TVF_PixMap::SnapPixel(LONG mode, std::int64_t pixel, std::int64_t* offset, RecordDataPosition* position)
{
    if (!offset || !position)
        return E_POINTER;
    RebuildIfDirty();
    const std::size_t r = RecordAt(pixel);
    *offset = pixel - starts_[r] - Gap(r);
    *position = {std::max<std::int64_t>(*offset, 0), static_cast<std::int32_t>(r), 0};
    if (*offset >= 0)
        return S_OK;
    // In the gap before record r's data.
    const bool nearerIsThis = mode == 0 && *offset + Gap(r) / 2 >= 0;
    if (nearerIsThis || (mode != 0 && mode != 1) || r == 0)
        return S_OK;
    HRESULT result = S_OK;
    const std::int64_t previousLength = RecordLength(&result);
    *position = {previousLength - 1, static_cast<std::int32_t>(r - 1), 0};
    return result;
}
