// The saved-document reader over any bytes: a recording whose blocks hold every channel, or a RecordingError; nothing
// else escapes, and nothing larger than the input is allocated. What is read writes back as the very same bytes.
// Besides the seed below, scripts/fuzz --seeds saves each example recording analysed by the command-line host.
#include "fuzzkit.h"

#include "host/saveddocument.h"

#include <sstream>

namespace {

std::vector<fuzzkit::Bytes> Seeds()
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->SetSamples(document->AddBlock(0.001), 0, {-0.07f, 0.02f});
    std::ostringstream out;
    host::WriteSavedDocument(out, *document, {{1, 2, 3}});
    const std::string bytes = out.str();
    return {fuzzkit::Bytes(bytes.begin(), bytes.end())};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("saveddocument", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream in(bytes);
    try {
        const host::SavedDocument saved = host::ReadSavedDocument(in);
        fuzzkit::Check(saved.recording->ChannelCount() > 0, "a document without channels");
        for (int block = 0; block < saved.recording->BlockCount(); ++block) {
            for (int channel = 1; channel < saved.recording->ChannelCount(); ++channel) {
                fuzzkit::Check(saved.recording->Length(block, channel) == saved.recording->Length(block, 0),
                               "channels of one block differ in length");
            }
        }
        std::ostringstream out;
        host::WriteSavedDocument(out, *saved.recording, saved.streams);
        fuzzkit::Check(out.str() == bytes, "a saved document read and written again changed");
    } catch (const host::RecordingError& error) {
        fuzzkit::Check(error.Line() == 0, "a binary file's error names a line");
    }
    return 0;
}
