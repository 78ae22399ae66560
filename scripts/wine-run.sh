#!/usr/bin/env bash
# Runs a Windows program under Wine in the environment of a build tree:
#   scripts/wine-run.sh STATE_DIR PROGRAM.exe [ARGS...]
# The win64 build uses it as its cross-compiling emulator with STATE_DIR = the build tree. When
# scripts/wine-fixture.sh has started that tree's environment, the program runs in it (prefix,
# display, locale). Without one (as when CTest lists a test program's tests before any test
# runs) it still runs in the tree's own prefix with the same locale and no display, so it never
# touches the user's default prefix.
set -eu
dir=$1
shift
export WINEPREFIX="$dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
export LC_ALL=zh_CN.UTF-8
export LANG=zh_CN.UTF-8
if [ -f "$dir/wine-env.state" ]; then
  . "$dir/wine-env.state"
fi
exec /usr/lib/wine/wine64 "$@"
