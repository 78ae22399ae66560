#!/usr/bin/env bash
# Benchmark: ExtractPayload on a package with a 200 MB archive payload, under Wine, against
# copying the same 200 MB through user space with cat, in the same run. Prints the times (cp's
# too), the speed ratio (cat time / extraction time; 1.0 = as fast as cat, goal >= 0.9) and the
# extraction's peak memory (goal < 16 MB). cp is no reference for the ratio: coreutils 9 copies
# with copy_file_range inside the kernel, which a program that reads and writes cannot do. Builds
# its program in the test build that QOR_BENCH_ARCH names (i686 by default, or x86_64); starts
# its own Wine prefix unless WINEPREFIX is set.
#   bench/extract_payload.sh [megabytes]   (default 200)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mb=${1:-200}
source scripts/wine-env.sh
qor_bench_build "$root"
cmake --build --preset "$QOR_BENCH_PRESET" --target qor_bench_extract > /dev/null
bench=$(find "$QOR_BENCH_BUILD" -name qor_bench_extract.exe | head -n 1)
if [ -z "${WINEPREFIX:-}" ]; then
  qor_wine_start "$root"
  trap qor_wine_stop EXIT
fi

work=$(mktemp -d "$root/build/bench.XXXXXX")
trap 'rm -rf "$work"; [ "$(type -t qor_wine_stop)" = function ] && qor_wine_stop || true' EXIT
head -c 300000 /dev/urandom > "$work/extractor"
head -c $((mb * 1048576)) /dev/urandom > "$work/archive"
mkdir -p "$work/install" "$work/copy"
{ head -c 4096 /dev/zero
  printf 'FILE2 START LOG:LENGTH=%d\r\n' "$(stat -c %s "$work/extractor")"; cat "$work/extractor"
  printf 'FILE3 START LOG:LENGTH=%d\r\n' "$(stat -c %s "$work/archive")"; cat "$work/archive"
} > "$work/install/QOR_SETUP.exe"

now() { date +%s%N; }
# cp of the same bytes (the package, whose bulk is the payload); all read a warm cache and write
# into the page cache, each starting after the earlier writes reached the disk (none waits for
# its own writes).
cat "$work/install/QOR_SETUP.exe" > /dev/null
sync; t0=$(now); cp "$work/install/QOR_SETUP.exe" "$work/copy/package"; t1=$(now)
cp_ms=$(( (t1 - t0) / 1000000 ))
# The reference: a plain user-space read and write of the same bytes.
sync; t0=$(now); cat "$work/install/QOR_SETUP.exe" > "$work/copy/package2"; t1=$(now)
cat_ms=$(( (t1 - t0) / 1000000 ))

sync
# The program's output goes to a file: a pipe from a Wine program may never close.
/usr/lib/wine/wine64 "$bench" "Z:${work//\//\\}\\install" > "$work/result.txt" 2> /dev/null
out=$(tr -d '\r' < "$work/result.txt")
cmp -s "$work/archive" "$work/install/QOR_SETUP.rar" || { echo "extracted archive differs"; exit 1; }
ex_ms=$(sed -n 's/.*ms=\([0-9.]*\).*/\1/p' <<< "$out")
peak=$(sed -n 's/.*peak_private_mb=\([0-9.]*\).*/\1/p' <<< "$out")
ws=$(sed -n 's/.*peak_working_set_mb=\([0-9.]*\).*/\1/p' <<< "$out")
ratio=$(awk -v c="$cat_ms" -v e="$ex_ms" 'BEGIN { if (e <= 0) e = 1; printf "%.2f", c / e }')
echo "payload ${mb} MB: cp ${cp_ms} ms, cat ${cat_ms} ms, ExtractPayload ${ex_ms} ms"
echo "speed ratio (cat time / extraction time): ${ratio}  (goal >= 0.9)"
echo "extraction peak memory: private ${peak} MB, working set ${ws} MB  (goal < 16 MB)"
