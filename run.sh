#!/usr/bin/env bash
# Installs what the viewer needs, builds it, makes the default volume
# "MR_Kopf.vmr" in the working folder ./work when it is missing, and starts
# the viewer there. Without a display the viewer runs under xvfb-run; a
# screenshot is saved once the volume is shown and the viewer is ended.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install_deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target zerebrix zxconvert

mkdir -p work
if [ ! -f work/MR_Kopf.vmr ]; then
  scan=/usr/share/mricron/templates/ch2.nii.gz
  if [ -f "$scan" ] && build/dev/zxconvert nifti "$scan" work/MR_Kopf.vmr; then
    echo "Default volume: the T1 head scan ch2 from Debian's mricron-data, converted."
    # The package's atlases on the same grid, for the "Lernen" menu.
    templates=$(dirname "$scan")
    for pair in aal:aal brodmann:brodmann jhu:JHU-WhiteMatter-labels-1mm ho:HarvardOxford-cort-maxprob-thr0-1mm; do
      atlas="$templates/${pair#*:}.nii.gz"
      [ -f "$atlas" ] && build/dev/zxconvert labels "$atlas" --like "$scan" "work/MR_Kopf.${pair%%:*}.vmr" ||
        echo "note: atlas ${pair#*:} not available"
    done
  else
    echo "Default volume: the head scan is not available here; using the synthetic head phantom."
    build/dev/zxconvert phantom work/MR_Kopf.vmr
  fi
fi
cd work
if [ -n "${DISPLAY:-}" ]; then
  exec ../build/dev/zerebrix
fi
shot="$PWD/zerebrix-screenshot.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  ../build/dev/zerebrix & pid=$!
  sleep 4
  import -window root "$0"
  kill $pid; wait $pid 2>/dev/null || true
' "$shot"
echo "No display: the viewer ran under Xvfb. Screenshot: $shot"
