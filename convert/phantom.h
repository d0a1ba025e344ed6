// A synthetic head: a deterministic volume recognisable as a head in all
// three views, for a default volume where no scan is at hand.
#pragma once

#include <cstdint>
#include <vector>

namespace zx {

/// 256 planes in the viewer's layout (byte x·65536 + z·256 + y; x from the
/// right to the left, y from the front to the back, z from the top down).
std::vector<std::uint8_t> MakeHeadPhantom();

}  // namespace zx
