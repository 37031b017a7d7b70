#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages and the npm registry.
# Idempotent: packages already present are skipped.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

apt_packages=(
    build-essential cmake ninja-build pkg-config git
    clang clang-format libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev nlohmann-json3-dev libicu-dev libzip-dev
    mdbtools python3
    qt6-base-dev qt6-multimedia-dev libgl-dev fonts-dejavu-core xvfb xauth
    dpkg-dev man-db lintian desktop-file-utils
)
missing=()
for p in "${apt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js may come from elsewhere than Debian (with its own npm); only install Debian's
# when the commands are missing, since Debian's npm conflicts with other Node.js packages.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo_cmd apt-get update -q
    $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The second oracle reader, used by the tests.
if [ ! -d "$here/tests/oracle/node_modules/mdb-reader" ]; then
    (cd "$here/tests/oracle" && npm install --no-audit --no-fund --silent)
fi
