// The command-line host run as a user runs it: crestmetrics calc on the bundled examples, and its refusals.
#include "host/recording.h"
#include "tests/driver/synaptic_signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

fs::path Program() { return fs::path(MODULE_LIBRARY_PATH).parent_path() / "crestmetrics"; }
fs::path Example(const char* name) { return fs::path(TEST_DATA_DIR) / ".." / ".." / "examples" / name; }

RunResult RunProgram(const std::vector<std::string>& arguments)
{
    const fs::path errors = fs::temp_directory_path() / ("crestmetrics_cli_test_" + std::to_string(::getpid()));
    std::string command = Quote(Program().string());
    for (const std::string& argument : arguments) {
        command += " " + Quote(argument);
    }
    command += " 2>" + Quote(errors.string());
    RunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errors);
    std::ostringstream text;
    text << in.rdbuf();
    result.err = text.str();
    fs::remove(errors);
    return result;
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

// The peaks of the cardiac example found from the recording itself: each action potential is the stretch above
// -25 mV (the rest lies near -80 mV, every beat reaches above 0 mV), and its peak is the highest sample of the
// stretch, which no later sample of the stretch reaches.
TEST(CommandLine, CalcPrintsThePeaksOfTheCardiacExample)
{
    const auto document = host::ReadRecordingFile(Example("cardiac.txt").string());
    std::vector<std::vector<std::string>> expected;
    for (int block = 0; block < document->BlockCount(); ++block) {
        const auto samples = document->Samples(block, 0);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (samples[i] <= -25.0f) {
                continue;
            }
            std::size_t peak = i;
            for (; i < samples.size() && samples[i] > -25.0f; ++i) {
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

    const RunResult result = RunProgram({"calc", "cappeakdet(ch1, 50, 2)", Example("cardiac.txt").string(), "--quiet"});
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
                                                "cappeakdet(ch1,50,2)))))",
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
    const RunResult verbose = RunProgram({"calc", "CAPPeak( ch1 , 50 , 2 )", Example("cardiac.txt").string()});
    ASSERT_EQ(verbose.status, 0);
    EXPECT_EQ(verbose.out, result.out);
    EXPECT_NE(verbose.err.find("calc: block 2 of 2"), std::string::npos) << verbose.err;
}

TEST(CommandLine, RefusalsSayWhatIsWrong)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const fs::path bad = fs::temp_directory_path() / ("crestmetrics_bad_" + std::to_string(::getpid()) + ".txt");
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
    };
    for (const auto& c : cases) {
        const RunResult result = RunProgram(c.arguments);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    fs::remove(bad);
    const RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("calc TEXT RECORDING"), std::string::npos);
    EXPECT_NE(help.out.find("selftest [list]"), std::string::npos);
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
}

} // namespace

// The host's own peak detection over a generated recording written as a user's file, alone and under the module's
// conversion, against the events the recording was generated with.
TEST(CommandLine, CalcDetectsTheEventsOfAGeneratedRecording)
{
    const signals::Recording r = signals::Make(signals::Shape::SynapticCurrent, 8.0, -1, 41);
    const fs::path file = fs::temp_directory_path() / ("crestmetrics_lmpeaks_" + std::to_string(::getpid()) + ".txt");
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
    fs::remove(file);
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

TEST(CommandLine, AnalyseWritesTheTableViewsCsvAndPrintsItToAPdf)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const fs::path folder = fs::temp_directory_path() / ("crestmetrics_csv_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string text = (folder / "table.txt").string();
    const std::string csv = (folder / "table.csv").string();
    const std::string pdf = (folder / "table.pdf").string();
    const RunResult result =
        RunProgram({"analyse", cardiac, "--type", "1", "--set", "1006=50", "-o", text, "--csv", csv, "--pdf", pdf});
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
    EXPECT_NE(result.err.find("printed "), std::string::npos) << result.err;

    // A name without the lower-case extension is refused; a file that cannot be written is an error, and nothing
    // is left behind.
    const RunResult upper = RunProgram({"analyse", cardiac, "--type", "1", "--set", "1006=50", "-o", text, "--csv",
                                        (folder / "table.CSV").string()});
    EXPECT_EQ(upper.status, 2);
    EXPECT_NE(upper.err.find("--csv needs a file name ending in .csv"), std::string::npos) << upper.err;
    const std::string unwritable = (folder / "missing" / "table.csv").string();
    const RunResult failed =
        RunProgram({"analyse", cardiac, "--type", "1", "--set", "1006=50", "-o", text, "--csv", unwritable});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("could not be written"), std::string::npos) << failed.err;
    EXPECT_FALSE(fs::exists(unwritable));
    EXPECT_FALSE(fs::exists(unwritable + ".part"));
    fs::remove_all(folder);
}

} // namespace

