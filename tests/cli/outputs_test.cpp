// The command line's outputs, refusals, listings and warnings, run as a user runs the program: where each output
// goes, that none replaces another file of the run, that an ended run leaves nothing behind, and that every
// message says what to do.
#include "host/document.h"
#include "host/saveddocument.h"
#include "platform/posix/testinjections.h"
#include "tests/cli/programrun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using clitest::Bytes;
using clitest::RunProgram;
using clitest::RunResult;
using clitest::Start;
using clitest::TempFolder;
using clitest::Wait;

std::string Example(const char* name) { return clitest::Example(name).string(); }

void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> Joined(std::vector<std::string> first, const std::vector<std::string>& more)
{
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

const std::string kCardiacHeader = "\tRMP (mV)\tAPA (mV)";

// Whether a hidden temporary whose name starts so shows up in the folder within two minutes while the run is alive:
// it is writing. A run that ended (and is left to be waited for) made none.
bool TemporaryAppears(const TempFolder& folder, const std::string& start, pid_t run)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline) {
        siginfo_t ended{};
        if (::waitid(P_PID, static_cast<id_t>(run), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == run) {
            return false;
        }
        const auto names = folder.Names();
        if (std::any_of(names.begin(), names.end(), [&](const std::string& name) { return name.starts_with(start); })) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

} // namespace

// Each output goes where it is named, or is refused with what to do; a write that fails says why, in one wording.
TEST(CommandLineOutputs, EachOutputGoesWhereItIsNamedOrSaysWhyNot)
{
    const TempFolder folder;
    const std::string log = folder / "log.txt";
    const std::vector<std::string> analysed = {"analyse", Example("cardiac.txt"), "--type", "1", "--quiet"};
    const auto toNull = [&](const std::vector<std::string>& more) {
        return Joined(Joined(analysed, {"-o", "/dev/null"}), more);
    };
    const std::string stdoutTaken = "needs a file name: standard output (-) carries the table";
    const std::string missing = ": No such file or directory";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message; // the whole of standard error when the run succeeds
        std::string stdoutTo = {};
    } cases[] = {
        {Joined(analysed, {"-o", "-"}), 0, ""},
        {toNull({"--save", "-"}), 2, "--save " + stdoutTaken},
        {toNull({"--view-png", "-"}), 2, "--view-png " + stdoutTaken},
        {toNull({"--view-pdf", "-"}), 2, "--view-pdf " + stdoutTaken},
        {toNull({"--pdf", "-"}), 2, "--pdf " + stdoutTaken},
        {Joined(analysed, {"-o", "missing/table.txt"}), 1, "cannot write the table to missing/table.txt" + missing},
        {toNull({"--save", "missing/doc.cmhd"}), 1, "cannot write the document to missing/doc.cmhd" + missing},
        {toNull({"--view-png", "missing/view.png"}), 1, "cannot write the picture to missing/view.png" + missing},
        {toNull({"--view-pdf", "missing/view.pdf"}), 1, "cannot write the printout to missing/view.pdf" + missing},
        {toNull({"--csv", "missing/table.csv"}), 1,
         "cannot write the comma-separated table to missing/table.csv" + missing},
        {toNull({"--pdf", "missing/table.pdf"}), 1, "cannot write the table printout to missing/table.pdf" + missing},
        {analysed, 1, "cannot write the table to standard output: No space left on device", "/dev/full"},
        // The process's own standard output, by either name, keeps what a shell's ">>" keeps.
        {Joined(analysed, {"-o", "/dev/stdout"}), 0, "", log},
        {Joined(analysed, {"-o", "log.txt"}), 0, "", log},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments.back() + " " + test.message);
        Put(log, "an earlier line\n");
        const RunResult outcome = RunProgram({test.arguments, folder.Path().string(), test.stdoutTo});
        EXPECT_EQ(outcome.status, test.status);
        if (test.status == 0) {
            EXPECT_EQ(outcome.err, "");
            const std::string table = test.stdoutTo.empty() ? outcome.out : Bytes(log);
            const std::string kept = test.stdoutTo.empty() ? "" : "an earlier line\n";
            EXPECT_EQ(table.rfind(kept + kCardiacHeader, 0), 0u) << table.substr(0, 200);
        } else {
            EXPECT_EQ(outcome.out, "");
            EXPECT_EQ(outcome.err.rfind("crestmetrics: analyse: " + test.message + "\n", 0), 0u) << outcome.err;
        }
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"log.txt"});
    }
}

// No output replaces the recording, the --from document or another output of the same run, however it is named;
// the refusal comes before anything is written.
TEST(CommandLineOutputs, NoOutputReplacesTheInputOrAnotherOutput)
{
    const TempFolder folder;
    Put(folder / "rec.txt", Bytes(Example("cardiac.txt")));
    fs::create_symlink("rec.txt", folder / "link.txt");
    fs::create_hard_link(folder / "rec.txt", folder / "hard.txt");
    Put(folder / "same.csv", "an earlier table");
    // Dangling links that meet in one file not made yet, directly or through another link.
    for (const char* link : {"dA", "dB", "dD.csv"}) {
        fs::create_symlink("new.x", folder / link);
    }
    fs::create_symlink("dB", folder / "dC");
    fs::create_directories(folder / "new");
    ASSERT_EQ(RunProgram({{"analyse", "rec.txt", "--quiet", "-o", "/dev/null", "--save", "doc.cmhd"},
                          folder.Path().string()})
                  .status,
              0);
    const std::string recording = Bytes(folder / "rec.txt");
    const std::string document = Bytes(folder / "doc.cmhd");
    const std::vector<std::string> names = folder.Names();
    const std::vector<std::string> analysed = {"analyse", "rec.txt", "--quiet", "--type", "1"};
    const struct {
        std::vector<std::string> options;
        std::string message;
        std::string stdoutTo = {}; // a file of the folder that standard output appends to (">>")
    } cases[] = {
        {{"-o", "rec.txt"}, "-o rec.txt: that is the recording being analysed"},
        {{"-o", "link.txt"}, "-o link.txt: that is the recording being analysed"},
        {{"-o", "hard.txt"}, "-o hard.txt: that is the recording being analysed"},
        {{"-o", "/dev/null", "--save", "rec.txt"}, "--save rec.txt: that is the recording being analysed"},
        {{"-o", "/dev/null", "--pdf", "rec.txt"}, "--pdf rec.txt: that is the recording being analysed"},
        {{"-o", "same.out", "--save", "same.out"}, "--save same.out: that is also the file of -o"},
        {{"-o", "table.txt", "--view-pdf", "new/../table.txt"},
         "--view-pdf new/../table.txt: that is also the file of -o"},
        {{"-o", "/dev/null", "--csv", "table.csv", "--pdf", "table.csv"},
         "--pdf table.csv: that is also the file of --csv"},
        {{"-o", "/dev/null", "--from", "doc.cmhd", "--save", "doc.cmhd"},
         "--save doc.cmhd: that is the --from document"},
        {{"-o", "dA", "--save", "dB"}, "--save dB: that is also the file of -o"},
        {{"-o", "new.x", "--save", "dB"}, "--save dB: that is also the file of -o"},
        {{"-o", "dA", "--save", "dC"}, "--save dC: that is also the file of -o"},
        {{"-o", "/dev/null", "--csv", "dD.csv", "--pdf", "dA"}, "--pdf dA: that is also the file of --csv"},
        {{"-o", "/dev/null", "--event", "1", "--view-png", "dA", "--view-pdf", "dB"},
         "--view-pdf dB: that is also the file of --view-png"},
        // Standard output, when it carries the table, is an output too.
        {{}, "standard output: that is the recording being analysed", "rec.txt"},
        {{"-o", "-"}, "standard output: that is the recording being analysed", "hard.txt"},
        {{"--from", "doc.cmhd"}, "standard output: that is the --from document", "doc.cmhd"},
        {{"--csv", "same.csv"}, "--csv same.csv: that is also the file of standard output", "same.csv"},
        {{"--save", "same.csv"}, "--save same.csv: that is also the file of standard output", "same.csv"},
        // A document or a printout is written whole, never after what standard output's file holds.
        {{"-o", "/dev/null", "--save", "same.csv"},
         "--save same.csv: that is the file of standard output, which is not empty: the document would follow what "
         "it holds",
         "same.csv"},
        {{"-o", "/dev/null", "--pdf", "same.csv"},
         "--pdf same.csv: that is the file of standard output, which is not empty: the table printout would follow "
         "what it holds",
         "same.csv"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const std::string stdoutTo = test.stdoutTo.empty() ? "" : folder / test.stdoutTo;
        const RunResult outcome = RunProgram({Joined(analysed, test.options), folder.Path().string(), stdoutTo});
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err.rfind("crestmetrics: analyse: " + test.message + "\n", 0), 0u) << outcome.err;
        // Compared whole: gtest's line-by-line difference of two large files would take gigabytes.
        EXPECT_TRUE(Bytes(folder / "rec.txt") == recording);
        EXPECT_TRUE(Bytes(folder / "doc.cmhd") == document);
        EXPECT_EQ(folder.Names(), names);
    }
    EXPECT_EQ(Bytes(folder / "same.csv"), "an earlier table");
    // calc's lines too; a shell's ">" has emptied the recording before the run, which is said.
    const RunResult calc =
        RunProgram({{"calc", "cappeakdet(ch1, 0.05, 2)", "rec.txt"}, folder.Path().string(), folder / "rec.txt"});
    EXPECT_EQ(calc.status, 2);
    EXPECT_EQ(calc.err.rfind("crestmetrics: calc: standard output: that is the recording being analysed\n", 0), 0u)
        << calc.err;
    EXPECT_TRUE(Bytes(folder / "rec.txt") == recording);
    const RunResult emptied = clitest::RunShell("cd " + clitest::Quote(folder.Path().string()) +
                                                " && cp rec.txt copy.txt && \"$P\" analyse copy.txt > copy.txt");
    EXPECT_EQ(emptied.status, 2);
    EXPECT_EQ(emptied.err.rfind("crestmetrics: analyse: standard output: that is the recording being analysed, "
                                "which the shell's \">\" has emptied\n",
                                0),
              0u)
        << emptied.err;
    // A saved document is saved again where it came from, as the host's Save does; devices are shared freely.
    EXPECT_EQ(RunProgram({{"analyse", "doc.cmhd", "--quiet", "--type", "1", "-o", "/dev/null", "--save", "doc.cmhd",
                    "--view-png", "/dev/null"},
                   folder.Path().string()})
                  .status,
              0);
    EXPECT_NE(Bytes(folder / "doc.cmhd"), document);
}

