#!/usr/bin/env bash
# The main job: install, build, write the default sample backup and open it in the desktop
# viewer (tarnis-data-viewer). With a FILE argument, opens that backup instead of the sample.
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) it says so and exits with
# status 3 after printing the backup's details through tdv; `xvfb-run ./scripts/run.sh` gives
# it a virtual display.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
dir="$("$here/scripts/build.sh" release | tail -n 1)"
tdv="$dir/src/tdv"
viewer="$dir/src/tarnis-data-viewer"

if [[ $# -ge 1 ]]; then
    db="$1"
else
    sample="$dir/sample"
    rm -rf "$sample"
    db="$("$tdv" make-sample "$sample" | head -n 1)"
fi
echo "== $db"
"$tdv" info "$db"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the" \
        "viewer cannot open its window. Run this in a desktop session, or under a virtual" \
        "display: xvfb-run ./scripts/run.sh" >&2
    exit 3
fi
echo "== opening $db in $viewer"
exec "$viewer" "$db"
