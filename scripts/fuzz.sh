#!/usr/bin/env bash
# Builds the libFuzzer targets in tests/fuzz with clang (address and undefined-behaviour
# sanitizers) and runs each for a while on the build machine.
#   scripts/fuzz.sh [seconds per target]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
command -v clang++ > /dev/null || { apt-get update -qq && apt-get install -y -qq clang > /dev/null; }

out=build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I. -Itests -I"$out/generated")
# The generated build constants, as the CMake build makes them.
mkdir -p "$out/generated/qor"
sed -e 's/@QOR_EDITION_TAG@/QOR_BIZACC_6.01/' -e 's/@QOR_DISPLAY_NAME@/QOR/' -e 's/@QOR_[A-Z_]*HOST@/localhost/' \
    -e 's/@QOR_VENDOR_WEB@/localhost/' -e 's/@QOR_VERSION@/6.1.0.6/' -e 's/@QOR_[A-Z_]*@/0/' \
    cmake/build_config.h.in > "$out/generated/qor/build_config.h"

core=(core/*.cpp)
installer=(installer/package/package.cpp installer/install_record.cpp installer/sequences.cpp
           installer/agreement.cpp common/processes/processes.cpp common/file_tree/file_tree.cpp
           common/trusted_files/trusted_files.cpp)

# name: sources
declare -A targets=(
  [package_reader]="tests/fuzz/package_reader_fuzz.cpp installer/package/package.cpp"
  [uninstall_record]="tests/fuzz/uninstall_record_fuzz.cpp ${installer[*]} ${core[*]}"
  [update_log]="tests/fuzz/update_log_fuzz.cpp ${core[*]}"
  [http_values]="tests/fuzz/http_values_fuzz.cpp updater/http/downloader.cpp ${core[*]}"
  [settings]="tests/fuzz/settings_fuzz.cpp ${core[*]}"
  [command_line]="tests/fuzz/command_line_fuzz.cpp ${core[*]}"
  [wildcard]="tests/fuzz/wildcard_fuzz.cpp ${core[*]}"
  [signature_files]="tests/fuzz/signature_files_fuzz.cpp ${core[*]}"
  [update_journal]="tests/fuzz/update_journal_fuzz.cpp ${core[*]}"
  [trust_list]="tests/fuzz/trust_list_fuzz.cpp ${core[*]}"
  [log_signature]="tests/fuzz/log_signature_fuzz.cpp ${core[*]}"
)
# Seeds: a well-formed package, a typical record, an update log, HTTP values, a settings text,
# a command line, a pattern, a signature file and a public key, a staged update's journal, a
# list of trusted files, an update log's signature file.
mkdir -p "$out/corpus/package_reader" "$out/corpus/uninstall_record" "$out/corpus/update_log" "$out/corpus/http_values" \
         "$out/corpus/settings" "$out/corpus/command_line" "$out/corpus/wildcard" \
         "$out/corpus/signature_files" "$out/corpus/update_journal" "$out/corpus/trust_list" \
         "$out/corpus/log_signature"
printf 'MZ\0\0FILE2 START LOG:LENGTH=3\r\nextFILE3 START LOG:LENGTH=2\r\nar' > "$out/corpus/package_reader/first"
printf 'OPENZTNAME\0a b.qorb\0FSSHOW = False\r\nOPENZTNAME = x.qorb\r\nEXLSHOW = True\r\n' > "$out/corpus/settings/first"
printf '"/0/D:\\Books\\a b.qorb"' > "$out/corpus/command_line/first"
printf 'QOR_BIZACC_6.01\0QOR_BIZACC_*' > "$out/corpus/wildcard/first"
printf 'D:\\QOR\\\r\nD:\\QOR\\QOR.exe\r\nD:\\QOR\\SYS\\\r\nD:\\QOR\\SYS\\setinf.txt\r\nD:\\QOR\\..\\keep.txt\r\nD:\\QOR\\linked\\keep.txt\r\nD:\\QOR\\linked\\sub\\\r\n' \
  > "$out/corpus/uninstall_record/first"
printf '6.02\r\nA\r\nhttp://127.0.0.1/QOR_UPDATE.rar  ! DOWNLOAD COMPLETE' > "$out/corpus/update_log/first"
printf '%0128d\r\n' 0 > "$out/corpus/signature_files/first"
printf 'QOR update log signature 1\r\nedition: BIZACC\r\npackage-sha256: %064d\r\npackage-size: 7\r\nexpires: 2025-12-31T00:00:00Z\r\nsignature: %0128d\r\n' 0 0 \
  > "$out/corpus/log_signature/first"
printf 'QOR_UPDATE journal 1\r\nQOR.exe\r\nSYS\\打印预览\r\nEND\r\n' > "$out/corpus/update_journal/first"
printf '%064d  SYS\\qord.dll\r\n%064d  打印预览\\a.txt\r\n' 0 1 > "$out/corpus/trust_list/first"
printf -- '-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEnUy/dwuOP9r5Pde7IljxAFuTWuwD\nLrZUChzXyVaMk7AzvhOxaXmwElIMyZdghEruAcppVgRFXKNfLE5JxgmqcQ==\n-----END PUBLIC KEY-----\n' \
  > "$out/corpus/signature_files/key"
printf 'http://127.0.0.1/pkg/QOR_UPDATE.rar\x003\x00200\x00abc' > "$out/corpus/http_values/first"
printf 'http://127.0.0.1/pkg/QOR_UPDATE.rar\x00bytes 3-9/10\x00206\x00defghij' > "$out/corpus/http_values/continued"

for name in "${!targets[@]}"; do
  echo "== fuzz $name (${seconds}s)"
  # shellcheck disable=SC2086
  clang++ "${flags[@]}" ${targets[$name]} -o "$out/$name"
  "$out/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -artifact_prefix="$out/$name." "$out/corpus/$name" \
    > "$out/$name.log" 2>&1 || { tail -n 40 "$out/$name.log"; exit 1; }
  tail -n 1 "$out/$name.log"
done
