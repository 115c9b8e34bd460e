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

// ASCII text as UTF-16 or UTF-32 (`width` bytes a character), little-endian or big-endian.
std::string Wide(const std::string& text, std::size_t width, bool bigEndian = false)
{
    std::string wide;
    for (const char c : text) {
        std::string character(width, '\0');
        character[bigEndian ? width - 1 : 0] = c;
        wide += character;
    }
    return wide;
}

std::string Repeated(const std::string& text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

// Nine channels of samples without end, through a pipe, with the memory capped. A program built with the address
// sanitizer cannot start under a cap: there the row is passed over.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryCapped = false;
#else
constexpr bool kMemoryCapped = true;
#endif
constexpr const char* kMemoryCap = "ulimit -v 700000; (printf 'Time (s)\\tVm (mV)\\tA\\tB\\tC\\tD\\tE\\tF\\tG\\tH\\n'; "
                                   "seq -f '%.0f\t0\t0\t0\t0\t0\t0\t0\t0\t0' 0 1000000000) | ";

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
        std::string sameAs = {};           // without the lines passed over: the same output, as a file and piped
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
         {"warning: no time column: the first column, \"time_s\", became channel 1, and samples are taken 1 s apart",
          "warning: channel 1, \"time_s\": it has no unit, so its numbers are kept as written: write the unit in "
          "parentheses after the name, as in \"time (s)\"",
          "warning: channel 2, \"vm_mV\": it has no unit"}},
        // Units the host knows in square brackets: refused in the time column and the channels the run reads.
        {"a time column in square brackets", Spike("Time [s]\tVm [mV]"), "", "analyse", 1,
         {"input: line 1, column 1: the time column's unit stands in square brackets, \"Time [s]\", which the reader "
          "does not take: write it in parentheses, as \"Time (s)\", and so the units of the other columns, as \"Vm "
          "(mV)\"\n"}},
        {"a time column in square brackets, in ms", Spike("t [ms],Vm (mV)", ','), "", "calc", 1,
         {"line 1, column 1: the time column's unit stands in square brackets, \"t [ms]\", which the reader does not "
          "take: write it in parentheses, as \"t (ms)\"\n"}},
        {"the analysed channel in square brackets", Spike("Time (s)\tVm (mV)\tIm [pA]", '\t', 1.0, 2), "",
         "analyse --channel 2", 1,
         {"input: channel 2, \"Im [pA]\": its unit stands in square brackets, which the reader does not take: write "
          "it in parentheses in the header, as \"Im (pA)\"\n"}},
        {"a channel in square brackets, not analysed", Spike("Time (s)\tVm (mV)\tIm [pA]", '\t', 1.0, 2), "",
         "analyse", 0, {}},
        {"a channel in square brackets under calc", Spike("Time (s)\tVm [mV]"), "", "calc", 1,
         {"input: channel 1, \"Vm [mV]\": its unit stands in square brackets"}},
        {"a channel in square brackets that calc's text does not read",
         Spike("Time (s)\tVm (mV)\tIm [pA]", '\t', 1.0, 2), "", "calc", 0, {"input: warning: channel 2, \"Im [pA]\": it has no unit"}},
        {"square brackets without a unit", Spike("Time (s)\tVm (mV)\tNote [1]", '\t', 1.0, 2), "",
         "analyse --channel 2", 0,
         {"warning: channel 2, \"Note [1]\": it has no unit, so its numbers are kept as written: write the unit in "
          "parentheses after the name, as in \"Vm (mV)\""}},
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
         {"line 2: 2 values where the header names 3 columns (the header is line 1: \"# cell 4, rig 2, 10 kHz\")\n"}},
        {"comment lines in % between sweeps", Spike("Time (s)\tVm (mV)") + "\n% sweep 2\n" + Spike("").substr(1), "",
         "analyse", 1, {"line 43: the line begins with \"%\", a comment: comment lines are not passed over, and line 1 "
                        "(\"Time (s)\tVm (mV)\") was taken as the header; delete them"}},
        {"a comment line", "# cell 4\nTime (s)\tVm (mV)\n0\t1\n", "", "calc", 1,
         {"line 2: column 1: not a number: \"Time (s)\tVm (mV)\" (the header is line 1: \"# cell 4\")"}},
        // Columns separated by semicolons or blanks make one column. Semicolons are named at once, with the decimal
        // commas, the row of units and the line "sep=;" of a spreadsheet's export.
        {"semicolons", "Time (s);Vm (mV)\n0;1\n0.001;2\n", "", "calc", 1,
         {"line 1: the column names \"Time (s);Vm (mV)\" are separated by semicolons: columns are separated by tabs or "
          "commas, not semicolons: write tabs in their place\n"}},
        {"semicolons and decimal commas", "Zeit (s);Vm (mV)\n\n0,0;-70,5\n", "", "analyse", 1,
         {"line 1: the column names \"Zeit (s);Vm (mV)\" are separated by semicolons: columns are separated by tabs "
          "or commas, not semicolons: write tabs in their place; numbers are written with a decimal point, not a "
          "comma (line 3: \"0,0;-70,5\"); the first column, \"Zeit\", is the time column only when named Time: "
          "name it \"Time (s)\"\n"}},
        {"a spreadsheet's export", "Zeit;Spannung;Strom\r\ns;mV;pA\r\n0,0000;-70,12;5,1\r\n0,0001;-70,10;5,1\r\n", "",
         "calc", 1,
         {"line 1: the column names \"Zeit;Spannung;Strom\" are separated by semicolons: columns are separated by "
          "tabs or commas, not semicolons: write tabs in their place; line 2 holds units: each belongs in the header "
          "after its column's name, as \"Spannung (mV)\", and the line must go; numbers are written with a decimal "
          "point, not a comma (line 3: \"0,0000;-70,12;5,1\"); the first column, \"Zeit\", is the time column "
          "only when named Time: name it \"Time (s)\"\n"}},
        {"a spreadsheet's export with its separator hint", "sep=;\nZeit (s);Vm (mV)\n0,0;-70,5\n0,001;-70,5\n", "",
         "analyse", 1,
         {"line 2: the column names \"Zeit (s);Vm (mV)\" are separated by semicolons: columns are separated by tabs "
          "or commas, not semicolons: write tabs in their place, and delete line 1 (\"sep=;\"), a spreadsheet's hint "
          "of its separator; numbers are written with a decimal point, not a comma (line 3: \"0,0;-70,5\"); the "
          "first column, \"Zeit\", is the time column only when named Time: name it \"Time (s)\"\n"}},
        {"a spreadsheet's export with units in code page 1252", "sep=;\nTime;Vm;Im\ns;mV;\xB5" "A\n0,0;-70,1;5\n", "",
         "calc", 1,
         {"line 2: the column names \"Time;Vm;Im\" are separated by semicolons: columns are separated by tabs or "
          "commas, not semicolons: write tabs in their place, and delete line 1 (\"sep=;\"), a spreadsheet's hint of "
          "its separator; line 3 holds units: each belongs in the header after its column's name, as \"Vm (mV)\", "
          "and the line must go; the unit \"\\xB5" "A\" is not UTF-8 (byte 0xB5, which Windows code page 1252 "
          "writes for \xC2\xB5): save the file as UTF-8; numbers are written with a decimal point, not a comma "
          "(line 4: \"0,0;-70,1;5\")\n"}},
        {"semicolons over units the host does not know", "Zeit;Vm\nms;mv\n0;-70\n", "", "analyse", 1,
         {"; line 2 holds units: each belongs in the header after its column's name, as \"Vm (mv)\", and the line "
          "must go; the first column, \"Zeit\", is the time column only when named Time: name it \"Time (ms)\"\n"}},
        {"numpy's blanks", Spike("# Time (s) Vm (mV)", ' '), "", "analyse", 1,
         {"line 1: column 1: text follows the unit in \"Time (s) Vm (mV)\": columns are separated by tabs or commas"}},
        {"semicolons without units", "Time;Vm\n0;1\n", "", "calc", 1,
         {"line 1: the column names \"Time;Vm\" are separated by semicolons: columns are separated by tabs or commas, "
          "not semicolons"}},
        // Units the header leaves out are warned of, with the way to write them (calc: every channel; analyse: the
        // analysed one); a time column without one is in seconds.
        {"no units, numpy's header", Spike("# t,vm_mV", ','), "", "calc", 0,
         {"warning: the time column, \"t\", has no unit, so its times are taken as seconds: samples 0.001 s apart, "
          "1000 per second; if they are in milliseconds, write \"t (ms)\"",
          "warning: channel 1, \"vm_mV\": it has no unit, so its numbers are kept as written: write the unit in "
          "parentheses after the name, as in \"vm (mV)\""}},
        {"no units", Spike("t,vm_mV", ','), "", "analyse", 0,
         {"input: warning: the time column, \"t\", has no unit",
          "input: warning: channel 1, \"vm_mV\": it has no unit"}},
        {"no unit", Spike("Time (s)\tVm"), "", "calc", 0, {"warning: channel 1, \"Vm\": it has no unit"}},
        {"no unit, one channel of two", Spike("Time (s)\tVm (mV)\tI", '\t', 1.0, 2), "", "calc", 0,
         {"warning: channel 2, \"I\": it has no unit, so its numbers are kept as written: write the unit in "
          "parentheses after the name, as in \"Vm (mV)\""}},
        {"no unit, not analysed", Spike("Time (s)\tVm (mV)\tI", '\t', 1.0, 2), "", "analyse", 0, {}},
        {"time without unit", Spike("Time\tVm (mV)"), "", "analyse", 0,
         {"warning: the time column, \"Time\", has no unit, so its times are taken as seconds: samples 0.001 s apart, "
          "1000 per second; if they are in milliseconds, write \"Time (ms)\""}},
        // The first samples written without a header are no header.
        {"no header", Spike("0.000000000000000000e+00\t-7.000000000000000000e+01"), "", "calc", 1,
         {"line 1: the first line holds only numbers, so it is no header: a recording begins with a header line that "
          "names its columns, such as \"Time (s)<tab>Vm (mV)\""}},
        {"no header, numpy's blanks", Spike("0.000000000000000000e+00 -7.000000000000000000e+01", ' '), "", "analyse",
         1, {"line 1: the first line holds only numbers, so it is no header"}},
        // A unit that is not UTF-8 is refused, with the byte and what code page 1252 writes with it; a name is read.
        {"micro sign in code page 1252", Spike("Time (s)\tVm (\xB5V)", '\t', 1000.0), "", "calc", 1,
         {"line 1, column 2: the unit \"\\xB5V\" is not UTF-8 (byte 0xB5, which Windows code page 1252 writes for "
          "\xC2\xB5): save the file as UTF-8"}},
        {"a byte that code page 1252 leaves undefined", Spike("Time (s)\tVm (mV)\tI (p\x81" "A)", '\t', 1.0, 2), "",
         "analyse", 1, {"line 1, column 3: the unit \"p\\x81A\" is not UTF-8 (byte 0x81): save the file as UTF-8"}},
        {"a name that is not UTF-8", Spike("Time (s)\tV\xE9m (mV)"), "", "calc", 0, {}, "\n1\t20\t0.02\t0\t0.02\n"},
        // CSV as pandas writes it with quoting, with its index, or with a separator at the header's end.
        {"single quotes", "'Time (s)'\t'Vm (mV)'\n0\t-70\n0.001\t-70\n", "", "analyse", 1,
         {"line 1: the header's fields are in single quotes, which the reader does not take: write the file without "
          "quoting\n"}},
        {"single quotes without units", "'Time'\t'Vm'\n0\t-70\n0.001\t-70\n", "", "calc", 1,
         {"line 1: the header's fields are in single quotes, which the reader does not take: write the file without "
          "quoting\n"}},
        {"a spreadsheet's separator hint", "sep=,\nTime (s),Vm (mV)\n0,-70\n0.001,-70\n", "", "calc", 1,
         {"line 1: \"sep=,\" is a spreadsheet's hint of its separator, not column names: delete the line, so that the "
          "first line names the columns"}},
        {"quoted header", "\"Time (s)\",\"Vm (mV)\"\n\"0.0\",\"-70\"\n", "", "calc", 1,
         {"line 1: the header's fields are in double quotes, which the reader does not take: write the file without "
          "quoting (as pandas' to_csv does by default)"}},
        {"pandas' index", ",Time (s),Vm (mV)\n0,0.0,-70\n1,0.001,-70\n", "", "analyse", 1,
         {"line 1: column 1 has no name: pandas' to_csv writes its index so; write the file with index=False, so "
          "that the time column comes first"}},
        {"a separator at the header's end", Spike("Time (s)\tVm (mV)\t"), "", "calc", 1,
         {"line 1: column 3 has no name: the line ends in a separator (a tab or a comma); delete it"}},
        {"separators at the header's end", Spike("Time (s),Vm (mV),,", ','), "", "calc", 1,
         {"line 1: column 3 has no name: the line ends in a separator"}},
        // Uneven time stamps: the step found, the step expected and the difference allowed, in the column's unit.
        {"uneven steps", "Time (s)\tVm (mV)\n0\t1\n0.001\t2\n0.002\t2\n0.0035\t3\n", "", "calc", 1,
         {"line 5: the samples of a block must be evenly spaced in time: the step from the line before is 0.0015 s, "
          "the block's first step 0.001 s, and a step may differ from it by at most 1e-06 s"}},
        {"uneven steps in ms", "Time (ms),Vm (mV)\n0,1\n1,2\n2.5,3\n", "", "analyse", 1,
         {"line 4: the samples of a block must be evenly spaced in time: the step from the line before is 1.5 ms, "
          "the block's first step 1 ms, and a step may differ from it by at most 0.001 ms"}},
        // Forms that spreadsheets, acquisition programs and word processors write: each refusal says what to do.
        {"a row of units", "Time\tVm\tIm\ns\tmV\tpA\n0\t-70\t5\n0.001\t-70\t5\n", "", "calc", 1,
         {"line 2: the line holds units, not numbers: each unit belongs in the header after its column's name, as "
          "\"Vm (mV)\"; then delete the line"}},
        {"a unit under a single name", "Vm\nmV\n-70\n-70\n", "", "analyse", 1,
         {"line 2: the line holds units, not numbers: each unit belongs in the header after its column's name, as "
          "\"Vm (mV)\"; then delete the line"}},
        {"a word under a single name", "Cell3\nControl\n" + Spike("Time (s)\tVm (mV)"), "", "calc", 1,
         {"line 2: column 1: not a number: \"Control\" (the header is line 1: \"Cell3\"): lines above the column "
          "names that hold notes must go"}},
        {"a row of units in parentheses", "Time\tVm\n(s)\t(mV)\n0\t-70\n", "", "calc", 1,
         {"as \"Vm (mV)\"; then delete the line"}},
        {"a row of units in square brackets", "Time\tVm\n[s]\t[mV]\n0\t-70\n", "", "analyse", 1,
         {"as \"Vm (mV)\"; then delete the line"}},
        {"notes above the column names",
         "Acquired: 2026-12-07 14:03:11\nSampling rate: 20000 Hz\n" + Spike("Time (s)\tVm (mV)"), "", "analyse", 1,
         {"line 2: column 1: not a number: \"Sampling rate: 20000 Hz\" (the header is line 1: \"Acquired: 2026-12-07 "
          "14:03:11\"): lines above the column names that hold notes must go, so that the first line names the "
          "columns"}},
        {"notes in columns above the column names",
         "Acquired: 2026-12-07 14:03:11\nSampling rate\t20000\tHz\n" + Spike("Time (s)\tVm (mV)"), "", "calc", 1,
         {"line 2: column 1: not a number: \"Sampling rate\t20000\tHz\" (the header is line 1: \"Acquired: "
          "2026-12-07 14:03:11\"): lines above the column names that hold notes must go"}},
        // Only a line that may be a note above the column names is told so; a line of text under a header that
        // names its time column with its unit is not, and other forms say what to do (each message ends the line).
        {"a sampling rate above the column names", "Sampling rate (Hz)\t20000\n" + Spike("Time (s)\tVm (mV)"), "",
         "calc", 1, {"\"Sampling rate (Hz)\t20000\"): lines above the column names that hold notes must go"}},
        {"a gain above the column names", "Gain (mV)\n" + Spike("Time (s)\tVm (mV)"), "", "analyse", 1,
         {"\"Gain (mV)\"): lines above the column names that hold notes must go"}},
        {"a separator hint above the column names", "sep=;\n" + Spike("Time (s)\tVm (mV)"), "", "analyse", 1,
         {"\"sep=;\"): lines above the column names that hold notes must go, so that the first line names the "
          "columns; line 1, \"sep=;\", is a spreadsheet's hint of its separator: delete it"}},
        {"a clock time above the column names", "Time\t12:03:04\n" + Spike("Time (s)\tVm (mV)"), "", "calc", 1,
         {"\"Time\t12:03:04\"): lines above the column names that hold notes must go"}},
        {"a note with a semicolon above the column names", "Cell 3; control\n" + Spike("Time (s)\tVm (mV)"), "",
         "analyse", 1, {"\"Cell 3; control\"): lines above the column names that hold notes must go"}},
        {"a title with commas above the column names", "HH model cell 3, current clamp, 20 kHz\n" +
         Spike("Time (s)\tVm (mV)"), "", "calc", 1,
         {"line 2: 1 value where the header names 3 columns (the header is line 1: \"HH model cell 3, current clamp, "
          "20 kHz\"): lines above the column names that hold notes must go, so that the first line names the "
          "columns\n"}},
        {"numbers in tabs under names in commas", "Cell 3, control\n0\t-70\n", "", "analyse", 1,
         {"line 2: 1 value where the header names 2 columns (the header is line 1: \"Cell 3, control\")\n"}},
        {"a note in % above the column names", "% cell 3\n" + Spike("Time (s)\tVm (mV)"), "", "calc", 1,
         {"\"% cell 3\"): lines above the column names that hold notes must go"}},
        {"a note under the column names", "Time (s)\tVm (mV)\nCell 3, control\n" + Spike("").substr(1), "", "calc", 1,
         {"line 2: 1 value where the header names 2 columns (the header is line 1: \"Time (s)\tVm (mV)\"): the line "
          "holds text under the column names; delete it\n"}},
        {"long names under the column names", "Time (s)\tVm (mV)\nTime in s\tMembrane potential\n0\t-70\n", "",
         "analyse", 1, {"(mV)\"): the line holds text under the column names; delete it\n"}},
        {"a first data line cut short", "Time (s)\tVm (mV)\n0.0001\n0.0002\t-70\n", "", "calc", 1,
         {"line 2: 1 value where the header names 2 columns (the header is line 1: \"Time (s)\tVm (mV)\")\n"}},
        {"clock times", "Time (s)\tVm (mV)\n12:03:04.123\t-70\n12:03:04.124\t-70\n", "", "calc", 1,
         {"line 2: column 1: not a number: \"12:03:04.123\": the time column holds seconds or milliseconds as numbers, "
          "not clock times: convert the clock times to seconds from the start, or to milliseconds under a unit of ms"
          " (the header is line 1: \"Time (s)\tVm (mV)\")\n"}},
        {"dates and clock times", "Time (s)\tVm (mV)\n2026-12-07T12:03:04.123\t-70\n", "", "analyse", 1,
         {"line 2: column 1: not a number: \"2026-12-07T12:03:04.123\": the time column holds seconds or "
          "milliseconds as numbers, not clock times: convert the clock times to seconds from the start, or to "
          "milliseconds under a unit of ms (the header is line 1: \"Time (s)\tVm (mV)\")\n"}},
        {"a clock time in a channel", "Time (s)\tVm (mV)\n0\t12:03:04\n", "", "analyse", 1,
         {"line 2: column 2: not a number: \"12:03:04\" (the header is line 1: \"Time (s)\tVm (mV)\")\n"}},
        {"exponents written with D after a point", "Time (s)\tVm (mV)\n0\t-7.D+01\n", "", "analyse", 1,
         {"line 2: column 2: not a number: \"-7.D+01\": exponents are written with E: write \"-7.E+01\""}},
        {"exponents written with D", "Time (s)\tVm (mV)\n0\t-7.01D+01\n", "", "calc", 1,
         {"line 2: column 2: not a number: \"-7.01D+01\": exponents are written with E: write \"-7.01E+01\" (the "
          "header is line 1: \"Time (s)\tVm (mV)\")\n"}},
        {"a separator at the end of each data line", "Time (s)\tVm (mV)\n0.0001\t-70.2\t\n0.0002\t-70.2\t\n", "",
         "analyse", 1, {"line 2: 3 values where the header names 2 columns (the header is line 1: \"Time (s)\tVm "
                        "(mV)\"): the line ends in a separator (a tab or a comma): delete the separator at the end of "
                        "each line\n"}},
        {"a decimal comma", "Time (s)\tVm (mV)\n0\t-70\n0,00100\t-70\n", "", "calc", 1,
         {"line 3: column 1: not a number: \"0,00100\": a comma stands between digits: numbers are written with a "
          "decimal point and without thousands separators"}},
        {"a thousands separator", "Time (ms)\tI (pA)\n0\t-70\n1\t1,234.5\n", "", "analyse", 1,
         {"line 3: column 2: not a number: \"1,234.5\": a comma stands between digits: numbers are written with a "
          "decimal point and without thousands separators"}},
        {"decimal commas split at the separator", "Time (s),Vm (mV)\n0,0,-70,5\n", "", "calc", 1,
         {"line 2: 4 values where the header names 2 columns (the header is line 1: \"Time (s),Vm (mV)\"): a comma "
          "stands between digits: numbers are written with a decimal point and without thousands separators"}},
        {"quoted decimal commas", "Time (s),Vm (mV)\n0,-70\n\"0,001\",\"-70,5\"\n", "", "analyse", 1,
         {"line 3: 4 values where the header names 2 columns (the header is line 1: \"Time (s),Vm (mV)\"): a comma "
          "stands between digits: numbers are written with a decimal point and without thousands separators; the "
          "reader does not take quotes around a field: write the file without quoting"}},
        {"quoted numbers", "Time (s),Vm (mV)\n0,-70\n\"0.001\",\"-70.5\"\n", "", "calc", 1,
         {"line 3: column 1: not a number: \"\"0.001\"\": the reader does not take quotes around a field: write the "
          "file without quoting"}},
        // A spreadsheet's empty rows: below the data they are passed over, from a file and through a pipe alike;
        // between data they are refused.
        {"empty rows below the data", Spike("Time (s),Vm (mV)", ',') + ",\n\n , \r\n,\n", "", "calc", 0, {},
         "\n1\t20\t0.02\t0\t0.02\n", "", Spike("Time (s),Vm (mV)", ',')},
        {"empty rows of tabs below the data", Spike("Time (s)\tVm (mV)\tI (pA)", '\t', 1.0, 2) + "\t\t\n\t\t\n\n",
         "", "calc", 0, {}, "\n1\t20\t0.02\t0\t0.02\n", "", Spike("Time (s)\tVm (mV)\tI (pA)", '\t', 1.0, 2)},
        {"an empty row between data", "Time (s),Vm (mV)\n0,1\n0.001,2\n,\n0,3\n0.001,4\n", "", "calc", 1,
         {"line 4: the line holds only separators: an empty line ends one block and begins the next, so delete the "
          "line or make it empty"}},
        {"empty rows between blocks", Spike("Time (s)\tVm (mV)") + "\t\n\n" + Spike(""), "", "analyse", 1,
         {"line 42: the line holds only separators: an empty line ends one block and begins the next"}},
        {"a block of one sample", Spike("Time (s)\tVm (mV)") + "\n0.1\t-70\n", "", "calc", 1,
         {"line 43: a block needs two samples to give its sample interval: delete the line, or join it to the block "
          "before or after it by deleting the blank lines between them"}},
        // Columns at the header's end that no line fills, each line ending in separators; a gap in the last column.
        {"an empty last column", "Time (s)\tVm (mV)\tComment\n0\t-70\t\n0.001\t-70\t\n0.002\t-70\t\n", "", "calc",
         1, {"line 2: column 3, \"Comment\", is empty: delete its name from the header (line 1) and the separator at "
             "the end of each line\n"}},
        {"empty last columns", "Time (s),Vm (mV),A,B\n0,-70,,\n\n0.001,-70,,\n", "", "analyse", 1,
         {"line 2: columns 3 to 4, \"A\", \"B\", are empty: delete their names from the header (line 1) and the "
          "separators at the end of each line\n"}},
        {"a gap in the last column", "Time (s)\tVm (mV)\tI (pA)\n0\t-70\t\n0.001\t-70\t5\n", "", "calc", 1,
         {"line 2: column 3: not a number: \"\": the reader takes no missing samples"}},
        // Gaps of missing samples.
        {"NaN", "Time (s)\tVm (mV)\n0\t1\n0.001\tNaN\n", "", "calc", 1,
         {"line 3: column 2: not a number: \"NaN\": the reader takes no missing samples: an empty line at the gap, "
          "in place of its lines, ends one block and begins the next"}},
        {"an empty field", "Time (s),Vm (mV),I (pA)\n0,1,2\n0.001,,3\n", "", "analyse", 1,
         {"line 3: column 2: not a number: \"\": the reader takes no missing samples"}},
        {"a missing time", "Time (s)\tVm (mV)\n0\t1\n0.001\t2\nnan\t3\n", "", "calc", 1,
         {"line 4: the time must be a finite number: the reader takes no missing samples"}},
        // Sweeps written one after another: the time goes back to the block's first or below.
        {"sweeps without an empty line", Spike("Time (s)\tVm (mV)") + Spike("").substr(1), "", "calc", 1,
         {"line 42: the time goes back to the first time of the block from line 2, or below: a new sweep begins "
          "here, and needs an empty line before it"}},
        {"a minus sign", "Time (s)\tVm (mV)\n0\t-70\n0.001\t\xE2\x88\x92" "70\n", "", "analyse", 1,
         {"line 3: column 2: not a number: \"\xE2\x88\x92" "70\": \"\xE2\x88\x92\" is U+2212 MINUS SIGN, not the "
          "\"-\" a number is written with: write minus signs as \"-\""}},
        {"times in minutes", Spike("Time (min)\tVm (mV)"), "", "calc", 1,
         {"line 1: the time column must be in s or ms: convert its times to seconds (times 60) and write \"Time "
          "(s)\""}},
        {"times in hours", Spike("t (h),Vm (mV)", ','), "", "analyse", 1,
         {"line 1: the time column must be in s or ms: convert its times to seconds (times 3600) and write \"t "
          "(s)\""}},
        {"times in microseconds", Spike("Time (\xC2\xB5s)\tVm (mV)"), "", "calc", 1,
         {"line 1: the time column must be in s or ms: convert its times to milliseconds (divided by 1000) and "
          "write \"Time (ms)\""}},
        {"times in microseconds, with u", Spike("Time (us)\tVm (mV)"), "", "analyse", 1,
         {"convert its times to milliseconds (divided by 1000) and write \"Time (ms)\""}},
        {"times in microseconds, with the Greek mu", Spike("Time (\xCE\xBCs)\tVm (mV)"), "", "calc", 1,
         {"convert its times to milliseconds (divided by 1000) and write \"Time (ms)\""}},
        {"times in samples", Spike("Time (samples)\tVm (mV)"), "", "analyse", 1,
         {"line 1: the time column must be in s or ms: convert its times to seconds (divided by the sampling rate) "
          "and write \"Time (s)\""}},
        {"times with too few digits", "Time (ms)\tVm (mV)\n0.0000\t-70\n0.0333\t-70\n0.0667\t-70\n", "", "calc", 1,
         {"line 4: the samples of a block must be evenly spaced in time: the step from the line before is 0.0334 "
          "ms, the block's first step 0.0333 ms, and a step may differ from it by at most 3.33e-05 ms: the steps "
          "differ by one unit of the last digit written, so the times are rounded: write them with more digits"}},
        // A refusal of the first data line names the header, after the line's number.
        {"the first data line", "Time (s)\tVm (mV)\ninf\t1\n0.001\t1\n", "", "calc", 1,
         {"input: line 2: the time must be a finite number (the header is line 1: \"Time (s)\tVm (mV)\")"}},
        // Standard input is /dev/stdin, as the help says.
        {"standard input as -", "", "-", "calc", 2,
         {"crestmetrics: calc: -: standard input is read as /dev/stdin: give /dev/stdin as the recording",
          "usage: crestmetrics calc"}},
        {"help", "", "-", "analyse --help", 0, {}, "standard input is read as /dev/stdin"},
        // A setting's value, checked before the recording is read.
        {"an empty peak detection text", Spike("Time (s)\tVm (mV)"), "", "analyse --set 1010=", 2,
         {"crestmetrics: analyse: --set 1010: \"\" is no peak detection text: setting 1010 takes fields NAME=VALUE "
          "separated by \";\", each optional, such as \"dir=-1;height=5\" (see crestmetrics analyse --help); leave "
          "--set 1010 out to keep its value",
          "usage: crestmetrics analyse"}},
        // Line ends and encodings the reader does not take, told at once rather than after reading the whole file
        // as one line.
        {"CR line ends", CarriageReturns(Spike("Time (s)\tVm (mV)")), "", "calc", 1,
         {"line 1: the lines end in CR alone: convert the line ends to LF or CR LF"}},
        {"CR line ends after the header", "Time (s)\tVm (mV)\n" + CarriageReturns(Spike("0\t-70")), "", "analyse", 1,
         {"line 2: the lines end in CR alone: convert the line ends to LF or CR LF"}},
        {"UTF-16", "\xFF\xFE" + Wide(Spike("Time (s)\tVm (mV)"), 2), "", "calc", 1,
         {"the file is UTF-16 text (it begins with a UTF-16 byte-order mark): save it as UTF-8"}},
        {"UTF-16 without its mark", Wide(Spike("Time (s)\tVm (mV)"), 2), "", "analyse", 1,
         {"the file is UTF-16 text (every other byte is NUL): save it as UTF-8"}},
        {"UTF-32", std::string("\xFF\xFE\0\0", 4) + Wide(Spike("Time (s)\tVm (mV)"), 4), "", "calc", 1,
         {"the file is UTF-32 text (it begins with a UTF-32 byte-order mark): save it as UTF-8"}},
        {"UTF-32, big-endian", std::string("\0\0\xFE\xFF", 4) + Wide(Spike("Time (s)\tVm (mV)"), 4, true), "",
         "analyse", 1, {"the file is UTF-32 text (it begins with a UTF-32 byte-order mark)"}},
        {"UTF-32 without its mark", Wide(Spike("Time (s)\tVm (mV)"), 4, true), "", "calc", 1,
         {"the file is UTF-32 text (three bytes of every four are NUL): save it as UTF-8"}},
        // Input that is no text or never ends: refused from its first 64 KB, a pipe's as they arrive, naming the byte
        // and its line; a byte that is no text in a sample further on is named; a gzip file says how to read it; a
        // signal across a row is refused before its end; running out of memory says how much was read.
        {"endless zeros", "", "/dev/zero", "analyse", 1,
         {"/dev/zero: it is not a text recording (byte 0x00 on line 1)"}},
        {"random bytes", "", "/dev/urandom", "analyse", 1, {"/dev/urandom: it is not a text recording (byte 0x"}},
        {"a NUL on line 3", std::string("Time (s)\tVm (mV)\n0\t1\n0.001\t\0\n", 29), "", "calc", 1,
         {"input: it is not a text recording (byte 0x00 on line 3)"}},
        {"a NUL in a pipe that never ends", "", "/dev/stdin", "calc", 1,
         {"/dev/stdin: it is not a text recording (byte 0x00 on line 3)"}, "",
         "(printf 'Time (s)\\tVm (mV)\\n0\\t1\\n0.001\\t\\0\\n'; while sleep 0.1; do echo; done) | "},
        {"a control byte in a sample", Spike("Time (s)\tVm (mV)") + Spike("") + std::string(70000, ' ') + "\n\x01\t1\n",
         "", "calc", 1, {"line 84: column 1: not a number: \"\\x01\" (byte 0x01 is no text)"}},
        {"gzip", std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10), "", "analyse", 1,
         {"/input: it is compressed with gzip: give the program its text through zcat, as standard input (zcat /"}},
        {"gzip under calc", std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10), "", "calc", 1,
         {"/input | crestmetrics calc TEXT /dev/stdin ...) or as <(zcat /"}},
        {"gzip through a pipe", "", "/dev/stdin", "analyse", 1,
         {"/dev/stdin: it is compressed with gzip: give the program its text through zcat, as standard input (zcat "
          "FILE | crestmetrics analyse /dev/stdin ...) or as <(zcat FILE) in place of the file's name"},
         "", "printf '\\037\\213\\010\\000' | "},
        {"a signal across a row", Repeated("-70.5\t", 1'000'001), "", "calc", 1,
         {"line 1: more than 1,000,000 columns: the samples may run across a row instead of down a column"}},
        {"out of memory", "", "/dev/stdin", "calc", 1, {"/dev/stdin: the memory ran out after "},
         "", kMemoryCap},
        // The host's settings file: a FIFO would block every run, /dev/zero fill the memory.
        {"settings from /dev/zero", Spike("Time (s)\tVm (mV)"), "", "analyse", 0,
         {"crestmetrics: The settings file /dev/zero is not a regular file: it is neither read nor written"}, "",
         "CRESTMETRICS_SETTINGS=/dev/zero "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.environment == kMemoryCap && !kMemoryCapped) {
            continue;
        }
        const std::string path = c.path.empty() ? folder.Write("input", c.bytes) : c.path;
        const auto run = [&c](const std::string& input) {
            return RunShell(std::string(c.environment) +
                            (std::string(c.command) == "calc"
                                 ? "$P calc --quiet 'cappeakdet(ch1, 0.05)' " + input
                                 : "$P " + std::string(c.command) + " --quiet --type 1 -o /dev/null " + input));
        };
        const RunResult result = run(Quote(path));
        if (!c.sameAs.empty()) {
            const RunResult same = run(Quote(folder.Write("same", c.sameAs)));
            EXPECT_EQ(result.out, same.out);
            const RunResult piped = run("/dev/stdin < <(cat " + Quote(path) + ")");
            EXPECT_EQ(piped.status, c.status) << piped.err;
            EXPECT_EQ(piped.out, same.out);
        }
        EXPECT_EQ(result.status, c.status) << result.err;
        for (const std::string& message : c.messages) {
            EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        }
        // The reader's own lines: an analysis of the one small spike also says that it found no events.
        std::size_t lines = std::count(result.err.begin(), result.err.end(), '\n');
        lines -= result.err.find("warning: no events found: ") != std::string::npos;
        EXPECT_EQ(lines, c.messages.size()) << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    }
}

} // namespace
