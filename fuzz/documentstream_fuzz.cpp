// The analysis document's stream over outside input: what a host document hands the module when it opens a file
// saved by any version, or damaged. Whatever is loaded must save again, and what is saved must load back into another
// document and save the very same bytes. The table then shows one event: a cell of each column and of each summary
// row is formatted with whatever column formats were loaded, and a number with each loaded format.
#include "fuzzkit.h"

#include "document/cycledetector.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "document/settingsset.h"
#include "foundation/binstream.h"
#include "host/host.h"
#include "platform/com/memstream.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvftableviewmgr.h"
#include "tests/document/preparedevents.h"

#include <cstring>
#include <sstream>

using CX::Doc::PersistSettings;

namespace {

host::Host& SharedHost()
{
    static host::Host* instance = [] {
        auto* created = new host::Host;
        created->Start();
        return created;
    }();
    return *instance;
}

struct Tables final : CX::Doc::PersistTables {
    Tables() { TVF::CreateTableViewManager(manager.Out()); }
    TVF_TableViewMgr* TableManager() override { return manager.Get(); }
    CX::TableViewData* TableData() override { return data.Get(); }

    platform::ComPtr<TVF_TableViewMgr> manager;
    platform::ComPtr<CX::TableViewData> data;
};

// A persistence object over a fresh host document with table objects of its own, the table's data over the
// document's results.
struct Persisted {
    Persisted()
        : hostDocument(host::HostDocument::Create(SharedHost().Log(), 7, SharedHost().NewChartData())),
          persist(hostDocument->AsUnknown(), tables), results(hostDocument->AsUnknown(), persist)
    {
        tables.data = platform::ComPtr<CX::TableViewData>(new CX::TableViewData(&results, &persist.Settings()));
    }
    platform::ComPtr<host::HostDocument> hostDocument;
    Tables tables;
    PersistSettings persist;
    CX::Doc::CycleDetector results;
};

// One event whose every result is a finite number with more digits than any format shows.
CX::Enum::EventFCalc Event()
{
    CX::Enum::EventFCalc event;
    event.ResetResults();
    event.tick = 10;
    event.count = 1;
    const float value = 0.0123456789f;
    auto* bytes = reinterpret_cast<unsigned char*>(&event);
    for (std::size_t at = offsetof(CX::Enum::EventFCalc, tStart); at < offsetof(CX::Enum::EventFCalc, rise50Tick);
         at += sizeof value) {
        std::memcpy(bytes + at, &value, sizeof value);
    }
    return event;
}

// Every cell of the table's one event row and of its summary rows, as the table view asks for them.
void ShowCells(Persisted& document)
{
    auto source = doctest::Prepared({Event()}, CX::Doc::CycleDetector::kRecordBytes);
    fuzzkit::Check(document.results.BeginBlock(0, source.Get(), 0.001) && document.results.EnumerateTo(-1),
                   "the event was not taken");
    document.results.EndBlock();
    CX::TableViewData& data = *document.tables.data.Get();
    data.ComputeSummary();
    // A format kept for a column that this analysis type does not show is shown once the user turns it on.
    for (const auto& [code, format] : data.Formats()) {
        CX::FormatCellNumber(format, 0.0123456789);
    }
    LONG columns = 0;
    data.GetColumnCount(0, &columns);
    for (LONG column = 0; column < columns; ++column) {
        for (const auto& [flags, row] : {std::pair<DWORD, LONG>{TableGrid::kEvents, 1}, {TableGrid::kSummary, 1},
                                         {TableGrid::kSummary, 2}, {TableGrid::kSummary, 3}}) {
            IKVOString* text = nullptr;
            if (SUCCEEDED(data.GetCell(flags, row, column, &text)) && text) {
                text->Release();
            }
        }
    }
}

struct Saved {
    HRESULT result;
    fuzzkit::Bytes bytes;
};

Saved Save(PersistSettings& persist)
{
    auto stream = platform::MemoryStream::Create();
    const HRESULT result = persist.Save(stream.Get(), TRUE);
    const auto& data = stream->Data();
    return {result, fuzzkit::Bytes(data.begin(), data.end())};
}

HRESULT Load(PersistSettings& persist, const fuzzkit::Bytes& bytes)
{
    auto stream = platform::MemoryStream::Create(std::vector<BYTE>(bytes.begin(), bytes.end()));
    return persist.Load(stream.Get());
}

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    {
        Persisted fresh;
        seeds.push_back(Save(fresh.persist).bytes);
    }
    // A document of type 3 on channel 2 whose table has three columns moved and widened and two column formats.
    Persisted rich;
    rich.persist.Settings().SetLong(CX::Doc::SettingId::kSourceChannel, 2);
    rich.persist.Settings().AddChannel(2);
    rich.persist.Settings().Find(CX::Doc::SettingId::kAnalysisType)->FromText(KVO::String(u"3"), true);
    rich.tables.manager->ResetColumns(3);
    const std::int32_t state[] = {2, 3, 0, 2, 1, 100, 120, 100, 1337};
    std::string stateBytes;
    for (const std::int32_t word : state) {
        for (int i = 0; i < 4; ++i) {
            stateBytes.push_back(static_cast<char>((static_cast<std::uint32_t>(word) >> (8 * i)) & 0xFF));
        }
    }
    std::stringbuf stateBuffer(stateBytes, std::ios::in);
    KVO::BinIStream in(&stateBuffer);
    rich.tables.manager->LoadState(0, &in);
    rich.tables.data->FormatFor(0);
    rich.tables.data->FormatFor(3).digits = 6;
    seeds.push_back(Save(rich.persist).bytes);
    // Every column of the table with a format of its own, as "Apply to all columns" leaves them.
    Persisted formatted;
    for (int code = 0; code <= 58; ++code) {
        formatted.tables.data->FormatFor(code).digits = 2 + code % 9;
    }
    seeds.push_back(Save(formatted.persist).bytes);
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("documentstream", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzzkit::Bytes input(data, data + size);
    Persisted first;
    const HRESULT loaded = Load(first.persist, input);
    fuzzkit::Check(loaded == S_OK || loaded == E_FAIL, "loading answered neither S_OK nor E_FAIL");
    fuzzkit::Check((loaded == S_OK) == first.persist.loaded, "the loaded flag disagrees with the answer");

    // Whatever was kept of the input is saved, loads into another document and saves the same bytes again.
    const Saved once = Save(first.persist);
    fuzzkit::Check(once.result == S_OK, "a loaded document could not be saved");
    Persisted second;
    fuzzkit::Check(Load(second.persist, once.bytes) == S_OK, "a saved document was refused");
    const Saved twice = Save(second.persist);
    fuzzkit::Check(twice.bytes == once.bytes, "a saved document read back differently");

    ShowCells(first);
    // The host keeps a record of every call: kept from one input to the next it would grow without end, and
    // every input would look like a leak and be scanned for one.
    SharedHost().Log().Clear();
    return 0;
}
