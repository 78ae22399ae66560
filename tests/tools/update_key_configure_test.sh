#!/usr/bin/env bash
# The shipping preset's configure and the update key: without a key it fails with a message that
# says what to do, unless QOR_UPDATE_UNSIGNED=ON is given; an RSA or a P-384 key fails it; a
# P-256 key passes and its printed fingerprint is openssl's.
#   update_key_configure_test.sh SOURCE_DIR BINARY_DIR
set -uo pipefail
src=$1
work=$2/update_key_configure
command -v i686-w64-mingw32-g++-posix > /dev/null || { echo "skip: no i686 mingw-w64 compiler"; exit 77; }
command -v openssl > /dev/null || { echo "skip: no openssl"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
failures=0

# configure NAME EXPECTED_RC TEXT KEYFILE [cmake arguments...]: the win32 preset into a tree of
# its own, the key named as build.sh names it.
configure() {
  local name=$1 want=$2 text=$3 key=$4
  shift 4
  (cd "$src" && QOR_UPDATE_PUBLIC_KEY_FILE=$key cmake --preset win32 -B "$work/build" "$@") > "$work/$name.log" 2>&1
  local rc=$?
  if { [ "$want" = 0 ] && [ $rc -ne 0 ]; } || { [ "$want" != 0 ] && [ $rc -eq 0 ]; } ||
     ! tr -s ' \n' ' ' < "$work/$name.log" | grep -qF -- "$text"; then
    echo "FAIL $name: exit code $rc, expected output with: $text"
    tail -n 30 "$work/$name.log"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

good=$src/tests/standins/update_key/vendor_test.pub
fingerprint=$(openssl pkey -pubin -in "$good" -outform DER | sha256sum | cut -d' ' -f1)
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/rsa.key" 2> /dev/null
openssl pkey -in "$work/rsa.key" -pubout -out "$work/rsa.pub"
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out "$work/p384.key" 2> /dev/null
openssl pkey -in "$work/p384.key" -pubout -out "$work/p384.pub"

configure p256-key 0 "SHA-256 fingerprint $fingerprint" "$good"
configure no-key 1 "The shipping build needs the vendor's update key" ""
configure rsa-key 1 "is not an ECDSA P-256 public key" "$work/rsa.pub"
configure p384-key 1 "is not an ECDSA P-256 public key" "$work/p384.pub"
configure unsigned-on-purpose 0 "this updater checks no signatures" "" -DQOR_UPDATE_UNSIGNED=ON

rm -rf "$work/build"
[ $failures -eq 0 ]
