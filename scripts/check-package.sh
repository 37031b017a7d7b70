#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a scratch root and checks
# what it installs: the installed tdv runs, its manual page reads cleanly, the desktop
# program, help page, desktop entry and icon are there, the dependencies are declared, and
# (in a build without TDV_TEST_HOOKS) neither program contains a test hook.
# Usage: scripts/check-package.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() { echo "check-package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$scratch"/out/tarnis-data-viewer_*.deb 2>/dev/null | head -n 1)"
[ -n "$deb" ] || fail "no tarnis-data-viewer_*.deb written"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tdv usr/bin/tarnis-data-viewer \
         usr/share/man/man1/tdv.1 \
         usr/share/tarnis-data-viewer/TARNISDataViewer.htm \
         usr/share/applications/tarnis-data-viewer.desktop \
         usr/share/icons/hicolor/scalable/apps/tarnis-data-viewer.svg; do
    [ -e "$root/$f" ] || fail "the package does not install /$f"
done

version="$("$root/usr/bin/tdv" --version)" || fail "the installed tdv --version failed"
[[ "$version" == "tdv "* ]] || fail "unexpected tdv --version output: $version"

# The manual page formats without warnings and names every command of tdv --help.
page="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/tdv.1" 2>"$scratch/man.err")" ||
    fail "man -l failed on the installed page"
[ ! -s "$scratch/man.err" ] || { cat "$scratch/man.err" >&2; fail "man -l warned"; }
commands="$("$root/usr/bin/tdv" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')"
[ -n "$commands" ] || fail "tdv --help lists no commands"
for c in $commands; do
    grep -q -- "^ *$c\b" <<<"$page" || fail "the manual page does not describe '$c'"
done

# A build for use leaves the test hooks out: neither program can be made to die at a crash
# point or to take pictures through its environment.
if ! grep -q '^TDV_TEST_HOOKS:BOOL=ON$' "$build/CMakeCache.txt"; then
    for hook in usr/bin/tdv:TDV_CRASH_AT usr/bin/tarnis-data-viewer:TDV_CRASH_AT \
                usr/bin/tarnis-data-viewer:TDV_SCREENSHOT; do
        ! grep -q "${hook#*:}" "$root/${hook%%:*}" || fail "/${hook%%:*} contains the test hook ${hook#*:}"
    done
fi

depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6multimedia6 libicu qt6-qpa-plugins libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
echo "check-package: $(basename "$deb") installs both programs, the page and the desktop files"
