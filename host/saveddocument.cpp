#include "host/saveddocument.h"

#include "platform/posix/atomicfile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iterator>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace host {

namespace {

constexpr char kMagic[4] = {'C', 'M', 'H', 'D'};
constexpr std::uint32_t kVersion = 1;
// The first eight bytes of every saved document of this version.
constexpr std::string_view kStart("CMHD\x01\x00\x00\x00", 8);

// A saved document, or one whose first eight bytes differ from a saved document's in at most two: text has no NUL
// bytes, so a text recording never comes this close.
bool LooksLikeSavedDocument(std::string_view start)
{
    if (start.starts_with(std::string_view(kMagic, sizeof kMagic))) {
        return true;
    }
    if (start.size() < kStart.size()) {
        return false;
    }
    int differ = 0;
    for (std::size_t i = 0; i < kStart.size(); ++i) {
        differ += start[i] != kStart[i] ? 1 : 0;
    }
    return differ <= 2;
}

static_assert(std::endian::native == std::endian::little, "the file is written as the memory holds it");

class Writer {
public:
    explicit Writer(std::ostream& out) : out_(out) {}
    void Raw(const void* data, std::size_t size) { out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size)); }
    void U32(std::uint32_t value) { Raw(&value, sizeof value); }
    void F64(double value) { Raw(&value, sizeof value); }
    void Text(const std::u16string& text)
    {
        U32(static_cast<std::uint32_t>(text.size()));
        Raw(text.data(), text.size() * sizeof(char16_t));
    }

private:
    std::ostream& out_;
};

// Reads within the bytes of the file; any count beyond what is left is damage, so nothing huge is allocated. The
// bytes are read as they are needed, not held whole: the reader allocates little more than the recording it makes.
class Reader {
public:
    Reader(std::istream& in, std::uint64_t size) : in_(in), size_(size) {}
    void Raw(void* data, std::size_t size)
    {
        if (size > size_ - at_) {
            Damaged("it ends too early");
        }
        if (size == 0) {
            return; // an empty stream's buffer may be null
        }
        if (!in_.read(static_cast<char*>(data), static_cast<std::streamsize>(size))) {
            Damaged("it ends too early");
        }
        at_ += size;
    }
    std::uint32_t U32()
    {
        std::uint32_t value = 0;
        Raw(&value, sizeof value);
        return value;
    }
    double F64()
    {
        double value = 0.0;
        Raw(&value, sizeof value);
        return value;
    }
    // A count of items of `itemSize` bytes each that must still fit in the file.
    std::uint32_t Count(std::size_t itemSize)
    {
        const std::uint32_t count = U32();
        if (static_cast<std::uint64_t>(count) * itemSize > size_ - at_) {
            Damaged("a count exceeds the file");
        }
        return count;
    }
    std::u16string Text()
    {
        std::u16string text(Count(sizeof(char16_t)), u'\0');
        Raw(text.data(), text.size() * sizeof(char16_t));
        return text;
    }
    bool AtEnd() const { return at_ == size_; }
    std::uint64_t Left() const { return size_ - at_; }
    [[noreturn]] static void Damaged(const std::string& why)
    {
        throw RecordingError(0, "a damaged saved document: " + why);
    }

private:
    std::istream& in_;
    std::uint64_t size_;
    std::uint64_t at_ = 0;
};

// The bytes left in a stream, when it can say.
std::optional<std::uint64_t> BytesLeft(std::istream& in)
{
    const std::istream::pos_type start = in.tellg();
    if (start == std::istream::pos_type(-1) || !in.seekg(0, std::ios::end)) {
        in.clear();
        return std::nullopt;
    }
    const std::istream::pos_type end = in.tellg();
    in.seekg(start);
    if (end == std::istream::pos_type(-1) || end < start || !in) {
        in.clear();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(end - start);
}

SavedDocument Read(std::istream& in, std::uint64_t size);

// The bytes of an open file from its start, read through its descriptor at offsets of their own: never through the
// file's name, which may lead to another file by now.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd), bytes_(64 * 1024) {}

protected:
    int_type underflow() override
    {
        ssize_t got = 0;
        do {
            got = ::pread(fd_, bytes_.data(), bytes_.size(), offset_);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            return traits_type::eof(); // the reader says it ends too early, as for a file read by its name
        }
        offset_ += got;
        setg(bytes_.data(), bytes_.data(), bytes_.data() + got);
        return traits_type::to_int_type(bytes_[0]);
    }

private:
    int fd_;
    off_t offset_ = 0;
    std::vector<char> bytes_;
};

} // namespace

void WriteSavedDocument(std::ostream& out, const Document& recording,
                        const std::vector<std::vector<std::uint8_t>>& streams)
{
    Writer w(out);
    w.Raw(kMagic, sizeof kMagic);
    w.U32(kVersion);
    w.U32(static_cast<std::uint32_t>(recording.ChannelCount()));
    for (int channel = 0; channel < recording.ChannelCount(); ++channel) {
        w.Text(recording.ChannelName(channel));
        w.Text(recording.ChannelUnit(channel));
    }
    w.U32(static_cast<std::uint32_t>(recording.BlockCount()));
    for (int block = 0; block < recording.BlockCount(); ++block) {
        w.F64(recording.TickPeriod(block));
        for (int channel = 0; channel < recording.ChannelCount(); ++channel) {
            const auto samples = recording.Samples(block, channel);
            w.U32(static_cast<std::uint32_t>(samples.size()));
            w.Raw(samples.data(), samples.size_bytes());
        }
    }
    w.U32(static_cast<std::uint32_t>(streams.size()));
    for (const auto& stream : streams) {
        w.U32(static_cast<std::uint32_t>(stream.size()));
        w.Raw(stream.data(), stream.size());
    }
}

