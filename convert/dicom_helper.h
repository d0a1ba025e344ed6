// A DICOM series read by the separate program zerebrix-dicom, so that the
// viewer process never loads the DICOM decoder and its dictionaries.
#pragma once

#include <string>

#include "convert/nifti.h"

namespace zx {

/// What ConvertDicomSeries returns, read by the reader program in its own
/// process. Throws ConvertError with the same messages, and with a German
/// message when the reader program cannot be found or started.
NiftiVolume ConvertDicomSeriesApart(const std::string& folder);

/// The reader program's path: beside the running program, in
/// ../libexec/zerebrix of an installed one, or in the build tree. Empty
/// when none of them exists.
std::string DicomReaderPath();

}  // namespace zx
