// The command-line host reading what users hand it: recordings and saved documents from pipes, FIFOs and process
// substitutions as from files, and the reader's warnings and refusals, each saying what to do.
#include "host/document.h"
#include "host/saveddocument.h"
#include "tests/cli/programrun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using clitest::Quote;
using clitest::RunResult;
using clitest::RunShell;
using clitest::TempFolder;

std::string Example(const char* name) { return clitest::Example(name).string(); }

// A saved document of a small recording, as `analyse --save` writes one without an analysis; `peak` is its second
// sample.
std::string SavedDocumentBytes(float peak = 0.02f)
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->SetSamples(document->AddBlock(0.001), 0, {-0.07f, peak, -0.07f});
    std::ostringstream out;
    host::WriteSavedDocument(out, *document, {});
    return out.str();
}

// A recording of 40 samples 1 ms apart under `header`: a time column and `channels` columns of -70 mV with one
// sample at +20 mV, in mV times `scale`. Columns are separated by `separator`, numbers written as numpy's savetxt
// writes them.
std::string Spike(const std::string& header, char separator = '\t', double scale = 1.0, int channels = 1)
{
    std::string text = header + "\n";
    for (int i = 0; i < 40; ++i) {
        char number[64];
        std::snprintf(number, sizeof number, "%.18e", i * 0.001);
        text += number;
        for (int channel = 0; channel < channels; ++channel) {
            std::snprintf(number, sizeof number, "%c%.18e", separator, (i == 20 ? 20.0 : -70.0) * scale);
            text += number;
        }
        text += '\n';
    }
    return text;
}

std::string CarriageReturns(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', '\r');
    return text;
}

