#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang on the host (address and undefined-
# behaviour sanitizers) and runs each for the given number of seconds (default 60).
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
shift || true
command -v clang++ > /dev/null || { echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2; exit 2; }

out="$root/build/fuzz"
mkdir -p "$out"
core_sources=(core/launcher_rules.cpp core/settings_text.cpp core/text.cpp core/version_text.cpp core/wildcard.cpp)
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root")

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
for t in "${targets[@]}"; do
  echo "== $t: build"
  clang++ "${flags[@]}" "tests/fuzz/$t.cpp" "${core_sources[@]}" -o "$out/$t"
  mkdir -p "$out/$t.corpus"
  echo "== $t: run ${seconds}s"
  "$out/$t" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$out/$t." -max_len=4096 "$out/$t.corpus" > "$out/$t.log" 2>&1 ||
    { tail -40 "$out/$t.log"; echo "== $t: FAILED" >&2; exit 1; }
  tail -1 "$out/$t.log"
done
echo "== fuzzing passed"
