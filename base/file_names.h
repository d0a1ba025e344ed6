// Names of the files that lie beside a volume file: its info file
// ("kopf.vmr" → "kopf.zxi"), what is known beyond the voxels ("kopf.zxm"),
// an atlas's labels ("kopf.aal.vmr").
#pragma once

#include <string>
#include <string_view>

namespace zx {

/// `path` with its extension (from the last dot of the file name on)
/// replaced by `ext`, or with `ext` appended when the file name has none.
/// Dots in folder names do not count.
std::string ReplaceExtension(std::string_view path, std::string_view ext);

}  // namespace zx
