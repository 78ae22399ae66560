#!/usr/bin/env bash
# Signs release files with Authenticode (osslsigncode), in place, in the order given.
#
#   bash scripts/sign-release.sh (--pfx FILE [--pass-file FILE] | --cert CERT.pem --key KEY.pem)
#                                [--timestamp URL] FILE...
#
# Sign the programs (QOR.exe, QOR_UPDATE.exe, qord.dll) before they go into the application
# archive, and the installer package only after qor_pack has written it: the signature must end
# the file. The installer stops reading after its second record, so the signature that follows
# it does no harm. Each file is checked with `osslsigncode verify` against the signing
# certificate afterwards; exit code 1 on any failure, and a file that failed keeps its old bytes.
set -euo pipefail

usage() {
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 1
}

pfx="" pass_file="" cert="" key="" timestamp=""
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --pfx) pfx=${2:?}; shift 2 ;;
    --pass-file) pass_file=${2:?}; shift 2 ;;
    --cert) cert=${2:?}; shift 2 ;;
    --key) key=${2:?}; shift 2 ;;
    --timestamp) timestamp=${2:?}; shift 2 ;;
    -h|--help) usage ;;
    -*) echo "sign-release: unknown option $1" >&2; usage ;;
    *) files+=("$1"); shift ;;
  esac
done
[ ${#files[@]} -gt 0 ] || { echo "sign-release: no file to sign" >&2; usage; }
command -v osslsigncode >/dev/null || { echo "sign-release: osslsigncode is not installed (bash scripts/setup.sh)" >&2; exit 1; }

signer=()
ca=""
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ -n "$pfx" ]; then
  [ -z "$cert$key" ] || { echo "sign-release: give either --pfx or --cert and --key" >&2; exit 1; }
  [ -r "$pfx" ] || { echo "sign-release: cannot read $pfx" >&2; exit 1; }
  signer=(-pkcs12 "$pfx")
  pass=()
  if [ -n "$pass_file" ]; then
    signer+=(-readpass "$pass_file")
    pass=(-passin "file:$pass_file")
  else
    pass=(-passin pass:)
  fi
  # The certificate to verify against comes out of the container.
  openssl pkcs12 -in "$pfx" -nokeys -clcerts "${pass[@]}" -out "$tmp/cert.pem" 2>/dev/null ||
    openssl pkcs12 -legacy -in "$pfx" -nokeys -clcerts "${pass[@]}" -out "$tmp/cert.pem" ||
    { echo "sign-release: cannot open $pfx (wrong password?)" >&2; exit 1; }
  ca="$tmp/cert.pem"
else
  [ -n "$cert" ] && [ -n "$key" ] || { echo "sign-release: give --pfx, or --cert and --key" >&2; exit 1; }
  [ -r "$cert" ] && [ -r "$key" ] || { echo "sign-release: cannot read $cert or $key" >&2; exit 1; }
  signer=(-certs "$cert" -key "$key")
  [ -z "$pass_file" ] || signer+=(-readpass "$pass_file")
  ca="$cert"
fi
stamp=()
[ -z "$timestamp" ] || stamp=(-ts "$timestamp")

for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "sign-release: no such file: $f" >&2; exit 1; }
  out="$tmp/signed"
  rm -f "$out"
  if ! osslsigncode sign "${signer[@]}" "${stamp[@]}" -h sha256 -n "QOR" -in "$f" -out "$out" > "$tmp/log" 2>&1; then
    cat "$tmp/log" >&2
    echo "sign-release: signing failed: $f" >&2
    exit 1
  fi
  if ! osslsigncode verify -CAfile "$ca" -in "$out" > "$tmp/log" 2>&1; then
    cat "$tmp/log" >&2
    echo "sign-release: the signed file does not verify: $f" >&2
    exit 1
  fi
  cat "$out" > "$f"
  echo "signed: $f"
done
