// Recordings from text files: one column per channel under a header line of channel names with their units in
// parentheses ("Vm (mV)"), an optional leading time column ("Time (s)" or "Time (ms)") that gives the sample
// interval, columns separated by tabs or commas, and blank lines between blocks. A "#" and the blanks after it before
// the header's first name are passed over (numpy's savetxt writes its header so). Samples are kept in the base unit
// of their column's unit ("0.5" under "Vm (mV)" is 0.0005 V), as the host keeps them; the unit text stays as written.
#pragma once

#include "host/document.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace host {

// A file that is no recording: what is wrong, on which line (0 when it concerns the whole file) and, when it
// concerns one field, in which column (from 1; else 0). what() puts them together: "line 3, column 2: reason".
class RecordingError : public std::runtime_error {
public:
    RecordingError(int line, const std::string& reason);
    RecordingError(int line, int column, const std::string& reason);
    int Line() const { return line_; }
    int Column() const { return column_; }
    const std::string& Reason() const { return reason_; }

private:
    int line_;
    int column_;
    std::string reason_;
};

// A file that a command reads, opened once. A regular file is read where it lies, and its first bytes can be looked
// at before a reader takes it. Anything else (a pipe, a FIFO, a process substitution, a device) can be read only
// once: the bytes looked at are kept, and the reader that follows starts with them.
class InputFile {
public:
    // A RecordingError (line 0) with the reason when the path cannot be opened or names a folder.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& Path() const { return path_; }
    bool Regular() const { return regular_; }
    int Descriptor() const { return fd_; }
    std::uint64_t Size() const { return size_; } // of a regular file
    // Up to `count` bytes from the start; fewer only when the input holds fewer.
    std::string_view Start(std::size_t count);
    // Of anything but a regular file: the bytes read so far, and reading on. ReadMore is false at the end; a failed
    // read ends it too, and Complete tells which.
    const std::string& Bytes() const { return bytes_; }
    std::string TakeBytes() { return std::move(bytes_); }
    bool ReadMore();
    // Reads on as ReadMore does, into `into` rather than Bytes.
    bool ReadMore(std::string& into);
    bool Complete() const { return complete_; }

private:
    std::string path_;
    int fd_ = -1;
    bool regular_ = false;
    std::uint64_t size_ = 0;
    std::string bytes_;
    bool ended_ = false;
    bool complete_ = true;
};

// What a recording's header said that its document does not keep.
struct RecordingNotes {
    bool timeColumn = false;
    std::string firstColumn; // the header's first column as written
    bool timeUnit = false;   // the time column gave its unit
};

// The longest line a recording may have: far longer than any sensible header or row, and short enough to be held in
// memory. A longer line is refused with its number.
inline constexpr std::uint64_t kLongestRecordingLine = std::uint64_t{1} << 30;

// Reads a recording as its bytes arrive; throws RecordingError. Without a time column the samples are 1 s apart.
std::shared_ptr<Document> ReadRecording(std::istream& in);
// Reads a recording as its bytes arrive, at most `arrival` bytes at a time, in pieces of about `pieceBytes` on at
// most `threads` threads (0: as many as suit the machine), refusing lines longer than `longestLine`. Only the samples
// and the lines being read are in memory; the pieces give what reading line by line gives.
std::shared_ptr<Document> ReadRecordingStream(std::istream& in, std::size_t arrival, std::size_t pieceBytes,
                                              unsigned threads = 0, std::uint64_t longestLine = kLongestRecordingLine);
// Reads the recording in a file; a file that cannot be opened is a RecordingError too. A regular file is read in
// pieces, on several threads, and never stands whole in memory; anything else is read as its bytes arrive. Bytes
// that are no text, in the first 64 KB or in a sample, are named with their line; running out of memory is a
// RecordingError that says how much was read. A file compressed with gzip is refused with the command line that reads
// it through zcat: `command` is the program's command and the words before its recording ("analyse", "calc TEXT").
std::shared_ptr<Document> ReadRecordingFile(const std::string& path);
std::shared_ptr<Document> ReadRecordingFile(InputFile& file, RecordingNotes* notes = nullptr,
                                            std::string_view command = "analyse");
// Reads a recording in memory in pieces of about `pieceBytes`, on at most `threads` threads (0: as many as suit
// the machine), refusing lines longer than `longestLine`. The pieces give the same recording and the same first
// error as reading line by line.
std::shared_ptr<Document> ReadRecordingText(std::string_view text, std::size_t pieceBytes, unsigned threads = 0,
                                            std::uint64_t longestLine = kLongestRecordingLine);
// Reads a recording in memory one line after another: the rules the reader in pieces keeps to.
std::shared_ptr<Document> ReadRecordingLineByLine(std::string_view text);

// A recording without a time column is read all the same; the warning names the column that became channel 1. A
// time column without a unit is read as seconds; the warning names the sample interval that gives.
std::optional<std::string> TimeColumnWarning(const RecordingNotes& notes, const Document& recording);
// A channel without a unit, or with one the host does not know, keeps its numbers as written; the warning says so,
// and how to write the unit.
std::optional<std::string> UnitWarning(const Document& recording, int channel);
// A channel the run reads, named with a unit the host knows in square brackets ("Vm [mV]"), is refused (a
// RecordingError, line 0): its numbers would be read without the unit. A channel the run does not read is read as
// any channel without a unit.
void RefuseUnitInBrackets(const Document& recording, int channel);

} // namespace host
