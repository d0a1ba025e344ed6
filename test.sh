#!/usr/bin/env bash
# Installs what the tests need, builds the release (ci) and the sanitizer
# (asan) configurations, and runs every test of both. Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install_deps.sh
export QT_QPA_PLATFORM=offscreen
for preset in ci asan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: tests"
  ctest --preset "$preset" -j2 --timeout 600
done