// An output's name is followed once, for the check and the write alike: while its link is swapped between another
// file and the recording, a run is refused as the recording or writes the other file, never the recording.
TEST(CommandLineOutputs, ALinkSwappedDuringARunNeverLeadsTheTableOntoTheRecording)
{
    const TempFolder folder;
    std::string recording = "Time (s)\tVm (mV)\n";
    for (int i = 0; i < 100; ++i) {
        recording += std::to_string(i * 1e-3) + (i % 50 == 25 ? "\t-10\n" : "\t-70\n");
    }
    Put(folder / "rec.txt", recording);
    fs::create_symlink("other.txt", folder / "out.tab");
    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        const std::string swapped = folder / "swapped";
        const std::string output = folder / "out.tab";
        for (bool toRecording = true; !stop; toRecording = !toRecording) {
            ::symlink(toRecording ? "rec.txt" : "other.txt", swapped.c_str());
            ::rename(swapped.c_str(), output.c_str());
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    int replaced = 0;
    int written = 0;
    int refused = 0;
    int otherwise = 0;
    for (int run = 0; run < 200; ++run) {
        const RunResult outcome =
            RunProgram({{"analyse", "rec.txt", "--quiet", "-o", "out.tab"}, folder.Path().string()});
        ++(outcome.status == 0 ? written : outcome.status == 2 ? refused : otherwise);
        if (Bytes(folder / "rec.txt") != recording) {
            ++replaced;
            Put(folder / "rec.txt", recording);
        }
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(replaced, 0);
    // Refused when checked onto the recording, written to the other file when not; nothing else.
    EXPECT_GT(written, 0);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(otherwise, 0);
    EXPECT_EQ(Bytes(folder / "other.txt").rfind("\t", 0), 0u);
}

// An output that cannot be written is found before any output is replaced or written to standard output: every
// file is written whole beside its target first, and only when all were is anything put in place, or said to be.
TEST(CommandLineOutputs, AnOutputThatCannotBeWrittenReplacesNoOther)
{
    const TempFolder folder;
    Put(folder / "rec.txt", Bytes(Example("cardiac.txt")));
    Put(folder / "t.tab", "an earlier table");
    Put(folder / "d.cmhd", "an earlier document");
    Put(folder / "t.csv", "an earlier comma-separated table");
    fs::create_directories(folder / "sub.csv");
    const std::vector<std::string> names = folder.Names();
    const std::vector<std::string> analysed = {"analyse", "rec.txt", "--quiet", "--type", "1"};
    const struct {
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {{"-o", "t.tab", "--save", "missing/d.cmhd"},
         "cannot write the document to missing/d.cmhd: No such file or directory"},
        {{"-o", "t.tab", "--save", "."}, "cannot write the document to .: Is a directory"},
        {{"--save", "."}, "cannot write the document to .: Is a directory"},
        {{"-o", "t.tab", "--save", "d.cmhd", "--csv", "sub.csv"},
         "cannot write the comma-separated table to sub.csv: Is a directory"},
        {{"-o", "t.tab", "--save", "d.cmhd", "--pdf", "/dev/full"},
         "cannot write the table printout to /dev/full: No space left on device"},
        {{"--save", "d.cmhd", "--event", "1", "--view-png", "/dev/full"},
         "cannot write the picture to /dev/full: No space left on device"},
        {{"-o", "t.tab", "--csv", "t.csv", "--pdf", "/dev/full"},
         "cannot write the table printout to /dev/full: No space left on device"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult outcome = RunProgram({Joined(analysed, test.options), folder.Path().string()});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_TRUE(outcome.out.empty());
        EXPECT_EQ(outcome.err, "crestmetrics: analyse: " + test.message + "\n");
        // With progress, no file is said to be written or printed that was not put in place.
        auto loud = Joined(analysed, test.options);
        std::erase(loud, "--quiet");
        const RunResult said = RunProgram({loud, folder.Path().string()});
        EXPECT_EQ(said.status, 1);
        EXPECT_TRUE(said.err.ends_with("crestmetrics: analyse: " + test.message + "\n")) << said.err;
        EXPECT_EQ(said.err.find(": wrote "), std::string::npos) << said.err;
        EXPECT_EQ(said.err.find(": printed "), std::string::npos) << said.err;
        EXPECT_TRUE(Bytes(folder / "t.tab") == "an earlier table");
        EXPECT_TRUE(Bytes(folder / "d.cmhd") == "an earlier document");
        EXPECT_TRUE(Bytes(folder / "t.csv") == "an earlier comma-separated table");
        EXPECT_EQ(folder.Names(), names);
    }
}

namespace {

// Runs the program in `folder` up to the fixed point `point`, where it stops itself for a test that names the point
// in its environment, does `meanwhile` there, and lets the run go on to its end.
RunResult RunStoppingAt(const std::string& point, const std::vector<std::string>& arguments,
                        const std::string& folder, const std::function<void()>& meanwhile)
{
    const TempFolder captured;
    const std::string out = captured / "out";
    const std::string err = captured / "err";
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string stop = std::string(platform::kTestStopVariable) + "=" + point;
    const pid_t child = Start({.arguments = Joined({stop, clitest::Program().string()}, arguments),
                               .folder = folder,
                               .command = "env"},
                              outFd, errFd);
    ::close(outFd);
    ::close(errFd);
    int status = 0;
    const bool stopped = ::waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status);
    EXPECT_TRUE(stopped) << "the run did not stop at " << point << ": " << Bytes(err);
    RunResult result;
    if (stopped) {
        meanwhile();
        ::kill(child, SIGCONT);
        result = Wait(child);
    }
    result.out = Bytes(out);
    result.err = Bytes(err);
    return result;
}

} // namespace

// A folder of an output's name swapped with a link to the recording's folder while runs write into it: each output
// is written into the folder its name led to when it was followed, so the recording is refused there or another
// file written, and a temporary is removed from the folder it was made in. A recording or a --from document named
// through such a folder is compared with the outputs, and read, as the file that was opened. Each case runs once
// with the swap made just after the inputs were opened, from either side, then 200 times with swaps at any moment.
TEST(CommandLineOutputs, AFolderSwappedDuringARunNeverLeadsAWriteOntoTheRecording)
{
    const TempFolder folder;
    fs::create_directories(folder / "R");
    fs::create_directories(folder / "D");
    // An action potential of 60 ms with its plateau at `plateau` mV.
    const auto potential = [](const char* plateau) {
        std::string text = "Time (s)\tVm (mV)\n";
        for (int i = 0; i < 100; ++i) {
            text += std::to_string(i * 1e-3) + "\t" + (i >= 20 && i < 80 ? plateau : "-70") + "\n";
        }
        return text;
    };
    const auto run = [&](const std::vector<std::string>& arguments) {
        return RunProgram({arguments, folder.Path().string()});
    };
    // In R a recording and its saved document; beside them another recording, and another document, analysed with
    // settings of its own (no summary rows), which the swapped folder D holds in the cases that read from it.
    Put(folder / "R/rec.txt", potential("20"));
    Put(folder / "another.txt", potential("30"));
    ASSERT_EQ(run({"analyse", "R/rec.txt", "--type", "1", "-q", "-o", "/dev/null", "--save", "R/doc.cmhd"}).status, 0);
    ASSERT_EQ(run({"analyse", "another.txt", "--type", "1", "--set", "2002=f", "-q", "-o", "/dev/null", "--save",
                   "another.cmhd"})
                  .status,
              0);
    const std::map<std::string, std::string> untouched = {{"R/rec.txt", Bytes(folder / "R/rec.txt")},
                                                          {"R/doc.cmhd", Bytes(folder / "R/doc.cmhd")}};
    fs::create_symlink("R", folder / "X");
    const std::string one = folder / "D";
    const std::string other = folder / "X";
    const auto swap = [&] { ::renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE); };
    const struct {
        std::vector<std::string> arguments;
        std::string inD = {};                  // the file copied into D, as D/rec.txt or D/doc.cmhd
        std::vector<std::string> allowed = {}; // the run whose table, and only that, may replace a file in R
    } cases[] = {
        {{"analyse", "R/rec.txt", "--type", "1", "-q", "-o", "D/rec.txt"}},
        {{"analyse", "R/rec.txt", "--type", "1", "-q", "-o", "/dev/null", "--save", "D/rec.txt"}},
        {{"analyse", "D/rec.txt", "--type", "1", "-q", "-o", "R/rec.txt"},
         "another.txt",
         {"analyse", "another.txt", "--type", "1", "-q"}},
        {{"analyse", "another.txt", "-q", "--from", "D/doc.cmhd", "-o", "R/doc.cmhd"},
         "another.cmhd",
         {"analyse", "another.txt", "-q", "--from", "another.cmhd"}},
        {{"analyse", "D/doc.cmhd", "-q", "-o", "R/doc.cmhd"}, "another.cmhd", {"analyse", "another.cmhd", "-q"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(clitest::Quote(test.arguments[1]) + " ... " + test.arguments.back());
        const std::string allowed = test.allowed.empty() ? "" : run(test.allowed).out;
        ASSERT_TRUE(test.allowed.empty() || allowed.find("\n1\t-70.00\t100.0\t") != std::string::npos) << allowed;
        if (!test.inD.empty()) {
            fs::copy_file(folder / test.inD, folder / (test.inD.ends_with(".txt") ? "D/rec.txt" : "D/doc.cmhd"));
        }
        int replaced = 0;
        std::vector<int> seen;
        const auto check = [&](int status) {
            seen.push_back(status);
            for (const auto& [name, bytes] : untouched) {
                if (const std::string now = Bytes(folder / name); now != bytes) {
                    replaced += now != allowed;
                    Put(folder / name, bytes);
                }
            }
        };
        // The swap made at a fixed point, after the inputs were opened and before anything else is done with them.
        for (const bool swapped : {false, true}) {
            if (swapped) {
                swap();
            }
            check(RunStoppingAt("inputs opened", test.arguments, folder.Path().string(), swap).status);
            if (!swapped) {
                swap();
            }
        }
        EXPECT_EQ(replaced, 0) << "with the swap just after the inputs were opened";
        std::atomic<bool> stop = false;
        std::thread swapper([&] {
            while (!stop) {
                swap();
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
        for (int run = 0; run < 200; ++run) {
            check(RunProgram({test.arguments, folder.Path().string()}).status);
        }
        stop = true;
        swapper.join();
        if (fs::is_symlink(one)) {
            swap();
        }
        EXPECT_EQ(replaced, 0);
        // Written where the name led to another file, refused where it led to the recording; nothing else.
        for (const int status : {0, 2}) {
            EXPECT_NE(std::count(seen.begin(), seen.end(), status), 0) << status;
            std::erase(seen, status);
        }
        EXPECT_EQ(seen, std::vector<int>{});
        fs::remove(folder / "D/rec.txt");
        fs::remove(folder / "D/doc.cmhd");
        // No temporary is left where one was made.
        EXPECT_EQ(TempFolder::NamesIn(folder / "R"), (std::vector<std::string>{"doc.cmhd", "rec.txt"}));
        EXPECT_EQ(TempFolder::NamesIn(folder / "D"), std::vector<std::string>{});
    }
}

// Outputs whose commit fails at a rename (its target made a folder while the run wrote): the message names the
// output that failed and those already written before it, a file put in place or standard output; the others,
// and the temporaries, are gone.
TEST(CommandLineOutputs, AFailedCommitNamesTheOutputsAlreadyWritten)
{
    const TempFolder folder;
    Put(folder / "rec.txt", Bytes(Example("cardiac.txt")));
    const std::string failure = "crestmetrics: analyse: cannot write ";
    const struct {
        std::vector<std::string> outputs;
        std::string madeAFolder;
        std::string message;
        std::vector<std::string> names; // what the folder holds after the run
    } cases[] = {
        {{"-o", "table.txt", "--save", "doc.cmhd"},
         "doc.cmhd",
         "the document to doc.cmhd: Is a directory; already written: the table to table.txt",
         {"doc.cmhd", "rec.txt", "table.txt"}},
        {{"--save", "doc.cmhd"},
         "doc.cmhd",
         "the document to doc.cmhd: Is a directory; already written: the table to standard output",
         {"doc.cmhd", "rec.txt"}},
        {{"-o", "table.txt", "--save", "doc.cmhd"}, "table.txt", "the table to table.txt: Is a directory",
         {"rec.txt", "table.txt"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult outcome =
            RunStoppingAt("outputs written", Joined({"analyse", "rec.txt", "--type", "1", "-q"}, test.outputs),
                          folder.Path().string(), [&] { fs::create_directory(folder / test.madeAFolder); });
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, failure + test.message + "\n");
        EXPECT_EQ(folder.Names(), test.names);
        const bool tableWritten =
            fs::is_regular_file(folder / "table.txt") && Bytes(folder / "table.txt").rfind(kCardiacHeader, 0) == 0;
        EXPECT_EQ(tableWritten, test.message.ends_with("table.txt"));
        EXPECT_EQ(outcome.out.rfind(kCardiacHeader, 0) == 0, test.message.ends_with("standard output"));
        fs::remove_all(folder / "table.txt");
        fs::remove_all(folder / "doc.cmhd");
    }
}

// Standard error's file named as an output is written through descriptor 2 in place, after what the run said there
// and what a shell's ">>" keeps, as standard output's file is; standard error that is a file the run reads refuses
// the run without a word written into it.
TEST(CommandLineOutputs, StandardErrorsFileIsWrittenInPlaceAndNeverAnInput)
{
    const TempFolder folder;
    Put(folder / "rec.txt", Bytes(Example("cardiac.txt")));
    const std::string recording = Bytes(folder / "rec.txt");
    const RunResult usual = RunProgram({{"analyse", "rec.txt", "--type", "1", "-q"}, folder.Path().string()});
    ASSERT_EQ(usual.status, 0);
    ASSERT_EQ(RunProgram({{"analyse", "rec.txt", "--type", "1", "-q", "-o", "/dev/null", "--save", "doc.cmhd", "--csv",
                           "usual.csv"},
                          folder.Path().string()})
                  .status,
              0);
    const std::string document = Bytes(folder / "doc.cmhd");
    const std::string csv = Bytes(folder / "usual.csv");
    const RunResult loud = RunProgram({{"analyse", "rec.txt", "--type", "1", "-o", "/dev/null"}, folder.Path().string()});
    const std::string earlier = "an earlier line\n";
    const std::string done = "crestmetrics: analyse: done\n";
    ASSERT_TRUE(loud.err.ends_with(done));
    const std::string progress = loud.err.substr(0, loud.err.size() - done.size());
    const std::string analysed = "cd " + clitest::Quote(folder.Path().string()) + " && \"$P\" analyse rec.txt --type 1";
    const struct {
        std::string line;
        int status;
        std::string log; // what log.txt holds after the run
    } cases[] = {
        {analysed + " -q -o log.txt 2>> log.txt", 0, earlier + usual.out},
        {analysed + " -o log.txt 2>> log.txt", 0, earlier + progress + usual.out + done},
        {analysed + " -q -o log.txt >> log.txt", 0, earlier + usual.out},
        {analysed + " -q 2>> rec.txt", 2, earlier},
        {analysed + " -q --bogus 2>> rec.txt", 2, earlier},
        {analysed + " -q --from doc.cmhd 2>> doc.cmhd", 2, earlier},
        // Refused before the options are judged: the refusal of --bogus would land in the document.
        {analysed + " -q --from doc.cmhd --bogus 2>> doc.cmhd", 2, earlier},
        // A document or a printout is written whole, never after what standard error's file holds.
        {analysed + " -q -o /dev/null --save doc.cmhd 2>> doc.cmhd", 2, earlier},
        {analysed + " -q -o /dev/null --pdf log.txt 2>> log.txt", 2, earlier},
        {analysed + " -q -o /dev/null --pdf log.txt --bogus 2>> log.txt", 2, earlier},
        // The comma-separated table is lines of text, as the table is: it follows what the file held.
        {"cd " + clitest::Quote(folder.Path().string()) +
             " && mv log.txt log.csv && \"$P\" analyse rec.txt --type 1 -q -o /dev/null --csv log.csv >> log.csv; "
             "s=$?; mv log.csv log.txt; exit $s",
         0, earlier + csv},
        {"cd " + clitest::Quote(folder.Path().string()) +
             " && mv log.txt log.csv && \"$P\" analyse rec.txt --type 1 -q -o /dev/null --csv log.csv 2>> log.csv; "
             "s=$?; mv log.csv log.txt; exit $s",
         0, earlier + csv},
        {"cd " + clitest::Quote(folder.Path().string()) + " && \"$P\" calc 'cappeakdet(ch1, 0.05, 2)' rec.txt 2>> rec.txt",
         2, earlier},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.line);
        Put(folder / "log.txt", earlier);
        const RunResult outcome = clitest::RunShell(test.line);
        EXPECT_EQ(outcome.status, test.status);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(Bytes(folder / "log.txt"), test.log);
        EXPECT_TRUE(Bytes(folder / "rec.txt") == recording);
        EXPECT_TRUE(Bytes(folder / "doc.cmhd") == document);
    }
}

// A regular file is replaced through a temporary file wherever it lies: a write that fails under /dev/shm leaves the
// old file whole.
TEST(CommandLineOutputs, ARegularFileUnderDevShmIsReplacedWholeOrNotAtAll)
{
    if (!fs::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no /dev/shm";
    }
    const TempFolder folder("/dev/shm");
    const std::string table = folder / "table.txt";
    const std::string old = "an earlier table\r\n";
    Put(table, old);
    const std::vector<std::string> analysed = {"analyse", Example("cardiac.txt"), "--quiet", "--type", "1", "-o",
                                               table};
    const RunResult failed = RunProgram({analysed, "", "", 512});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "crestmetrics: analyse: cannot write the table to " + table + ": File too large\n");
    EXPECT_EQ(Bytes(table), old);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"table.txt"});

    ASSERT_EQ(RunProgram({analysed}).status, 0);
    EXPECT_EQ(Bytes(table).rfind(kCardiacHeader, 0), 0u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"table.txt"});
}

// Ctrl-C, a kill and the file-size limit end a run without a hidden temporary file beside the target and with the
// old file whole: the signals remove what is being written and end the run as they ask; past the limit the write
// fails and says so.
TEST(CommandLineOutputs, AnEndedRunLeavesNothingBehind)
{
    const TempFolder folder;
    // One block of 120 narrow peaks: the printout of every event reports each page on standard error.
    {
        std::ofstream recording(folder / "peaks.txt");
        recording << "Time (s)\tVm (mV)\n";
        for (int i = 0; i < 120 * 200; ++i) {
            recording << i * 1e-4 << '\t' << -70.0 + 60.0 * std::exp(-std::pow((i % 200 - 100) / 5.0, 2)) << '\n';
        }
    }
    const std::string old = "an earlier printout";
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Put(folder / "events.pdf", old);
        // Standard error is a pipe the test does not read: once it is full, the run waits in the middle of the
        // printout, with its temporary file open.
        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        ::fcntl(pipe[0], F_SETPIPE_SZ, 4096);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const pid_t child = Start({{"analyse", "peaks.txt", "--type", "1", "--set", "1001=0.5", "-o", "/dev/null",
                                    "--event", "all", "--view-pdf", "events.pdf"},
                                   folder.Path().string()},
                                  null, pipe[1]);
        ::close(null);
        ::close(pipe[1]);
        EXPECT_TRUE(TemporaryAppears(folder, ".events.pdf.", child));
        ::kill(child, signal);
        char drained[4096];
        while (::read(pipe[0], drained, sizeof drained) > 0) {
        }
        ::close(pipe[0]);
        const RunResult outcome = Wait(child);
        EXPECT_EQ(outcome.signal, signal);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"events.pdf", "peaks.txt"}));
        EXPECT_EQ(Bytes(folder / "events.pdf"), old);
    }

    Put(folder / "doc.cmhd", "an earlier document");
    const RunResult limited = RunProgram(
        {{"analyse", Example("cardiac.txt"), "--quiet", "-o", "/dev/null", "--save", "doc.cmhd"},
         folder.Path().string(),
         "",
         64 * 1024});
    EXPECT_EQ(limited.signal, 0);
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "crestmetrics: analyse: cannot write the document to doc.cmhd: File too large\n");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"doc.cmhd", "events.pdf", "peaks.txt"}));
    EXPECT_EQ(Bytes(folder / "doc.cmhd"), "an earlier document");
}

