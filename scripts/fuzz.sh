#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a few seconds (default 30) from its corpus.
# Usage: scripts/fuzz.sh [seconds-per-target] [target-name...]
#
# Corpus of each target: build-fuzz/corpus/<target>/ (kept between runs, never committed),
# plus the committed seeds in tests/fuzz/seeds/<target without fuzz_>/ when present.
# fuzz_pages is seeded with copies of the smallest real Access files from the shared test
# data beside the checkout (the files themselves stay out of the repository).
# Crashes are written to build-fuzz/crashes/<target>/; the script exits non-zero when a
# target reports one.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
secs="${1:-30}"
shift || true
wanted=("$@")
testdata="$(cd "$here/.." && pwd)/shared/testdata/access"

command -v clang++ >/dev/null || { echo "the fuzz targets need clang (scripts/install-deps.sh)" >&2; exit 1; }
buildlog="$(mktemp)"
if ! "$here/scripts/build.sh" fuzz >"$buildlog" 2>&1; then
    echo "fuzz build failed:" >&2
    grep -E 'error|FAILED' "$buildlog" | head -n 20 >&2
    rm -f "$buildlog"
    exit 1
fi
dir="$(tail -n 1 "$buildlog")"
rm -f "$buildlog"

seed_real_files() {
    local corpus="$1" count=0 f
    [ -d "$testdata" ] || return 0
    # The two smallest files of each folder: small inputs keep mutations fast.
    for sub in V1997 V2000 jet4-empty; do
        [ -d "$testdata/$sub" ] || continue
        while IFS= read -r f; do
            cp -n "$f" "$corpus/seed-$(basename "$f")" 2>/dev/null || true
            count=$((count + 1))
        done < <(ls -1S -r "$testdata/$sub"/*.mdb 2>/dev/null | head -n 2)
    done
    echo "   seeded $count real files"
}

found=0
failed=0
for target in "$dir"/tests/fuzz/fuzz_*; do
    [ -x "$target" ] && [ -f "$target" ] || continue
    name="$(basename "$target")"
    if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " == *" $name "* ]]; then continue; fi
    found=1
    corpus="$dir/corpus/$name"
    crashes="$dir/crashes/$name"
    mkdir -p "$corpus" "$crashes"
    echo "== $name (${secs}s)"
    [ "$name" = fuzz_pages ] && seed_real_files "$corpus"
    seeds="$here/tests/fuzz/seeds/${name#fuzz_}"
    extra=()
    [ -d "$seeds" ] && extra+=("$seeds")
    log="$dir/$name.log"
    if "$target" -max_total_time="$secs" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
        -max_len=$((1 << 20)) -artifact_prefix="$crashes/" -print_final_stats=1 \
        "$corpus" "${extra[@]}" >"$log" 2>&1; then
        grep -E '^(#[0-9]+ *DONE|stat::number_of_executed_units|Done )' "$log" | tail -n 2 || tail -n 2 "$log"
    else
        failed=1
        echo "!! $name found a problem (log: $log, reproducer in $crashes/):"
        grep -E 'ERROR:|SUMMARY:|==[0-9]+==|#[0-9]+ 0x' "$log" | head -n 30
    fi
done
[ "$found" = 1 ] || echo "no fuzz targets built"
exit "$failed"
