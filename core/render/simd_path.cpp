#include "core/render/simd_path.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zx {

namespace {

SimdPath BestPath() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
        return SimdPath::Avx512;
    if (__builtin_cpu_supports("avx2")) return SimdPath::Avx2;
    return SimdPath::Sse2;
#else
    return SimdPath::Scalar;
#endif
}

SimdPath FromEnvironment() {
    const SimdPath best = BestPath();
    const char* name = std::getenv("ZEREBRIX_SIMD");
    if (!name) return best;
    for (SimdPath p : {SimdPath::Scalar, SimdPath::Sse2, SimdPath::Avx2, SimdPath::Avx512}) {
        if (std::strcmp(name, SimdPathName(p)) == 0 && p <= best) return p;
    }
    return best;  // unknown or not runnable here: the processor's best
}

std::atomic<SimdPath>& Active() {
    static std::atomic<SimdPath> active{FromEnvironment()};
    return active;
}

}  // namespace

SimdPath ActiveSimdPath() { return Active().load(std::memory_order_relaxed); }

bool CanRunSimdPath(SimdPath path) { return path <= BestPath(); }

std::vector<SimdPath> RunnableSimdPaths() {
    std::vector<SimdPath> paths;
    for (SimdPath p : {SimdPath::Scalar, SimdPath::Sse2, SimdPath::Avx2, SimdPath::Avx512})
        if (CanRunSimdPath(p)) paths.push_back(p);
    return paths;
}

bool ForceSimdPath(SimdPath path) {
    if (!CanRunSimdPath(path)) return false;
    Active().store(path, std::memory_order_relaxed);
    return true;
}

const char* SimdPathName(SimdPath path) {
    switch (path) {
        case SimdPath::Scalar:
            return "scalar";
        case SimdPath::Sse2:
            return "sse2";
        case SimdPath::Avx2:
            return "avx2";
        case SimdPath::Avx512:
            return "avx512";
    }
    return "scalar";
}

}  // namespace zx
