#!/usr/bin/env bash
# Checks a built Debian package of the game on this machine:
#   lintian      no error and no warning;
#   autopkgtest  the tests of debian/tests in SOURCE_TREE on the package as installed on this
#                machine (the null runner, which installs it with apt; as root, or with sudo);
#   purge        apt purges it, and every path it brought that did not exist before is gone.
# The package is purged again at the end whatever failed. The last line is
# "package checks: PASSED FAILED".
#   packaging/check_package.sh tintmaze_VERSION_ARCH.deb SOURCE_TREE
set -euo pipefail

deb=$(realpath "$1")
source_tree=$(realpath "$2")
package=tintmaze
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
apt_get=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 -y -q)
good=0 bad=0

# check NAME COMMAND...: runs one check, prints its verdict and counts it.
check() {
    local name=$1 start=$SECONDS
    shift
    if "$@"; then
        echo "package: $name: ok ($((SECONDS - start)) s)"
        good=$((good + 1))
    else
        echo "package: $name: FAILED"
        bad=$((bad + 1))
    fi
}

installed() {
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'
}

run_lintian() {
    lintian --fail-on error,warning --info "$deb"
}

# The null runner installs the package and the tests' dependencies on this machine with apt,
# waiting for apt's lock like the other steps here.
run_autopkgtest() {
    local status=0
    { cat /etc/apt/apt.conf 2>/dev/null; echo 'DPkg::Lock::Timeout "900";'; } >"$scratch/apt.conf"
    "${sudo[@]}" env APT_CONFIG="$scratch/apt.conf" autopkgtest \
        --output-dir "$scratch/autopkgtest" --summary "$scratch/autopkgtest.summary" \
        "$deb" "$source_tree/" -- null \
        >"$scratch/autopkgtest.log" 2>&1 || status=$?
    cat "$scratch/autopkgtest.summary" 2>/dev/null
    [ "$status" -eq 0 ] || tail -n 40 "$scratch/autopkgtest.log"
    [ "$status" -eq 0 ] && installed
}

# Every path in the package that did not exist before installing must be gone after purging.
purge_leaves_nothing() {
    "${apt_get[@]}" purge "$package" >/dev/null || return 1
    ! installed || return 1
    local path leftover=0
    while IFS= read -r path; do
        [ -e "$path" ] && { echo "left behind: $path"; leftover=1; }
    done <"$scratch/new-paths"
    [ "$leftover" -eq 0 ] && echo "$(wc -l <"$scratch/new-paths") paths of the package gone"
}

scratch=$(mktemp -d)
trap 'installed && "${apt_get[@]}" purge "$package" >/dev/null; rm -rf "$scratch"' EXIT

if installed; then
    echo "package: $package was installed already; purging it first"
    "${apt_get[@]}" purge "$package" >/dev/null
fi
# The paths the package brings that this machine does not have yet.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' |
    while IFS= read -r path; do [ -e "$path" ] || echo "$path"; done >"$scratch/new-paths"

check "lintian" run_lintian
check "autopkgtest" run_autopkgtest
check "purge" purge_leaves_nothing
echo "package checks: $good $bad"
