// The command-line host run as a user runs it: crestmetrics calc on the bundled examples, and its refusals.
#include "host/recording.h"
#include "host/saveddocument.h"
#include "platform/gdi/image.h"
#include "tests/cli/programrun.h"
#include "tests/driver/synaptic_signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <iterator>
#include <map>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using clitest::Example;
using clitest::Quote;
using clitest::RunResult;
using clitest::TempFolder;

// Standard output goes to `stdoutTo` when one is given (and then reads as empty).
RunResult RunProgram(const std::vector<std::string>& arguments, const std::string& stdoutTo = {})
{
    return clitest::RunProgram({.arguments = arguments, .stdoutTo = stdoutTo});
}

std::vector<std::vector<std::string>> Rows(const std::string& out)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, '\t')) {
            fields.push_back(cell);
        }
        rows.push_back(fields);
    }
    return rows;
}

// The peaks of the cardiac example found from the recording itself: each action potential is the stretch from its
// first sample above -25 mV to its fall to -60 mV (the rest lies near -80 mV, every beat reaches above 0 mV, and the
// noise, 0.3 mV, cannot bridge the gap between the two levels while it repolarises), and its peak is the highest
// sample of the stretch, which no later sample of the stretch reaches. The host keeps the file's mV as V, so
// heights are in V.
TEST(CommandLine, CalcPrintsThePeaksOfTheCardiacExample)
{
    const auto document = host::ReadRecordingFile(Example("cardiac.txt").string());
    std::vector<std::vector<std::string>> expected;
    for (int block = 0; block < document->BlockCount(); ++block) {
        const auto samples = document->Samples(block, 0);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (samples[i] <= -0.025f) {
                continue;
            }
            std::size_t peak = i;
            for (; i < samples.size() && samples[i] > -0.060f; ++i) {
                if (samples[i] > samples[peak]) {
                    peak = i;
                }
            }
            std::ostringstream time;
            time << static_cast<double>(peak) * document->TickPeriod(block);
            std::ostringstream value;
            value.precision(9);
            value << samples[peak];
            expected.push_back({std::to_string(block + 1), std::to_string(peak), time.str(), "0", value.str()});
        }
    }
    ASSERT_GE(expected.size(), 8u);
    ASSERT_EQ(document->BlockCount(), 2);

    const RunResult result = RunProgram({"calc", "cappeakdet(ch1, 0.05, 2)", Example("cardiac.txt").string(), "--quiet"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("# block\ttick\ttime (s)\tdraw\tvalue\n", 0), 0u);
    const auto rows = Rows(result.out);
    ASSERT_EQ(rows.size(), expected.size()) << result.out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 5u);
        EXPECT_EQ(rows[i][0], expected[i][0]);
        EXPECT_EQ(rows[i][1], expected[i][1]);
        EXPECT_NEAR(std::stod(rows[i][2]), std::stod(expected[i][2]), 1e-12);
        EXPECT_EQ(rows[i][3], expected[i][3]);
        EXPECT_EQ(std::stof(rows[i][4]), std::stof(expected[i][4])) << "peak " << i;
    }

    // The whole cardiac chain: final records with the values of the 59 parameter codes, at the detector's peaks.
    const RunResult chain = RunProgram({"calc", "CalcBulk(ch1,CalcBase2(ch1,calcamax(ch1,calcbase(ch1,"
                                                "cappeakdet(ch1,0.05,2)))))",
                                        Example("cardiac.txt").string(), "--quiet"});
    ASSERT_EQ(chain.status, 0) << chain.err;
    EXPECT_NE(chain.out.find("\tvalue\tp0\tp1\t"), std::string::npos);
    const auto chainRows = Rows(chain.out);
    EXPECT_FALSE(chainRows.empty());
    for (const auto& row : chainRows) {
        ASSERT_EQ(row.size(), 5u + 59u);
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
                                [&](const auto& peak) { return peak[0] == row[0] && peak[1] == row[1]; }))
            << "block " << row[0] << " tick " << row[1];
    }

    // Progress goes to standard error, one line per block, and leaves the events alone.
    const RunResult verbose = RunProgram({"calc", "CAPPeak( ch1 , 0.05 , 2 )", Example("cardiac.txt").string()});
    ASSERT_EQ(verbose.status, 0);
    EXPECT_EQ(verbose.out, result.out);
    EXPECT_NE(verbose.err.find("calc: block 2 of 2"), std::string::npos) << verbose.err;
}

TEST(CommandLine, RefusalsSayWhatIsWrong)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const TempFolder folder;
    const fs::path bad = folder / "bad.txt";
    {
        std::ofstream out(bad);
        out << "Time (s)\tVm (mV)\n0\t1\n0.001\tfast\n";
    }
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* message;
    } cases[] = {
        {{}, 2, "usage: crestmetrics COMMAND"},
        {{"analyze"}, 2, "unknown command \"analyze\""},
        {{"calc", "cappeakdet(ch1, 50)"}, 2, "needs a calculation text and a recording"},
        {{"calc", "--colour", "x", "y"}, 2, "unknown option --colour"},
        {{"calc", "cappeakdet(ch1, 50", cardiac}, 1, "missing \")\""},
        {{"calc", "cappeakdet(ch2, 50)", cardiac}, 1, "no channel \"ch2\" at character 12"},
        {{"calc", "peakfinder(ch1)", cardiac}, 1, "unknown calculation \"peakfinder\" at character 1"},
        {{"calc", "cappeakdet(ch1, 50)", bad.string()}, 1, "line 3: column 2: not a number: \"fast\""},
        {{"calc", "cappeakdet(ch1, 50)", "/no/such/file.txt"}, 1, "cannot open /no/such/file.txt"},
        {{"calc", "--module", "/no/such/module.so", "cappeakdet(ch1, 50)", cardiac}, 1, "cannot load the module"},
        {{"selftest", "--module", "/no/such/module.so"}, 1, "cannot load the module"},
        {{"selftest", "--fast"}, 2, "unknown option --fast"},
        {{"selftest", "NoSuch::Test"}, 1, "no sub-test matches"},
        {{"selftest", "--seed", "x"}, 2, "--seed needs a whole number"},
        {{"selftest", "--seed", "2147483648"}, 2, "--seed needs a whole number"},
        {{"selftest", "--seed"}, 2, "--seed needs a value"},
    };
    for (const auto& c : cases) {
        const RunResult result = RunProgram(c.arguments);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    const RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("calc TEXT RECORDING"), std::string::npos);
    EXPECT_NE(help.out.find("selftest [--seed N] [list]"), std::string::npos);
    EXPECT_NE(help.out.find("standard input is read as /dev/stdin"), std::string::npos);
}

// The module registers nine tests: eight calculation tests, then the document test.
TEST(CommandLine, SelfTestListsAndRunsTheRegisteredTests)
{
    for (const char* mode : {"list", ""}) {
        std::vector<std::string> arguments{"selftest", "--quiet"};
        if (*mode) {
            arguments.emplace_back(mode);
        }
        const RunResult result = RunProgram(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        std::istringstream lines(result.out);
        std::vector<std::string> tests;
        std::string line;
        while (std::getline(lines, line)) {
            if (line.starts_with("# test ")) {
                tests.push_back(line);
            }
        }
        ASSERT_EQ(tests.size(), 9u) << result.out;
        for (std::size_t t = 0; t < 8; ++t) {
            EXPECT_TRUE(tests[t].starts_with("# test " + std::to_string(t + 1) + ": Crestmetrics (calculation tests)"))
                << tests[t];
        }
        EXPECT_TRUE(tests[8].starts_with("# test 9: Crestmetrics (document tests)")) << tests[8];
        EXPECT_EQ(result.out.find("run, ") != std::string::npos, *mode == '\0') << result.out;
    }

    // A fixed seed is named first, and a seeded run of the sub-tests that draw new sequences passes as a clocked one.
    const RunResult seeded = RunProgram({"selftest", "--quiet", "--seed", "-4242", "Crestmetrics::Enum::CAPPeakDet"});
    EXPECT_EQ(seeded.status, 0) << seeded.out << seeded.err;
    EXPECT_EQ(seeded.out.rfind("# seed -4242\n# test 1: ", 0), 0u) << seeded.out;
    EXPECT_NE(seeded.out.find("pass\tCrestmetrics::Enum::CAPPeakDet::Test::EventEnumBounceTest\n"), std::string::npos);
}

} // namespace

