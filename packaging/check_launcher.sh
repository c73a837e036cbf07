#!/usr/bin/env bash
# Runs the menu launcher with a stand-in for the game that prints the folder it runs in, and
# checks that folder for each kind of XDG_DATA_HOME, and that the launcher created it.
#   packaging/check_launcher.sh packaging/start-from-menu.in
set -euo pipefail

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '#!/bin/sh\npwd\n' >"$scratch/game"
chmod +x "$scratch/game"
sed "s|@TINTMAZE_PROGRAM_PATH@|$scratch/game|" "$1" >"$scratch/launcher"
home="$scratch/home"
mkdir "$home"
failures=0

# expect CASE FOLDER [VARIABLE=VALUE]: the launcher, started from / with a clean environment,
# runs the game in FOLDER.
expect() {
    local case=$1 folder=$2 got
    shift 2
    got=$(cd / && env -i HOME="$home" "$@" sh "$scratch/launcher") || got="(launcher failed)"
    if [ "$got" = "$folder" ] && [ -d "$folder" ]; then
        echo "$case: runs in $folder"
    else
        echo "$case: ran in $got, expected $folder" >&2
        failures=$((failures + 1))
    fi
}

expect "XDG_DATA_HOME unset" "$home/.local/share/tintmaze"
expect "XDG_DATA_HOME empty" "$home/.local/share/tintmaze" XDG_DATA_HOME=
expect "XDG_DATA_HOME relative" "$home/.local/share/tintmaze" XDG_DATA_HOME=data
expect "XDG_DATA_HOME absolute" "$scratch/data/tintmaze" XDG_DATA_HOME="$scratch/data"
expect "XDG_DATA_HOME with a space" "$scratch/my data/tintmaze" XDG_DATA_HOME="$scratch/my data"
[ "$failures" -eq 0 ]
