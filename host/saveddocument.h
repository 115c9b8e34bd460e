// The command-line host's document file: the recording (channels with their units, blocks with their sample interval
// and samples in base units) and the extensions' streams, as the host saves a document with what its extensions
// keep in it. Little-endian:
//   "CMHD", uint32 version 1
//   uint32 channels, each: text name, text unit        (text: uint32 UTF-16 units, then the units)
//   uint32 blocks, each: float64 sample interval (s), then per channel: uint32 samples, float32 each
//   uint32 streams, each: uint32 bytes, then the bytes  (in the order the extensions registered)
#pragma once

#include "host/document.h"
#include "host/recording.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace host {

struct SavedDocument {
    std::shared_ptr<Document> recording;
    std::vector<std::vector<std::uint8_t>> streams;
};

void WriteSavedDocument(std::ostream& out, const Document& recording,
                        const std::vector<std::vector<std::uint8_t>>& streams);
// Throws RecordingError (line 0) for bytes that are no saved document or a damaged one.
SavedDocument ReadSavedDocument(std::istream& in);

// True when the file begins as a saved document does, or nearly so (a saved document whose first bytes are damaged,
// which its reader refuses as such); the recording reader reads the others.
bool IsSavedDocument(InputFile& file);
// A RecordingError when the file cannot be opened.
SavedDocument ReadSavedDocumentFile(const std::string& path);
SavedDocument ReadSavedDocumentFile(InputFile& file);
// False when the file cannot be written to its end; a file written in part is removed.
bool WriteSavedDocumentFile(const std::string& path, const Document& recording,
                            const std::vector<std::vector<std::uint8_t>>& streams);

} // namespace host
