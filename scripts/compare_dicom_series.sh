#!/usr/bin/env bash
# Developer tool: times `zxconvert dicom-series` against dcm2niix on the same
# DICOM series, side by side in one run (alternating, fresh outputs each
# time), and prints the medians of the wall times, of the user CPU times
# and of the peak resident memory (of the program and its reader process).
#
# Usage: scripts/compare_dicom_series.sh [SERIES_FOLDER | [--ct SLICES] [--mixed]] [RUNS]
#   SERIES_FOLDER  a series to time; without one, the series is made from
#                  the T1 head of Debian's mricron-data
#   --ct SLICES    a synthetic CT-sized series: SLICES slices of 512 x 512
#                  signed 16-bit samples with a CT rescale
#   --mixed        the made series in four encodings in turn: explicit VR,
#                  implicit VR, RLE and JPEG 2000 lossless (gdcmconv), so
#                  that every decoder is timed
# Needs: dcm2niix (apt-get install dcm2niix), python3-numpy and
# python3-pydicom to make a series, libgdcm-tools for --mixed, and a built
# zxconvert (build/ci/zxconvert, or the path in $ZX).
# zxconvert's time includes the fsync that makes its write safe; dcm2niix
# does not sync its output.
set -euo pipefail
cd "$(dirname "$0")/.."
zx=${ZX:-build/ci/zxconvert}
[ -x "$zx" ] || { echo "build first: cmake --preset ci && cmake --build --preset ci (or set ZX)" >&2; exit 2; }
command -v dcm2niix >/dev/null || { echo "dcm2niix is missing: apt-get install dcm2niix" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
series= ct= mixed=
case ${1:-} in
  --ct) ct=${2:?"--ct needs a number of slices"}; shift 2
        if [ "${1:-}" = --mixed ]; then mixed=1; shift; fi ;;
  --mixed) mixed=1; shift ;;
  "") ;;
  [0-9]*) ;;
  *) series=$1; shift ;;
esac
runs=${1:-15}
[ "$runs" -ge 1 ] 2>/dev/null || { echo "RUNS must be a number of at least 1" >&2; exit 2; }
if [ -z "$series" ]; then
  /usr/bin/python3 -c "import numpy, pydicom" 2>/dev/null ||
    { echo "making a series needs python3-numpy and python3-pydicom" >&2; exit 2; }
  series=$work/series
  if [ -n "$ct" ]; then
    /usr/bin/python3 scripts/make_dicom_series.py --ct "$ct" "$series" >/dev/null
  else
    [ -f /usr/share/mricron/templates/ch2.nii.gz ] ||
      { echo "no head to make a series from: apt-get install mricron-data, or give a folder" >&2; exit 2; }
    /usr/bin/python3 scripts/make_dicom_series.py /usr/share/mricron/templates/ch2.nii.gz "$series" >/dev/null
  fi
  if [ -n "$mixed" ]; then
    command -v gdcmconv >/dev/null || { echo "--mixed needs gdcmconv: apt-get install libgdcm-tools" >&2; exit 2; }
    i=0
    for f in "$series"/*; do
      case $((i % 4)) in
        0) cp "$f" "$f.c" ;;
        1) gdcmconv --implicit "$f" "$f.c" ;;
        2) gdcmconv --rle "$f" "$f.c" ;;
        3) gdcmconv --j2k "$f" "$f.c" ;;
      esac
      mv "$f.c" "$f"
      i=$((i + 1))
    done
  fi
fi
echo "series: $series ($(ls "$series" | wc -l) files, $(du -sm "$series" | cut -f1) MB), $runs runs each"
for _ in $(seq "$runs"); do
  rm -rf "$work/d2n" && mkdir "$work/d2n"
  a=$(/usr/bin/time -f "%e %M %U" dcm2niix -z n -o "$work/d2n" "$series" 2>&1 >/dev/null | tail -1)
  rm -f "$work/out.vmr"
  b=$(/usr/bin/time -f "%e %M %U" "$zx" dicom-series "$series" "$work/out.vmr" 2>&1 >/dev/null | tail -1)
  echo "$a $b"
done >"$work/times"
median() { cut -d' ' -f"$1" "$work/times" | sort -n | sed -n "$(((runs + 1) / 2))p"; }
echo "dcm2niix  median $(median 1) s wall, $(median 3) s user, peak $(( $(median 2) / 1024 )) MiB"
echo "zxconvert median $(median 4) s wall, $(median 6) s user, peak $(( $(median 5) / 1024 )) MiB"
