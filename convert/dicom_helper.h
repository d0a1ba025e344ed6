// A DICOM series read by the separate program zerebrix-dicom, so that the
// viewer process never loads the DICOM decoder and its dictionaries.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "convert/nifti.h"

namespace zx {

/// What ConvertDicomSeries returns, read by the reader program in its own
/// process. Throws ConvertError with the same messages, and with a German
/// message when the reader program cannot be found or started.
NiftiVolume ConvertDicomSeriesApart(const std::string& folder);

/// The same, handing the reader's volume to `use` where the reader left it
/// (16 MiB, `planes` planes of `edge` mm), without a copy.
void ConvertDicomSeriesApart(const std::string& folder,
                             const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use);

/// The reader program's path: in ../libexec/zerebrix of an installed
/// program, beside the running program, or, for programs inside the build
/// tree (the tests), in the build folder. Empty when there is none.
std::string DicomReaderPath();

}  // namespace zx