// The host's own peak detection over a generated recording written as a user's file, alone and under the module's
// conversion, against the events the recording was generated with.
TEST(CommandLine, CalcDetectsTheEventsOfAGeneratedRecording)
{
    const signals::Recording r = signals::Make(signals::Shape::SynapticCurrent, 8.0, -1, 41);
    const TempFolder folder;
    const fs::path file = folder / "lmpeaks.txt";
    {
        std::ofstream out(file);
        out << "Time (s)\tIm (pA)\n";
        out.precision(9);
        for (std::size_t i = 0; i < r.samples.size(); ++i) {
            out << static_cast<double>(i) * r.tickPeriod << '\t' << r.samples[i] << '\n';
        }
    }
    const std::string detection = "lmpeaks( ch1, -1, 1, 5, 0.005, 1, 0.0005, 0.5 )";
    for (const std::string& text : {detection, "pcc( ch1, " + detection + ", 0, 0, 0, 0 )"}) {
        const RunResult result = RunProgram({"calc", text, file.string(), "--quiet"});
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<double> times;
        for (const auto& row : Rows(result.out)) {
            ASSERT_GE(row.size(), 5u);
            times.push_back(std::stod(row[2]));
        }
        const signals::Score score = signals::Match(r.times, times, -0.001, 0.003);
        EXPECT_GT(score.recall, 0.98) << text;
        EXPECT_GT(score.precision, 0.98) << text;
    }
}

namespace {

// Tab-separated cells of the lines of a text with CR LF line ends; false when a line ends otherwise.
bool SplitCrLfTable(const std::string& text, std::vector<std::vector<std::string>>& lines)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos || text.find('\n', start) < end) {
            return false;
        }
        std::vector<std::string> cells;
        std::istringstream line(text.substr(start, end - start));
        std::string cell;
        while (std::getline(line, cell, '\t')) {
            cells.push_back(cell);
        }
        lines.push_back(cells);
        start = end + 2;
    }
    return true;
}

// The events an example recording was generated with (examples/NAME.events.txt, written by make_examples.py): one
// row of numbers per event, the block first.
std::vector<std::vector<double>> Truth(const std::string& example)
{
    std::ifstream in(Example((example + ".events.txt").c_str()));
    std::vector<std::vector<double>> rows;
    for (const auto& fields : Rows(std::string(std::istreambuf_iterator<char>(in), {}))) {
        std::vector<double> row;
        for (const std::string& field : fields) {
            row.push_back(std::stod(field));
        }
        rows.push_back(row);
    }
    return rows;
}

// An exported analysis table: its header, event rows and summary rows.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> events;
    std::vector<std::vector<std::string>> summary;

    std::size_t Column(const std::string& name) const
    {
        const auto found = std::find(header.begin(), header.end(), name);
        EXPECT_NE(found, header.end()) << name;
        return static_cast<std::size_t>(found - header.begin());
    }
};

// Splits the export: header, events, a blank line, the summary's header and rows; CR LF on every line.
::testing::AssertionResult ReadTable(const std::string& text, Table& table)
{
    std::vector<std::vector<std::string>> lines;
    if (!SplitCrLfTable(text, lines) || lines.empty()) {
        return ::testing::AssertionFailure() << "not a table with CR LF line ends:\n" << text;
    }
    table.header = lines[0];
    std::size_t i = 1;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
        if (lines[i].size() != table.header.size()) {
            return ::testing::AssertionFailure() << "line " << i + 1 << " has another column count";
        }
        table.events.push_back(lines[i]);
    }
    if (i + 2 < lines.size() && lines[i + 1] == table.header) {
        table.summary.assign(lines.begin() + static_cast<std::ptrdiff_t>(i + 2), lines.end());
    }
    return ::testing::AssertionSuccess();
}

} // namespace

// Each analysis type end to end on a bundled recording whose events are known from its generator: the table lists
// every generated event, in order and numbered from 1, and its columns measure what the generator made. A check
// compares a column with a column of the generator's events times a factor (column -1: with the factor alone).
TEST(CommandLine, AnalyseMeasuresTheGeneratedEventsOfEachType)
{
    struct Check {
        const char* column;
        int truthColumn;
        double factor;
        double tolerance;
    };
    const struct {
        const char* example;
        std::vector<std::string> options;
        std::vector<Check> checks;
    } cases[] = {
        // Cardiac action potentials at the defaults: TStart is the upstroke's onset, APA the generated height over a
        // rest near -80 mV that drifts by 1.5 mV.
        {"cardiac", {"--type", "1"},
         {{"TStart (s)", 1, 1.0, 0.0025}, {"APA (mV)", 2, 1.0, 3.0}, {"RMP (mV)", -1, -80.0, 2.5}}},
        // Evoked responses to a stimulus placed at 50 ms, responses of at least 3 mV: 2 ms of latency, the height of
        // the noise-free response, its decay and the resting level (near -65 mV, drifting slowly) as the baseline.
        {"evoked", {"--type", "3", "--set", "1000=2", "--set", "1005=50", "--set", "1006=0.003"},
         {{"Latency (ms)", 2, 1.0, 0.3}, {"Height (mV)", 3, 1.0, 0.6}, {"Tau (s)", 4, 0.001, 0.002},
          {"Baseline (mV)", 5, 1.0, 0.3}}},
        // Population spikes after the stimulus artefact at 15 ms, at the defaults: the spike's depth, and a start
        // between the artefact and the spike's trough at 19 ms.
        {"popspike", {"--type", "4"},
         {{"PopSpikeHeight (mV)", 3, 1.0, 0.1}, {"TStart (s)", -1, 0.0175, 0.0015}}},
        // Neuronal action potentials, narrower than the default minimum width of 4 ms, over a slowly drifting rest.
        {"spikes", {"--type", "5", "--set", "1035=0.5"},
         {{"TStart (s)", 1, 1.0, 0.0003}, {"APA (mV)", 3, 1.0, 2.0}, {"AHPAmplitude (mV)", 4, -1.0, 1.0},
          {"RMP (mV)", 5, 1.0, 0.8}}},
        // The same spikes as general peaks, found by the host's detection at its defaults.
        {"spikes", {"--type", "0"}, {{"TStart (s)", 1, 1.0, 0.0003}, {"Height (mV)", 3, 1.0, 2.0}}},
        // Cardiac action potentials as general peaks. They last 280 ms and come 450 to 700 ms apart, so half a second
        // before a beat can be mostly the previous beat, which the default noise window of 0.5 s then takes for the
        // baseline (it misses the 7th beat); a window of 1 s sees the rest.
        {"cardiac", {"--type", "0", "--set", "1010=dir=1;sd=1;height=5;interval=0.005;window=1"},
         {{"TStart (s)", 1, 1.0, 0.0025}, {"Height (mV)", 2, 1.0, 3.0}, {"Baseline (mV)", -1, -80.0, 2.5}}},
        // Synaptic currents with the host's "Synaptic currents" detection: inward events, so negative heights.
        {"currents",
         {"--type", "2", "--set", "1010=dir=-1;sd=1;height=5;interval=0.005;transform=1;smooth=0.0005;window=0.5"},
         {{"TStart (s)", 1, 1.0, 0.001}}},
    };
    for (const auto& test : cases) {
        std::vector<std::string> arguments = {"analyse", Example((std::string(test.example) + ".txt").c_str()).string(),
                                              "--quiet"};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        SCOPED_TRACE(std::string(test.example) + " " + test.options[1]);
        const RunResult result = RunProgram(arguments);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        Table table;
        ASSERT_TRUE(ReadTable(result.out, table));
        const auto truth = Truth(test.example);
        ASSERT_EQ(table.events.size(), truth.size()) << result.out;
        for (std::size_t i = 0; i < truth.size(); ++i) {
            EXPECT_EQ(table.events[i][0], std::to_string(i + 1));
            for (const Check& check : test.checks) {
                const double expected =
                    check.truthColumn < 0 ? check.factor : truth[i][static_cast<std::size_t>(check.truthColumn)] * check.factor;
                const std::string& cell = table.events[i][table.Column(check.column)];
                ASSERT_FALSE(cell.empty() || cell == " ") << check.column << ", event " << i + 1;
                EXPECT_NEAR(std::stod(cell), expected, check.tolerance) << check.column << ", event " << i + 1;
            }
        }
        ASSERT_EQ(table.summary.size(), 4u) << result.out;
        EXPECT_EQ(table.summary.back()[0], "Count");
    }
}

