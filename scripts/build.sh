#!/usr/bin/env bash
# Configures and builds into build/ (or build-<flavour>/ for: sanitize, fuzz).
# Usage: scripts/build.sh [release|sanitize|fuzz]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
flavour="${1:-release}"
jobs="$(nproc 2>/dev/null || echo 2)"
case "$flavour" in
    release)  dir="$here/build";          args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    sanitize) dir="$here/build-sanitize"; args=(-DCMAKE_BUILD_TYPE=Debug -DTDV_SANITIZE=ON) ;;
    fuzz)     dir="$here/build-fuzz";     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_FUZZ=ON -DTDV_TESTS=OFF
                                                -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "usage: $0 [release|sanitize|fuzz]" >&2; exit 2 ;;
esac
cmake -S "$here" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
echo "$dir"
