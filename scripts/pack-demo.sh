#!/usr/bin/env bash
# Packs the demo installer package of a Windows build:
#   build/<preset>/installer/demo/QOR_SETUP.exe
# = the bare build/<preset>/installer/QOR_SETUP.exe + the real console extractor of the build's
# architecture (build/extractor, made by scripts/setup.sh) + a RAR archive, made with the build
# machine's rar, of a small demo application tree (QOR.exe, qor.ico, UnRAR.exe at its root, a SYS
# sub-folder, a file with a Chinese name), packed with the packer of build/host.
# Usage: scripts/pack-demo.sh PRESET   (win32, win64 or wow64; host and that preset already built)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:?usage: pack-demo.sh win32|win64|wow64}
build=build/$preset/installer
tools=build/host
demo=$build/demo
tree=$demo/tree

case $preset in
  win64) arch=x86_64 ;;
  *) arch=i686 ;;
esac
extractor=build/extractor/$arch/crt/UnRAR.exe
[ -f "$extractor" ] && [ -x build/extractor/rar ] ||
  { echo "pack-demo: $extractor or build/extractor/rar is missing: run scripts/setup.sh" >&2; exit 1; }

rm -rf "$tree" "$demo/demo.rar"
mkdir -p "$tree/SYS"
cp "$demo/app/QOR.exe" "$extractor" "$tree/"
cp installer/demo/qor.ico "$tree/"
printf 'FSSHOW = True\r\nFFSHOW = True\r\n' > "$tree/SYS/setinf.txt"
printf 'QOR演示账套说明\r\n' > "$tree/使用说明.txt"
# The content of the tree becomes the archive's root.
build/extractor/rar a -r -ep1 -idq -y "$demo/demo.rar" "$tree/"
"$tools/tools/qor_pack" "$build/QOR_SETUP.exe" "$extractor" "$demo/demo.rar" "$demo/QOR_SETUP.exe"
echo "$demo/QOR_SETUP.exe"