SavedDocument ReadSavedDocument(std::istream& in)
{
    if (const auto size = BytesLeft(in)) {
        return Read(in, *size);
    }
    // A stream that cannot seek: its bytes first, to know how many there are.
    std::istringstream bytes(std::string(std::istreambuf_iterator<char>(in), {}));
    return Read(bytes, *BytesLeft(bytes));
}

namespace {

SavedDocument Read(std::istream& in, std::uint64_t size)
{
    Reader r(in, size);
    char start[kStart.size()] = {};
    const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof start, r.Left()));
    r.Raw(start, got);
    if (!std::string_view(start, got).starts_with(std::string_view(kMagic, sizeof kMagic))) {
        if (LooksLikeSavedDocument(std::string_view(start, got))) {
            Reader::Damaged("it does not begin with \"CMHD\"");
        }
        throw RecordingError(0, "not a saved document");
    }
    if (got < sizeof start) {
        Reader::Damaged("it ends too early");
    }
    std::uint32_t version = 0;
    std::memcpy(&version, start + sizeof kMagic, sizeof version);
    if (version != kVersion) {
        throw RecordingError(0, "a saved document of version " + std::to_string(version) + ", which this host cannot read");
    }
    SavedDocument saved{Document::Create(), {}};
    Document& recording = *saved.recording;
    const std::uint32_t channels = r.Count(8);
    if (channels == 0) {
        Reader::Damaged("it names no channel");
    }
    for (std::uint32_t channel = 0; channel < channels; ++channel) {
        std::u16string name = r.Text();
        std::u16string unit = r.Text();
        recording.AddChannel(std::move(name), std::move(unit));
    }
    const std::uint32_t blocks = r.Count(8 + 4 * static_cast<std::size_t>(channels));
    recording.ReserveBlocks(blocks);
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const double interval = r.F64();
        if (!(interval > 0.0) || !std::isfinite(interval)) {
            Reader::Damaged("a block without a positive sample interval");
        }
        const int index = recording.AddBlock(interval);
        std::uint32_t length = 0;
        for (std::uint32_t channel = 0; channel < channels; ++channel) {
            std::vector<float> samples(r.Count(sizeof(float)));
            if (channel > 0 && samples.size() != length) {
                Reader::Damaged("the channels of a block differ in length");
            }
            length = static_cast<std::uint32_t>(samples.size());
            r.Raw(samples.data(), samples.size() * sizeof(float));
            // The text reader refuses them too: an analysis would measure half an event and call it done.
            const auto nonFinite =
                std::find_if(samples.begin(), samples.end(), [](float v) { return !std::isfinite(v); });
            if (nonFinite != samples.end()) {
                Reader::Damaged("sample " + std::to_string(nonFinite - samples.begin() + 1) + " of channel " +
                                std::to_string(channel + 1) + " in block " + std::to_string(block + 1) +
                                " is not a finite number");
            }
            recording.SetSamples(index, static_cast<int>(channel), std::move(samples));
        }
    }
    const std::uint32_t streams = r.Count(4);
    for (std::uint32_t i = 0; i < streams; ++i) {
        std::vector<std::uint8_t> bytes(r.Count(1));
        r.Raw(bytes.data(), bytes.size());
        saved.streams.push_back(std::move(bytes));
    }
    if (!r.AtEnd()) {
        Reader::Damaged("bytes follow its end");
    }
    return saved;
}

} // namespace

bool IsSavedDocument(InputFile& file)
{
    return LooksLikeSavedDocument(file.Start(sizeof kStart));
}

SavedDocument ReadSavedDocumentFile(const std::string& path)
{
    InputFile file(path);
    return ReadSavedDocumentFile(file);
}

SavedDocument ReadSavedDocumentFile(InputFile& file)
{
    if (file.Regular()) {
        // Read from its start through the descriptor that was opened, and compared with the outputs, as the
        // recording reader reads: the name may lead elsewhere by now.
        DescriptorBuffer bytes(file.Descriptor());
        std::istream in(&bytes);
        return Read(in, file.Size());
    }
    // Anything else is read once, with the bytes looked at already.
    while (file.ReadMore()) {
    }
    if (!file.Complete()) {
        throw RecordingError(0, "the file could not be read to its end");
    }
    std::istringstream in(file.TakeBytes());
    return ReadSavedDocument(in);
}

bool WriteSavedDocumentFile(const std::string& path, const Document& recording,
                            const std::vector<std::vector<std::uint8_t>>& streams)
{
    // Over an existing document: a failed write must leave the old one as it was.
    platform::AtomicFile file(path);
    WriteSavedDocument(file.Stream(), recording, streams);
    return file.Commit();
}

} // namespace host
