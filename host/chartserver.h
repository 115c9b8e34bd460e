// The host's time base and data server of a chart pane over a document: tick and pixel mapping of the record in
// view, point sources that reduce samples to one vertical segment per pixel column, and event channels by record.
#pragma once

#include "host/comobject.h"
#include "host/document.h"
#include "host/eventarray.h"
#include "sdk/chartserver.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace host {

class ChartServer final : public RefCounted,
                          public IChartDataSource,
                          public IChartDataServer,
                          public IChartChannelSelection {
public:
    // A new server with one reference.
    static platform::ComPtr<ChartServer> Create(std::shared_ptr<Document> document);

    // The view: tick `firstTick` of `record` lies at x = originX, and every pixel spans ticksPerPixel ticks.
    void SetView(LONG record, double firstTick, double ticksPerPixel, LONG originX);
    // Event channels are numbered after the document's sample channels; one array per record.
    int AddEventChannel(std::vector<std::shared_ptr<const EventArray>> records);
    void SetCurrentRecord(LONG record) { currentRecord_ = record; }
    // Draws in sweep mode through this display (none: scrolling display); the server answers its sweep interface.
    void SetSweep(IChartSweep* sweep) { sweep_ = sweep; }
    // Answers the event enumerator of a channel the server does not hold itself (a calculation channel).
    using CalculatedEvents = std::function<HRESULT(LONG channel, LONG record, IUnknown** enumerator)>;
    void SetCalculatedEvents(CalculatedEvents answer) { calculatedEvents_ = std::move(answer); }
    // Answers the samples of a channel the server does not hold itself (a calculation channel of samples) over a
    // record; null when it has none.
    using CalculatedSamples = std::function<std::shared_ptr<const std::vector<float>>(LONG channel, LONG record)>;
    void SetCalculatedSamples(CalculatedSamples answer) { calculatedSamples_ = std::move(answer); }
    // Calls of NewPointSource and GetEventEnumerator so far.
    int PointSourceRequests() const { return pointSourceRequests_; }
    // Point sources served from calculated samples so far.
    int CalculatedPointSources() const { return calculatedPointSources_; }
    int EventRequests() const { return eventRequests_; }
    // The chart's channel selection; none at first.
    void SetChannelSelected(LONG channel, bool selected);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    // IChartDataSource
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT SetLayoutValue(DWORD key, LONG value) override;
    HRESULT Reserved7() override { return E_NOTIMPL; }
    HRESULT Reserved8() override { return E_NOTIMPL; }
    HRESULT Reserved9() override { return E_NOTIMPL; }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Reserved12() override { return E_NOTIMPL; }
    HRESULT Reserved13() override { return E_NOTIMPL; }
    HRESULT Reserved14() override { return E_NOTIMPL; }
    HRESULT Reserved15() override { return E_NOTIMPL; }
    HRESULT GetBaseTick(LONG reserved, LONGLONG* tick) override;
    HRESULT GetDataServer(IUnknown** server) override;
    HRESULT Reserved18() override { return E_NOTIMPL; }
    HRESULT Reserved19() override { return E_NOTIMPL; }
    HRESULT Reserved20() override { return E_NOTIMPL; }
    HRESULT Reserved21() override { return E_NOTIMPL; }
    HRESULT Reserved22() override { return E_NOTIMPL; }
    HRESULT Reserved23() override { return E_NOTIMPL; }
    HRESULT LocateStart(DWORD mode, LONGLONG chartTick, LONG* record, LONGLONG* tick) override;
    HRESULT TickToX(DWORD flags, LONG record, LONGLONG tick, double* x) override;
    HRESULT LocateEnd(DWORD mode, LONGLONG chartTick, LONG* record, LONGLONG* tick) override;
    HRESULT Reserved27() override { return E_NOTIMPL; }
    HRESULT Reserved28() override { return E_NOTIMPL; }
    HRESULT GetRecordExtent(LONG record, LONGLONG* ticks) override;

    // IChartDataServer
    HRESULT Reserved6() override { return E_NOTIMPL; }
    HRESULT GetCurrentRecord(LONG reserved, LONG* record) override;
    // The value range request (kChartRequestDataRange) over the samples of a recording channel; others do nothing.
    HRESULT RequestData(DWORD flags, LONG channel, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR r0,
                        LONG_PTR r1, LONG_PTR r2, LONG_PTR e) override;
    HRESULT GetChannelFlag(DWORD flags, LONG record, LONG channel, WORD* flag) override;
    HRESULT GetUnitText(DWORD flags, LONG record, LONG channel, IKVOString** text) override;
    HRESULT Reserved16() override { return E_NOTIMPL; }
    HRESULT GetData(DWORD flags, LONG record, LONG channel, IUnknown** data) override;
    HRESULT Reserved24() override { return E_NOTIMPL; }
    HRESULT Reserved25() override { return E_NOTIMPL; }
    HRESULT Reserved26() override { return E_NOTIMPL; }
    HRESULT Reserved29() override { return E_NOTIMPL; }
    HRESULT Reserved30() override { return E_NOTIMPL; }
    HRESULT GetEventEnumerator(DWORD flags, LONG channel, DWORD kind, LONG firstRecord, LONG lastRecord, LONG limit,
                               LONG reserved, IUnknown** enumerator) override;
    HRESULT Reserved32() override { return E_NOTIMPL; }
    HRESULT Reserved33() override { return E_NOTIMPL; }
    HRESULT Reserved34() override { return E_NOTIMPL; }
    HRESULT Reserved35() override { return E_NOTIMPL; }
    HRESULT NewPointSource(DWORD flags, LONG channel, LONGLONG from, LONGLONG to, LONG record, LONG r0, LONG limit,
                           double yScale, double yOffset, DWORD style, IChartPointSource** source) override;

    // IChartChannelSelection
    HRESULT IsChannelSelected(LONG channel) override;

    std::map<DWORD, LONG> layoutValues;

private:
    explicit ChartServer(std::shared_ptr<Document> document) : document_(std::move(document)) {}

    std::shared_ptr<Document> document_;
    std::vector<std::vector<std::shared_ptr<const EventArray>>> eventChannels_;
    LONG viewRecord_ = 0;
    double firstTick_ = 0;
    double ticksPerPixel_ = 1;
    LONG originX_ = 0;
    LONG currentRecord_ = 0;
    int pointSourceRequests_ = 0;
    int calculatedPointSources_ = 0;
    int eventRequests_ = 0;
    CalculatedEvents calculatedEvents_;
    platform::ComPtr<IChartSweep> sweep_;
    CalculatedSamples calculatedSamples_;
    std::set<LONG> selectedChannels_;
};

} // namespace host
