#!/usr/bin/env bash
# Configures and builds into build/ (or build-<flavour>/ for: test, sanitize, fuzz).
# Usage: scripts/build.sh [release|test|sanitize|fuzz]
#
# release is the build for use (the main job, cmake --install, the Debian package): the two
# programs only, without the tests, the benchmarks or the test hooks (TDV_TEST_HOOKS), and
# compiler warnings stay warnings. test is the same optimised build with the tests, the
# benchmarks and the hooks, for scripts/test.sh and scripts/screenshots.sh; sanitize and fuzz
# have them too. Those three treat warnings as errors (TDV_WERROR).
# When ccache is installed it caches the compiler's work across builds and checkouts.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
flavour="${1:-release}"
jobs="$(nproc 2>/dev/null || echo 2)"
case "$flavour" in
    release)  dir="$here/build";          args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_TESTS=OFF
                                                -DTDV_TEST_HOOKS=OFF -DTDV_WERROR=OFF) ;;
    test)     dir="$here/build-test";     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_TEST_HOOKS=ON
                                                -DTDV_WERROR=ON) ;;
    sanitize) dir="$here/build-sanitize"; args=(-DCMAKE_BUILD_TYPE=Debug -DTDV_SANITIZE=ON -DTDV_TEST_HOOKS=ON
                                                -DTDV_WERROR=ON) ;;
    fuzz)     dir="$here/build-fuzz";     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDV_FUZZ=ON -DTDV_TESTS=OFF
                                                -DTDV_TEST_HOOKS=ON -DTDV_WERROR=ON
                                                -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
    *) echo "usage: $0 [release|test|sanitize|fuzz]" >&2; exit 2 ;;
esac
if command -v ccache >/dev/null 2>&1; then
    args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
echo "$dir"