namespace {

// The analysis table that the generator measured on a recording's samples without noise (examples/NAME.table.txt):
// a header naming the block and the table's columns, a row per event, then the tolerance of each column ("-" for a
// column that the noise leaves unchecked), then a line per unchecked column with its name and why.
struct ExpectedTable {
    std::vector<std::string> columns;
    std::vector<std::vector<double>> rows; // the block first, then a value per column
    std::vector<double> tolerances;        // NaN where unchecked
    std::map<std::string, std::string> unchecked; // the reason of each unchecked column
};

ExpectedTable ReadExpectedTable(const std::string& example)
{
    std::ifstream in(Example((example + ".table.txt").c_str()));
    ExpectedTable table;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream fields(line.starts_with("# ") ? line.substr(2) : line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            cells.push_back(cell);
        }
        if (cells.empty()) {
            continue;
        }
        if (line.starts_with("# ")) {
            table.columns.assign(cells.begin() + 1, cells.end());
            continue;
        }
        if (cells[0] == "unchecked") {
            table.unchecked[cells.at(1)] = cells.at(2);
            continue;
        }
        const bool tolerances = cells[0] == "tolerance";
        std::vector<double> numbers;
        for (std::size_t i = tolerances ? 1 : 0; i < cells.size(); ++i) {
            numbers.push_back(cells[i] == "-" ? std::nan("") : std::stod(cells[i]));
        }
        if (tolerances) {
            table.tolerances = numbers;
        } else {
            table.rows.push_back(numbers);
        }
    }
    return table;
}

// Half a unit of the last digit a table cell shows ("1.234e5" gives 50, "0.5000" gives 0.00005).
double HalfLastDigit(const std::string& cell)
{
    const std::size_t exponent = cell.find_first_of("eE");
    const std::string mantissa = cell.substr(0, exponent);
    const std::size_t point = mantissa.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    const int power = exponent == std::string::npos ? 0 : std::stoi(cell.substr(exponent + 1));
    return 0.5 * std::pow(10.0, power - decimals);
}

// Runs the analysis of an example and compares its table with the one its generator measured: a row per event,
// each value of a checked column within the column's tolerance (and half a unit of the last digit shown), and a cell
// empty exactly where the generator's value is.
void ExpectTheGeneratorsTable(const std::string& example, const std::vector<std::string>& options,
                              const ExpectedTable& expected)
{
    ASSERT_FALSE(expected.columns.empty()) << example;
    ASSERT_EQ(expected.tolerances.size(), expected.columns.size());
    ASSERT_EQ(expected.rows.size(), Truth(example).size());
    std::vector<std::string> arguments = {"analyse", Example((example + ".txt").c_str()).string(), "--quiet"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const RunResult result = RunProgram(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    Table table;
    ASSERT_TRUE(ReadTable(result.out, table));
    EXPECT_EQ(table.header.size(), expected.columns.size() + 1) << result.out;
    ASSERT_EQ(table.events.size(), expected.rows.size()) << result.out;
    for (std::size_t c = 0; c < expected.columns.size(); ++c) {
        const std::size_t column = table.Column(expected.columns[c]);
        ASSERT_LT(column, table.header.size());
        std::size_t filled = 0;
        for (std::size_t i = 0; i < expected.rows.size(); ++i) {
            const std::string& cell = table.events[i][column];
            const double value = expected.rows[i][c + 1];
            const bool empty = cell.empty() || cell == " ";
            EXPECT_EQ(empty, std::isnan(value)) << expected.columns[c] << ", event " << i + 1 << ": " << cell;
            if (!empty && !std::isnan(value) && !std::isnan(expected.tolerances[c])) {
                EXPECT_NEAR(std::stod(cell), value, expected.tolerances[c] + HalfLastDigit(cell))
                    << expected.columns[c] << ", event " << i + 1;
            }
            filled += empty ? 0 : 1;
        }
        EXPECT_EQ(table.summary.back()[column], std::to_string(filled)) << expected.columns[c];
    }
}

} // namespace

// Each generator's table checks a column only where the noise leaves its tolerance short of the column's smallest
// value (a wider one passes a value of none), and says why it leaves any other unchecked.
TEST(CommandLine, TheGeneratorsTablesCheckOnlyColumnsTheNoiseLeavesMeasurable)
{
    for (const char* example : {"cardiac", "spikes", "evoked", "popspike"}) {
        const ExpectedTable expected = ReadExpectedTable(example);
        ASSERT_EQ(expected.tolerances.size(), expected.columns.size()) << example;
        for (std::size_t c = 0; c < expected.columns.size(); ++c) {
            const std::string& column = expected.columns[c];
            double smallest = INFINITY;
            for (const auto& row : expected.rows) {
                smallest = std::isnan(row[c + 1]) ? smallest : std::min(smallest, std::abs(row[c + 1]));
            }
            const bool checked = !std::isnan(expected.tolerances[c]);
            if (checked) {
                EXPECT_LT(expected.tolerances[c], smallest) << example << ": " << column;
            }
            EXPECT_EQ(expected.unchecked.contains(column), !checked) << example << ": " << column;
        }
        for (const auto& [column, reason] : expected.unchecked) {
            EXPECT_NE(std::find(expected.columns.begin(), expected.columns.end(), column), expected.columns.end())
                << example << ": " << column;
            EXPECT_FALSE(reason.empty()) << example << ": " << column;
        }
    }
}

// The main job on the cardiac example: the table has a row per generated action potential, no column is empty,
// and every value lies within the generator's tolerance of the value it measured without the noise.
TEST(CommandLine, AnalyseFillsEveryColumnOfTheCardiacExampleAsItsGeneratorMeasured)
{
    const ExpectedTable expected = ReadExpectedTable("cardiac");
    ASSERT_EQ(expected.columns.size(), 12u);
    for (const auto& row : expected.rows) {
        ASSERT_TRUE(std::none_of(row.begin(), row.end(), [](double value) { return std::isnan(value); }));
    }
    ExpectTheGeneratorsTable("cardiac", {"--type", "1"}, expected);
}

// The neuronal spikes as action potentials: as their generator measured them. MaxNegSlope stays empty: its blocks
// start 5 ms after the peak, when the spike has long ended.
TEST(CommandLine, AnalyseMeasuresTheSpikesExampleAsItsGeneratorMeasured)
{
    const ExpectedTable expected = ReadExpectedTable("spikes");
    ASSERT_EQ(expected.columns.size(), 15u);
    ExpectTheGeneratorsTable("spikes", {"--type", "5", "--set", "1035=0.5"}, expected);
}

// The evoked responses with the README's settings (a stimulus placed at 50 ms, responses of at least 3 mV): as
// their generator measured them.
TEST(CommandLine, AnalyseMeasuresTheEvokedExampleAsItsGeneratorMeasured)
{
    const ExpectedTable expected = ReadExpectedTable("evoked");
    ASSERT_EQ(expected.columns.size(), 10u);
    ExpectTheGeneratorsTable("evoked", {"--type", "3", "--set", "1000=2", "--set", "1005=50", "--set", "1006=0.003"},
                             expected);
}

// The population spikes at the defaults (the stimulus artefact found on the recorded channel): as their generator
// measured them.
TEST(CommandLine, AnalyseMeasuresThePopulationSpikeExampleAsItsGeneratorMeasured)
{
    const ExpectedTable expected = ReadExpectedTable("popspike");
    ASSERT_EQ(expected.columns.size(), 3u);
    ExpectTheGeneratorsTable("popspike", {"--type", "4"}, expected);
}

// Evoked responses with a sweep that has none: three sweeps of 200 ms at 10 kHz resting at -65 mV, a stimulus placed
// at 50 ms, and in the first and last a response that rises from 52 ms to 5 mV at 60 ms and falls back by 80 ms.
// The sweep without a response keeps its row, but without a baseline (there is no level to measure the stimulus
// against) and so without an area (turned on, 5 to 10 ms after the stimulus); the summary's figures are those of
// the two responses.
TEST(CommandLine, AnalyseLeavesTheBaselineOfAStimulusWithoutResponseEmpty)
{
    const TempFolder folder;
    const fs::path file = folder / "noresponse.txt";
    {
        std::ofstream out(file);
        out << "Time (ms)\tVm (mV)\n";
        for (const bool response : {true, false, true}) {
            for (int t = 0; t < 2000; ++t) {
                double v = -65.0;
                if (response && t > 520 && t <= 600) {
                    v += 5.0 * (t - 520) / 80.0;
                } else if (response && t > 600 && t < 800) {
                    v += 5.0 * (800 - t) / 200.0;
                }
                out << t * 0.1 << '\t' << v << '\n';
            }
            out << '\n';
        }
    }
    const RunResult result = RunProgram({"analyse", file.string(), "--quiet", "--type", "3", "--set", "1000=2", "--set",
                                         "1005=50", "--set", "1006=0.003", "--set", "10=t"});
    ASSERT_EQ(result.status, 0) << result.err;
    Table table;
    ASSERT_TRUE(ReadTable(result.out, table));
    ASSERT_EQ(table.events.size(), 3u) << result.out;
    ASSERT_EQ(table.summary.size(), 4u) << result.out;
    const std::size_t baseline = table.Column("Baseline (mV)");
    const std::size_t area = table.Column("Area (mV.s)");
    auto empty = [](const std::string& cell) { return cell.empty() || cell == " "; };
    EXPECT_TRUE(empty(table.events[1][baseline])) << result.out;
    EXPECT_TRUE(empty(table.events[1][area])) << result.out;
    // The area from 5 to 10 ms after the stimulus: 5 mV x (30 + ... + 79) / 80 samples of 0.1 ms.
    const double expectedArea = 5.0 * 2725.0 / 80.0 * 1e-4;
    for (const std::size_t row : {0u, 2u}) {
        EXPECT_NEAR(std::stod(table.events[row][baseline]), -65.0, 1e-3) << result.out;
        EXPECT_NEAR(std::stod(table.events[row][area]), expectedArea, 1e-3 * expectedArea) << table.header[area];
    }
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(table.summary[i][0]);
        EXPECT_NEAR(std::stod(table.summary[i][baseline]), -65.0, 1e-3);
        EXPECT_NEAR(std::stod(table.summary[i][area]), expectedArea, 1e-3 * expectedArea);
    }
    EXPECT_EQ(table.summary[3][0], "Count");
    EXPECT_EQ(table.summary[3][baseline], "2");
    EXPECT_EQ(table.summary[3][area], "2");
}

