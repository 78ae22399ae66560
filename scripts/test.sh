#!/usr/bin/env bash
# Builds everything and runs every test: the import check of the deliverables, the host unit
# tests natively, then the Windows unit, adapter and end-to-end tests under Wine: once for the
# x86_64 build and once for the i686 build (what customers get) under Wine's WoW64 mode.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

echo "== imports of the deliverables"
bash scripts/check-imports.sh build/win32 build/win64 build/wow64

echo "== host tests"
ctest --preset host

# Each Windows build starts and stops its Wine environment itself (the wine_env fixture). Both
# runs go on whatever the first one found, so that each architecture closes with its summary.
echo "== Windows tests under Wine: x86_64"
rc=0
ctest --preset win64 || rc=1
echo "== Windows tests under Wine: i686 under WoW64"
ctest --preset wow64 || rc=1
exit $rc
