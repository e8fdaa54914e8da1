#!/usr/bin/env bash
# `make test-debian13`: builds and tests this tree in a Debian 13 (trixie) system of its own. The system is
# made once with debootstrap, from the Debian archive this machine's apt already uses, and kept in
# $VORLANE_DEBIAN13_ROOT (default /var/tmp/vorlane-debian13) for the next run; scripts/deps.sh installs the
# packages inside it; the tree is copied in (without build folders); the whole suite runs there, the
# end-to-end window tests included, with warnings as errors. Needs root (or sudo) for debootstrap and chroot.
# With --prepare it only makes the system and installs the packages in it (CI does that while the Debian 12
# suites run), and builds and tests nothing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
root="${VORLANE_DEBIAN13_ROOT:-/var/tmp/vorlane-debian13}"

if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "test-debian13: needs root (debootstrap, chroot) and there is no sudo" >&2; exit 1; }
  exec sudo --preserve-env=VORLANE_DEBIAN13_ROOT bash "$0" "$@"
fi

# The archive apt uses here: the first Debian URI of its sources (deb822 or one-line form).
mirror="$(grep -hoE '^URIs: *http[^ ]*/debian/?$' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1 | sed 's/^URIs: *//')"
if [ -z "$mirror" ]; then
  mirror="$(grep -hoE '^deb +(\[[^]]*\] +)?http[^ ]*/debian/? ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
    | head -1 | awk '{print $NF}')"
fi
mirror="${mirror:-http://deb.debian.org/debian}"

if [ ! -f "$root/.vorlane-debian13" ]; then
  command -v debootstrap >/dev/null || {
    echo "test-debian13: installing debootstrap" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >&2
  }
  rm -rf "$root"
  echo "test-debian13: making a Debian 13 system in $root from $mirror" >&2
  start=$(date +%s)
  debootstrap --variant=minbase --include=ca-certificates trixie "$root" "$mirror" >&2
  echo "test-debian13: system made in $(( $(date +%s) - start )) s" >&2
  touch "$root/.vorlane-debian13"
fi

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
mountpoint -q "$root/proc" || { mount -t proc proc "$root/proc"; mounted+=("$root/proc"); }
mountpoint -q "$root/dev" || { mount --rbind /dev "$root/dev"; mounted+=("$root/dev"); }
mkdir -p "$root/dev/shm"
mountpoint -q "$root/dev/shm" || { mount -t tmpfs -o mode=1777 shm "$root/dev/shm"; mounted+=("$root/dev/shm"); }
mountpoint -q "$root/tmp" || { mount -t tmpfs -o mode=1777,size=8g tmp "$root/tmp"; mounted+=("$root/tmp"); }
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

if [ "${1:-}" = "--prepare" ]; then
  mkdir -p "$root/work/deps"
  cp "$here/scripts/deps.sh" "$root/work/deps/deps.sh"
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb \
    /bin/bash /work/deps/deps.sh
  echo "test-debian13: the Debian 13 system and its packages are ready" >&2
  exit 0
fi

# The tree as it is here, and the corpus beside it when this checkout has one.
work="$root/work"
rm -rf "$work/vorlane"
mkdir -p "$work/vorlane"
tar -C "$here" --exclude=./build --exclude=./build-asan --exclude=./build-debian13 --exclude=./.git -cf - . \
  | tar -C "$work/vorlane" -xf -
if [ -d "$here/../shared/fixtures" ] && [ ! -d "$work/shared/fixtures" ]; then
  mkdir -p "$work/shared"
  cp -a "$here/../shared/fixtures" "$work/shared/fixtures"
fi

start=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb \
  /bin/bash -c 'cd /work/vorlane && bash scripts/deps.sh && make BUILD=build-debian13 test-build' || status=$?
echo "test-debian13: Debian 13 packages, build and suite took $(( $(date +%s) - start )) s" >&2
exit $status
