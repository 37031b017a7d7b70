#!/usr/bin/env bash
# Checks that includes between the folders of src/ run one way, down the layer order that
# README.md's "Layout" gives, and that the engine (src/jet) has no include cycle between its
# files. Prints every violation and exits 1 when there is one.
#
# The layer order is read from README.md: a line of the Layout section that starts with a
# rank number and a src/ folder ("    3  src/db   ...", or several folders of one rank:
# "    8  src/extract, messages, remap"). A folder may include its own rank or a lower one.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

exec python3 - "$here" <<'PY'
import os
import re
import sys

root = sys.argv[1]
src = os.path.join(root, "src")


def read_layers():
    """Folder name -> rank, from the Layout section of README.md."""
    ranks = {}
    in_layout = False
    with open(os.path.join(root, "README.md"), encoding="utf-8") as readme:
        for line in readme:
            if line.startswith("## "):
                in_layout = line.strip() == "## Layout"
                continue
            if not in_layout:
                continue
            m = re.match(r"^\s+(\d+)\s+src/([a-z0-9_]+(?:,\s*[a-z0-9_]+)*)", line)
            if m:
                for name in re.split(r",\s*", m.group(2)):
                    ranks[name] = int(m.group(1))
    return ranks


INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def source_files(folder):
    for dirpath, _, files in os.walk(folder):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                yield os.path.join(dirpath, name)


ranks = read_layers()
if not ranks:
    sys.exit("check-includes: README.md's Layout gives no layer order")
problems = []

folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
for folder in folders:
    if folder not in ranks:
        problems.append(f"src/{folder}: not in the layer order of README.md's Layout")
        continue
    for path in source_files(os.path.join(src, folder)):
        for inc in includes(path):
            target = inc.split("/", 1)[0]
            if "/" not in inc or target == folder or target not in ranks:
                continue
            if ranks[target] > ranks[folder]:
                rel = os.path.relpath(path, root)
                problems.append(f'{rel}: includes "{inc}", a layer above {folder}')

# Include cycles between the engine's files: a header and its source are one unit (x.h and
# x.cpp), so a header that includes one whose source includes it back is a cycle too. The
# cycles are the strongly connected components of that graph.
jet = os.path.join(src, "jet")
graph = {}
if os.path.isdir(jet):
    for path in source_files(jet):
        unit = os.path.splitext(os.path.relpath(path, src))[0]
        graph.setdefault(unit, [])
        for inc in includes(path):
            if inc.startswith("jet/") and os.path.isfile(os.path.join(src, inc)):
                target = os.path.splitext(inc)[0]
                if target != unit:
                    graph[unit].append(target)

index, low, on_stack, stack, cycles = {}, {}, set(), [], []


def connect(node):
    # Iterative Tarjan: each frame is a node and the position in its list of includes.
    work = [(node, 0)]
    index[node] = low[node] = len(index)
    stack.append(node)
    on_stack.add(node)
    while work:
        v, i = work[-1]
        edges = graph.get(v, [])
        if i < len(edges):
            work[-1] = (v, i + 1)
            w = edges[i]
            if w not in index:
                index[w] = low[w] = len(index)
                stack.append(w)
                on_stack.add(w)
                work.append((w, 0))
            elif w in on_stack:
                low[v] = min(low[v], index[w])
            continue
        work.pop()
        if work:
            low[work[-1][0]] = min(low[work[-1][0]], low[v])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                cycles.append(sorted(component))


for node in sorted(graph):
    if node not in index:
        connect(node)
for component in cycles:
    problems.append(f"src/jet: include cycle between {len(component)} files (.h/.cpp): "
                    + " ".join(component))

for problem in problems:
    print(problem)
if problems:
    print(f"check-includes: {len(problems)} problem(s)", file=sys.stderr)
    sys.exit(1)
print("check-includes: includes run down the layers; no include cycle in src/jet")
PY
