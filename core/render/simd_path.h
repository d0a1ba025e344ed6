// Which instruction set the section renderers use. Every fast path has a
// portable twin; the choice is made once by processor, and it can be forced
// (tests run each path the machine can run, benchmarks run with the fast
// paths off) by the environment variable ZEREBRIX_SIMD = scalar, sse2, avx2
// or avx512, or by ForceSimdPath.
#pragma once

#include <vector>

namespace zx {

enum class SimdPath {
    Scalar,  ///< plain C++
    Sse2,    ///< x86-64's baseline
    Avx2,    ///< AVX2 (byte look-ups with vpshufb)
    Avx512,  ///< AVX-512 F, BW and VBMI (byte look-ups with vpermi2b)
};

/// The path in use: the best one the processor runs, or the one
/// ZEREBRIX_SIMD names when the processor runs it (read at the first call).
SimdPath ActiveSimdPath();

/// True when this processor can run `path`.
bool CanRunSimdPath(SimdPath path);

/// Every path this processor can run, the portable one first.
std::vector<SimdPath> RunnableSimdPaths();

/// Uses `path` from now on; false (and no change) when the processor
/// cannot run it.
bool ForceSimdPath(SimdPath path);

/// "scalar", "sse2", "avx2", "avx512".
const char* SimdPathName(SimdPath path);

}  // namespace zx
