#!/bin/bash
# Throughput of the updater's downloader against curl on the same loopback server.
#
# Starts the update-server stand-in (Wine, 127.0.0.1:80) over a 50 MB package, downloads it with
# curl on the build machine and with DownloadFile under Wine (WinINet, 1024-byte reads, the
# updater's window shown with its progress), and prints the downloader's throughput as a ratio
# of curl's. Goal: at least 0.8. Needs the win64 build (cmake --build --preset win64).
#
#   bash bench/download_throughput.sh [megabytes, default 50]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
MB=${1:-50}
B=$ROOT/build/win64
for f in "$B/tests/standins/qor_http_standin.exe" "$B/tests/qor_download_bench.exe"; do
  [ -f "$f" ] || { echo "missing $f: build the win64 preset first"; exit 1; }
done
command -v curl > /dev/null || { apt-get update -qq && apt-get install -y -qq curl > /dev/null; }

source scripts/wine-env.sh
qor_wine_start "$ROOT"
WORK=$(mktemp -d /tmp/qor-bench.XXXXXX)
SERVER_PID=
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
  qor_wine_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/root/pkg" "$WORK/out"
head -c $((MB * 1048576)) /dev/urandom > "$WORK/root/pkg/QOR_UPDATE.rar"
winpath() { echo "Z:${1//\//\\}"; }
# A loopback address of its own (all of 127.0.0.0/8 is loopback), so that a test run holding
# 127.0.0.1:80 at the same time does not stand in the way.
ADDRESS=${QOR_BENCH_ADDRESS:-127.0.0.2}
/usr/lib/wine/wine64 "$B/tests/standins/qor_http_standin.exe" "$(winpath "$WORK/root")" 0 "$ADDRESS" > "$WORK/server.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 1500); do [ -f "$WORK/root/ready" ] && break; sleep 0.1; done
[ -f "$WORK/root/ready" ] || { echo "server did not start"; exit 1; }

URL=http://$ADDRESS/pkg/QOR_UPDATE.rar
best_curl=
best_wine=
for run in 1 2 3; do
  t=$(curl -s -o "$WORK/out/curl.rar" -w '%{time_total}' "$URL")
  cmp -s "$WORK/out/curl.rar" "$WORK/root/pkg/QOR_UPDATE.rar" || { echo "curl copy differs"; exit 1; }
  best_curl=$(python3 -c "a='$best_curl'; print(min(float(a), $t) if a else $t)")

  rm -f "$WORK/out/wine.rar" "$WORK/result.txt"
  /usr/lib/wine/wine64 "$B/tests/qor_download_bench.exe" "$URL" "$(winpath "$WORK/out/wine.rar")" \
    "$(winpath "$WORK/result.txt")" > /dev/null 2>&1 || true
  read -r status ms < "$WORK/result.txt"
  ms=${ms%$'\r'}
  [ "$status" = ok ] || { echo "DownloadFile failed"; exit 1; }
  cmp -s "$WORK/out/wine.rar" "$WORK/root/pkg/QOR_UPDATE.rar" || { echo "DownloadFile copy differs"; exit 1; }
  best_wine=$(python3 -c "a='$best_wine'; print(min(float(a), $ms / 1000.0) if a else $ms / 1000.0)")
  echo "run $run: curl ${t}s, DownloadFile $((ms))ms"
done
python3 - "$MB" "$best_curl" "$best_wine" <<'PY'
import sys
mb, curl, wine = float(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
print(f"curl: {mb / curl:.1f} MB/s  DownloadFile: {mb / wine:.1f} MB/s")
print(f"throughput ratio DownloadFile/curl: {curl / wine:.2f} (goal: at least 0.80)")
PY
