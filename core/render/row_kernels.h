// Row kernels of the section renderers: the renderers hand each row of a
// section over as grey bytes (and red bytes where an overlay mixes in);
// the kernels expand them into pixels and map the greys through the view's
// display window. One set per instruction set (simd_path.h).
#pragma once

#include <QRgb>
#include <algorithm>
#include <cstdint>

#include "core/render/simd_path.h"

namespace zx::kernels {

/// A byte-to-byte table (the grey colour map of a display window). Its
/// flat ends (black below the window, white above) are many entries of one
/// value: `ramp` holds the entries from `g0` on, so that entry
/// min(g − g0, span) of `ramp` (g − g0 saturated at 0) is full[g], and
/// `rows` rows of sixteen cover it.
///
/// A linear display window is also a clamped line: full[g] is
/// clamp(trunc(slope·g + offset), 0, 255) for every g, in single-precision
/// floats. Where `line` says so, the vector kernels compute the line
/// (a few instructions per sixteen greys) instead of looking it up.
struct ByteMap {
    alignas(64) std::uint8_t full[256];
    alignas(64) std::uint8_t ramp[256];
    int g0 = 0, span = 255, rows = 16;
    bool line = false;
    float slope = 0, offset = 0;
    /// Where `ratio` says so, the ramp is also a line of rational slope
    /// p/q in 16-bit integers, the division by q a multiply by m and a
    /// shift: ramp[d] is clamp(((d·p + k)·m >> 16 + shift) − t, 0, 255),
    /// XOR flip (a falling ramp is 255 minus a rising one). SSE2 computes
    /// that in fewer steps than the float line.
    bool ratio = false;
    std::uint16_t p = 0, k = 0, m = 0, t = 0;
    int shift = 0;
    std::uint8_t flip = 0;
    void Finish() {
        int lo = 0, hi = 255;
        while (lo < 255 && full[lo + 1] == full[0]) ++lo;
        while (hi > lo && full[hi - 1] == full[255]) --hi;
        g0 = lo;
        span = hi - lo;
        rows = span / 16 + 1;
        for (int t = 0; t < 256; ++t) ramp[t] = full[std::min(255, g0 + std::min(t, span))];
    }
};

/// The kernels of one instruction set.
struct Kernels {
    void (*expand)(const std::uint8_t* grey, const std::uint8_t* red, int n, QRgb* out);
    void (*lookup)(const ByteMap& map, const std::uint8_t* src, int n, std::uint8_t* dst);
    /// The grey pixels of src into `clean`, and those of map.full[src]
    /// into `shown`.
    void (*expandBoth)(const ByteMap& map, const std::uint8_t* src, int n, QRgb* clean,
                       QRgb* shown);
};

Kernels KernelsFor(SimdPath path);

/// Fits the map's line, and for `path` SSE2 its rational line, for the
/// kernels (see ByteMap); the last fit is kept for the next picture of the
/// same map.
void PrepareLine(ByteMap& map, SimdPath path);

}  // namespace zx::kernels