// The heights of synaptic currents: the host's detection places each event on its rise, and the measured height
// over the baseline before it is the generated amplitude, give or take the noise (2 pA SD) for nearly all events.
TEST(CommandLine, AnalyseMeasuresSynapticCurrentHeights)
{
    const RunResult result = RunProgram({"analyse", Example("currents.txt").string(), "--quiet", "--type", "2",
                                         "--set=1010=dir=-1;sd=1;height=5;interval=0.005;transform=1;smooth=0.0005"});
    ASSERT_EQ(result.status, 0) << result.err;
    Table table;
    ASSERT_TRUE(ReadTable(result.out, table));
    const auto truth = Truth("currents");
    ASSERT_EQ(table.events.size(), truth.size());
    std::size_t close = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        close += std::fabs(-std::stod(table.events[i][table.Column("Height (pA)")]) - truth[i][3]) < 5.0 ? 1 : 0;
    }
    EXPECT_GE(close, truth.size() * 9 / 10);
}

// A stimulus placed by position is analysed where it is set, to the last digit: on a ramp of 0.01 mV per tick at
// 10 kHz, 10 ms after a stimulus at 123.44996 ms (tick 1234.4996, so tick 1234) the level is 13.34 mV. Rounded to
// six digits (123.45 ms) the stimulus would fall on tick 1235 and the value read 13.35 mV.
TEST(CommandLine, AnalyseMeasuresAtTheStimulusPositionAsSet)
{
    const TempFolder folder;
    const fs::path ramp = folder / "ramp.txt";
    {
        std::ofstream out(ramp);
        out << "Time (ms)\tVm (mV)\n";
        for (int tick = 0; tick < 5000; ++tick) {
            out << tick / 10.0 << '\t' << tick / 100.0 << '\n';
        }
    }
    // The same holds for the measuring stages' settings: 10.04999 ms after a stimulus at 123.4 ms is 100.4999 ticks
    // after tick 1234 (10.05 ms would be 100.5 ticks, rounded to 101).
    const std::vector<std::pair<std::string, std::string>> cases = {{"1005=123.44996", "1022=10"},
                                                                   {"1005=123.4", "1022=10.04999"}};
    for (const auto& [stimulus, valueAt] : cases) {
        const RunResult result = RunProgram({"analyse", ramp.string(), "--quiet", "--type", "3", "--set", "1000=2",
                                             "--set", stimulus, "--set", valueAt, "--set", "46=t"});
        ASSERT_EQ(result.status, 0) << result.err;
        Table table;
        ASSERT_TRUE(ReadTable(result.out, table));
        ASSERT_EQ(table.events.size(), 1u) << result.out;
        EXPECT_EQ(table.events[0][table.Column("Value (mV)")], "13.34") << stimulus << " " << valueAt;
    }
}

// The main job: the cardiac example's action potentials at the defaults, to standard output or a file, with
// progress on standard error.
TEST(CommandLine, AnalyseWritesTheSameTableToAFileWithProgress)
{
    const std::vector<std::string> analyse = {"analyse", Example("cardiac.txt").string(), "--type", "1"};
    std::vector<std::string> quiet = analyse;
    quiet.push_back("--quiet");
    const RunResult result = RunProgram(quiet);
    ASSERT_EQ(result.status, 0) << result.err;
    Table table;
    ASSERT_TRUE(ReadTable(result.out, table));
    ASSERT_EQ(table.summary.size(), 4u);
    EXPECT_EQ(table.summary[3][table.Column("TStart (s)")], std::to_string(Truth("cardiac").size()));

    const TempFolder folder;
    const fs::path file = folder / "table.txt";
    std::vector<std::string> toFile = analyse;
    toFile.insert(toFile.end(), {"-o", file.string()});
    const RunResult written = RunProgram(toFile);
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_NE(written.err.find("Block 2"), std::string::npos) << written.err;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), result.out);
}

