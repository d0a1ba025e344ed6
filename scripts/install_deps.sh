#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Uses sudo when not run as root. Quiet when everything is there already.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-qpa-plugins
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libgdcm-dev libopenjp2-7-dev
  clang libclang-rt-14-dev clang-format-14 file
  fonts-dejavu-core fonts-liberation2 qt6-translations-l10n python3-pydicom python3-nibabel
  libminc-dev minc-tools
  xvfb xauth x11-utils imagemagick poppler-utils chromium-headless-shell
)
# The default head scan; optional (the phantom stands in without it).
OPTIONAL=(mricron-data)

missing=()
for p in "${PACKAGES[@]}" "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
optional_missing=()
for p in "${OPTIONAL[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || optional_missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#optional_missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for p in "${optional_missing[@]}"; do
  $SUDO apt-get install -y -q --no-install-recommends "$p" || echo "note: optional package $p could not be installed"
done