// A closed terminal (SIGHUP), Ctrl-\\ (SIGQUIT) and the other signals that end a run, sent while a long --save is
// being written, leave the old document and no temporary beside it; a signal ignored from the start (nohup) stays
// ignored and the run ends as usual.
TEST(CommandLineOutputs, EveryEndingSignalLeavesTheOldDocument)
{
    const TempFolder folder;
    {
        // 20 million samples: the saved document takes long enough to write to be caught in the middle.
        auto recording = host::Document::Create();
        recording->AddChannel(u"Vm", u"mV");
        std::vector<float> samples(20'000'000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = -0.07f + 0.001f * static_cast<float>(i % 97) / 97.0f;
        }
        recording->SetSamples(recording->AddBlock(1e-4), 0, std::move(samples));
        std::ofstream out(folder / "long.cmhd", std::ios::binary);
        host::WriteSavedDocument(out, *recording, {});
    }
    const std::string old = "an earlier document";
    const auto names = [&] { return std::vector<std::string>{"doc.cmhd", "long.cmhd"}; };
    const struct {
        int signal;
        bool ignored;
    } cases[] = {{SIGHUP, false}, {SIGQUIT, false}, {SIGUSR1, false}, {SIGPIPE, false}, {SIGHUP, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(::strsignal(test.signal) + std::string(test.ignored ? ", ignored" : ""));
        Put(folder / "doc.cmhd", old);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const pid_t child =
            Start({.arguments = {"analyse", "long.cmhd", "--quiet", "--type", "1", "-o", "/dev/null", "--save",
                                 "doc.cmhd"},
                   .folder = folder.Path().string(),
                   .ignoredSignals = test.ignored ? std::vector<int>{test.signal} : std::vector<int>{}},
                  null, null);
        ::close(null);
        EXPECT_TRUE(TemporaryAppears(folder, ".doc.cmhd.", child));
        ::kill(child, test.signal);
        const RunResult outcome = Wait(child);
        EXPECT_EQ(folder.Names(), names());
        if (test.ignored) {
            EXPECT_EQ(outcome.status, 0);
            EXPECT_FALSE(Bytes(folder / "doc.cmhd") == old);
        } else {
            EXPECT_EQ(outcome.signal, test.signal);
            EXPECT_TRUE(Bytes(folder / "doc.cmhd") == old);
        }
    }
}

namespace {

// What a command line did inside a mount namespace of its own with a private /dev.
struct PrivateDevRun {
    bool made = false; // false: the namespace could not be made, and nothing ran
    RunResult result;  // the command line's exit status, its standard error
    std::string devBefore;
    std::string devAfter;  // what /dev held before and after the run
    std::string procAfter; // what /proc held after it
    bool stdoutLink = false; // /dev/stdout was still a symbolic link after the run
};

// Runs a shell command line inside a mount namespace of its own (unshare -m, private propagation) whose /dev is a
// tmpfs holding null, full, zero and urandom and the links fd, stdin, stdout and stderr to /proc/self/fd, and
// (`withoutProc`) with an empty tmpfs over /proc: what the run does to /dev or /proc never reaches the machine's.
// The command line runs only once the private /dev is in place.
PrivateDevRun RunWithPrivateDev(const TempFolder& folder, bool withoutProc, const std::string& line)
{
    static const std::string script = R"(set -e
F=$1
mkdir "$F/dev"
mount -t tmpfs -o mode=755 private-dev "$F/dev"
cp -a /dev/null /dev/full /dev/zero /dev/urandom "$F/dev/"
ln -s /proc/self/fd "$F/dev/fd"
ln -s /proc/self/fd/0 "$F/dev/stdin"
ln -s /proc/self/fd/1 "$F/dev/stdout"
ln -s /proc/self/fd/2 "$F/dev/stderr"
: > "$F/dev/.private"
mount --bind "$F/dev" /dev
test -e /dev/.private
if [ "$2" = without-proc ]; then mount -t tmpfs no-proc /proc; fi
ls -A /dev > "$F/dev-before"
set +e
eval "$3" 2> "$F/err"
echo $? > "$F/status"
ls -A /dev > "$F/dev-after"
ls -A /proc > "$F/proc-after"
if [ -L /dev/stdout ]; then : > "$F/stdout-link"; fi
)";
    PrivateDevRun run;
    const RunResult shell = RunProgram({.arguments = {"-m", "--propagation", "private", "sh", "-c", script, "sh",
                                                      folder.Path().string(), withoutProc ? "without-proc" : "proc",
                                                      line},
                                        .command = "unshare"});
    run.made = fs::exists(folder / "status");
    run.result.status = run.made ? std::stoi(Bytes(folder / "status")) : -1;
    run.result.err = run.made ? Bytes(folder / "err") : shell.err;
    run.devBefore = Bytes(folder / "dev-before");
    run.devAfter = Bytes(folder / "dev-after");
    run.procAfter = Bytes(folder / "proc-after");
    run.stdoutLink = fs::exists(folder / "stdout-link");
    return run;
}

} // namespace

