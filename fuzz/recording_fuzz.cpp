// The recording reader over any bytes: a recording whose blocks hold every channel, or a RecordingError naming a
// line of the input; nothing else escapes. Read as it arrives, a few bytes at a time in small pieces, the input gives
// what reading it line by line gives.
#include "fuzzkit.h"

#include "host/recording.h"

#include <functional>
#include <sstream>

namespace {

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    for (const std::string text :
         {"Time (s)\tVm (mV)\n0\t-70\n0.001\t-69\n\n0\t1\n0.001\t2\n", "Vm (mV),Stim (V)\n1,2\n3,4\n",
          "Time (ms)\tVm\n0\t1\n0.5\t2\n1.0\tx\n", "\xEF\xBB\xBFVm (\xC2\xB5V)\n1e3\n-2.5\n",
          "Vm (mV),I (pA)\n1,2\n3,4\n,\n\n , \r\n"}) {
        seeds.emplace_back(text.begin(), text.end());
    }
    return seeds;
}

// A recording's channels, blocks, intervals and samples bit for bit, or the error with its line.
std::string Outcome(const std::function<std::shared_ptr<host::Document>()>& read)
{
    std::string outcome;
    try {
        const auto document = read();
        for (int channel = 0; channel < document->ChannelCount(); ++channel) {
            outcome += "channel " + std::to_string(channel) + "\n";
        }
        for (int block = 0; block < document->BlockCount(); ++block) {
            const double period = document->TickPeriod(block);
            outcome.append(reinterpret_cast<const char*>(&period), sizeof period);
            for (int channel = 0; channel < document->ChannelCount(); ++channel) {
                const auto& samples = document->Samples(block, channel);
                outcome.append(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(float));
                outcome += '|';
            }
        }
    } catch (const host::RecordingError& error) {
        outcome = "error " + std::to_string(error.Line()) + ": " + error.what();
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("recording", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::istringstream in(text);
    try {
        const auto document = host::ReadRecording(in);
        fuzzkit::Check(document->ChannelCount() > 0 && document->BlockCount() > 0, "a recording without data");
        for (int block = 0; block < document->BlockCount(); ++block) {
            const LONG length = document->Length(block, 0);
            fuzzkit::Check(length > 0, "an empty block");
            fuzzkit::Check(document->TickPeriod(block) > 0.0, "a block without a positive interval");
            for (int channel = 1; channel < document->ChannelCount(); ++channel) {
                fuzzkit::Check(document->Length(block, channel) == length, "channels of one block differ in length");
            }
        }
    } catch (const host::RecordingError& error) {
        fuzzkit::Check(error.Line() >= 0 && error.Line() <= lines, "an error names a line beyond the input");
    }
    std::istringstream arriving(text);
    fuzzkit::Check(Outcome([&] { return host::ReadRecordingStream(arriving, 1 + size % 7, 1 + size % 13, 1); }) ==
                       Outcome([&] { return host::ReadRecordingLineByLine(text); }),
                   "read as it arrives, the input gives another recording or error than line by line");
    return 0;
}
