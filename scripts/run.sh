#!/usr/bin/env bash
# The main job: install, build, write the default sample backup and open it with tdv: what
# kind of backup it is and its details, the user list, and the first user's full report.
# With a FILE argument, opens that backup instead of the sample.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
dir="$("$here/scripts/build.sh" release | tail -n 1)"
tdv="$dir/src/tdv"

if [[ $# -ge 1 ]]; then
    db="$1"
else
    sample="$dir/sample"
    rm -rf "$sample"
    db="$("$tdv" make-sample "$sample" | head -n 1)"
fi
echo "== $db"
"$tdv" info "$db"
echo "== Subscribers"
"$tdv" list "$db" subscribers | python3 -c '
import json, sys
grid = json.load(sys.stdin)
print("Object Count:", grid["count"])
for row in grid["rows"]:
    print("  " + " | ".join(row[:5]))
print(grid["text"])
'