// With standard output closed, or without /proc (a chroot, a bare container), /dev/stdout leads nowhere: the table
// still goes to descriptor 1 itself, a closed one is a failure, and no file is made in /dev or under /proc. Every
// descriptor's names (/dev/stderr, /dev/fd/N, /proc/self/fd/N, links to them) are written through the descriptor in
// place, after what a shell's ">>" keeps; a descriptor that was not open for writing as the run started, standard
// ones too, fails before anything is written. Run in a private /dev only: the fault this guards against replaced
// the machine's /dev/stdout.
TEST(CommandLineOutputs, StandardOutputIsTheDescriptorNotTheNameInDev)
{
    const auto command = [](const std::string& name, const std::string& arguments) {
        return clitest::Quote(clitest::Program().string()) + " " + name + " --module " +
               clitest::Quote(MODULE_LIBRARY_PATH) + " " + arguments;
    };
    const std::string program = command("analyse", clitest::Quote(Example("cardiac.txt")));
    const std::string analysed = program + " --quiet --type 1";
    const std::string calc = command("calc", "'cappeakdet(ch1, 0.05, 2)' " + clitest::Quote(Example("cardiac.txt")));
    const RunResult usual = RunProgram({{"analyse", Example("cardiac.txt"), "--quiet", "--type", "1"}});
    ASSERT_EQ(usual.status, 0);
    const RunResult loud = RunProgram({{"analyse", Example("cardiac.txt"), "--type", "1", "-o", "/dev/null"}});
    const std::string done = "crestmetrics: analyse: done\n";
    ASSERT_TRUE(loud.err.ends_with(done)) << loud.err;
    const std::string progress = loud.err.substr(0, loud.err.size() - done.size());
    const TempFolder saved;
    ASSERT_EQ(RunProgram({{"analyse", Example("cardiac.txt"), "--quiet", "--type", "1", "-o", "/dev/null", "--save",
                           saved / "doc.cmhd"}})
                  .status,
              0);
    const std::string document = Bytes(saved / "doc.cmhd");
    const std::string earlier = "an earlier line\n";
    const std::string closed = "crestmetrics: analyse: cannot write to standard output";
    const std::string refused = "crestmetrics: analyse: cannot write the ";
    const std::string log = " 2>> \"$F/t.tab\"";
    const struct {
        bool withoutProc;
        std::string line; // the table file, if any, is t.tab in the folder: "$F/t.tab"
        int status;
        std::string message; // the start of standard error
        std::string table;   // what t.tab holds after the run
    } cases[] = {
        {false, analysed + " >&-", 1, closed, ""},
        {false, calc + " --quiet >&-", 1, "crestmetrics: calc: cannot write to standard output", ""},
        {true, analysed + " >&-", 1, closed, ""},
        {true, analysed + " > \"$F/t.tab\"", 0, "", usual.out},
        {true, analysed + " -o - >> \"$F/t.tab\"", 0, "", earlier + usual.out},
        {true, analysed + " -o /dev/stdout >> \"$F/t.tab\"", 0, "", earlier + usual.out},
        {false, analysed + " -o /dev/stderr" + log, 0, "", earlier + usual.out},
        {false, analysed + " -o /dev/fd/2" + log, 0, "", earlier + usual.out},
        {false, analysed + " -o /proc/self/fd/2" + log, 0, "", earlier + usual.out},
        {false, analysed + " -o /proc/thread-self/fd/2" + log, 0, "", earlier + usual.out},
        {true, analysed + " -o /proc/self/fd/2" + log, 0, "", earlier + usual.out},
        {false, analysed + " -o /dev/fd/3 3>> \"$F/t.tab\"", 0, "", earlier + usual.out},
        {true, analysed + " -o /dev/fd/3 3>> \"$F/t.tab\"", 0, "", earlier + usual.out},
        {false, "ln -s /dev/stderr \"$F/to-stderr\" && " + analysed + " -o \"$F/to-stderr\"" + log, 0, "",
         earlier + usual.out},
        {false, "ln -s /dev/fd \"$F/fds\" && " + analysed + " -o \"$F/fds/3\" 3>> \"$F/t.tab\"", 0, "",
         earlier + usual.out},
        {false, analysed + " -o /dev/stdin 0>> \"$F/t.tab\"", 0, "", earlier + usual.out},
        // The fd folders of the program's own threads; exec keeps the shell's number, the main thread's.
        {false, "sh -c 'exec \"$@\" -o /proc/self/task/$$/fd/3' sh " + analysed + " 3>> \"$F/t.tab\"", 0, "",
         earlier + usual.out},
        {true, "sh -c 'exec \"$@\" -o /proc/$$/task/$$/fd/3' sh " + analysed + " 3>> \"$F/t.tab\"", 0, "",
         earlier + usual.out},
        // A descriptor that cannot take the output is refused before the analysis, whose progress does not show.
        {false, program + " --type 1 -o /dev/fd/5 5>&-", 1, refused + "table to /dev/fd/5: Bad file descriptor", ""},
        {false, program + " --type 1 -o \"$F/t.tab\" --save /dev/stdin < /dev/null", 1,
         refused + "document to /dev/stdin: Bad file descriptor", ""},
        // A descriptor open on the recording is the recording.
        {false, command("analyse", "\"$F/t.tab\" --quiet -o /dev/fd/3 3>> \"$F/t.tab\""), 2,
         "crestmetrics: analyse: -o /dev/fd/3: that is the recording being analysed", ""},
        // Standard error that is the recording: refused without a word written into it.
        {false, command("analyse", "\"$F/t.tab\" --quiet -o /dev/stderr 2>> \"$F/t.tab\""), 2, "", ""},
        // ... also when it is the recording only as opened: named through another process's descriptor on a removed
        // copy, whose name leads to no file (9: the copy was written into).
        {false,
         "cp " + clitest::Quote(Example("cardiac.txt")) + " \"$F/copy\" && exec 3< \"$F/copy\" 4>> \"$F/copy\" && rm "
             "\"$F/copy\" && " + command("analyse", "/proc/$$/fd/3 --type 1 2>&4") + "; s=$?; cmp -s " +
             clitest::Quote(Example("cardiac.txt")) + " /proc/$$/fd/3 || s=9; (exit $s)",
         2, "", ""},
        // A document is written whole: through standard error or output only onto an empty file.
        {false, analysed + " -o /dev/null --save /dev/stderr" + log, 2, "", ""},
        {false, analysed + " -o /dev/null --save /dev/stderr 2> \"$F/t.tab\"", 0, "", document},
        {false, analysed + " -o /dev/null --save /dev/stdout > \"$F/t.tab\"", 0, "", document},
        {false, analysed + " -o /dev/null --pdf /dev/stdout >> \"$F/t.tab\"", 2,
         "crestmetrics: analyse: --pdf /dev/stdout: that is the file of standard output, which is not empty", ""},
        // The messages share the file with the table, in the order they were written.
        {false, program + " --type 1 -o /dev/stderr" + log, 0, "", earlier + progress + usual.out + done},
        {false, analysed + " -o /dev/fd/5 5>&-", 1, refused + "table to /dev/fd/5: Bad file descriptor", ""},
        {true, analysed + " -o /dev/fd/5 5>&-", 1, refused + "table to /dev/fd/5: Bad file descriptor", ""},
        // Refused before the inputs are opened, one of which would take the number.
        {false, analysed + " -o /dev/fd/3 3>&-", 1, refused + "table to /dev/fd/3: Bad file descriptor", ""},
        {true, analysed + " -o /dev/fd/4 3< /dev/null 4>&-", 1, refused + "table to /dev/fd/4: Bad file descriptor",
         ""},
        {false, analysed + " --from " + clitest::Quote(saved / "doc.cmhd") + " -o /dev/fd/4 4>&-", 1,
         refused + "table to /dev/fd/4: Bad file descriptor", ""},
        {false, analysed + " -o \"$F/t.tab\" --save /dev/fd/3 3>&-", 1,
         refused + "document to /dev/fd/3: Bad file descriptor", ""},
        {false, analysed + " -o \"$F/t.tab\" --save /dev/stdin < /dev/null", 1,
         refused + "document to /dev/stdin: Bad file descriptor", ""},
        {false, analysed + " -o \"$F/t.tab\" --save /dev/stdout >&-", 1,
         refused + "document to /dev/stdout: Bad file descriptor", ""},
        {false, analysed + " -o \"$F/t.tab\" --view-pdf /dev/stderr 2>&-", 1, "", ""},
        // Standard error closed is neither a file the run reads nor one it writes.
        {false, analysed + " 2>&- > \"$F/t.tab\"", 0, "", usual.out},
        {false, "cd \"$F\" && " + command("analyse", "/dev/stdin -o t.tab < t.tab"), 2,
         "crestmetrics: analyse: -o t.tab: that is the recording being analysed", ""},
        {false, command("analyse", "/dev/stdin <&-"), 1, "crestmetrics: analyse: /dev/stdin: standard input is closed",
         ""},
        {false, program + " --from /dev/stdin <&-", 1, "crestmetrics: analyse: /dev/stdin: standard input is closed",
         ""},
        {false, command("calc", "'cappeakdet(ch1, 0.05, 2)' /dev/stdin <&-"), 1,
         "crestmetrics: calc: /dev/stdin: standard input is closed", ""},
        {false, analysed + " -o /dev/table.txt", 1,
         "crestmetrics: analyse: cannot write the table to /dev/table.txt: Operation not permitted", ""},
        {true, analysed + " -o /proc/table.txt", 1,
         "crestmetrics: analyse: cannot write the table to /proc/table.txt: Operation not permitted", ""},
    };
    // The names of a listing of /proc, one a line, sorted, without those of the processes (their numbers), which come
    // and go: the machine's /proc as the test sees it, when there is no listing.
    const auto procNames = [](std::optional<std::string> listing) {
        if (!listing) {
            listing.emplace();
            for (const auto& entry : fs::directory_iterator("/proc")) {
                *listing += entry.path().filename().string() + "\n";
            }
        }
        std::vector<std::string> names;
        std::istringstream lines(*listing);
        for (std::string name; std::getline(lines, name);) {
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    int passedOver = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.line);
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer's run time reads /proc/self/maps as the program starts: it cannot run without /proc.
        if (test.withoutProc) {
            ++passedOver;
            continue;
        }
#endif
        const TempFolder folder;
        Put(folder / "t.tab", earlier);
        const PrivateDevRun run = RunWithPrivateDev(folder, test.withoutProc, test.line);
        if (!run.made) {
            GTEST_SKIP() << "no mount namespace with a private /dev could be made: " << run.result.err;
        }
        EXPECT_EQ(run.result.status, test.status);
        EXPECT_EQ(run.result.err.rfind(test.message, 0), 0u) << run.result.err;
        EXPECT_EQ(Bytes(folder / "t.tab"), test.table.empty() ? earlier : test.table);
        EXPECT_EQ(run.devAfter, run.devBefore);
        EXPECT_TRUE(run.stdoutLink);
        // Nothing was made under /proc: the empty one stays empty, and the machine's holds what it holds.
        EXPECT_EQ(procNames(run.procAfter), test.withoutProc ? std::vector<std::string>{} : procNames(std::nullopt));
    }
    if (passedOver > 0) {
        GTEST_SKIP() << passedOver << " cases without /proc were not run: the sanitizer's run time needs /proc";
    }
}