// A saved document carries the recording and the settings it was analysed with: analysing it again, or another
// recording with its settings (--from), gives the table of those settings; options given now still win.
TEST(CommandLine, AnalyseSavesTheDocumentAndStartsFromIt)
{
    const std::string evoked = Example("evoked.txt").string();
    const TempFolder folder;
    const fs::path saved = folder / "saved.cmhd";
    const RunResult first = RunProgram({"analyse", evoked, "--quiet", "--type", "3", "--set", "1000=2", "--set",
                                        "1005=50", "--set", "1006=0.003", "--save", saved.string()});
    ASSERT_EQ(first.status, 0) << first.err;
    Table table;
    ASSERT_TRUE(ReadTable(first.out, table));
    ASSERT_EQ(table.events.size(), 3u); // the evoked responses need these settings: the defaults find none
    const RunResult defaults = RunProgram({"analyse", evoked, "--quiet"});
    ASSERT_EQ(defaults.status, 0) << defaults.err;
    EXPECT_NE(defaults.out, first.out);

    const RunResult again = RunProgram({"analyse", saved.string(), "--quiet"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, first.out);
    const RunResult from = RunProgram({"analyse", evoked, "--quiet", "--from", saved.string()});
    ASSERT_EQ(from.status, 0) << from.err;
    EXPECT_EQ(from.out, first.out);

    // The source channel travels too; --channel and --type given now win over the saved ones.
    const RunResult stimulus = RunProgram({"analyse", saved.string(), "--quiet", "--channel", "2", "--type", "4",
                                           "--save", saved.string()});
    ASSERT_EQ(stimulus.status, 0) << stimulus.err;
    EXPECT_EQ(stimulus.out.rfind("\tTStart (s)\tPopSpikeHeight (V)\t", 0), 0u) << stimulus.out;
    const RunResult resaved = RunProgram({"analyse", saved.string(), "--quiet"});
    EXPECT_EQ(resaved.out, stimulus.out);
    // A recording without the saved channel is refused rather than analysed as nothing.
    const RunResult missing = RunProgram({"analyse", Example("cardiac.txt").string(), "--quiet", "--from", saved.string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("its analysis is of channel 2, which the recording (1 channel(s)) does not have"),
              std::string::npos)
        << missing.err;
}

TEST(CommandLine, AnalyseRefusalsSayWhatIsWrong)
{
    const std::string cardiac = Example("cardiac.txt").string();
    // Saved documents: one cut short, one whose only stream is not the analysis's, one without streams.
    const TempFolder folder;
    const fs::path damaged = folder / "damaged.cmhd";
    const fs::path foreign = folder / "foreign.cmhd";
    const fs::path empty = folder / "empty.cmhd";
    {
        const auto recording = host::ReadRecordingFile(cardiac);
        std::ostringstream whole;
        host::WriteSavedDocument(whole, *recording, {});
        std::ofstream(damaged, std::ios::binary) << whole.str().substr(0, whole.str().size() / 2);
        std::ofstream(foreign, std::ios::binary) << [&] {
            std::ostringstream out;
            host::WriteSavedDocument(out, *recording, {{'n', 'o', 't', ' ', 'o', 'u', 'r', 's'}});
            return out.str();
        }();
        std::ofstream(empty, std::ios::binary) << whole.str();
    }
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    std::vector<Case> cases = {
        {{"analyse"}, 2, "needs one recording"},
        {{"analyse", cardiac, "--type", "9"}, 2, "--type needs a whole number from 0 to 5"},
        {{"analyse", cardiac, "--type"}, 2, "--type needs a value"},
        {{"analyse", cardiac, "--channel", "2"}, 1, "the recording has 1 channel(s), not 2"},
        {{"analyse", cardiac, "--set", "1006"}, 2, "--set needs ID=TEXT"},
        // The options come before the count of recordings: the value after a space is no second recording.
        {{"analyse", cardiac, "--set", "1035", "0.5"}, 2,
         "--set needs ID=TEXT, one argument with \"=\" between the id and its value, not \"1035\""},
        {{"analyse", cardiac, "--set", "77777=1"}, 2, "no setting 77777"},
        {{"analyse", cardiac, "--set", "1006=tall"}, 2, "--set 1006: \"tall\" is not a number"},
        {{"analyse", cardiac, "--type=1", "-o", "/nonexistent-folder/table.txt"}, 1, "cannot write the table"},
        {{"analyse", cardiac, "-o", "/dev/null", "--save", "/nonexistent-folder/doc.cmhd"}, 1,
         "cannot write the document to"},
        {{"analyse", "/nonexistent-recording.txt"}, 1, "/nonexistent-recording.txt"},
        {{"analyse", cardiac, "--from", cardiac}, 1, "cardiac.txt: not a saved document"},
        {{"analyse", cardiac, "--from", "/nonexistent-document.cmhd"}, 1, "cannot open /nonexistent-document.cmhd"},
        {{"analyse", damaged.string()}, 1, "a damaged saved document"},
        {{"analyse", cardiac, "--from", foreign.string()}, 1, "holds no settings this analysis can read"},
        {{"analyse", cardiac, "--from", empty.string()}, 1, "holds no analysis"},
        // calc takes no --from: given last, as an empty unquoted $DOC leaves it, it is no option of calc's.
        {{"calc", "cappeakdet(ch1, 0.05, 2)", cardiac, "--from"}, 2, "calc: unknown option --from\n"},
        {{"calc", "cappeakdet(ch1, 0.05, 2)", cardiac, "--module"}, 2, "calc: --module needs a path\n"},
        {{"analyse", cardiac, "--module"}, 2, "analyse: --module needs a path\n"},
    };
    // Every option that takes a value, given last.
    for (const char* option : {"--type", "--channel", "--set", "-o", "--save", "--from", "--event", "--view-png",
                               "--view-pdf", "--csv", "--pdf"}) {
        cases.push_back({{"analyse", cardiac, option}, 2, "analyse: " + std::string(option) + " needs a value\n"});
    }
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult result = RunProgram(test.arguments);
        const std::string& command = test.arguments.front();
        EXPECT_EQ(result.status, test.status);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("crestmetrics: " + command + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
        if (test.status == 2) {
            EXPECT_NE(result.err.find("\nusage: crestmetrics " + command + " "), std::string::npos) << result.err;
        }
    }
}

TEST(CommandLine, AnalyseWritesTheTableViewsCsvAndPrintsItToAPdf)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const TempFolder temporary;
    const fs::path& folder = temporary.Path();
    const std::string text = (folder / "table.txt").string();
    const std::string csv = (folder / "table.csv").string();
    const std::string pdf = (folder / "table.pdf").string();
    const RunResult result =
        RunProgram({"analyse", cardiac, "--type", "1", "--set", "1006=0.05", "-o", text, "--csv", csv, "--pdf", pdf});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // The same cells as the text export: the user's list separator (","), and one line feed between the grids
    // where the text file has an empty line.
    std::string expected = bytes(text);
    ASSERT_FALSE(expected.empty());
    std::replace(expected.begin(), expected.end(), '\t', ',');
    const std::size_t join = expected.find("\r\n\r\n");
    ASSERT_NE(join, std::string::npos);
    expected.replace(join, 4, "\r\n\n");
    EXPECT_EQ(bytes(csv), expected);
    EXPECT_EQ(bytes(pdf).rfind("%PDF", 0), 0u);
    EXPECT_NE(bytes(pdf).find("/Title (cardiac.txt: Crestmetrics Table View)"), std::string::npos)
        << "the printout's title";
    EXPECT_NE(result.err.find("printed "), std::string::npos) << result.err;
    // The export copies the event grid, then the summary grid: one step of the progress.
    const std::string copying = "crestmetrics: analyse: Copying\n";
    const std::size_t first = result.err.find(copying);
    EXPECT_NE(first, std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(copying, first + 1), std::string::npos) << result.err;

    // A name without the lower-case extension is refused; a file that cannot be written is an error, and nothing
    // is left behind.
    const RunResult upper = RunProgram({"analyse", cardiac, "--type", "1", "--set", "1006=0.05", "-o", text, "--csv",
                                        (folder / "table.CSV").string()});
    EXPECT_EQ(upper.status, 2);
    EXPECT_NE(upper.err.find("--csv needs a file name ending in .csv"), std::string::npos) << upper.err;
    const std::string unwritable = (folder / "missing" / "table.csv").string();
    const RunResult failed =
        RunProgram({"analyse", cardiac, "--type", "1", "--set", "1006=0.05", "-o", text, "--csv", unwritable});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("cannot write the comma-separated table to " + unwritable), std::string::npos)
        << failed.err;
    EXPECT_FALSE(fs::exists(unwritable));
    EXPECT_FALSE(fs::exists(unwritable + ".part"));
}

namespace {

// The action potentials of the cardiac example: rises above -40 mV from the rest, below -70 mV (samples are kept in
// volts). The noise makes the slow repolarisation cross any one level several times, but not both.
std::size_t CardiacActionPotentials()
{
    const auto document = host::ReadRecordingFile(Example("cardiac.txt").string());
    std::size_t count = 0;
    for (int block = 0; block < document->BlockCount(); ++block) {
        bool resting = false;
        for (const float sample : document->Samples(block, 0)) {
            if (resting && sample > -0.040f) {
                ++count;
                resting = false;
            }
            resting = resting || sample < -0.070f;
        }
    }
    return count;
}

std::string FileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t PdfPages(const std::string& pdf)
{
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1)) {
        pages += pdf.compare(at, 12, "/Type /Pages") != 0;
    }
    return pages;
}

} // namespace

