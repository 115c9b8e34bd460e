// Chart data that records: the host's recording sink pulls each new tick of every enabled channel from the data
// source that records into it, appends the samples to a block of its own document and tells its listeners, in the
// host's order, that sampling starts, a record starts, data arrives, the record's recording stops and sampling has
// ended.
#pragma once

#include "host/comobject.h"
#include "host/datasource.h"
#include "host/document.h"
#include "host/onlinesinks.h"
#include "sdk/channeltoken.h"
#include "sdk/chartdata.h"
#include "sdk/datasource.h"
#include "sdk/recording.h"
#include "sdk/sampleenum.h"

#include <map>
#include <memory>
#include <vector>

namespace host {

class Host;

class ChartRecorder final : public IChannelData,
                            public IChartRecording,
                            public IChartDataSink,
                            public IChartRecordData,
                            public IOnlineDataNotices,
                            public IChannelNaming,
                            public IChannelCalculation,
                            private RefCounted {
public:
    // A new, empty chart data with one reference for the caller.
    static ChartRecorder* Create(Host* host = nullptr)
    {
        auto* created = new ChartRecorder;
        created->host_ = host;
        created->AddRef();
        return created;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetChannelTimeBase(DWORD reserved, LONG block, LONG channel, ChannelTimeBase* out) override;
    // IChartDataSink
    HRESULT CanSample(IKVOString** reason, VARIANT_BOOL* can) override;
    HRESULT Prepare(LONG reserved) override;
    HRESULT StartRecord(LONG reserved, IKVOChannelDataSource* source, double tickPeriod, double startTime,
                        double reserved2, LONG reserved3, LONG reserved4, LONG startParam,
                        VARIANT_BOOL online) override;
    HRESULT AddTicks(LONG ticks) override;
    HRESULT EndRecord(LONG reserved, LONG* out) override;
    HRESULT Stop(VARIANT_BOOL finished) override;
    HRESULT SetupChannel(LONG channel, LONG enabled, VARIANT_BOOL enabledFlag, DWORD reserved,
                         KVORational samplePeriod, const KVORational* tickPeriod, DWORD kind,
                         IKVOChannelDataSource* source) override;
    // IChartRecordData
    HRESULT GetRecordEndPosition(LONG reserved, KVOPosition* end) override;
    HRESULT GetTickPeriod(LONG reserved, LONG record, double* period) override;
    // IOnlineDataNotices
    HRESULT Subscribe(IOnlineDataSink* sink) override;
    HRESULT Unsubscribe(IOnlineDataSink* sink) override;
    // IChannelNaming: virtual channels "vch1", "vch2", ... in order; word0 is the 0-based number.
    HRESULT AllocateChannel(VARIANT_BOOL visible, DWORD reserved, IKVOString** name,
                            ChannelReference* channel) override;
    HRESULT GetChannelToken(LONG, LONG, LONG, BSTR*) override { return E_NOTIMPL; }
    // IChannelCalculation: the allocated virtual channel's events come from the text.
    HRESULT SetCalculation(DWORD messageId, IKVOString* text, IKVOString* unit,
                           const ChannelReference* channel) override;

    const Document& GetDocument() const { return *document_; }

private:
    ChartRecorder() : document_(Document::Create()) {}

    std::shared_ptr<Document> document_;
    std::map<LONG, bool> enabled_; // the channels set up for the next record
    std::vector<platform::ComPtr<IEnumFloatEx>> readers_;
    platform::ComPtr<IKVOChannelDataSource> source_;
    int block_ = -1;
    LONG end_ = 0;
    bool sampling_ = false;
    OnlineSinks sinks_;
    // The host's data source over the recorded document, made on first request (readers of the recording, such
    // as the self tests' calculations, reach it through IID_IDataSource).
    Host* host_ = nullptr;
    platform::ComPtr<DataSource> reader_;
    std::map<int, std::u16string> virtualTexts_;
    int virtualChannels_ = 0;
    DataSource* Reader();
    // Tells the chart data's listeners and its data source's.
    template <class Notice>
    void Tell(Notice notice);
};

// The host's chart-data class object: each request a new, empty chart data.
class ChartDataFactory final : public IChartDataFactory, private HostOwned {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT CreateChartData(LONG reserved, REFIID iid, void** out) override;
    void SetHost(Host* host) { host_ = host; }

private:
    Host* host_ = nullptr;
};

} // namespace host