// ASCII text as UTF-16, little-endian.
std::string Utf16(const std::string& text)
{
    std::string wide;
    for (const char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

// Read from a pipe, a FIFO or a process substitution, a recording or a saved document gives the table it gives as a
// file: such inputs can be read only once.
TEST(ReaderInput, PipesFifosAndProcessSubstitutionsGiveTheFilesTable)
{
    const TempFolder folder;
    const std::string saved = folder / "spikes.cmhd";
    const std::string options = " --quiet --type 5 --set 1035=0.5";
    const RunResult save = RunShell("$P analyse " + Quote(Example("spikes.txt")) + options + " --save " + Quote(saved));
    ASSERT_EQ(save.status, 0) << save.err;
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& file : {Example("spikes.txt"), saved, Example("cardiac.txt")}) {
        const std::string command = file.ends_with("cardiac.txt") ? " calc 'cappeakdet(ch1, 0.05, 2)'" : " analyse";
        const std::string extra = file.ends_with("cardiac.txt") ? " --quiet" : options;
        const RunResult direct = RunShell("$P" + command + " " + Quote(file) + extra);
        ASSERT_EQ(direct.status, 0) << direct.err;
        ASSERT_NE(direct.out.find("\n1\t"), std::string::npos) << direct.out;
        for (const std::string& through : {"cat " + Quote(file) + " | $P" + command + " /dev/stdin" + extra,
                                           "$P" + command + " <(cat " + Quote(file) + ")" + extra,
                                           "(cat " + Quote(file) + " >" + Quote(fifo) + " &); $P" + command + " " +
                                               Quote(fifo) + extra}) {
            SCOPED_TRACE(through);
            const RunResult result = RunShell(through);
            EXPECT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(result.out, direct.out);
        }
    }
}

// What the reader says on standard error, with --quiet too: refusals exit 1 and name what to do; warnings leave the
// exit status as it is.
TEST(ReaderMessages, WarningsAndRefusalsSayWhatToDo)
{
    const TempFolder folder;
    std::string damagedStart = SavedDocumentBytes();
    damagedStart[1] = 'X';
    const struct {
        const char* what;
        std::string bytes;  // the file's bytes, unless `path` names the input
        std::string path;
        const char* command; // "calc", or "analyse" with options
        int status;
        std::vector<std::string> messages; // each stands on standard error
        const char* out = "";              // standard output holds it
        const char* environment = "";      // before the command
    } cases[] = {
        {"missing file", "", "/no/such/file.txt", "calc", 1, {"cannot open /no/such/file.txt: No such file"}},
        {"folder", "", "/tmp", "analyse", 1, {"/tmp: it is a folder, not a file"}},
        {"calc on a saved document", SavedDocumentBytes(), "", "calc", 1,
         {"a saved document: calc takes a text recording"}},
        {"saved document with a damaged start", damagedStart, "", "analyse", 1,
         {"a damaged saved document: it does not begin with \"CMHD\""}},
        {"saved document with an infinite sample", SavedDocumentBytes(std::numeric_limits<float>::infinity()), "",
         "analyse", 1, {"a damaged saved document: sample 2 of channel 1 in block 1 is not a finite number"}},
        // numpy's header after "# " names the time column; headers that name none are read without one, and say so.
        {"numpy's header", Spike("# Time (s)\tVm (mV)"), "", "calc", 0, {}, "\n1\t20\t0.02\t0\t0.02\n"},
        {"no time column", Spike("time_s,vm_mV", ','), "", "calc", 0,
         {"warning: no time column: the first column, \"time_s\", became channel 1, and samples are taken 1 s apart"}},
        {"no time column", Spike("Time [s]\tVm [mV]"), "", "analyse", 0,
         {"input: warning: no time column: the first column, \"Time [s]\", became channel 1"}},
        // The Greek letter mu is micro; a unit the host does not know is named, for the analysed channel only.
        {"Greek mu", Spike("Time (s)\tVm (\xCE\xBCV)", '\t', 1000.0), "", "calc", 0, {}, "\n1\t20\t0.02\t0\t0.02\n"},
        {"unknown unit", Spike("Time (s)\tVm (mV)\tI (mv)", '\t', 1.0, 2), "", "calc", 0,
         {"warning: channel 2, \"I\": its unit \"mv\" is none the host knows, so its numbers are kept as written "
          "(the host knows V, A, s,"}},
        {"unknown unit analysed", Spike("Time (s)\tVm (mV)\tI (mv)", '\t', 1.0, 2), "", "analyse --channel 2", 0,
         {"warning: channel 2, \"I\": its unit \"mv\" is none the host knows"}},
        {"unknown unit not analysed", Spike("Time (s)\tVm (mV)\tI (mv)", '\t', 1.0, 2), "", "analyse", 0, {}},
        // Comment lines before the header: the line taken as the header is named.
        {"comment lines", "# rig 2, 10 kHz, gain 10\n# cell 4\nTime (s)\tVm (mV)\n0\t1\n", "", "calc", 1,
         {"line 2: the line begins with \"#\", which only the header line may: comment lines are not passed over, "
          "and line 1 (\"# rig 2, 10 kHz, gain 10\") was taken as the header; delete them"}},
        {"a comment line", "# cell 4, rig 2, 10 kHz\nTime (s),Vm (mV)\n0,1\n", "", "analyse", 1,
         {"line 2: 2 values where the header names 3 columns (the header is line 1: \"# cell 4, rig 2, 10 kHz\")"}},
        {"a comment line", "# cell 4\nTime (s)\tVm (mV)\n0\t1\n", "", "calc", 1,
         {"line 2: column 1: not a number: \"Time (s)\tVm (mV)\" (the header is line 1: \"# cell 4\")"}},
        // Columns separated by semicolons or blanks make one column.
        {"semicolons", "Time (s);Vm (mV)\n0;1\n0.001;2\n", "", "calc", 1,
         {"line 1: column 1: text follows the unit in \"Time (s);Vm (mV)\": columns are separated by tabs or commas"}},
        {"numpy's blanks", Spike("# Time (s) Vm (mV)", ' '), "", "analyse", 1,
         {"line 1: column 1: text follows the unit in \"Time (s) Vm (mV)\": columns are separated by tabs or commas"}},
        {"semicolons without units", "Time;Vm\n0;1\n", "", "calc", 1,
         {"line 2: column 1: not a number: \"0;1\": columns are separated by tabs or commas"}},
        // Line ends and encodings the reader does not take, told at once rather than after reading the whole file
        // as one line.
        {"CR line ends", CarriageReturns(Spike("Time (s)\tVm (mV)")), "", "calc", 1,
         {"line 1: the lines end in CR alone: convert the line ends to LF or CR LF"}},
        {"CR line ends after the header", "Time (s)\tVm (mV)\n" + CarriageReturns(Spike("0\t-70")), "", "analyse", 1,
         {"line 2: the lines end in CR alone: convert the line ends to LF or CR LF"}},
        {"UTF-16", "\xFF\xFE" + Utf16(Spike("Time (s)\tVm (mV)")), "", "calc", 1,
         {"the file is UTF-16 text (it begins with a UTF-16 byte-order mark): save it as UTF-8"}},
        {"UTF-16 without its mark", Utf16(Spike("Time (s)\tVm (mV)")), "", "analyse", 1,
         {"the file is UTF-16 text (every other byte is NUL): save it as UTF-8"}},
        {"endless zeros", "", "/dev/zero", "analyse", 1,
         {"/dev/zero: the file holds NUL bytes, which text does not: it is no text recording"}},
        // The host's settings file: a FIFO would block every run, /dev/zero fill the memory.
        {"settings from /dev/zero", Spike("Time (s)\tVm (mV)"), "", "analyse", 0,
         {"crestmetrics: The settings file /dev/zero is not a regular file: it is neither read nor written"}, "",
         "CRESTMETRICS_SETTINGS=/dev/zero "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.path.empty() ? folder.Write("input", c.bytes) : c.path;
        const RunResult result = RunShell(std::string(c.environment) +
                                       (std::string(c.command) == "calc"
                                            ? "$P calc --quiet 'cappeakdet(ch1, 0.05)' " + Quote(path)
                                            : "$P " + std::string(c.command) + " --quiet --type 1 -o /dev/null " +
                                                  Quote(path)));
        EXPECT_EQ(result.status, c.status) << result.err;
        for (const std::string& message : c.messages) {
            EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        }
        // The reader's own lines: an analysis of the one small spike also says that it found no events.
        std::size_t lines = std::count(result.err.begin(), result.err.end(), '\n');
        lines -= result.err.find("warning: no events found: ") != std::string::npos;
        EXPECT_EQ(lines, c.messages.empty() ? 0u : 1u) << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    }
}

} // namespace
