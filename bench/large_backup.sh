#!/usr/bin/env bash
# Times the everyday commands on a large directory backup and prints each against its peer,
# as a ratio measured in one sitting (medians of RUNS runs):
#
#   tdv dump FILE Subscribers   against mdb-export FILE Subscribers   (goal: mdb-export/dump >= 3)
#   tdv report FILE subscribers KEY   against tdv tables FILE (a bare open; goal <= 2), KEY
#                                     the first user's alias, then its ObjectID
#   tdv info FILE                     against tdv tables FILE (goal <= 2)
#   tdv list FILE 0                   against tdv dump FILE Subscribers (goal <= 2)
#   the viewer started offscreen on FILE, until the user list is shown (goal < 1 s)
#
# Usage: bench/large_backup.sh [-u USERS] [-r RUNS] [-b BUILD_DIR] [-d DIR]
#   -u  users in the sample (default 50000)
#   -r  runs per command; the median is used (default 3)
#   -b  the build folder holding src/tdv and src/tarnis-data-viewer (default: build)
#   -d  folder for the sample, written once and kept (default /tmp/tdv-bench-large-USERS);
#       an existing sample there is reused, so "before" and "after" time the same file
# Times are CPU time (user + system) by default, steady on a shared machine; MEASURE=wall
# in the environment times elapsed seconds instead.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
users=50000
runs=3
build="$here/build"
dir=""
while getopts "u:r:b:d:" opt; do
    case "$opt" in
        u) users="$OPTARG" ;;
        r) runs="$OPTARG" ;;
        b) build="$(cd "$OPTARG" && pwd)" ;;
        d) dir="$OPTARG" ;;
        *) sed -n '2,20p' "$0"; exit 2 ;;
    esac
done
[ -n "$dir" ] || dir="/tmp/tdv-bench-large-$users"
tdv="$build/src/tdv"
viewer="$build/src/tarnis-data-viewer"
[ -x "$tdv" ] || { echo "no tdv binary at $tdv (build first or pass -b)" >&2; exit 1; }
command -v mdb-export >/dev/null || { echo "mdb-export is not installed" >&2; exit 1; }

find_backup() {
    local f
    for f in "$dir"/*.mdb; do
        [ -f "$f" ] || continue
        if "$tdv" info "$f" 2>/dev/null | head -n 1 | grep -q '^directory backup'; then
            echo "$f"
            return
        fi
    done
}
file="$(find_backup)"
if [ -z "$file" ]; then
    echo "writing a sample of $users users into $dir ..."
    rm -rf "$dir"
    "$tdv" make-sample "$dir" --users "$users" --messages 0 >/dev/null
    file="$(find_backup)"
fi
[ -n "$file" ] || { echo "no directory backup in $dir" >&2; exit 1; }
# The first user's alias and ObjectID (pipefail off: head closes the pipe early).
first="$(set +o pipefail; "$tdv" dump "$file" Subscribers | head -n 1)"
key="$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["Alias"])' "$first")"
id="$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["ObjectID"])' "$first")"
export TDV_HOME="$dir/home"
mkdir -p "$TDV_HOME"

# Median seconds of RUNS runs of a command line (output discarded), after a warm-up run so
# every command reads the file from the page cache. MEASURE=cpu (default) counts the user and
# system time of the command and its children, which stays steady on a busy machine;
# MEASURE=wall counts elapsed time.
measure="${MEASURE:-cpu}"
median() {
    python3 - "$1" "$runs" "$measure" <<'PY'
import os, resource, statistics, subprocess, sys, time
cmd, runs, measure = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def once():
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall if measure == "wall" else cpu
once()
print("%.4f" % statistics.median(once() for _ in range(runs)))
PY
}

q() { printf '%q' "$1"; }
F="$(q "$file")"
t_tables=$(median "$(q "$tdv") tables $F")
t_dump=$(median "$(q "$tdv") dump $F Subscribers")
t_mdb=$(median "mdb-export $F Subscribers")
t_report=$(median "$(q "$tdv") report $F subscribers $(q "$key")")
t_report_id=$(median "$(q "$tdv") report $F subscribers $(q "$id")")
t_info=$(median "$(q "$tdv") info $F")
t_list=$(median "$(q "$tdv") list $F 0")
t_viewer=""
if [ -x "$viewer" ] && grep -q TDV_SCREENSHOT "$viewer"; then
    # The picture is taken once the first window shows the user list; the screenshot aid
    # waits 2 x 700 ms for the window to settle, which wall time includes and CPU time not.
    # Only a build with the test hooks has that aid (scripts/build.sh test: -b build-test).
    t_viewer=$(median "QT_QPA_PLATFORM=offscreen TDV_SCREENSHOT=$(q "$dir/viewer.png") \
$(q "$viewer") $F")
fi

echo "sample: $file ($(($(stat -c %s "$file") / 1048576)) MiB, $users users), medians of $runs runs, $measure time"
python3 - "$t_tables" "$t_dump" "$t_mdb" "$t_report" "$t_info" "$t_list" "$t_report_id" \
    "$t_viewer" <<'EOF'
import sys
tables, dump, mdb, report, info, lst, report_id = map(float, sys.argv[1:8])
viewer = sys.argv[8]
rows = [
    ("tdv dump Subscribers", dump, "mdb-export", mdb, mdb / dump, "mdb-export/dump", ">= 3"),
    ("tdv report, KEY = alias", report, "tdv tables", tables, report / tables,
     "report/tables", "<= 2"),
    ("tdv report, KEY = ObjectID", report_id, "tdv tables", tables, report_id / tables,
     "report/tables", "<= 2"),
    ("tdv info", info, "tdv tables", tables, info / tables, "info/tables", "<= 2"),
    ("tdv list 0", lst, "tdv dump", dump, lst / dump, "list/dump", "<= 2"),
]
print("%-28s %9s  %-11s %9s  %-16s %7s  %s" % ("command", "s", "against", "s", "ratio", "", "goal"))
for name, a, peer, b, ratio, what, goal in rows:
    print("%-28s %9.3f  %-11s %9.3f  %-16s %7.2f  %s" % (name, a, peer, b, what, ratio, goal))
if viewer:
    print("%-28s %9.3f  %-11s %9s  %-16s %7s  %s" % ("viewer, user list shown", float(viewer),
                                                     "", "", "", "", "< 1 s"))
else:
    print("viewer: not built (tarnis-data-viewer), not timed")
EOF