// The table goes to standard output directly: a temporary folder that does not exist does not matter.
TEST(CommandLineOutputs, TheTableGoesToStandardOutputWithoutATemporaryFolder)
{
    const std::vector<std::string> analysed = {"analyse", Example("cardiac.txt"), "--quiet", "--type", "1"};
    const RunResult usual = RunProgram({analysed});
    ASSERT_EQ(usual.status, 0) << usual.err;
    const RunResult without = RunProgram({.arguments = analysed, .temporaryFolder = "/nonexistent-temporary-folder"});
    EXPECT_EQ(without.status, 0);
    EXPECT_EQ(without.err, "");
    EXPECT_EQ(without.out, usual.out);
    EXPECT_EQ(without.out.rfind(kCardiacHeader, 0), 0u);
}

// Every refusal says what to do, with the usage errors' exit status 2.
TEST(CommandLineMessages, EveryRefusalSaysWhatToDo)
{
    const TempFolder folder;
    const std::string cardiac = Example("cardiac.txt");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"--quiet", "analyse", cardiac}, 2,
         "crestmetrics: options follow the command: crestmetrics COMMAND --quiet ... (try crestmetrics --help)"},
        {{"analyse", cardiac, "--set", "1006=1e999"}, 2,
         "crestmetrics: analyse: --set 1006: \"1e999\" is out of range (0 to largest)"},
        {{"calc", "--module", folder / "libcrestmetrics.so", "cappeakdet(ch1, 0.05)", cardiac}, 1,
         "crestmetrics: calc: cannot load the module: " + folder / "libcrestmetrics.so" +
             ": cannot open shared object file: No such file or directory (give the module library with --module "
             "PATH after the command)"},
        {{"analyse", cardiac, "--type", "0", "--set", "1010=dir=1;hieght=5"}, 2,
         "crestmetrics: analyse: --set 1010=dir=1;hieght=5: setting 1010 is not valid peak detection text: "
         "\"hieght=5\": no field \"hieght\" (dir, sd, height, interval, transform, smooth, window, zero) (see "
         "crestmetrics analyse --help)."},
        {{"analyse", cardiac, "--type", "2", "--set", "1010=dir=2"}, 2,
         "crestmetrics: analyse: --set 1010=dir=2: setting 1010 is not valid peak detection text: \"dir=2\": dir "
         "takes 1 or -1 (see crestmetrics analyse --help)."},
        {{"calc", cardiac, "cappeakdet(ch1, 0.05)"}, 2,
         "crestmetrics: calc: the recording, the second argument, \"cappeakdet(ch1, 0.05)\" is no file, and the "
         "first, \"" + cardiac + "\", is one: give the calculation text first, then the recording"},
        {{"analyse", cardiac, "--set", "9999=1"}, 2,
         "crestmetrics: analyse: --set: the analysis has no setting 9999 (crestmetrics analyse --list-settings lists "
         "them)"},
        {{"analyse", cardiac, "--set", "2023=3"}, 2,
         "crestmetrics: analyse: --set 2023=3: setting 2023 is kept by the analysis for itself, not set by a user"},
        {{"analyse", cardiac, "--set", "2012=f"}, 2,
         "crestmetrics: analyse: --set 2012=f: setting 2012 is kept by the analysis for itself, not set by a user"},
        {{"analyse", cardiac, "--set", "2004=t"}, 2,
         "crestmetrics: analyse: --set 2004=t: the command line has no selection; it analyses the whole recording"},
        {{"analyse", "--list-settings", "--from", "rec.cmhd"}, 2,
         "crestmetrics: analyse: --list-settings takes only --type, not --from"},
        {{"analyse", "--list-settings", "--type", "1", "--set", "1006=0.05"}, 2,
         "crestmetrics: analyse: --list-settings takes only --type, not --set"},
        // An empty name (a script's unset variable) names no file: it is refused, never taken for standard output.
        {{"analyse", cardiac, "-o", ""}, 2, "crestmetrics: analyse: -o needs a file name (- for standard output)"},
        {{"analyse", cardiac, "--from", ""}, 2, "crestmetrics: analyse: --from needs a file name"},
        {{"analyse", ""}, 2, "crestmetrics: analyse: the recording's name is empty: give the file to read"},
        {{"calc", "cappeakdet(ch1, 0.05)", ""}, 2,
         "crestmetrics: calc: the recording's name is empty: give the file to read"},
        // Kept in a saved document for the host's windows: taken, and of no effect here.
        {{"analyse", cardiac, "--quiet", "-o", "/dev/null", "--set", "2003=2", "--set", "2009=t", "--set", "2010=f",
          "--set", "2004=f"},
         0, ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        const RunResult outcome = RunProgram({test.arguments, folder.Path().string()});
        EXPECT_EQ(outcome.status, test.status);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')), test.message);
    }
    const RunResult help = RunProgram({{"--help"}});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("\n  -q, --quiet "), std::string::npos) << help.out;
}

