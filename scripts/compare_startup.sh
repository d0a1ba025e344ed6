#!/usr/bin/env bash
# Developer tool: times the start of the viewer against MRIcron from
# Debian, both opening the same head (Debian's T1 head of mricron-data),
# alternately in one run on a private X server: from the start of the
# program to its first visible window, as xdotool sees it. Then the
# viewer's resident memory with the head shown (VmRSS, and VmHWM, the
# peak since its start).
#
# Usage: scripts/compare_startup.sh [RUNS]
# Needs: mricron and mricron-data, xvfb, xdotool, and a built viewer
# (build/ci/zerebrix, or the path in $ZX).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
zx=${ZX:-build/ci/zerebrix}
head=/usr/share/mricron/templates/ch2.nii.gz
for need in mricron xdotool Xvfb; do
  command -v "$need" >/dev/null || { echo "compare_startup: $need is missing" >&2; exit 2; }
done
[ -x "$zx" ] || { echo "compare_startup: $zx is not built" >&2; exit 2; }
[ -f "$head" ] || { echo "compare_startup: mricron-data is missing" >&2; exit 2; }

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1

# Milliseconds from the start of "$@" to its first visible window.
visible() {
  local t0 pid t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 &
  pid=$!
  # Polled every few milliseconds (xdotool's own --sync waits half a
  # second between looks, too coarse to tell two programs apart).
  until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.005
  done
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
  if [ -n "${KEEP:-}" ]; then echo "$pid" > "$work/pid"; return; fi
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
}

ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(visible "$zx" "$head")")
  theirs+=("$(visible mricron "$head")")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
echo "start to a visible window, $runs runs each, medians:"
echo "  zerebrix $(median "${ours[@]}") ms   (${ours[*]})"
echo "  mricron  $(median "${theirs[@]}") ms   (${theirs[*]})"

# Memory with the head shown: the viewer left running for 3 s.
KEEP=1 visible "$zx" "$head" >/dev/null
pid=$(cat "$work/pid")
sleep 3
grep -E '^(VmRSS|VmHWM)' "/proc/$pid/status" | sed 's/^/  zerebrix /'
kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
