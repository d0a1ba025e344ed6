// A walk over the elements of a DICOM file before the decoder reads it: the
// decoder believes every declared length and allocates it, so a small file
// declaring gigabytes would take that much memory.
#pragma once

#include <cstdint>
#include <string>

namespace zx {

/// The largest decoded image of one DICOM file the series reader accepts.
constexpr std::uint64_t kMaxDicomImageBytes = std::uint64_t{512} << 20;

/// Checks the file at `path` (named `name` in messages). Throws
/// ConvertError "Die DICOM-Datei NAME kann nicht dekodiert werden." when an
/// element's length runs past the end of the file or the uncompressed
/// Pixel Data holds fewer bytes than rows × columns × frames × samples ×
/// bits need, and "Datei zu groß" when the decoded image would exceed
/// kMaxDicomImageBytes. Files in a deflated transfer syntax, and the rest
/// of a file after an element whose value representation is unknown, are
/// left to the decoder.
void CheckDicomFile(const std::string& path, const std::string& name);

/// Whether the file starts with the DICOM preamble and "DICM".
bool HasDicomPreamble(const std::string& path);

}  // namespace zx
