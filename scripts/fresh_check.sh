#!/usr/bin/env bash
# Developer tool (not part of CI): proves that the README's two commands work
# on a really fresh Debian 12. Builds a minimal bookworm root with debootstrap
# (cached as a tarball), unpacks it into a new temporary folder, puts a clean
# clone of this repository (committed HEAD only) at /root/zerebrix, and runs
# ./run.sh and then ./test.sh there as root in a clean environment without a
# display. Needs root; installs debootstrap with apt-get when it is missing.
#
# Usage: scripts/fresh_check.sh [--keep] [--no-cache] [--smoke CMD]
#   --keep        keep the root afterwards for inspection (unmounted)
#   --no-cache    debootstrap afresh and replace the cached base tarball
#   --smoke CMD   (dev) run only CMD in the root instead of run.sh/test.sh
#
# Environment:
#   MIRROR           Debian mirror (default: the host's apt sources)
#   SECURITY_MIRROR  security mirror (default: the host's apt sources)
#   COMPONENTS       archive components (default: the host's, else "main")
#   VARIANT          debootstrap variant: minbase (default) or default
#   FRESH_EXTRA      command string run in the root after test.sh
#   FRESH_CACHE      cache folder (default /var/cache/zerebrix-fresh)
#   FRESH_TMP        folder for the temporary roots (default /var/tmp)
#   FRESH_LOGS       log folder (default /var/tmp/zerebrix-fresh-logs)
#
# Exit status: 0 when every command passed (and run.sh left its PNG),
# 1 when one failed, 2 when the root could not be set up.
set -euo pipefail

SUITE=bookworm
CACHE_DIR=${FRESH_CACHE:-/var/cache/zerebrix-fresh}
TMP_BASE=${FRESH_TMP:-/var/tmp}
LOG_DIR=${FRESH_LOGS:-/var/tmp/zerebrix-fresh-logs}
VARIANT=${VARIANT:-minbase}
PROJECT_IN_ROOT=/root/zerebrix
CHROOT_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

usage() { sed -n '/^# Usage:/,/^# 1 when/s/^# \{0,1\}//p' "$0"; }
say() { printf '\n=== fresh_check: %s\n' "$*"; }
die() { printf 'fresh_check: error: %s\n' "$*" >&2; exit 2; }

keep=0 no_cache=0 smoke=""
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1 ;;
    --no-cache) no_cache=1 ;;
    --smoke) [ $# -ge 2 ] || die "--smoke needs a command"; smoke=$2; shift ;;
    --smoke=*) smoke=${1#--smoke=} ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; die "unknown argument: $1" ;;
  esac
  shift
done

[ "$(id -u)" -eq 0 ] || die "must run as root (debootstrap, chroot, mount)"
case "$VARIANT" in
  minbase) variant_args=(--variant=minbase); cache_name=$SUITE-base ;;
  default) variant_args=(); cache_name=$SUITE-base-default ;;
  *) die "VARIANT must be minbase or default" ;;
esac
CACHE_TAR=$CACHE_DIR/$cache_name.tar
CACHE_INFO=$CACHE_DIR/$cache_name.info

start_us=${EPOCHREALTIME/./}
REPO=$(cd "$(dirname "$0")/.." && pwd)
git_() { git -c safe.directory="$REPO" -C "$REPO" "$@"; }
git_ rev-parse --git-dir >/dev/null 2>&1 || die "$REPO is not a git repository"

now_us() { local t=$EPOCHREALTIME; echo "${t/./}"; }
secs_since() { echo $(( ($(now_us) - $1) / 1000000 )); }
fmt_secs() { printf '%ss (%d:%02d)' "$1" $(($1 / 60)) $(($1 % 60)); }

