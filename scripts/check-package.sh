#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a scratch root and checks
# what it installs: the installed tdv runs, its manual page reads cleanly, the desktop
# program, help page, desktop entry and icon are there, the dependencies are declared,
# (in a build without TDV_TEST_HOOKS) neither program contains a test hook, lintian finds
# no error in the package and desktop-file-validate accepts the desktop entry.
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
         usr/share/man/man1/tdv.1.gz usr/share/man/man1/tarnis-data-viewer.1.gz \
         usr/share/doc/tarnis-data-viewer/copyright \
         usr/share/doc/tarnis-data-viewer/changelog.Debian.gz \
         usr/share/tarnis-data-viewer/TARNISDataViewer.htm \
         usr/share/applications/tarnis-data-viewer.desktop \
         usr/share/icons/hicolor/scalable/apps/tarnis-data-viewer.svg; do
    [ -e "$root/$f" ] || fail "the package does not install /$f"
done

version="$("$root/usr/bin/tdv" --version)" || fail "the installed tdv --version failed"
[[ "$version" == "tdv "* ]] || fail "unexpected tdv --version output: $version"

# Both manual pages format without warnings and without hyphenating a word (a file name
# must read as it is written); the tdv page names every command of tdv --help.
for name in tarnis-data-viewer tdv; do
    page="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$name.1.gz" 2>"$scratch/man.err")" ||
        fail "man -l failed on the installed $name page"
    [ ! -s "$scratch/man.err" ] || { cat "$scratch/man.err" >&2; fail "man -l warned on $name"; }
    ! grep -q $'\u2010$' <<<"$page" || fail "the $name page hyphenates: $(grep $'\u2010$' <<<"$page" | head -n 1)"
done
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
maintainer="$(dpkg-deb -f "$deb" Maintainer)"
[ "$maintainer" = "The TARNIS Data Viewer developers <tarnis-data-viewer@example.org>" ] ||
    fail "unexpected Maintainer: $maintainer"

# Debian's package checker and the desktop entry checker: both must be there and pass.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh)"
command -v desktop-file-validate >/dev/null ||
    fail "desktop-file-validate is not installed (scripts/install-deps.sh)"
lintian --no-tag-display-limit "$deb" >"$scratch/lintian.log" 2>&1 || true
if grep -q '^E: ' "$scratch/lintian.log"; then
    grep '^E: ' "$scratch/lintian.log" >&2
    fail "lintian found errors"
fi
desktop-file-validate "$root/usr/share/applications/tarnis-data-viewer.desktop" ||
    fail "desktop-file-validate rejected the desktop entry"
echo "check-package: $(basename "$deb") installs both programs, the pages and the desktop files"
echo "check-package: lintian: no errors ($(grep -c '^W: ' "$scratch/lintian.log" || true) warnings)"
