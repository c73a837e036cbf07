# shellcheck shell=bash
# Building the Debian package as Debian's build daemons do: in a fresh chroot of a Debian release
# that holds only build-essential (mmdebstrap's buildd variant) and the package's Build-Depends,
# as a user other than root. Sourced by check_package.sh and release.sh; needs root (chroot,
# namespaces).
#
# The release is this machine's own unless buildd_release names another (bookworm, trixie, sid).
# Its chroot's base is a tarball in $TINTMAZE_CI_CACHE (/var/cache/tintmaze-ci unless set), made
# by the first run and again once it is a week old; every other run only unpacks it.

buildd_cache=${TINTMAZE_CI_CACHE:-/var/cache/tintmaze-ci}
buildd_base_days=7

# This machine's release: its code name, or sid for unstable and testing (no version number).
buildd_host_release() {
    (. /etc/os-release && if [ -n "${VERSION_ID:-}" ]; then echo "$VERSION_CODENAME"; else echo sid; fi)
}
buildd_release=${buildd_release:-$(buildd_host_release)}

buildd_base() {
    echo "$buildd_cache/$buildd_release-buildd.tar"
}

# Makes the base tarball when it is missing or old, from Debian's mirror (with the updates and
# security suites for a stable release, mmdebstrap's choice). Unstable's Release file is valid
# for a week only, so a mirror that lags behind the clock would refuse it: unstable moves anyway.
buildd_ensure_base() {
    local base options=()
    base=$(buildd_base)
    [ -n "$(find "$base" -mtime -"$buildd_base_days" 2>/dev/null)" ] && return 0
    mkdir -p "$buildd_cache"
    [ "$buildd_release" = sid ] && options+=(--aptopt='Acquire::Check-Valid-Until "false"')
    echo "making the chroot base $base"
    mmdebstrap --quiet --variant=buildd --format=tar --dpkgopt=force-unsafe-io \
        --aptopt='Acquire::Languages "none"' "${options[@]}" "$buildd_release" "$base.new.$$" &&
        mv "$base.new.$$" "$base"
}

# buildd_unpack ROOT: a fresh chroot in the empty or missing folder ROOT, with the package lists
# of today.
buildd_unpack() {
    local root=$1
    mkdir -p "$root" && tar -C "$root" -xf "$(buildd_base)" &&
        cp /etc/resolv.conf "$root/etc/resolv.conf" &&
        buildd_quietly "$root" apt-get update
}

# buildd_run ROOT COMMAND...: runs COMMAND as root in the chroot, in mount, process and host-name
# namespaces of its own with /proc and /dev/shm mounted, so nothing stays mounted or running
# when it ends. BUILDD_HOSTNAME, when set, is the host name inside; BUILDD_BINDS, when set, lists
# what else to mount there, as FROM:TO pairs separated by spaces (a folder or a device).
buildd_run() {
    local root=$1
    shift
    unshare --mount --pid --uts --fork --kill-child sh -c '
        root=$1 name=$2 binds=$3
        shift 3
        [ -z "$name" ] || hostname "$name"
        # The root a mount of its own, so that a chroot inside can have namespaces too.
        mount --bind "$root" "$root" && mount -t proc proc "$root/proc" &&
            mount -t tmpfs -o mode=1777 shm "$root/dev/shm" || exit 1
        for bind in $binds; do
            from=${bind%%:*} to=$root${bind#*:}
            if [ -d "$from" ]; then mkdir -p "$to"; else [ -e "$to" ] || touch "$to"; fi
            mount --bind "$from" "$to" || exit 1
        done
        exec chroot "$root" "$@"' \
        sh "$root" "${BUILDD_HOSTNAME:-}" "${BUILDD_BINDS:-}" "$@"
}

# buildd_quietly ROOT COMMAND...: buildd_run with the output added to ROOT.log, whose end it
# shows when the command fails.
buildd_quietly() {
    local root=$1
    buildd_run "$@" >>"$root.log" 2>&1 || { tail -n 20 "$root.log"; return 1; }
}

# buildd_install ROOT PACKAGE...: installs packages in the chroot, without their recommends as
# Debian's build daemons do.
buildd_install() {
    local root=$1
    shift
    buildd_quietly "$root" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "$@"
}

# buildd_build_deps ROOT SOURCE_TAR: installs the Build-Depends of the source in the chroot, in
# the same way.
buildd_build_deps() {
    local root=$1 source=$2 deps=/tmp/build-deps
    mkdir -p "$root$deps" && tar -C "$root$deps" -xf "$source" ./debian/control &&
        buildd_quietly "$root" env DEBIAN_FRONTEND=noninteractive \
            apt-get build-dep -y -q --no-install-recommends "$deps"
}

# buildd_build ROOT SOURCE_TAR FOLDER USER UMASK OUT [VARIABLE=VALUE... [-- WRAPPER...]]:
# unpacks SOURCE_TAR into FOLDER in the chroot as USER (made when missing) under UMASK and runs
# `dpkg-buildpackage --build=binary` there through WRAPPER, in a clean environment of PATH,
# DEB_BUILD_OPTIONS, a HOME that does not exist (as on Debian's build daemons) and the given
# VARIABLE=VALUE; a HOME given there is made. Copies the .deb files and the log (build.log)
# into OUT.
buildd_build() {
    local root=$1 source=$2 folder=$3 user=$4 mask=$5 out=$6 vars=(HOME=/nonexistent)
    shift 6
    while [ $# -gt 0 ] && [ "$1" != -- ]; do vars+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    local parent=${folder%/*} home
    home=$(printf '%s\n' "${vars[@]}" | sed -n 's/^HOME=//p' | tail -n 1)
    mkdir -p "$out" "$root$parent" && cp "$source" "$root/tmp/source.tar" || return 1
    buildd_run "$root" sh -c 'id -u "$1" >/dev/null 2>&1 || useradd --home-dir "$2" "$1"
        [ "$2" = /nonexistent ] || install -d -o "$1" -g "$1" "$2"
        chown "$1:" "$3" && chmod a+r /tmp/source.tar' sh "$user" "$home" "$parent" || return 1
    buildd_run "$root" runuser -u "$user" -- env -i PATH=/usr/bin:/bin \
        DEB_BUILD_OPTIONS="parallel=$(nproc)" "${vars[@]}" sh -c '
        umask "$1" && mkdir "$2" && cd "$2" && tar -xf /tmp/source.tar || exit 1
        shift 2
        exec "$@" dpkg-buildpackage --build=binary --no-sign' \
        sh "$mask" "$folder" "$@" >"$out/build.log" 2>&1 || {
        grep -E -A2 'CMake Error|error:' "$out/build.log" | cut -c 1-200 | head -n 30
        echo "log: $out/build.log"
        return 1
    }
    cp "$root$parent"/*.deb "$out/"
}
