#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
# Usage: scripts/test.sh [release|sanitize]
# release tests the optimised build with the test hooks (scripts/build.sh test, build-test/).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
flavour="${1:-release}"
build_flavour="$flavour"
[ "$flavour" = release ] && build_flavour=test
"$here/scripts/install-deps.sh"
dir="$("$here/scripts/build.sh" "$build_flavour" | tail -n 1)"
jobs="$(nproc 2>/dev/null || echo 2)"
cd "$dir"
exclude=()
# The oracle comparisons run the two other readers on every table; under the sanitizers
# they only repeat the release run slowly, while every engine test still runs.
[ "$flavour" = sanitize ] && exclude=(-E 'Oracle')
ctest --output-on-failure -j "$jobs" "${exclude[@]}"
