#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a few seconds (default 30) from its seed corpus.
# Usage: scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
secs="${1:-30}"
"$here/scripts/install-deps.sh"
dir="$("$here/scripts/build.sh" fuzz | tail -n 1)"
found=0
for target in "$dir"/tests/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    found=1
    name="$(basename "$target")"
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    seeds="$here/tests/fuzz/seeds/${name#fuzz_}"
    extra=()
    [ -d "$seeds" ] && extra+=("$seeds")
    echo "== $name (${secs}s)"
    "$target" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 "$corpus" "${extra[@]}" 2>&1 | tail -n 3
done
[ "$found" = 1 ] || echo "no fuzz targets built"
