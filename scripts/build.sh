#!/usr/bin/env bash
# Builds every deliverable: the shipping i686 programs (build/win32), the x86_64 programs with
# their tests (build/win64) and the i686 test builds with the same tests (build/wow64), plus the
# host unit tests (build/host).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${QOR_SKIP_SETUP:-}" = 1 ] || bash scripts/setup.sh

jobs=$(nproc)
# The host build first: its packer packs the demo packages.
# The shipping preset refuses to configure without the vendor's update key; without
# QOR_UPDATE_PUBLIC_KEY_FILE this plain build makes an updater without one, on purpose.
unsigned=()
if [ -z "${QOR_UPDATE_PUBLIC_KEY_FILE:-}" ]; then
  unsigned=(-DQOR_UPDATE_UNSIGNED=ON)
  echo "build: QOR_UPDATE_PUBLIC_KEY_FILE is not set: build/win32's updater checks no update signatures"
fi
for preset in host win32 win64 wow64; do
  echo "== build $preset"
  extra=()
  [ "$preset" = win32 ] && extra=("${unsigned[@]}")
  cmake --preset "$preset" ${extra[@]+"${extra[@]}"} > "build-$preset.log" 2>&1 || { cat "build-$preset.log"; exit 1; }
  cmake --build --preset "$preset" -j "$jobs" >> "build-$preset.log" 2>&1 || { tail -n 60 "build-$preset.log"; exit 1; }
  rm -f "build-$preset.log"
done
echo "== demo installer packages"
for preset in win32 win64 wow64; do bash scripts/pack-demo.sh "$preset"; done
echo "== deliverables"
find build/win32 build/win64 -maxdepth 3 \( -name 'QOR*.exe' -o -name 'qord.dll' \) -printf '%p\n' | sort
