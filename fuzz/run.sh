#!/usr/bin/env bash
# Runs every fuzz harness of build/fuzz for SECONDS each (default 60) from
# its seed corpus in fuzz/corpus; new inputs go to a scratch folder, so the
# repository's corpus stays as it is. Exits non-zero when a harness finds a
# crash, a leak, undefined behaviour or a broken result.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
declare -A corpus=([fuzz_vmr]=vmr [fuzz_info]=info [fuzz_bmp]=bmp [fuzz_nifti]=nifti
                   [fuzz_dicom_scan]=dicom [fuzz_dicom_series]=series
                   [fuzz_labels]=labels [fuzz_mgh]=mgh [fuzz_nrrd]=nrrd
                   [fuzz_metaimage]=metaimage [fuzz_meta]=meta [fuzz_result]=result
                   [fuzz_series_index]=index [fuzz_dicomdir]=dicomdir [fuzz_lesson]=lesson
                   [fuzz_command_lines]=cli [fuzz_viewer_command_line]=viewer)
work=$(mktemp -d /tmp/zxfuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=0 passed=0 broken=0
for h in fuzz_vmr fuzz_info fuzz_bmp fuzz_nifti fuzz_dicom_scan fuzz_dicom_series fuzz_labels \
         fuzz_mgh fuzz_nrrd fuzz_metaimage \
         fuzz_meta fuzz_result fuzz_series_index fuzz_dicomdir fuzz_lesson fuzz_command_lines \
         fuzz_viewer_command_line; do
  mkdir -p "$work/$h"
  rss=4096 extra=()
  # The series and DICOMDIR harnesses run GDCM in this process: a library
  # assertion (which the reader program contains in production) ends a job
  # quietly, so they run in forked jobs; leaks inside the decoding
  # libraries are suppressed.
  case $h in fuzz_dicom_series | fuzz_dicomdir) extra=(-fork=1) ;; esac
  echo "=== $h: ${seconds}s from fuzz/corpus/${corpus[$h]}"
  if build/fuzz/fuzz/$h "${extra[@]}" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=$rss -malloc_limit_mb=$rss \
       -artifact_prefix="$work/$h-" -print_final_stats=1 \
       "$work/$h" "$PWD/fuzz/corpus/${corpus[$h]}" > "$work/$h.log" 2>&1; then
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|cov:" "$work/$h.log" | tail -3
    passed=$((passed + 1))
  else
    broken=$((broken + 1))
    failed=1
    tail -40 "$work/$h.log"
    mkdir -p build/fuzz/artifacts && cp "$work/$h-"* build/fuzz/artifacts/ 2>/dev/null && ls build/fuzz/artifacts || true
    echo "=== $h FAILED"
  fi
done
rm -rf /dev/shm/zxfuzz-series /dev/shm/zxfuzz-dicomdir-* /dev/shm/zxfuzz-cli-* /dev/shm/zxfuzz-viewer-*
echo "fuzz: $passed passed, $broken failed"
exit $failed