namespace {

// The ids --list-settings shows under each heading, in order.
std::vector<std::pair<std::string, std::vector<int>>> ListedSections(const std::string& listing)
{
    std::vector<std::pair<std::string, std::vector<int>>> sections;
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line); // the type
    std::getline(lines, line); // the column headings
    while (std::getline(lines, line)) {
        if (line.ends_with(":")) {
            sections.emplace_back(line, std::vector<int>());
        } else if (!sections.empty()) {
            sections.back().second.push_back(std::stoi(line.substr(0, 5)));
        }
    }
    return sections;
}

std::string ListedLine(const std::string& listing, int id)
{
    char start[8];
    std::snprintf(start, sizeof start, "\n%5d ", id);
    const std::size_t at = listing.find(start);
    return at == std::string::npos ? "" : listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
}

} // namespace

// Stimuli found without a response give rows without measurements: how many, and the settings of the response
// detection that decided it, are said.
TEST(CommandLineMessages, StimuliWithoutAResponseAreCounted)
{
    const std::vector<std::string> evoked = {"analyse", "--quiet", Example("evoked.txt"), "--type", "3",
                                             "--set",   "1000=2",  "--set",               "1005=50"};
    const std::string warning = "crestmetrics: analyse: warning: ";
    // The responses of the example are 5, 9 and 12 mV high, 2.7 ms or less after their stimulus.
    const struct {
        std::vector<std::string> settings;
        int emptyRows;
        std::string warning;
    } cases[] = {
        {{"1006=0.003"}, 0, ""},
        {{"1006=0.007"}, 1,
         "1 of 3 stimuli had no response: Evoked Response (type 3) with 1009=t, 1006=0.007 V (7 mV), 1007=0 ms, "
         "1008=100 ms"},
        {{"1006=0.003", "--set", "1007=10"}, 3,
         "3 of 3 stimuli had no response: Evoked Response (type 3) with 1009=t, 1006=0.003 V (3 mV), 1007=10 ms, "
         "1008=100 ms"},
        {{"1009=f"}, 3, "3 of 3 stimuli had no response: Evoked Response (type 3) with 1009=f"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.warning);
        const RunResult outcome = RunProgram({Joined(Joined(evoked, {"--set"}), test.settings)});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, test.warning.empty() ? "" : warning + test.warning + "\n");
        int emptyRows = 0;
        for (const char* row : {"\n1\t \t \t", "\n2\t \t \t", "\n3\t \t \t"}) {
            emptyRows += outcome.out.find(row) != std::string::npos ? 1 : 0;
        }
        EXPECT_EQ(emptyRows, test.emptyRows) << outcome.out;
    }
}

