#!/usr/bin/env bash
# Runs `./dev test STAGE...` on another Debian release as a new user of it would: in a fresh
# chroot of that release's buildd base (buildd.sh, cached as for the package's build), with the
# source tree copied in and nothing else installed, so that ./dev itself installs everything.
# Inside, the package stage builds in a chroot of that release too, lints with its lintian and
# runs its autopkgtest there. The chroot gets /proc, /dev/shm, /dev/fuse (the tests' FUSE
# folders), /dev/pts, the cache of chroot bases and a cache of downloaded packages per release
# ($TINTMAZE_CI_CACHE/apt-RELEASE); it is removed at the end. Its last line is that of ./dev:
# "checks: N passed, N failed".
#   packaging/release.sh SOURCE_TAR RELEASE WORK STAGE...
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo bash "$0" "$@"

here=$(cd "$(dirname "$0")" && pwd)
source_tar=$(realpath "$1")
buildd_release=$2
. "$here/buildd.sh"
work=$(realpath -m "$3")
shift 3
root=$work/chroot
packages=$buildd_cache/apt-$buildd_release

rm -rf "$work"
mkdir -p "$work" "$packages/partial"
trap 'rm -rf "$root"' EXIT
start=$SECONDS
if ! buildd_ensure_base || ! buildd_unpack "$root"; then
    echo "checks: 0 passed, 1 failed"
    exit 1
fi
mkdir -p "$root/src/tintmaze" && tar -C "$root/src/tintmaze" -xf "$source_tar"
echo "a fresh $buildd_release chroot in $root ($((SECONDS - start)) s)"
binds="$buildd_cache:$buildd_cache $packages:/var/cache/apt/archives"
[ -c /dev/fuse ] && binds+=" /dev/fuse:/dev/fuse"
[ -d /dev/pts ] && binds+=" /dev/pts:/dev/pts"  # for the terminal log of apt and dpkg
BUILDD_BINDS=$binds BUILDD_HOSTNAME=tintmaze-$buildd_release buildd_run "$root" \
    env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 TINTMAZE_CI_CACHE="$buildd_cache" \
    TINTMAZE_FUZZ_SECONDS="${TINTMAZE_FUZZ_SECONDS:-60}" /src/tintmaze/dev test "$@"
