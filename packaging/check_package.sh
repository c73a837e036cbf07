#!/usr/bin/env bash
# Builds the Debian package of a source tarball as Debian's build daemons do and checks it:
#   clean-chroot build  in a fresh chroot of this machine's Debian release that holds only
#                       build-essential and the Build-Depends, as a user other than root
#                       (buildd.sh);
#   lintian             no error and no warning from this release's lintian on the source
#                       package and on the .deb of that build;
#   reproducible        a second build in that chroot in another folder, as another user with
#                       another home, umask, locale, time zone and host name, 398 days later
#                       (faketime), gives the same .deb files byte for byte; diffoscope shows
#                       what differs;
#   autopkgtest         the tests of debian/tests on the package as installed on this machine
#                       (the null runner, which installs it with apt);
#   hardening           blhc finds nothing in the build's log, and the installed program is PIE
#                       with full RELRO, bind-now, the stack protector and fortify, and has
#                       each control-flow mark the toolchain can give (hardening-check);
#   purge               apt purges it, and every path it brought that did not exist before is gone.
# Needs root (it asks sudo otherwise). The package is purged again at the end whatever failed.
# WORK is made anew: the .deb files land in WORK/build, with the build's log. The last line is
# "package checks: PASSED FAILED".
#   packaging/check_package.sh SOURCE_TAR WORK
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo bash "$0" "$@"

here=$(cd "$(dirname "$0")" && pwd)
. "$here/buildd.sh"
source_tar=$(realpath "$1")
work=$(realpath -m "$2")
package=tintmaze
root=$work/chroot
apt_get=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 -y -q)
good=0 bad=0

# check NAME COMMAND...: runs one check, prints its verdict with its time and counts it.
check() {
    local name=$1 start=$SECONDS
    shift
    if "$@"; then
        echo "package: $name: ok ($((SECONDS - start)) s)"
        good=$((good + 1))
    else
        echo "package: $name: FAILED ($((SECONDS - start)) s)"
        bad=$((bad + 1))
        return 1
    fi
}

installed() {
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'
}

deb() {
    echo "$work/build/${package}_"*.deb
}

build_clean() {
    buildd_ensure_base && buildd_unpack "$root" && buildd_build_deps "$root" "$source_tar" &&
        buildd_build "$root" "$source_tar" /build/$package "$package-builder" 0022 \
            "$work/build" LC_ALL=C.UTF-8
}

# This release's lintian on the source package (made here from SOURCE_TAR with dpkg-source) and
# on the .deb, as a user other than root, as lintian asks, on a copy that user can read wherever
# WORK is: no error and no warning. The informational and pedantic tags are shown; those that
# stay are explained in debian/control. Standards-Version follows the newest release the package
# builds on, so an older release's lintian, which knows its policy only up to its own, finds it
# newer than that: that tag is left out.
run_lintian() {
    local copy status=0
    copy=$(mktemp -d) && chmod 755 "$copy" && cp "$(deb)" "$copy/" &&
        mkdir "$copy/$package" && tar -C "$copy/$package" -xf "$source_tar" &&
        chown -R nobody: "$copy" || return 1
    runuser -u nobody -- sh -c 'cd "$1" && dpkg-source --build "$2" >/dev/null' \
        sh "$copy" "$package" || status=$?
    [ "$status" -ne 0 ] || runuser -u nobody -- lintian --fail-on error,warning --display-info \
        --pedantic --suppress-tags newer-standards-version "$copy/"*.dsc "$copy/"*.deb ||
        status=$?
    rm -rf "$copy"
    return "$status"
}