// A saved document keeps a settings group per source channel: analysed on another channel, it takes the settings
// of the channel it was analysed on there, unless it holds a group of that channel's own.
TEST(CommandLineSettings, ASavedDocumentsSettingsGoToTheChannelChosenNow)
{
    const TempFolder folder;
    // The evoked example's recording channel twice: each channel has the same rows when set alike.
    std::istringstream lines(Bytes(Example("evoked.txt")));
    std::string twice;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        twice += first == std::string::npos ? line + "\n"
                                            : line.substr(0, second) + line.substr(first, second - first) + "\n";
    }
    const std::string recording = folder / "twice.txt";
    Put(recording, twice);
    const std::string document = folder / "evoked.cmhd";
    const RunResult analysed = RunProgram({{"analyse", "--quiet", recording, "--type", "3", "--set", "1000=2", "--set",
                                         "1005=50", "--set", "1006=0.003", "--save", document}});
    ASSERT_EQ(analysed.status, 0) << analysed.err;
    ASSERT_NE(analysed.out.find("\n3\t-65.05\t"), std::string::npos) << analysed.out;
    // The second channel with a group of its own, whose height finds no response.
    const std::string both = folder / "both.cmhd";
    ASSERT_EQ(RunProgram({{"analyse", "--quiet", document, "--channel", "2", "--set", "1006=0.1", "-o", "/dev/null",
                           "--save", both}})
                  .status,
              0);
    const struct {
        std::vector<std::string> arguments;
        bool likeTheFirst;
    } cases[] = {
        {{recording, "--from", document, "--channel", "2"}, true},
        {{recording, "--from", document, "--set", "2001=1"}, true},
        {{document, "--channel", "2"}, true},
        {{document, "--set", "2001=1"}, true},
        // The document's own groups stay as they are, whichever channel it was last analysed on.
        {{both}, false},
        {{both, "--channel", "1"}, true},
        {{both, "--set", "2001=0"}, true},
        {{recording, "--from", both, "--channel", "1"}, true},
        {{recording, "--from", both, "--channel", "2"}, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments.back());
        const RunResult outcome = RunProgram({Joined({"analyse", "--quiet"}, test.arguments)});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        if (test.likeTheFirst) {
            EXPECT_EQ(outcome.out, analysed.out);
        } else {
            EXPECT_NE(outcome.err.find("3 of 3 stimuli had no response"), std::string::npos) << outcome.err;
        }
    }
}

