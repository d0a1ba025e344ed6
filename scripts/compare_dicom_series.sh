#!/usr/bin/env bash
# Developer tool: times `zxconvert dicom-series` against dcm2niix on the same
# DICOM series, side by side in one run (alternating, fresh outputs each
# time), and prints the medians. The series is made from the T1 head of
# Debian's mricron-data with scripts/make_dicom_series.py unless one is given.
#
# Usage: scripts/compare_dicom_series.sh [SERIES_FOLDER] [RUNS]
# Needs: dcm2niix (apt-get install dcm2niix), a built build/ci/zxconvert.
# zxconvert's time includes the fsync that makes its write safe; dcm2niix
# does not sync its output.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${2:-15}
[ "$runs" -ge 1 ] 2>/dev/null || { echo "RUNS must be a number of at least 1" >&2; exit 2; }
zx=build/ci/zxconvert
[ -x "$zx" ] || { echo "build first: cmake --preset ci && cmake --build --preset ci" >&2; exit 2; }
command -v dcm2niix >/dev/null || { echo "dcm2niix is missing: apt-get install dcm2niix" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
series=${1:-}
if [ -z "$series" ]; then
  [ -f /usr/share/mricron/templates/ch2.nii.gz ] ||
    { echo "no head to make a series from: apt-get install mricron-data, or give a folder" >&2; exit 2; }
  /usr/bin/python3 -c "import numpy, pydicom" 2>/dev/null ||
    { echo "making a series needs python3-numpy and python3-pydicom" >&2; exit 2; }
  series=$work/series
  /usr/bin/python3 scripts/make_dicom_series.py /usr/share/mricron/templates/ch2.nii.gz "$series" >/dev/null
fi
echo "series: $series ($(ls "$series" | wc -l) files), $runs runs each"
TIMEFORMAT=%R
for _ in $(seq "$runs"); do
  rm -rf "$work/d2n" && mkdir "$work/d2n"
  a=$( { time dcm2niix -z n -o "$work/d2n" "$series" >/dev/null 2>&1; } 2>&1 )
  rm -f "$work/out.vmr"
  b=$( { time "$zx" dicom-series "$series" "$work/out.vmr" >/dev/null 2>&1; } 2>&1 )
  echo "$a $b"
done >"$work/times"
median() { cut -d' ' -f"$1" "$work/times" | sort -n | sed -n "$(((runs + 1) / 2))p"; }
echo "dcm2niix  median $(median 1) s"
echo "zxconvert median $(median 2) s"
