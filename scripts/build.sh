#!/usr/bin/env bash
# Configures and builds into build/ (or build-<flavour>/ for: test, sanitize, fuzz).
# Usage: scripts/build.sh [release|test|sanitize|fuzz]
#
# release is the build for use (the main job, cmake --install, the Debian package): it has
# no test hooks (TDV_TEST_HOOKS), so the tests that drive them are left out there. test is
# the same optimised build with the hooks, for scripts/test.sh and scripts/screenshots.sh;
# sanitize and fuzz have them too.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
flavour="${1:-release}"
jobs="$(nproc 2>/dev/null || echo 2)"
case "$flavour" in
    release)  dir="$here/build";          args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_TEST_HOOKS=OFF) ;;
    test)     dir="$here/build-test";     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_TEST_HOOKS=ON) ;;
    sanitize) dir="$here/build-sanitize"; args=(-DCMAKE_BUILD_TYPE=Debug -DTDV_SANITIZE=ON -DTDV_TEST_HOOKS=ON) ;;
    fuzz)     dir="$here/build-fuzz";     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_FUZZ=ON -DTDV_TESTS=OFF
                                                -DTDV_TEST_HOOKS=ON
                                                -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "usage: $0 [release|test|sanitize|fuzz]" >&2; exit 2 ;;
esac
cmake -S "$here" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
echo "$dir"
