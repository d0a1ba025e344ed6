#!/usr/bin/env bash
# Developer tool: times `zxconvert dicom-series` against dcm2niix on the same
# DICOM series, side by side in one run (alternating, fresh outputs each
# time), and prints the medians (in ms) of the wall times, of the user CPU
# times and of the peak resident memory (of the program and its reader
# process), and the range of the wall times.
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
# Each run writes a new file (neither program then waits for the disk:
# zxconvert syncs only a file that replaces another).
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
# Times in milliseconds from the wait of each run (wall, and the user and
# system CPU of the program and every process it waited for, its reader
# included).
/usr/bin/python3 - "$runs" "$series" "$work" "$zx" <<'PY'
import os, shutil, subprocess, sys, time
runs, series, work, zx = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
def run(argv):
    t = time.perf_counter()
    p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    if status != 0:
        sys.exit(f"{argv[0]} failed ({status})")
    return wall * 1000, ru.ru_utime * 1000, ru.ru_maxrss / 1024, ru.ru_stime * 1000
rows = {"dcm2niix ": [], "zxconvert": []}
d2n, out = os.path.join(work, "d2n"), os.path.join(work, "out.vmr")
for _ in range(runs):
    shutil.rmtree(d2n, ignore_errors=True)
    os.mkdir(d2n)
    rows["dcm2niix "].append(run(["dcm2niix", "-z", "n", "-o", d2n, series]))
    if os.path.exists(out):
        os.remove(out)
    rows["zxconvert"].append(run([zx, "dicom-series", series, out]))
median = lambda v: sorted(v)[len(v) // 2]
for name, r in rows.items():
    wall, user, peak, system = (median([x[i] for x in r]) for i in range(4))
    print(f"{name} median {wall:.0f} ms wall, {user:.0f} ms user, {system:.0f} ms system, "
          f"peak {peak:.0f} MiB "
          f"(wall {min(x[0] for x in r):.0f}-{max(x[0] for x in r):.0f} ms)")
PY
