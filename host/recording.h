// Recordings from text files: one column per channel under a header line of channel names with their units in
// parentheses ("Vm (mV)"), an optional leading time column ("Time (s)" or "Time (ms)") that gives the sample
// interval, columns separated by tabs or commas, and blank lines between blocks. Samples are kept in the base unit of
// their column's unit ("0.5" under "Vm (mV)" is 0.0005 V), as the host keeps them; the unit text stays as written.
#pragma once

#include "host/document.h"

#include <istream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace host {

// A file that is no recording: what is wrong and on which line (0 when it concerns the whole file).
class RecordingError : public std::runtime_error {
public:
    RecordingError(int line, const std::string& message);
    int Line() const { return line_; }

private:
    int line_;
};

// Reads a recording; throws RecordingError. Without a time column the samples are 1 s apart.
std::shared_ptr<Document> ReadRecording(std::istream& in);
// Reads the recording in a file; a file that cannot be opened is a RecordingError too. The file is read in pieces,
// on several threads, and never stands whole in memory.
std::shared_ptr<Document> ReadRecordingFile(const std::string& path);
// Reads a recording in memory in pieces of about `pieceBytes`, on at most `threads` threads (0: as many as suit
// the machine). The pieces give the same recording and the same first error as reading line by line.
std::shared_ptr<Document> ReadRecordingText(std::string_view text, std::size_t pieceBytes, unsigned threads = 0);
// Reads a recording in memory one line after another: the rules the reader in pieces keeps to.
std::shared_ptr<Document> ReadRecordingLineByLine(std::string_view text);

} // namespace host