TEST(CommandLine, AnalyseWritesTheAnalysisViewOfAnEventAsPictureAndPrintout)
{
    const TempFolder temporary;
    const fs::path& dir = temporary.Path();
    const std::vector<std::string> analyse = {"analyse", Example("cardiac.txt").string(), "--type", "1", "--set",
                                              "1006=0.05", "--quiet", "-o", (dir / "table.txt").string()};
    std::vector<std::string> one = analyse;
    for (const char* option : {"--event", "2", "--view-png"}) {
        one.emplace_back(option);
    }
    one.push_back((dir / "event2.png").string());
    one.push_back("--view-pdf");
    one.push_back((dir / "event2.pdf").string());
    const RunResult result = RunProgram(one);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    // The picture is the view's window: as large as its frame shows it, and not blank.
    const std::string png = FileText(dir / "event2.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.compare(1, 3, "PNG"), 0);
    const auto be32 = [&](std::size_t at) {
        return (std::uint32_t(std::uint8_t(png[at])) << 24) | (std::uint32_t(std::uint8_t(png[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(png[at + 2])) << 8) | std::uint32_t(std::uint8_t(png[at + 3]));
    };
    EXPECT_GE(be32(16), 400u);
    EXPECT_GE(be32(20), 300u);
    EXPECT_GT(png.size(), 3000u) << "a blank picture compresses to almost nothing";

    // The printout is titled as the view is: the recording's file name, then the view's name.
    const std::string pdf = FileText(dir / "event2.pdf");
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_EQ(PdfPages(pdf), 1u);
    EXPECT_GT(pdf.size(), 5000u);
    EXPECT_NE(pdf.find("/Title (cardiac.txt: Crestmetrics View)"), std::string::npos);

    // Every event: a page each, in one file.
    std::vector<std::string> every = analyse;
    for (const char* option : {"--event", "all", "--view-pdf"}) {
        every.emplace_back(option);
    }
    every.push_back((dir / "all.pdf").string());
    ASSERT_EQ(RunProgram(every).status, 0);
    const std::string all = FileText(dir / "all.pdf");
    EXPECT_EQ(PdfPages(all), CardiacActionPotentials());
    EXPECT_NE(all.find("/Title (cardiac.txt: Crestmetrics View)"), std::string::npos);

    // A recording read from standard input is named as its file is: stdin.
    const RunResult piped = clitest::RunShell("cat " + Quote(Example("cardiac.txt").string()) +
                                              " | \"$P\" analyse /dev/stdin --type 1 --set 1006=0.05 --quiet"
                                              " -o /dev/null --view-pdf " + Quote((dir / "stdin.pdf").string()));
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_NE(FileText(dir / "stdin.pdf").find("/Title (stdin: Crestmetrics View)"), std::string::npos);
}

TEST(CommandLine, AnalyseViewRefusalsSayWhatIsWrong)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const std::string events = std::to_string(CardiacActionPotentials());
    const std::string past = std::to_string(CardiacActionPotentials() + 1);
    const TempFolder folder;
    const std::string png = folder / "refused.png";
    const std::vector<std::string> analysed = {"analyse", cardiac, "--type", "1", "--set", "1006=0.05", "-o", "/dev/null"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = analysed;
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    const std::string notPast = "found " + events + " event(s), not " + past;
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {with({"--event", past, "--view-png", png}), 1, notPast},
        {with({"--event", "0", "--view-png", png}), 2, "--event needs a whole number from 1"},
        {with({"--event", "all", "--view-png", png}), 2, "--view-png shows one event"},
        {with({"--view-png", "/nonexistent-folder/view.png"}), 1, "cannot write the picture to /nonexistent-folder"},
        {with({"--view-pdf", "/nonexistent-folder/view.pdf"}), 1, "cannot write the printout to /nonexistent-folder"},
        {{"analyse", cardiac, "--type", "1", "--set", "1006=5", "-o", "/dev/null", "--view-png", png}, 1,
         "no events to show"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult result = RunProgram(test.arguments);
        EXPECT_EQ(result.status, test.status);
        EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(png));
}

namespace {

std::string FileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// A full disk is a failure wherever the output goes: standard output, the table, the document, the pictures and
// printouts; the device stays a device.
TEST(CommandLine, AFullDiskIsAFailure)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const std::vector<std::string> analysed = {"analyse", cardiac, "--quiet", "--type", "1", "--set", "1006=0.05"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = analysed;
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    const struct {
        std::vector<std::string> arguments;
        std::string stdoutTo;
        std::string message;
    } cases[] = {
        {{"calc", "cappeakdet(ch1, 0.05, 2)", cardiac, "--quiet"}, "/dev/full", "cannot write to standard output"},
        {analysed, "/dev/full", "cannot write the table to standard output"},
        {{"analyse", "--help"}, "/dev/full", "cannot write to standard output"},
        {with({"-o", "/dev/full"}), "", "cannot write the table to /dev/full"},
        {with({"-o", "/dev/null", "--save", "/dev/full"}), "", "cannot write the document to /dev/full"},
        {with({"-o", "/dev/null", "--view-png", "/dev/full"}), "", "cannot write the picture to /dev/full"},
        {with({"-o", "/dev/null", "--view-pdf", "/dev/full"}), "", "cannot write the printout to /dev/full"},
        {with({"-o", "/dev/null", "--pdf", "/dev/full"}), "", "cannot write the table printout to /dev/full"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message + " " + test.arguments.back());
        const RunResult result = RunProgram(test.arguments, test.stdoutTo);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    }
    struct stat info {};
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// Whatever the command line or the module refuses is refused before a file is written or a table printed.
TEST(CommandLine, RefusalsComeBeforeAnyOutput)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const TempFolder temporary;
    const fs::path& folder = temporary.Path();
    const fs::path table = folder / "table.txt";
    const std::string old = "an earlier table\r\n";
    std::ofstream(table, std::ios::binary) << old;
    const std::string events = std::to_string(CardiacActionPotentials());
    const auto typed = [&](const char* type, std::vector<std::string> more) {
        std::vector<std::string> arguments = {"analyse", cardiac, "--quiet", "--type", type, "-o", table.string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    // The module's settings: an analysis type it does not have, a channel the recording lacks, values out of range.
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {typed("1", {"--set", "2000=9"}), 2, "--set 2000 needs a whole number from 0 to 5, not \"9\""},
        {typed("1", {"--set", "2000=6"}), 2, "--set 2000 needs a whole number from 0 to 5, not \"6\""},
        {typed("1", {"--set", "2001=5"}), 1, "--set 2001=5 (channel 6): the recording has 1 channel(s), not 6"},
        {typed("1", {"--set", "1006=-5"}), 2,
         "--set 1006=-5: Invalid Height: The Minimum Peak Height must be zero or larger."},
        {typed("1", {"--set", "1032=0.05"}), 2,
         "--set 1032=0.05: Invalid MaxNegSlope Smoothing Window: This setting must be in the range 0.1 to 100 ms."},
        {typed("1", {"--set", "1011=45"}), 2,
         "--set 1011=45: setting 1011 must be in the range 0 to 100 in steps of ten."},
        {typed("3", {"--set", "1000=9"}), 2, "--set 1000=9: setting 1000 must be in the range 2 to 5."},
        {typed("0", {"--set", "1010=dir=2"}), 2,
         "--set 1010=dir=2: setting 1010 is not valid peak detection text: \"dir=2\": dir takes 1 or -1 (see "
         "crestmetrics analyse --help)."},
        // Every value is checked against its own setting, whatever the type uses.
        {typed("1", {"--set", "1035=-1"}), 2, "--set 1035=-1: setting 1035 must be in the range 0 to 99999."},
        {typed("0", {"--set", "1032=0.05"}), 2, "--set 1032=0.05: setting 1032 must be in the range 0.1 to 100."},
        {typed("3", {"--set", "1011=45"}), 2,
         "--set 1011=45: setting 1011 must be in the range 0 to 100 in steps of ten."},
        {typed("1", {"--set", "1010=dir=2"}), 2,
         "--set 1010=dir=2: setting 1010 is not valid peak detection text: \"dir=2\": dir takes 1 or -1 (see "
         "crestmetrics analyse --help)."},
        {typed("1", {"--set", "1017=10.5"}), 2, "--set 1017: \"10.5\" is not a whole number"},
        {typed("5", {"--set", "1041=1e1"}), 2, "--set 1041: \"1e1\" is not a whole number"},
        {typed("1", {"--set", "1006=nan"}), 2, "--set 1006: \"nan\" is not a number"},
        {typed("1", {"--set", "1009=yes"}), 2, "--set 1009: \"yes\" is not t or f"},
        {typed("1", {"--set", "4000=1"}), 2,
         "--set: the analysis has no setting 4000 (crestmetrics analyse --list-settings lists them)"},
        // What depends on the analysis: the event to show.
        {typed("1", {"--set", "1006=0.05", "--event", "50", "--view-png", (folder / "v.png").string()}), 1,
         "the analysis found " + events + " event(s), not 50"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult result = RunProgram(test.arguments);
        EXPECT_EQ(result.status, test.status);
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), "crestmetrics: analyse: " + test.message);
        EXPECT_EQ(FileBytes(table), old);
    }
    // A usage error of the views is found before the table goes to standard output.
    const RunResult all = RunProgram({"analyse", cardiac, "--quiet", "--type", "1", "--event", "all", "--view-png",
                                      (folder / "v.png").string()});
    EXPECT_EQ(all.status, 2);
    EXPECT_EQ(all.out, "");

    // A saved type 1 document whose setting (its record's tag and id) holds `to` for the digit `from`: the command
    // line refuses such values before it saves them.
    const auto savedWith = [&](const std::string& document, const std::string& record, char from, char to) {
        ASSERT_EQ(RunProgram({"analyse", cardiac, "--quiet", "--type", "1", "-o", "/dev/null", "--save", document})
                      .status,
                  0);
        std::string bytes = FileBytes(document);
        const std::size_t at = bytes.find(record);
        ASSERT_NE(at, std::string::npos);
        const std::size_t value = bytes.find(std::string{from, '\0'}, at + record.size());
        ASSERT_LT(value, at + 32);
        bytes[value] = to;
        std::ofstream(document, std::ios::binary) << bytes;
    };
    // A saved document whose settings the module calls invalid for the analysis asked for: 1032 (4 ms) at 0.
    const std::string document = (folder / "narrow.cmhd").string();
    savedWith(document, std::string("\0\0\0\0\x08\x04\0\0", 8), '4', '0');
    const RunResult saved = RunProgram({"analyse", document, "--quiet", "--type", "1", "-o", table.string()});
    EXPECT_EQ(saved.status, 1);
    EXPECT_EQ(saved.err, "crestmetrics: analyse: " + document +
                             ": Invalid MaxNegSlope Smoothing Window: This setting must be in the range 0.1 to 100 ms.\n");
    EXPECT_EQ(FileBytes(table), old);
    // A saved analysis type beyond the six (the module's own range takes 6) is refused as --type refuses it.
    const std::string sixth = (folder / "typed.cmhd").string();
    savedWith(sixth, std::string("\0\0\0\0\xD0\x07\0\0", 8), '1', '6');
    const RunResult six = RunProgram({"analyse", sixth, "--quiet", "-o", table.string()});
    EXPECT_EQ(six.status, 1);
    EXPECT_EQ(six.err, "crestmetrics: analyse: " + sixth + ": its analysis type 6 is none of 0 to 5: give --type\n");
    EXPECT_EQ(FileBytes(table), old);
    // Mended on the command line, it analyses.
    EXPECT_EQ(RunProgram({"analyse", document, "--quiet", "--type", "1", "--set", "1032=4", "-o", table.string()})
                  .status,
              0);
    EXPECT_NE(FileBytes(table), old);
}

// A newcomer finds the analysis types, the settings each uses and the peak detection's text.
TEST(CommandLine, HelpListsTheTypesAndTheSettings)
{
    const RunResult help = RunProgram({"analyse", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* line : {"  0  General - Unstimulated\n", "  2  Synaptic\n", "  5  Action Potential\n",
                             "--list-settings --type N", "dir=1|-1"}) {
        EXPECT_NE(help.out.find(line), std::string::npos) << line;
    }
    const RunResult synaptic = RunProgram({"analyse", "--list-settings", "--type", "2"});
    ASSERT_EQ(synaptic.status, 0) << synaptic.err;
    EXPECT_EQ(synaptic.out.rfind("settings of analysis type 2 (Synaptic)", 0), 0u) << synaptic.out;
    EXPECT_NE(synaptic.out.find(" 1010  text     \"\"       -"), std::string::npos) << synaptic.out;
    EXPECT_NE(synaptic.out.find(" 1015  number   5        0 to 99999               area start, ms\n"),
              std::string::npos)
        << synaptic.out;
    EXPECT_NE(synaptic.out.find(" 2000  integer  0        0 to 6"), std::string::npos);
    EXPECT_EQ(synaptic.out.find(" 1032 "), std::string::npos) << "a setting of types 1 and 5";
    const RunResult cardiac = RunProgram({"analyse", "--list-settings", "--type", "1"});
    EXPECT_NE(cardiac.out.find(" 1032  number   4        0.1 to 100"), std::string::npos) << cardiac.out;
    EXPECT_NE(cardiac.out.find(" 1011  tens     40       0 to 100 in steps of ten"), std::string::npos);
    EXPECT_NE(cardiac.out.find(" 1006  number   0.03     0 to largest"), std::string::npos);
}

// A sample that is no finite number is refused with its line and column, as text in a number column is, rather
// than taken for data (an inf in the cardiac example would drop its first action potential).
TEST(CommandLine, RefusesASampleThatIsNoFiniteNumber)
{
    const TempFolder temporary;
    const fs::path& folder = temporary.Path();
    std::string cardiac = FileBytes(Example("cardiac.txt"));
    // Line 201 is "0.0199\t-78.86"; -1e42 mV is -1e39 V, beyond a float.
    std::size_t at = 0;
    for (int line = 1; line < 201; ++line) {
        at = cardiac.find('\n', at) + 1;
    }
    const std::size_t tab = cardiac.find('\t', at);
    // A NaN, in any case and with either sign, is a gap, which the message says how to write.
    for (const auto& [value, gap] : {std::pair{"inf", false}, {"nan", true}, {"+nan", true}, {"-NaN", true},
                                     {"-1e42", false}}) {
        SCOPED_TRACE(value);
        std::string changed = cardiac;
        changed.replace(tab + 1, cardiac.find('\n', tab) - tab - 1, value);
        const fs::path file = folder / "cardiac.txt";
        std::ofstream(file, std::ios::binary) << changed;
        for (const char* command : {"analyse", "calc"}) {
            const RunResult result =
                std::string(command) == "calc"
                    ? RunProgram({"calc", "cappeakdet(ch1, 0.05, 2)", file.string(), "--quiet"})
                    : RunProgram({"analyse", file.string(), "--quiet", "--type", "1"});
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.out, "");
            const std::string advice = gap ? ": the reader takes no missing samples: an empty line at the gap, in "
                                             "place of its lines, ends one block and begins the next"
                                           : "";
            EXPECT_EQ(result.err, "crestmetrics: " + std::string(command) + ": " + file.string() +
                                      ": line 201: column 2: not a number: \"" + value + "\"" + advice + "\n");
        }
    }
}

// A saved document holds the significant figures of each column the table view showed; figures the view's dialog
// never offers (1 to 10) come only from a damaged or hand-made file and take the default of 4, instead of reaching
// the number formatting (which they crashed).
TEST(CommandLine, AnalyseTakesTheDefaultFiguresForAColumnFormatBeyondTheDialogs)
{
    const TempFolder temporary;
    const fs::path& folder = temporary.Path();
    const std::string document = (folder / "cardiac.cmhd").string();
    const RunResult first = RunProgram(
        {"analyse", Example("cardiac.txt").string(), "--quiet", "--type", "1", "--save", document});
    ASSERT_EQ(first.status, 0) << first.err;
    std::string bytes = FileBytes(document);
    // The formats block: -1, version 2, then per column its code, entry version 1, figures and code again.
    const std::string marker("\xFF\xFF\xFF\xFF\x02\0\0\0", 8);
    const std::size_t formats = bytes.find(marker);
    ASSERT_NE(formats, std::string::npos);
    int changed = 0;
    const std::int32_t figures[] = {0x7FFFFFFF, 0, -3, 11, 100000};
    for (std::size_t entry = formats + marker.size(); changed < 5; entry += 16, ++changed) {
        std::int32_t words[4];
        ASSERT_LE(entry + 16, bytes.size());
        std::memcpy(words, bytes.data() + entry, sizeof words);
        ASSERT_EQ(words[1], 1) << "entry " << changed;
        ASSERT_EQ(words[2], 4) << "entry " << changed;
        std::memcpy(bytes.data() + entry + 8, &figures[changed], 4);
    }
    std::ofstream(document, std::ios::binary | std::ios::trunc) << bytes;
    const RunResult again = RunProgram({"analyse", document, "--quiet"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, first.out);
}

// The peak resident memory of one run of the program, in bytes; standard output and error are dropped.
long long PeakMemoryOf(const std::vector<std::string>& arguments)
{
    const RunResult result = clitest::RunProgram({.arguments = arguments, .stdoutTo = "/dev/null"});
    return result.status == 0 ? result.peakMemory : -1;
}

// Thousands of sweeps are normal: the command line keeps no record of the host's calls, and the engine no entry for
// each short block it ran over, so that memory stays with the data. A recording of 20,000 one-sample blocks takes
// less than 20 MB more than the bundled cardiac example in both commands (calc took 80 MB more, analyse 40 MB).
TEST(CommandLine, ManyShortBlocksCostLittleMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer keeps freed memory in quarantine";
#endif
    const TempFolder temporary;
    const fs::path& folder = temporary.Path();
    const fs::path file = folder / "blocks.txt";
    {
        std::ofstream out(file, std::ios::binary);
        out << "Vm (mV)\n";
        for (int block = 0; block < 20000; ++block) {
            out << (block * 37 % 121) - 80 << "\n\n";
        }
    }
    const std::string cardiac = Example("cardiac.txt").string();
    const long long calcBase = PeakMemoryOf({"calc", "cappeakdet(ch1, 0.05, 2)", cardiac, "--quiet"});
    const long long calc = PeakMemoryOf({"calc", "cappeakdet(ch1, 0.05, 2)", file.string(), "--quiet"});
    const long long analyseBase = PeakMemoryOf({"analyse", cardiac, "--quiet", "--type", "1"});
    const long long analyse = PeakMemoryOf({"analyse", file.string(), "--quiet", "--type", "1"});
    for (const long long peak : {calcBase, calc, analyseBase, analyse}) {
        ASSERT_GT(peak, 0);
    }
    EXPECT_LT(calc - calcBase, 20 << 20) << calc << " bytes against " << calcBase;
    EXPECT_LT(analyse - analyseBase, 20 << 20) << analyse << " bytes against " << analyseBase;
}

// Pictures and printouts as a user looks at them: the analysis view of each analysis type on its example, and a
// page of each printout rendered from its PDF.
namespace {

// Renders a page of a PDF (the first unless told) with pdftoppm at `dpi`; nothing when pdftoppm is missing.
std::optional<gdi::Image> RenderedPage(const fs::path& pdf, int dpi, int number = 1)
{
    const fs::path stem = pdf.string() + ".page";
    const std::string page = std::to_string(number);
    const std::string command = "pdftoppm -r " + std::to_string(dpi) + " -f " + page + " -l " + page +
                                " -singlefile -png " + Quote(pdf.string()) + " " + Quote(stem.string()) +
                                " 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return std::nullopt;
    }
    return gdi::LoadPng(stem.string() + ".png");
}

// The fonts that pdffonts lists for a PDF, one name each (the subset prefix removed).
std::vector<std::string> PdfFonts(const fs::path& pdf)
{
    const fs::path listing = pdf.string() + ".fonts";
    const std::string command = "pdffonts " + Quote(pdf.string()) + " >" + Quote(listing.string()) + " 2>/dev/null";
    std::vector<std::string> fonts;
    if (std::system(command.c_str()) != 0) {
        return fonts;
    }
    std::istringstream lines(FileText(listing));
    std::string line;
    for (int row = 0; std::getline(lines, line); ++row) {
        if (row < 2 || line.empty()) {
            continue; // the heading and its rule
        }
        std::string name = line.substr(0, line.find(' '));
        if (const auto plus = name.find('+'); plus != std::string::npos) {
            name = name.substr(plus + 1);
        }
        fonts.push_back(name);
    }
    return fonts;
}

bool HavePoppler() { return std::system("command -v pdftoppm >/dev/null 2>&1 && command -v pdffonts >/dev/null 2>&1") == 0; }

// The box of the page's non-white pixels.
RECT Inked(const gdi::Image& page)
{
    RECT box{page.width, page.height, -1, -1};
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            const std::uint32_t p = page.pixels[static_cast<std::size_t>(y) * page.width + x];
            if (((p >> 16) & 0xFF) < 240 || ((p >> 8) & 0xFF) < 240 || (p & 0xFF) < 240) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

std::string GoldenPath(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }

} // namespace

TEST(CommandLinePictures, TheAnalysisViewOfEachTypeOnItsExample)
{
    const TempFolder temporary;
    const fs::path& dir = temporary.Path();
    const struct {
        const char* example;
        std::vector<std::string> options;
    } cases[] = {
        {"spikes", {"--type", "0"}},
        {"cardiac", {"--type", "1"}},
        {"currents", {"--type", "2", "--set", "1010=dir=-1;sd=1;height=5;interval=0.005;transform=1;smooth=0.0005"}},
        {"evoked", {"--type", "3", "--set", "1000=2", "--set", "1005=50", "--set", "1006=0.003"}},
        {"popspike", {"--type", "4"}},
        {"spikes", {"--type", "5", "--set", "1035=0.5"}},
    };
    for (const auto& c : cases) {
        const std::string type = c.options[1];
        SCOPED_TRACE(std::string(c.example) + " type " + type);
        std::vector<std::string> arguments = {"analyse", Example((std::string(c.example) + ".txt").c_str()).string(),
                                              "--quiet", "-o", (dir / "table.txt").string(), "--event", "2",
                                              "--view-png", (dir / "view.png").string()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const RunResult result = RunProgram(arguments);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::optional<gdi::Image> picture = gdi::LoadPng((dir / "view.png").string());
        ASSERT_TRUE(picture);
        const gdi::GoldenCheck check =
            gdi::CheckGolden(*picture, GoldenPath("view_type" + type + "_" + c.example + ".png"));
        EXPECT_TRUE(check.ok) << check.message;
    }
}

TEST(CommandLinePictures, PrintoutsAreVectorPagesWithTextAndMargins)
{
    if (!HavePoppler()) {
        GTEST_SKIP() << "pdftoppm and pdffonts are not installed";
    }
    const TempFolder temporary;
    const fs::path& dir = temporary.Path();
    const RunResult result =
        RunProgram({"analyse", Example("cardiac.txt").string(), "--quiet", "--type", "1", "--set", "1006=0.05", "-o",
                    (dir / "table.txt").string(), "--event", "2", "--view-pdf", (dir / "view.pdf").string(), "--pdf",
                    (dir / "table.pdf").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* name : {"view", "table"}) {
        SCOPED_TRACE(name);
        const fs::path pdf = dir / (std::string(name) + ".pdf");
        // Text is text: the page's fonts are embedded, the dialog face's twin (Wine's Tahoma) among them.
        const std::vector<std::string> fonts = PdfFonts(pdf);
        EXPECT_NE(std::find(fonts.begin(), fonts.end(), "WineTahoma"), fonts.end()) << FileText(pdf.string() + ".fonts");
        // At 72 dpi a Letter page is 612 x 792 pixels; the printer keeps a quarter inch (18 pixels) on every side.
        const std::optional<gdi::Image> page = RenderedPage(pdf, 72);
        ASSERT_TRUE(page);
        ASSERT_EQ(page->width, 612);
        ASSERT_EQ(page->height, 792);
        const RECT ink = Inked(*page);
        ASSERT_LT(ink.left, ink.right) << "a blank page";
        EXPECT_GE(ink.left, 17);
        EXPECT_GE(ink.top, 17);
        EXPECT_LE(ink.right, 612 - 17);
        EXPECT_LE(ink.bottom, 792 - 17);
        // The page as a user sees it.
        const std::optional<gdi::Image> shown = RenderedPage(pdf, 60);
        ASSERT_TRUE(shown);
        const gdi::GoldenCheck check = gdi::CheckGolden(*shown, GoldenPath(std::string("printout_") + name + ".png"), 24, 400);
        EXPECT_TRUE(check.ok) << check.message;
    }
}

// The view's printout as a viewer shows it at 100 dpi in its default thin-line mode: each page has the resting
// potential's line, a hairline across the plot, wherever the event puts it.
TEST(CommandLinePictures, EveryPrintedEventShowsItsRestingPotentialLine)
{
    if (!HavePoppler()) {
        GTEST_SKIP() << "pdftoppm and pdffonts are not installed";
    }
    const TempFolder temporary;
    const fs::path& dir = temporary.Path();
    const RunResult result =
        RunProgram({"analyse", Example("cardiac.txt").string(), "--quiet", "--type", "1", "-o",
                    (dir / "table.txt").string(), "--event", "all", "--view-pdf", (dir / "view.pdf").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path pdf = dir / "view.pdf";
    const int pages = static_cast<int>(PdfPages(FileText(pdf)));
    ASSERT_EQ(pages, static_cast<int>(CardiacActionPotentials()));
    for (int number = 1; number <= pages; ++number) {
        const std::optional<gdi::Image> page = RenderedPage(pdf, 100, number);
        ASSERT_TRUE(page);
        // A row of dark ink across most of the plot (the plot spans x 88 to 825 and y 25 to 1012; its frame's
        // bottom edge is left out); the blue grid is not dark.
        int lines = 0;
        for (int y = 30; y < 1000; ++y) {
            int dark = 0;
            for (int x = 100; x < 800; ++x) {
                const COLORREF p = page->at(x, y);
                dark += std::max({GetRValue(p), GetGValue(p), GetBValue(p)}) < 160;
            }
            lines += dark > 700 * 6 / 10;
        }
        EXPECT_GE(lines, 1) << "page " << number << " has no line across its plot";
    }
}
