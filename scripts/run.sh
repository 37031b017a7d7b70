#!/usr/bin/env bash
# The main job: install, build, and run tdv on a real Access database.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
dir="$("$here/scripts/build.sh" release | tail -n 1)"
db="${1:-$here/../shared/testdata/access/V2000/testV2000.mdb}"
"$dir/src/tdv" tables "$db"
"$dir/src/tdv" schema "$db"