# Builds again with everything varied that may leak into a package, and compares the .deb files.
build_again() {
    local locale=fr_CH.UTF-8 debs first report differs=0
    buildd_install "$root" locales faketime &&
        echo "$locale UTF-8" >"$root/etc/locale.gen" && buildd_quietly "$root" locale-gen &&
        BUILDD_HOSTNAME=another-host buildd_build "$root" "$source_tar" \
            /build/another/folder/$package-again someone-else 0077 "$work/again" \
            HOME=/home/someone-else LANG=$locale LANGUAGE=fr_CH:fr TZ=GMT-14 NO_FAKE_STAT=1 \
            -- faketime -f +398d || return 1
    debs=$(cd "$work/build" && echo *.deb)
    [ "$(cd "$work/again" && echo *.deb)" = "$debs" ] ||
        { echo "the second build made other files: $(cd "$work/again" && echo *.deb)"; return 1; }
    for first in "$work/build/"*.deb; do
        cmp -s "$first" "$work/again/${first##*/}" && continue
        differs=1
        report=$work/diffoscope-${first##*/}.txt
        diffoscope --text "$report" "$first" "$work/again/${first##*/}"
        echo "${first##*/} differs; the first differences (all in $report):"
        grep -E '^[│ ]*(├──|[-+][^-+])' "$report" | head -n 40
    done
    [ "$differs" -eq 0 ] && echo "the same byte for byte: $debs"
}

# The null runner installs the package and the tests' dependencies on this machine with apt,
# waiting for apt's lock like the other steps here.
run_autopkgtest() {
    local status=0
    mkdir -p "$work/source" && tar -C "$work/source" -xf "$source_tar" || return 1
    { cat /etc/apt/apt.conf 2>/dev/null; echo 'DPkg::Lock::Timeout "900";'; } >"$work/apt.conf"
    APT_CONFIG=$work/apt.conf autopkgtest --output-dir "$work/autopkgtest" \
        --summary "$work/autopkgtest.summary" "$(deb)" "$work/source/" -- null \
        >"$work/autopkgtest.log" 2>&1 || status=$?
    cat "$work/autopkgtest.summary" 2>/dev/null
    [ "$status" -eq 0 ] || tail -n 40 "$work/autopkgtest.log"
    [ "$status" -eq 0 ] && installed
}

# Whether this toolchain's start-up files carry the GNU property matching PATTERN (readelf -n).
# The linker keeps such a mark in a program only when every object linked in has it, and the C
# library's crti.o and Scrt1.o are objects the game does not build: where they lack it, no
# program of this toolchain can have it, so asking for it would test the toolchain, not the game.
toolchain_marks() {
    local object
    for object in crti.o Scrt1.o; do
        readelf -n "$(gcc -print-file-name="$object")" | grep -q "Properties: .*$1" || return 1
    done
}

# blhc on the build's log, and hardening-check on the installed program. Control-flow protection
# (x86's IBT and SHSTK) and branch protection (AArch64's BTI and PAC, which a newer
# hardening-check asks for everywhere) are asked for only where the toolchain can give them:
# Debian's C library has neither mark in its start-up files on amd64.
check_hardening() {
    local programs options=()
    blhc "$work/build/build.log" || return 1
    mapfile -t programs < <(dpkg -L "$package" | grep '^/usr/games/')
    toolchain_marks 'x86 feature: IBT, SHSTK' || options+=(--nocfprotection)
    grep -q nobranchprotection "$(command -v hardening-check)" &&
        ! toolchain_marks 'AArch64 feature: BTI, PAC' && options+=(--nobranchprotection)
    [ ${#programs[@]} -gt 0 ] && hardening-check "${options[@]}" "${programs[@]}"
}

# Every path in the package that did not exist before installing must be gone after purging.
purge_leaves_nothing() {
    "${apt_get[@]}" purge "$package" >/dev/null || return 1
    ! installed || return 1
    local path leftover=0
    while IFS= read -r path; do
        [ -e "$path" ] && { echo "left behind: $path"; leftover=1; }
    done <"$work/new-paths"
    [ "$leftover" -eq 0 ] && echo "$(wc -l <"$work/new-paths") paths of the package gone"
}

# The paths the package brings that this machine does not have yet.
list_new_paths() {
    dpkg-deb --fsys-tarfile "$(deb)" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' |
        while IFS= read -r path; do [ -e "$path" ] || echo "$path"; done >"$work/new-paths"
}

rm -rf "$work"
mkdir -p "$work"
trap 'installed && "${apt_get[@]}" purge "$package" >/dev/null; rm -rf "$root"' EXIT
if installed; then
    echo "package: $package was installed already; purging it first"
    "${apt_get[@]}" purge "$package" >/dev/null
fi

if check "clean-chroot build" build_clean; then
    echo "package: built $(deb) ($(stat -c %s "$(deb)") bytes)"
    list_new_paths
    check "lintian" run_lintian || true
    check "reproducible" build_again || true
    rm -rf "$root"
    check "autopkgtest" run_autopkgtest || true
    check "hardening" check_hardening || true
    check "purge" purge_leaves_nothing || true
fi
echo "package checks: $good $bad"