// The cardiac example was generated with action potentials whose upstroke starts from a rest near -80 mV and
// reaches above -35 mV in its first sample; so each onset is the first sample above -60 mV after one below it.
// The analysis of action potentials must list every one of them, in order, with its start time in its block.
TEST(CommandLine, AnalyseListsEveryActionPotentialOfTheCardiacExample)
{
    const auto document = host::ReadRecordingFile(Example("cardiac.txt").string());
    std::vector<double> onsets; // seconds from the start of each block, in order
    for (int block = 0; block < document->BlockCount(); ++block) {
        const auto samples = document->Samples(block, 0);
        for (std::size_t i = 1; i < samples.size(); ++i) {
            if (samples[i] > -60.0f && samples[i - 1] <= -60.0f) {
                onsets.push_back(static_cast<double>(i) * document->TickPeriod(block));
            }
        }
    }
    ASSERT_GE(onsets.size(), 8u);

    const std::vector<std::string> analyse = {"analyse", Example("cardiac.txt").string(), "--type", "1",
                                              "--set",   "1006=50"};
    std::vector<std::string> quiet = analyse;
    quiet.push_back("--quiet");
    const RunResult result = RunProgram(quiet);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<std::vector<std::string>> lines;
    ASSERT_TRUE(SplitCrLfTable(result.out, lines)) << result.out;
    ASSERT_EQ(lines.size(), 1 + onsets.size() + 1 + 5) << result.out; // events, a blank line, the summary
    const auto& header = lines[0];
    const auto column = std::find(header.begin(), header.end(), "TStart (s)");
    ASSERT_NE(column, header.end()) << result.out;
    const auto tStart = static_cast<std::size_t>(column - header.begin());
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        const auto& row = lines[1 + i];
        ASSERT_EQ(row.size(), header.size());
        EXPECT_EQ(row[0], std::to_string(i + 1));
        EXPECT_NEAR(std::stod(row[tStart]), onsets[i], 0.0025) << "event " << i + 1;
    }
    EXPECT_TRUE(lines[1 + onsets.size()].empty());
    const auto& count = lines.back();
    ASSERT_EQ(count.size(), header.size());
    EXPECT_EQ(count[0], "Count");
    EXPECT_EQ(count[tStart], std::to_string(onsets.size()));

    // The same table to a file; progress on standard error names the blocks.
    const fs::path file = fs::temp_directory_path() / ("crestmetrics_table_" + std::to_string(::getpid()) + ".txt");
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
    fs::remove(file);
}

TEST(CommandLine, AnalyseRefusalsSayWhatIsWrong)
{
    const std::string cardiac = Example("cardiac.txt").string();
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* message;
    } cases[] = {
        {{"analyse"}, 2, "needs one recording"},
        {{"analyse", cardiac, "--type", "9"}, 2, "--type needs a whole number from 0 to 5"},
        {{"analyse", cardiac, "--type"}, 2, "--type needs a value"},
        {{"analyse", cardiac, "--channel", "2"}, 1, "the recording has 1 channel(s), not 2"},
        {{"analyse", cardiac, "--set", "1006"}, 2, "--set needs ID=TEXT"},
        {{"analyse", cardiac, "--set", "77777=1"}, 1, "no setting 77777"},
        {{"analyse", cardiac, "--set", "1006=tall"}, 1, "no setting 1006 that takes \"tall\""},
        {{"analyse", cardiac, "--type=1", "-o", "/nonexistent-folder/table.txt"}, 1, "cannot write the table"},
        {{"analyse", "/nonexistent-recording.txt"}, 1, "/nonexistent-recording.txt"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult result = RunProgram(test.arguments);
        EXPECT_EQ(result.status, test.status);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("crestmetrics: analyse: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    }
}
