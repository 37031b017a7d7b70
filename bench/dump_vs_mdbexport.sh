#!/usr/bin/env bash
# Times `tdv dump FILE TABLE` against `mdb-export FILE TABLE` on the largest tables available
# and prints the time ratio (tdv / mdb-export) per table and overall. Below 1 means tdv is
# faster. Both outputs go to /dev/null.
#
# Usage: bench/dump_vs_mdbexport.sh [-n TABLES] [-r RUNS] [-t TDV_BINARY] [DIR...]
#   -n  how many of the largest tables to time (default 8)
#   -r  runs per command (default 30); each table is also timed as a batch of 10 runs in one
#       measurement, so start-up time does not hide the reading speed on small tables
#   -t  the tdv binary (default: build/src/tdv, else build-*/src/tdv)
#   DIR folders searched for .mdb files (default: the shared test data beside the checkout,
#       plus $TDV_EXTRA_MDB_DIR when set)
# "Largest" is measured by the size of mdb-export's output for the table.
# mdb-export is given the options that make its output carry the same information as
# `tdv dump` (-b hex for binary data, a full date-time format).
# Uses hyperfine when installed (apt package hyperfine), else a loop timed with date +%s%N.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
top=8
runs=30
tdv=""
while getopts "n:r:t:" opt; do
    case "$opt" in
        n) top="$OPTARG" ;;
        r) runs="$OPTARG" ;;
        t) tdv="$OPTARG" ;;
        *) sed -n '2,18p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
dirs=("$@")
if [ ${#dirs[@]} -eq 0 ]; then
    dirs=("$(cd "$here/.." && pwd)/shared/testdata/access")
    [ -n "${TDV_EXTRA_MDB_DIR:-}" ] && dirs+=("$TDV_EXTRA_MDB_DIR")
fi
if [ -z "$tdv" ]; then
    for c in "$here/build/src/tdv" "$here"/build-*/src/tdv; do
        [ -x "$c" ] && { tdv="$c"; break; }
    done
fi
[ -x "$tdv" ] || { echo "no tdv binary found (build first or pass -t)" >&2; exit 1; }
command -v mdb-export >/dev/null || { echo "mdb-export is not installed" >&2; exit 1; }
datefmt='%Y-%m-%dT%H:%M:%S'
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Rank every table by the size of its export.
: >"$work/sizes"
while IFS= read -r -d '' f; do
    while IFS= read -r t; do
        [ -n "$t" ] || continue
        bytes=$(mdb-export -b hex -T "$datefmt" "$f" "$t" 2>/dev/null | wc -c || echo 0)
        printf '%s\t%s\t%s\n' "$bytes" "$f" "$t" >>"$work/sizes"
    done < <(mdb-tables -1 "$f" 2>/dev/null)
done < <(find "${dirs[@]}" -iname '*.mdb' -type f -print0 2>/dev/null)
sort -t $'\t' -k1,1nr "$work/sizes" | head -n "$top" >"$work/chosen"
[ -s "$work/chosen" ] || { echo "no tables found under ${dirs[*]}" >&2; exit 1; }

# Mean seconds of one command line (run through sh, output discarded).
mean_seconds() {
    local cmd="$1" n="$2"
    if command -v hyperfine >/dev/null; then
        hyperfine --style none --warmup 2 --runs "$n" --export-json "$work/h.json" "$cmd" \
            >/dev/null 2>&1
        python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"])' \
            "$work/h.json"
    else
        local start end i
        sh -c "$cmd" >/dev/null 2>&1 || true
        start=$(date +%s%N)
        for ((i = 0; i < n; i++)); do sh -c "$cmd" >/dev/null 2>&1; done
        end=$(date +%s%N)
        python3 -c 'import sys; print((int(sys.argv[2]) - int(sys.argv[1])) / 1e9 / int(sys.argv[3]))' \
            "$start" "$end" "$n"
    fi
}

q() { printf '%q' "$1"; }
printf '%-44s %8s %12s %12s %8s\n' "table" "rows" "tdv ms" "mdb-export ms" "ratio"
sum_tdv=0
sum_mdb=0
log_sum=0
count=0
while IFS=$'\t' read -r bytes f t; do
    label="$(basename "$f"):$t"
    if ! "$tdv" dump "$f" "$t" >"$work/out" 2>"$work/err"; then
        printf '%-44s skipped: tdv dump failed: %s\n' "$label" "$(head -c 100 "$work/err")"
        continue
    fi
    rows=$(wc -l <"$work/out")
    # Ten dumps per measurement: the per-table figure is dominated by reading, not start-up.
    batch_tdv="for i in 1 2 3 4 5 6 7 8 9 10; do $(q "$tdv") dump $(q "$f") $(q "$t") >/dev/null; done"
    batch_mdb="for i in 1 2 3 4 5 6 7 8 9 10; do mdb-export -b hex -T $(q "$datefmt") $(q "$f") $(q "$t") >/dev/null; done"
    a=$(mean_seconds "$batch_tdv" "$runs")
    b=$(mean_seconds "$batch_mdb" "$runs")
    read -r ratio sum_tdv sum_mdb log_sum < <(python3 -c '
import math, sys
a, b, st, sm, ls = map(float, sys.argv[1:])
print(a / b, st + a, sm + b, ls + math.log(a / b))' "$a" "$b" "$sum_tdv" "$sum_mdb" "$log_sum")
    count=$((count + 1))
    printf '%-44s %8d %12.2f %12.2f %8.3f\n' "${label:0:44}" "$rows" \
        "$(python3 -c "print($a * 100)")" "$(python3 -c "print($b * 100)")" "$ratio"
done <"$work/chosen"
[ "$count" -gt 0 ] || { echo "nothing timed"; exit 1; }
python3 -c '
import math, sys
st, sm, ls, n = float(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
print("overall: total time ratio %.3f, geometric mean of ratios %.3f over %d tables"
      % (st / sm, math.exp(ls / n), n))
print("(ms columns: mean time of one dump; ratio < 1: tdv dump is faster than mdb-export)")' \
    "$sum_tdv" "$sum_mdb" "$log_sum" "$count"
