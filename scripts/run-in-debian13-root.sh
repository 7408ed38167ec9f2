#!/usr/bin/env bash
# Runs a command in a Debian 13 "trixie" root, from the top of this source tree:
#
#   scripts/run-in-debian13-root.sh COMMAND [ARGS...]        (as root)
#   e.g. scripts/run-in-debian13-root.sh scripts/install-deps.sh
#        scripts/run-in-debian13-root.sh env CI=true cmake --workflow --preset ci
#
# The root is made once with `debootstrap --variant=minbase` from the Debian mirror apt uses on
# this machine, kept under /var/cache/vantorel-ci/debian13 (VANTOREL_CI_CACHE moves it), and made
# again when it is older than a week, so that it follows Debian's point releases. Inside it:
#   /src           this source tree, read-only
#   /src/build     the root's own build folder (the presets' binaryDir), kept between runs and
#                  emptied when the root is made again; the host's build/ is not touched
#   /var/cache/apt/archives, /var/cache/ccache
#                  downloaded packages and compiler cache, kept between runs
#   /proc /sys /dev, and fresh tmpfs on /dev/shm /tmp /run
# The command runs with a clean environment (no display, bus or home of the host's) in its own
# mount and PID namespaces: every mount and every process it leaves behind ends with it, even when
# it fails or is killed. Several commands may run in the root at once (they share its build folder).
set -euo pipefail

SOURCE=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${VANTOREL_CI_CACHE:-/var/cache/vantorel-ci}/debian13
ROOT=$CACHE/root
SUITE=trixie
MAX_AGE_DAYS=7

die() { echo "run-in-debian13-root: $*" >&2; exit 1; }

# A root directory is only ever removed when nothing is mounted below it: a bind mount of the
# source tree left there would otherwise be emptied with it.
remove_root() {
  local dir=$1
  [ -e "$dir" ] || return 0
  if findmnt -rn -o TARGET | grep -q -F -- "$dir/"; then
    die "$dir still has mounts below it; not removing it"
  fi
  rm -rf --one-file-system -- "$dir"
}

# The Debian mirror apt uses here (deb822 .sources or one-line .list), for the root's packages.
host_mirror() {
  local kind=$1 # debian or debian-security
  {
    grep -hs -E '^[[:space:]]*URIs:' /etc/apt/sources.list.d/*.sources | awk '{ for (i = 2; i <= NF; i++) print $i }' || true
    grep -hs -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
      sed -e 's/\[[^]]*\]//' | awk '{ print $2 }' || true
  } | grep -E "/${kind}/?\$" | head -n 1 | sed -e 's:/$::' || true
}

make_root() {
  local new=$ROOT.new mirror security
  mirror=$(host_mirror debian)
  security=$(host_mirror debian-security)
  mirror=${mirror:-http://deb.debian.org/debian}
  security=${security:-http://deb.debian.org/debian-security}
  echo "Making a Debian 13 root from $mirror (cache: $CACHE)"
  remove_root "$new"
  # debootstrap mounts proc and sys into the new root itself: in a namespace of their own, they
  # cannot outlive it.
  unshare --mount --propagation private \
    debootstrap --variant=minbase --cache-dir="$CACHE/archives" "$SUITE" "$new" "$mirror" >"$CACHE/debootstrap.log" 2>&1 ||
    { tail -n 20 "$CACHE/debootstrap.log" >&2; die "debootstrap failed (log: $CACHE/debootstrap.log)"; }
  cat >"$new/etc/apt/sources.list" <<EOF
deb $mirror $SUITE main
deb $mirror $SUITE-updates main
deb $security $SUITE-security main
EOF
  # Nothing installed in the root may start services.
  printf '#!/bin/sh\nexit 101\n' >"$new/usr/sbin/policy-rc.d"
  chmod +x "$new/usr/sbin/policy-rc.d"
  # The compiler cache is the CI's, not the project's: it comes with the root.
  run_inside "$new" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ccache >/dev/null'
  remove_root "$ROOT"
  mv "$new" "$ROOT"
  # A build folder configured with the old root's compilers is no use with the new one.
  rm -rf --one-file-system -- "$CACHE/build"
  # Packages no root has fetched for four weeks are superseded ones.
  find "$CACHE/archives" -maxdepth 1 -name '*.deb' -mtime +28 -delete
  date -u +%s >"$CACHE/made"
}

root_is_fresh() {
  [ -x "$ROOT/bin/sh" ] && [ -f "$CACHE/made" ] &&
    [ $(($(date -u +%s) - $(cat "$CACHE/made"))) -lt $((MAX_AGE_DAYS * 86400)) ]
}

# Runs the command in the root, in new mount and PID namespaces; the mounts are also undone by
# the inner side's trap.
run_inside() {
  unshare --mount --propagation private --pid --fork --kill-child -- "$0" --inside "$@"
}

inside() {
  local root=$1; shift
  mounted=()
  cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
      umount -R -l "${mounted[i]}" 2>/dev/null || true
    done
  }
  trap cleanup EXIT
  mnt() { # mount ARGS... TARGET
    mount "$@"
    mounted+=("${!#}")
  }
  # The root a mount of its own, so that / is a mount point in the chroot: tests that unshare
  # their own mount namespace there need that.
  mnt --bind "$root" "$root"
  mnt -t proc proc "$root/proc"
  mnt -t sysfs sysfs "$root/sys"
  mnt --rbind /dev "$root/dev"
  mount --make-rslave "$root/dev"
  mnt -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
  mnt -t tmpfs -o mode=1777 tmpfs "$root/tmp"
  mnt -t tmpfs -o mode=755 tmpfs "$root/run"
  mkdir -p "$root/run/lock" "$root/src" "$root/var/cache/ccache" "$CACHE/archives/partial" "$CACHE/ccache" "$CACHE/build"
  mnt --bind "$CACHE/archives" "$root/var/cache/apt/archives"
  mnt --bind "$CACHE/ccache" "$root/var/cache/ccache"
  if [ "$root" = "$ROOT" ]; then
    mnt --bind "$SOURCE" "$root/src"
    mount -o remount,bind,ro "$root/src"
    [ -d "$SOURCE/build" ] || mkdir "$SOURCE/build" # a mount point only; ignored by git
    mnt --bind "$CACHE/build" "$root/src/build"
  fi
  cp /etc/resolv.conf "$root/etc/resolv.conf"

  local launcher=()
  [ -x "$root/usr/bin/ccache" ] && launcher=(CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache)
  local status=0
  chroot "$root" /usr/bin/env -i \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM="${TERM:-dumb}" \
    ${CI:+CI="$CI"} CCACHE_DIR=/var/cache/ccache CCACHE_BASEDIR=/src "${launcher[@]}" \
    sh -c 'cd /src 2>/dev/null || cd /; exec "$@"' sh "$@" || status=$?
  return $status
}

if [ "${1:-}" = --inside ]; then
  shift
  inside "$@"
  exit
fi

[ $# -gt 0 ] || die "usage: $0 COMMAND [ARGS...]"
[ "$(id -u)" -eq 0 ] || die "must run as root (it mounts and chroots)"
command -v debootstrap >/dev/null || die "debootstrap is not installed (apt-get install debootstrap)"
mkdir -p "$CACHE/archives/partial"
# The root is made under an exclusive lock; runs in it share the lock, so it is never made again
# under a running command.
exec 9>"$CACHE/lock"
flock 9
root_is_fresh || make_root
flock -s 9
run_inside "$ROOT" "$@"
