// The table view's pixel map: one pixel per table row, over the table's stored rows as a single record. The cell
// renderer turns row indexes into (offset, record) positions through it and reads the number of data rows from it.
#pragma once

#include "foundation/comobject.h"
#include "sdk/recorddatapixmap.h"
#include "sdk/tableview.h"

#include <cstdint>
#include <vector>

template <>
struct InterfaceIdOf<IRecordDataPixMap> {
    static constexpr const IID& value = IID_IRecordDataPixMap;
};

class TVF_PixMap final : public SimpleUnknownImp1<IRecordDataPixMap, 0> {
public:
    // `rows` is queried for ITableStoredRowInfo; without it the map holds no rows.
    TVF_PixMap(IUnknown* rows, LONG headerRows, LONG headerColumns, DWORD selector);
    ~TVF_PixMap() override;
    TVF_PixMap(const TVF_PixMap&) = delete;
    TVF_PixMap& operator=(const TVF_PixMap&) = delete;

    HRESULT SetOrigin(LONG_PTR value) override;
    HRESULT Unused4(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override;
    HRESULT Unused5(LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT SetGap(LONG which, LONG pixels) override;
    HRESULT Unused7(LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT SetScale(std::int64_t numerator, std::int64_t denominator) override;
    HRESULT GetScale(KVORational* scale) override;
    HRESULT Unused10(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override;
    HRESULT Unused11(LONG_PTR, LONG_PTR) override;
    HRESULT Rebuild(LONG_PTR ignored) override;
    HRESULT BeginIteration(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR,
                           LONG_PTR, LONG_PTR) override;
    HRESULT Unused14(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT EndIteration(LONG_PTR ignored) override;
    HRESULT GetIterationPosition(LONG_PTR ignored, std::int64_t* pixel) override;
    HRESULT Unused17(LONG_PTR) override { return E_NOTIMPL; }
    HRESULT GetTotalLength(std::int64_t* length) override;
    HRESULT GetRecordCount(LONG* count) override;
    HRESULT Unused20(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT PixelToPosition(std::int64_t pixel, RecordDataPosition* position, std::int64_t* nextStart) override;
    HRESULT Unused22(LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT GetRecordExtent(LONG record, std::int64_t* from, std::int64_t* to) override;
    HRESULT SnapPixel(LONG mode, std::int64_t pixel, std::int64_t* offset, RecordDataPosition* position) override;
    HRESULT Unused25(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused26(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused27(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override
    {
        return E_NOTIMPL;
    }
    HRESULT Unused28(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused29(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused30(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused31(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override
    {
        return E_NOTIMPL;
    }
    HRESULT Unused32(LONG_PTR, LONG_PTR) override { return S_OK; }
    HRESULT Unused33(LONG_PTR) override { return S_OK; }
    HRESULT Unused34(LONG_PTR) override { return S_OK; }
    HRESULT Unused35() override { return E_NOTIMPL; }
    HRESULT Unused36(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused37(LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused38(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused39(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused40(LONG_PTR, LONG_PTR, LONG_PTR) override { return E_NOTIMPL; }
    HRESULT Unused41(LONG_PTR) override { return E_NOTIMPL; }

private:
    // Data rows of the one record: the stored rows less the header rows, read afresh each time.
    std::int64_t RecordLength(HRESULT* result = nullptr) const;
    std::int32_t Gap(std::size_t record) const { return record == 0 ? firstGap_ : laterGap_; }
    std::int64_t NextStart(std::size_t record) const;
    // The record whose start is at or before the pixel (record 0 for a negative pixel).
    std::size_t RecordAt(std::int64_t pixel) const;
    void RebuildIfDirty();
    void DoRebuild();

    ITableStoredRowInfo* rows_ = nullptr;
    double scale_ = 1.0;
    std::int64_t scaleNumerator_ = 1;
    std::int64_t scaleDenominator_ = 1;
    std::vector<std::int64_t> starts_;
    std::int32_t firstGap_ = 0;
    std::int32_t laterGap_ = 0;
    std::int32_t thirdGap_ = 0; // kept, read nowhere
    std::int32_t iterationIndex_ = 0;
    LONG_PTR origin_ = 0; // kept, read nowhere
    bool iterating_ = false;
    bool dirty_ = true;
    LONG headerRows_;
    LONG headerColumns_; // kept, read nowhere
    DWORD selector_;
};
