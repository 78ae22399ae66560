#!/usr/bin/env bash
# Shows the launcher's four windows (QORstart, Fs, Fu, Ff) under Xvfb with the Chinese fonts
# mapped, saves each as build/screenshots/<form>.png. Run after the win64 build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/build/screenshots"
rm -rf "$out"
mkdir -p "$out"
export QOR_SCREENSHOTS="Z:${out//\//\\}"
ctest --preset win64 -R 'LauncherEndToEnd\.(TrustNotice|SecondInstance|Splash)|FirstStart' > "$out/ctest.log" 2>&1 ||
  { tail -30 "$out/ctest.log"; exit 1; }
for f in "$out"/*.bmp; do /usr/bin/convert "$f" "${f%.bmp}.png" && rm -f "$f"; done
ls "$out"/*.png
