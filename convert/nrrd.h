// NRRD (3D Slicer's format, .nrrd and .nhdr): a text header, raw or gzip
// data in the same file or beside it.
#pragma once

#include <string>

#include "convert/converted_volume.h"

namespace zx {

/// Converts volume `volume` (1 = the first) of a NRRD file.
ConvertedVolume ConvertNrrd(const std::string& path, int volume = 1);

}  // namespace zx