# --- mirror and components from the host's apt sources -------------------
# Prints "URI SUITE COMPONENTS..." for each enabled "deb" entry, from both
# deb822 *.sources files and one-line *.list files.
host_sources() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -r "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no")
          for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
            print u[i], s[j], comps
        types = ""; enabled = ""; comps = ""; nu = 0; ns = 0
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      {
        key = tolower($1); sub(/:$/, "", key)
        val = $0; sub(/^[^:]*:[ \t]*/, "", val)
        if (key == "types") types = val
        else if (key == "enabled") enabled = tolower(val)
        else if (key == "uris") nu = split(val, u, /[ \t]+/)
        else if (key == "suites") ns = split(val, s, /[ \t]+/)
        else if (key == "components") comps = val
      }
      END { flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -r "$f" ] || continue
    awk '$1 == "deb" {
           sub(/[ \t]*#.*/, ""); sub(/\[[^]]*\][ \t]*/, "")
           $1 = ""; sub(/^ /, ""); print }' "$f"
  done
}
sources=$(host_sources 2>/dev/null || true)
host_uri() { awk -v s="$1" '$2 == s { print $1; exit }' <<<"$sources"; }
host_comps() { awk -v s="$1" '$2 == s { $1 = ""; $2 = ""; sub(/^ +/, ""); print; exit }' <<<"$sources"; }
MIRROR=${MIRROR:-$(host_uri "$SUITE")}
MIRROR=${MIRROR:-http://deb.debian.org/debian}
SECURITY_MIRROR=${SECURITY_MIRROR:-$(host_uri "$SUITE-security")}
SECURITY_MIRROR=${SECURITY_MIRROR:-http://deb.debian.org/debian-security}
COMPONENTS=${COMPONENTS:-$(host_comps "$SUITE")}
COMPONENTS=${COMPONENTS:-main}
MIRROR=${MIRROR%/} SECURITY_MIRROR=${SECURITY_MIRROR%/}

# --- mounts, processes and safe deletion ----------------------------------
# Mount points at or below $1, deepest first.
mounts_under() {
  findmnt -rn -o TARGET | awk -v d="$1" '$0 == d || index($0, d "/") == 1' | sort -r
}
# Processes whose root directory is $1 or below it: only ones this script
# started (the chroot's commands and anything they left running).
pids_in_root() {
  local p r
  for p in /proc/[0-9]*; do
    r=$(readlink "$p/root" 2>/dev/null) || continue
    if [ "$r" = "$1" ] || [[ $r == "$1"/* ]]; then echo "${p#/proc/}"; fi
  done
}
stop_processes_in() {
  local pids tries
  mapfile -t pids < <(pids_in_root "$1")
  [ ${#pids[@]} -gt 0 ] || return 0
  echo "fresh_check: ending processes left in $1: ${pids[*]}"
  kill -TERM "${pids[@]}" 2>/dev/null || true
  for tries in 1 2 3 4 5 6 7 8 9 10; do
    mapfile -t pids < <(pids_in_root "$1")
    [ ${#pids[@]} -gt 0 ] || return 0
    [ "$tries" -lt 10 ] && sleep 0.5
  done
  kill -KILL "${pids[@]}" 2>/dev/null || true
  sleep 0.5
}
unmount_all_under() {
  local dir=$1 m attempt
  for attempt in 1 2 3; do
    [ -n "$(mounts_under "$dir")" ] || return 0
    stop_processes_in "$dir"
    while read -r m; do
      [ -n "$m" ] || continue
      if [ "$attempt" -lt 3 ]; then umount "$m" 2>/dev/null || true
      else umount -l "$m" || true; fi
    done < <(mounts_under "$dir")
  done
  [ -z "$(mounts_under "$dir")" ]
}
# Deletes a temporary root, but only after making sure nothing is mounted in
# it any more, and never across file systems.
remove_root() {
  local dir=$1 m
  [[ $dir == "$TMP_BASE"/zerebrix-fresh.* && -d $dir && ! -L $dir ]] \
    || { echo "fresh_check: refusing to delete '$dir'" >&2; return 1; }
  if ! unmount_all_under "$dir"; then
    echo "fresh_check: still mounted, NOT deleting $dir:" >&2
    mounts_under "$dir" >&2
    return 1
  fi
  for m in proc sys dev/shm dev/pts dev; do
    if mountpoint -q "$dir/$m" 2>/dev/null; then
      echo "fresh_check: $dir/$m is still a mount point, NOT deleting $dir" >&2
      return 1
    fi
  done
  rm -rf --one-file-system -- "$dir"
}

ROOT=""          # the root of this run
BOOTSTRAP_DIR="" # the debootstrap target while the cache is being made
cleaning=0
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  local rc=$?
  [ "$cleaning" -eq 0 ] || return 0
  cleaning=1
  set +e
  trap '' INT TERM HUP
  if [ -n "$BOOTSTRAP_DIR" ] && [ -d "$BOOTSTRAP_DIR" ]; then
    remove_root "$BOOTSTRAP_DIR"
    rm -f "$CACHE_TAR.tmp.$$"
  fi
  if [ -n "$ROOT" ] && [ -d "$ROOT" ]; then
    if [ "$keep" -eq 1 ]; then
      if unmount_all_under "$ROOT"; then
        echo "fresh_check: kept the root (unmounted): $ROOT"
        echo "fresh_check: delete it with: rm -rf --one-file-system $ROOT"
      else
        echo "fresh_check: kept the root, but could not unmount:" >&2
        mounts_under "$ROOT" >&2
      fi
    else
      remove_root "$ROOT" && echo "fresh_check: removed $ROOT"
    fi
  fi
  exit "$rc"
}
trap cleanup EXIT
trap 'echo; echo "fresh_check: interrupted" >&2; exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# --- one run at a time -----------------------------------------------------
mkdir -p "$CACHE_DIR" "$LOG_DIR" "$TMP_BASE"
exec 9>"$CACHE_DIR/lock"
flock -n 9 || die "another fresh_check is running (lock $CACHE_DIR/lock)"
rm -f "$LOG_DIR"/*.log "$LOG_DIR/screenshot.png"   # only this run's logs

# --- the pristine base -----------------------------------------------------
need_debootstrap() {
  command -v debootstrap >/dev/null 2>&1 \
    && [ -f /usr/share/keyrings/debian-archive-keyring.gpg ] && return 0
  command -v apt-get >/dev/null 2>&1 || die "debootstrap is missing and there is no apt-get"
  say "installing debootstrap"
  DEBIAN_FRONTEND=noninteractive apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap debian-archive-keyring
}

make_base() {
  need_debootstrap
  say "debootstrap $SUITE ($VARIANT) from $MIRROR"
  BOOTSTRAP_DIR=$(mktemp -d "$TMP_BASE/zerebrix-fresh.XXXXXX")
  chmod 755 "$BOOTSTRAP_DIR"
  local t0; t0=$(now_us)
  if ! debootstrap "${variant_args[@]}" --components=main "$SUITE" "$BOOTSTRAP_DIR" "$MIRROR"; then
    cp "$BOOTSTRAP_DIR/debootstrap/debootstrap.log" "$LOG_DIR/debootstrap.log" 2>/dev/null || true
    die "debootstrap failed (log: $LOG_DIR/debootstrap.log)"
  fi
  local secs; secs=$(secs_since "$t0")
  echo "fresh_check: debootstrap took $(fmt_secs "$secs")"
  unmount_all_under "$BOOTSTRAP_DIR" || die "debootstrap left mounts in $BOOTSTRAP_DIR"
  rm -rf --one-file-system -- "$BOOTSTRAP_DIR"/var/cache/apt/archives/*.deb
  tar -C "$BOOTSTRAP_DIR" --numeric-owner --xattrs --xattrs-include='*' --acls \
    -cf "$CACHE_TAR.tmp.$$" .
  mv -f "$CACHE_TAR.tmp.$$" "$CACHE_TAR"
  {
    echo "created: $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
    echo "suite: $SUITE"
    echo "variant: $VARIANT"
    echo "mirror: $MIRROR"
    echo "debian_version: $(cat "$BOOTSTRAP_DIR/etc/debian_version")"
    echo "debootstrap: $(dpkg-query -W -f='${Version}' debootstrap 2>/dev/null || echo '?')"
    echo "debootstrap_seconds: $secs"
  } >"$CACHE_INFO"
  remove_root "$BOOTSTRAP_DIR" || die "could not remove $BOOTSTRAP_DIR"
  BOOTSTRAP_DIR=""
  echo "fresh_check: cached the base: $CACHE_TAR ($(du -h "$CACHE_TAR" | cut -f1))"
}

if [ "$no_cache" -eq 1 ] || [ ! -s "$CACHE_TAR" ]; then
  make_base
else
  say "using the cached base $CACHE_TAR"
  sed 's/^/  /' "$CACHE_INFO" 2>/dev/null || true
fi

# --- this run's root --------------------------------------------------------
ROOT=$(mktemp -d "$TMP_BASE/zerebrix-fresh.XXXXXX")
say "unpacking the base into $ROOT"
t0=$(now_us)
tar -C "$ROOT" --numeric-owner --xattrs --xattrs-include='*' --acls -xpf "$CACHE_TAR"
chmod 755 "$ROOT"
echo "fresh_check: unpacked in $(fmt_secs "$(secs_since "$t0")")"

# The same suites as the host, so that package versions match.
cat >"$ROOT/etc/apt/sources.list" <<EOF
deb $MIRROR $SUITE $COMPONENTS
deb $MIRROR $SUITE-updates $COMPONENTS
deb $SECURITY_MIRROR $SUITE-security $COMPONENTS
EOF
echo "fresh_check: apt sources in the root:"; sed 's/^/  /' "$ROOT/etc/apt/sources.list"
# As in any chroot: packages must not start services here.
printf '#!/bin/sh\nexit 101\n' >"$ROOT/usr/sbin/policy-rc.d"
chmod 755 "$ROOT/usr/sbin/policy-rc.d"
rm -f "$ROOT/etc/resolv.conf"
cp -L /etc/resolv.conf "$ROOT/etc/resolv.conf"

# A clean clone: committed HEAD only, no build/ or work/ folders.
head=$(git_ rev-parse HEAD)
if [ -n "$(git_ status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "fresh_check: note: uncommitted changes in $REPO are not part of this check"
fi
git -c safe.directory="$REPO" -c safe.directory="$REPO/.git" \
  clone --quiet --no-local "$REPO" "$ROOT$PROJECT_IN_ROOT"
[ "$(git -C "$ROOT$PROJECT_IN_ROOT" rev-parse HEAD)" = "$head" ] \
  || die "the clone is not at HEAD $head"
echo "fresh_check: cloned $REPO at $(git_ log -1 --format='%h %s' HEAD) to $PROJECT_IN_ROOT"

# Mounts. Each one is made private so that nothing mounted in the root can
# propagate back into the host (on systemd hosts / is a shared mount).
mount -t proc proc "$ROOT/proc"
mount --bind /sys "$ROOT/sys";         mount --make-private "$ROOT/sys"
mount --bind /dev "$ROOT/dev";         mount --make-private "$ROOT/dev"
mount --bind /dev/pts "$ROOT/dev/pts"; mount --make-private "$ROOT/dev/pts"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$ROOT/dev/shm"
mount --make-private "$ROOT/dev/shm"

# Runs a command string in the root as root, in a clean environment without
# a display, from the project folder; output teed to a log outside the root.
# Sets last_rc and last_secs.
in_root() {
  local name=$1 cmd=$2 log=$LOG_DIR/$1.log t0
  say "$name: $cmd   (log $log)"
  t0=$(now_us)
  set +e
  # Anything the command leaves running in the root is ended when it
  # returns, so that the next command starts alone and tee sees the end.
  {
    # shellcheck disable=SC2016  # expanded by the shell inside the root
    env -i HOME=/root PATH="$CHROOT_PATH" LANG=C.UTF-8 TERM="${TERM:-dumb}" \
      /usr/sbin/chroot "$ROOT" /bin/bash -c 'cd "$1" && eval "$2"' bash "$PROJECT_IN_ROOT" "$cmd" \
      </dev/null 9>&-
    rc=$?
    stop_processes_in "$ROOT"
    exit "$rc"
  } 2>&1 | tee "$log"
  last_rc=${PIPESTATUS[0]}
  set -e
  last_secs=$(secs_since "$t0")
  echo "fresh_check: $name exit code $last_rc, took $(fmt_secs "$last_secs")"
}

echo "fresh_check: the root was ready $(fmt_secs "$(secs_since "$start_us")") after the start"

summary=() failed=0
if [ -n "$smoke" ]; then
  in_root smoke "$smoke"
  summary+=("smoke exit $last_rc (${last_secs}s)")
  [ "$last_rc" -eq 0 ] || failed=1
else
  in_root run ./run.sh
  run_rc=$last_rc run_secs=$last_secs
  # run.sh prints "... Screenshot: PATH" (a path inside the root).
  shot=$(sed -n 's/.*Screenshot: \(\/.*\.png\).*/\1/p' "$LOG_DIR/run.log" | tail -n 1)
  [ -n "$shot" ] || shot=$PROJECT_IN_ROOT/work/zerebrix-screenshot.png
  shot_host=$ROOT$shot
  echo "fresh_check: screenshot in the root: $shot"
  echo "fresh_check: screenshot on the host: $shot_host"
  if [ -f "$shot_host" ] && [ "$(head -c 8 "$shot_host" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; then
    shot_bytes=$(stat -c %s "$shot_host")
    cp "$shot_host" "$LOG_DIR/screenshot.png"
    echo "fresh_check: the PNG exists, $shot_bytes bytes (copy: $LOG_DIR/screenshot.png)"
    shot_desc="$shot ($shot_bytes bytes)"
  else
    rm -f "$LOG_DIR/screenshot.png"
    if [ -e "$shot_host" ]; then echo "fresh_check: $shot_host is not a PNG"
    else echo "fresh_check: no PNG at $shot_host"; fi
    shot_desc="$shot (missing)"
    failed=1   # run.sh must leave its screenshot
  fi
  in_root test ./test.sh
  test_rc=$last_rc test_secs=$last_secs
  summary+=("run.sh exit $run_rc (${run_secs}s)" "test.sh exit $test_rc (${test_secs}s)"
            "screenshot $shot_desc")
  [ "$run_rc" -eq 0 ] && [ "$test_rc" -eq 0 ] || failed=1
  # The Debian package from the release build: installed in the fresh
  # system, and the installed viewer makes a picture without a screen.
  in_root package 'cpack --config build/ci/CPackConfig.cmake -B /tmp/zxpkg >/dev/null &&
    ls /tmp/zxpkg/*.deb && DEBIAN_FRONTEND=noninteractive apt-get install -y -q /tmp/zxpkg/*.deb >/dev/null &&
    dpkg -s zerebrix | grep -E "^(Version|Depends):" &&
    test -f /usr/share/applications/zerebrix.desktop && test -f /usr/share/man/man1/zerebrix.1 &&
    cd work && /usr/bin/zerebrix --screenshot /tmp/zxpkg/installed.png --at 90,128,100 &&
    test -s /tmp/zxpkg/installed.png && echo "installed viewer: /tmp/zxpkg/installed.png" &&
    test -x /usr/libexec/zerebrix/zerebrix-dicom && cd .. &&
    if [ -f /usr/share/mricron/templates/ch2.nii.gz ]; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends python3-numpy >/dev/null &&
      /usr/bin/python3 scripts/make_dicom_series.py /usr/share/mricron/templates/ch2.nii.gz /tmp/zxpkg/series >/dev/null &&
      /usr/bin/zerebrix --screenshot /tmp/zxpkg/series.png /tmp/zxpkg/series &&
      test -s /tmp/zxpkg/series.png &&
      echo "installed viewer, DICOM series through zerebrix-dicom: /tmp/zxpkg/series.png";
    else echo "no mricron-data: the DICOM series check of the installed viewer is skipped"; fi'
  package_rc=$last_rc
  summary+=("package exit $package_rc (${last_secs}s)")
  [ "$package_rc" -eq 0 ] || failed=1
fi
if [ -n "${FRESH_EXTRA:-}" ]; then
  in_root extra "$FRESH_EXTRA"
  summary+=("extra exit $last_rc (${last_secs}s)")
  [ "$last_rc" -eq 0 ] || failed=1
fi

echo
line=$(printf '%s, ' "${summary[@]}")
echo "fresh_check: ${line%, }"
echo "fresh_check: logs in $LOG_DIR$([ "$keep" -eq 1 ] && echo "; root kept at $ROOT")"
exit "$failed"
