#!/usr/bin/env bash
# Screenshots of the desktop viewer under Xvfb: the main window on a user (also with a
# filter), on a call handler and on the backup details, the message browser on a message
# backup (also with a filter), and the
# About, Help and two remap windows, saved as PNG files into OUT_DIR (default:
# ./screenshots).
#
# Usage: scripts/screenshots.sh [OUT_DIR]
# TDV_BUILD_DIR names an existing build folder with the test hooks (only the two programs
# are built there); without it the test build of scripts/build.sh is used.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$PWD/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [[ -n "${TDV_BUILD_DIR:-}" ]]; then
    dir="$TDV_BUILD_DIR"
    cmake --build "$dir" --target tarnis-data-viewer tdv >/dev/null
else
    dir="$("$here/scripts/build.sh" test | tail -n 1)"
fi
viewer="$dir/src/tarnis-data-viewer"
tdv="$dir/src/tdv"
grep -q TDV_SCREENSHOT "$viewer" ||
    { echo "$viewer has no screenshot aid: build it with -DTDV_TEST_HOOKS=ON" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is needed (Debian package xvfb)" >&2; exit 1; }

# Everything the program writes (settings, logs, extractions) goes to a scratch folder.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TDV_HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$TDV_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
"$tdv" make-sample "$work/sample" >/dev/null
directory="$(ls "$work"/sample/ZerithDBData_Backup_*.mdb | head -n 1)"
message="$(ls "$work"/sample/ZerithMessage_Backup_*.mdb | head -n 1)"

# shot NAME FILE [TYPE,ROW [WINDOW [FILTER]]]: one run of the viewer that saves one picture
# and quits.
shot() {
    local name="$1" file="$2" select="${3:-}" window="${4:-}" filter="${5:-}"
    TDV_SCREENSHOT="$out/$name.png" TDV_SCREENSHOT_SELECT="$select" TDV_SCREENSHOT_WINDOW="$window" \
        TDV_SCREENSHOT_FILTER="$filter" \
        timeout 60 xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" "$viewer" "$file"
    [[ -s "$out/$name.png" ]] || { echo "no picture for $name" >&2; return 1; }
    echo "$out/$name.png"
}

shot main-user "$directory" 0,1
shot main-filter "$directory" 0,1 "" "an"
shot main-call-handler "$directory" 1,1
shot main-backup-details "$directory" 6
shot message-browser "$message"
shot message-filter "$message" "" "" "a"
shot about "$directory" "" about
shot help "$directory" "" help
shot remap-alias-extension "$directory" "" remap
shot remap-email "$directory" "" smtp-remap
