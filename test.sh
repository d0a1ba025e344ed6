#!/usr/bin/env bash
# Installs what the tests need, checks that every C++ source is formatted
# with the pinned clang-format, builds the release (ci) and the sanitizer
# (asan) configurations, and runs every test of both and the benchmarks
# once, briefly (ci); then builds the parsers' fuzz harnesses (clang) and
# runs each for FUZZ_SECONDS (25).
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install_deps.sh
echo "=== format"
scripts/check_format.sh
export QT_QPA_PLATFORM=offscreen
for preset in ci asan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: tests"
  ctest --preset "$preset" -j2 --timeout 600
  if [ "$preset" = ci ]; then
    echo "=== ci: benchmarks, one short round each (must exit 0)"
    build/ci/bench/zerebrix_bench --benchmark_min_time=0.01
  fi
done
echo "=== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
echo "=== fuzz: each harness ${FUZZ_SECONDS:-25}s"
fuzz/run.sh "${FUZZ_SECONDS:-25}"
