#!/bin/bash
# Builds every libFuzzer target of tests/fuzz with clang (address and undefined-behaviour
# sanitizers) on the build machine and runs each for a while. Usage:
#   bash scripts/fuzz.sh [seconds per target, default 60]
# A crash, hang or sanitizer report stops the script with its finding in build/fuzz/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-60}

if ! command -v clang++ > /dev/null; then
  apt-get update -qq && apt-get install -y -qq clang > /dev/null
fi

# Target name, then the sources it is built from (besides its own tests/fuzz/<name>.cpp).
TARGETS=(
  "update_log_fuzz core/update_rules.cpp core/text.cpp core/wildcard.cpp"
  "http_values_fuzz core/update_rules.cpp core/text.cpp core/wildcard.cpp updater/http/downloader.cpp"
)

mkdir -p build/fuzz
for entry in "${TARGETS[@]}"; do
  read -r name sources <<< "$entry"
  out=build/fuzz/$name
  mkdir -p "$out/corpus"
  echo "== $name"
  # shellcheck disable=SC2086
  clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. -Ibuild/host/generated "tests/fuzz/$name.cpp" $sources -o "$out/$name"
  (cd "$out" && ./"$name" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 corpus > run.log 2>&1) || {
    echo "$name found a problem; see $out/run.log"; tail -30 "$out/run.log"; exit 1; }
  grep -E "^#[0-9]+.*DONE|Done [0-9]+ runs" "$out/run.log" | tail -1
done
echo "fuzzing finished without findings"
