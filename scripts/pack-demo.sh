#!/usr/bin/env bash
# Packs the demo installer package of a Windows build:
#   build/<preset>/installer/demo/QOR_SETUP.exe
# = the bare build/<preset>/installer/QOR_SETUP.exe + the console-extractor stand-in + an archive
# of a small demo application tree (QOR.exe, qor.ico, UnRAR.exe at its root, a SYS sub-folder,
# a file with a Chinese name), made with the host tools of build/host.
# Usage: scripts/pack-demo.sh PRESET   (win32, win64 or wow64; host and that preset already built)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:?usage: pack-demo.sh win32|win64|wow64}
build=build/$preset/installer
tools=build/host
demo=$build/demo
tree=$demo/tree

rm -rf "$tree"
mkdir -p "$tree/SYS"
cp "$demo/app/QOR.exe" "$demo/app/UnRAR.exe" "$tree/"
cp installer/demo/qor.ico "$tree/"
printf 'FSSHOW = True\r\nFFSHOW = True\r\n' > "$tree/SYS/setinf.txt"
printf 'QOR演示账套说明\r\n' > "$tree/使用说明.txt"
"$tools/tests/qor_make_test_archive" "$tree" "$demo/demo.rar"
"$tools/tools/qor_pack" "$build/QOR_SETUP.exe" "$demo/app/UnRAR.exe" "$demo/demo.rar" "$demo/QOR_SETUP.exe"
echo "$demo/QOR_SETUP.exe"