// Each type lists the settings its settings dialog's pages show, page by page; the global settings the command line
// has no use for and those the analysis keeps come apart; modes say what each value means.
TEST(CommandLineMessages, EachTypeListsTheSettingsItsPagesShow)
{
    const std::vector<int> baseline = {1039, 1040, 1033, 1041};
    const struct {
        int type;
        std::vector<int> detector;
        std::vector<int> baseline;
        std::vector<int> calculations;
        std::vector<int> onNoPage; // settings of the type that no page shows
    } cases[] = {
        {0, {1010}, baseline, {1015, 1016, 1017, 1018, 1020, 1021, 1029, 1030, 1037, 1038}, {}},
        {1, {1006, 1001, 1036}, baseline, {1011, 1012, 1013, 1014, 1017, 1018, 1025, 1026, 1031, 1032}, {1009}},
        {2, {1010}, baseline, {1015, 1016, 1020, 1021, 1029, 1030, 1037}, {}},
        {3, {1000, 1005, 1002, 1003, 1004, 1027, 1009, 1006, 1007, 1008}, baseline,
         {1015, 1016, 1017, 1018, 1020, 1021, 1022, 1029, 1030, 1037}, {}},
        {4, {1000, 1005, 1028, 1003, 1004, 1027, 1007, 1008}, {}, {1020, 1021, 1022}, {1023, 1024}},
        {5, {1006, 1035, 1036}, {1039, 1040, 1034, 1041}, {1017, 1018, 1031, 1032}, {}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.type);
        const RunResult listed = RunProgram({{"analyse", "--list-settings", "--type", std::to_string(test.type)}});
        ASSERT_EQ(listed.status, 0) << listed.err;
        const auto sections = ListedSections(listed.out);
        std::vector<std::pair<std::string, std::vector<int>>> pages = {{"detector page:", test.detector}};
        if (!test.baseline.empty()) {
            pages.emplace_back("baseline page:", test.baseline);
        }
        pages.emplace_back("calculations page:", test.calculations);
        if (!test.onNoPage.empty()) {
            pages.emplace_back("on no page of the settings dialog:", test.onNoPage);
        }
        ASSERT_GE(sections.size(), pages.size() + 4);
        EXPECT_EQ(std::vector(sections.begin(), sections.begin() + static_cast<long>(pages.size())), pages);
        EXPECT_EQ(sections[pages.size()].first, "table columns:");
        const auto& last = sections.end()[-2];
        EXPECT_EQ(last.first, "no effect on the command line (kept in a saved document for the host's windows):");
        EXPECT_EQ(last.second, (std::vector<int>{2003, 2004, 2009, 2010}));
        auto kept = sections.back().second;
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(kept, (std::vector<int>{2005, 2006, 2007, 2008, 2011, 2012, 2023, 2024, 2025, 2026}));
    }
    const RunResult evoked = RunProgram({{"analyse", "--list-settings", "--type", "3"}});
    for (const auto& [id, words] : std::vector<std::pair<int, std::string>>{
             {1000, "2 Time from start of block, 3 Height and width, 4 Height and width (one per block), 5 none"},
             {1039, "0 Automatic, 1 Always set to 1040, 2 Use minimum value between peaks, 3 as 0"},
             {1040, ", V or A"},
             {1037, "0 fitted B, 1 B set to baseline, 2 B set to 1038, 3 B = 0"}}) {
        EXPECT_NE(ListedLine(evoked.out, id).find(words), std::string::npos) << ListedLine(evoked.out, id);
    }
    const RunResult general = RunProgram({{"analyse", "--list-settings", "--type", "0"}});
    EXPECT_TRUE(ListedLine(general.out, 1038).ends_with(", V or A")) << ListedLine(general.out, 1038);
}

// An analysis that measures nothing prints its empty table and succeeds, and warns, even when quiet, with the
// settings that decided its detection in base units beside the recording's own.
TEST(CommandLineMessages, AnAnalysisThatFindsNothingSaysSo)
{
    const std::string warning = "crestmetrics: analyse: warning: no events found: ";
    const struct {
        std::vector<std::string> arguments;
        std::string header;
        std::string warning;
    } cases[] = {
        {{Example("spikes.txt"), "--type", "5"}, "\tRMP (mV)\t",
         "Action Potential (type 5) with 1006=0.03 V (30 mV), 1035=4 ms, 1036=t"},
        // Every stimulus found gives a row: without rows the stimulus search decided, having found none.
        {{Example("evoked.txt"), "--type", "3"}, "\tBaseline (mV)\t",
         "3 of 3 blocks had no stimulus: Evoked Response (type 3) with 1000=4, 1002=1 V (1000 mV), 1003=1 ms, "
         "1004=10 ms (the artefact's peak must come after it)"},
        {{Example("cardiac.txt"), "--type", "1", "--set", "1006=50"}, "\tRMP (mV)\t",
         "Cardiac Action Potential (type 1) with 1006=50 V (50000 mV), 1001=50 ms, 1036=t"},
        // Without stimulus detection nothing is searched for: the method alone decides.
        {{Example("evoked.txt"), "--type", "3", "--set", "1000=5"}, "\tBaseline (mV)\t",
         "Evoked Response (type 3) with 1000=5 (none: no stimulus is searched for)"},
        {{Example("evoked.txt"), "--type", "3", "--set", "1000=5", "--set", "1009=f"}, "\tBaseline (mV)\t",
         "Evoked Response (type 3) with 1000=5 (none: no stimulus is searched for)"},
        {{Example("popspike.txt"), "--type", "4", "--set", "1000=5"}, "\tTStart (s)\t",
         "Population Spike (type 4) with 1000=5 (none: no stimulus is searched for)"},
        {{Example("popspike.txt"), "--type", "4", "--set", "1000=3", "--set", "1028=10"}, "\tTStart (s)\t",
         "3 of 3 blocks had no stimulus: Population Spike (type 4) with 1000=3, 1028=10 V (10000 mV), 1003=1 ms, "
         "1027=10 ms"},
        // The peak detection's height with what it is measured in.
        {{Example("currents.txt"), "--type", "2", "--set", "1010=height=1000"}, "\tBaseline (pA)\t",
         "Synaptic (type 2) with 1010=height=1000 (height 1000 S.D. of the noise)"},
        {{Example("currents.txt"), "--type", "0", "--set", "1010=sd=0;height=2e-9"}, "\tBaseline (pA)\t",
         "General - Unstimulated (type 0) with 1010=sd=0;height=2e-9 (height 2e-09 A (2000 pA))"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.warning);
        const RunResult outcome = RunProgram({Joined({"analyse", "--quiet"}, test.arguments)});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, warning + test.warning + "\n");
        const std::string header = outcome.out.substr(0, outcome.out.find("\r\n") + 2);
        EXPECT_EQ(header.rfind(test.header, 0), 0u) << header;
        EXPECT_EQ(outcome.out, header + "\r\n" + header);
    }
    // The progress names the type it took when --type is not given.
    const RunResult untyped = RunProgram({{"analyse", Example("cardiac.txt"), "-o", "/dev/null"}});
    EXPECT_EQ(untyped.err.rfind("crestmetrics: analyse: analysis type 0 (General - Unstimulated)\n", 0), 0u)
        << untyped.err;
    const RunResult typed = RunProgram({{"analyse", Example("cardiac.txt"), "-o", "/dev/null", "--type", "1"}});
    EXPECT_EQ(typed.err.find("analysis type"), std::string::npos) << typed.err;
}
