#!/usr/bin/env bash
# Checks a built Debian package of the game on this machine:
#   lintian      no error and no warning;
#   install      apt installs it (as root, or with sudo);
#   menu start   the menu entry's command starts the game under Xvfb and keeps the files in
#                $XDG_DATA_HOME/tintmaze (check_menu_start.py);
#   manual page  man finds tintmaze(6);
#   purge        apt purges it, and every path it brought that did not exist before is gone.
# The package is purged again at the end whatever failed. The last line is
# "package checks: PASSED FAILED".
#   packaging/check_package.sh tintmaze_VERSION_ARCH.deb
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
deb=$(realpath "$1")
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

install_package() {
    "${apt_get[@]}" install --no-install-recommends "$deb" >/dev/null && installed
}

find_manual_page() {
    local page
    page=$(man -w "$package") && [[ "$page" == */man6/$package.6* ]] && echo "$page"
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
check "apt install" install_package
check "menu start" python3 "$here/check_menu_start.py" /usr/share/applications/$package.desktop
check "manual page" find_manual_page
check "purge" purge_leaves_nothing
echo "package checks: $good $bad"
