#!/usr/bin/env bash
# Authenticode signing of a release under Wine's build tree: a throwaway self-signed certificate
# (PEM pair and PFX), scripts/sign-release.sh on the programs and on the packed demo installer,
# `osslsigncode verify` on each, a changed byte caught, and the signed installer still finding
# its records: it installs the demo application under Wine (through its repair path, driven by
# the UI driver) into a folder of its own.
#   tests/tools/sign_release_test.sh SOURCE_DIR BUILD_DIR   (a win64 or wow64 build, host tools built)
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# 1. A throwaway code-signing certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=QOR Test Vendor" -addext "extendedKeyUsage=codeSigning" > "$work/openssl.log" 2>&1 ||
  { cat "$work/openssl.log"; fail "no certificate"; }
printf 'secret' > "$work/pass.txt"
openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -out "$work/vendor.pfx" \
  -passout file:"$work/pass.txt" > /dev/null 2>&1 || fail "no PFX"

# 2. The programs, signed with the PEM pair; the packed installer, packed first, then signed
#    with the PFX.
cp "$build/launcher/QOR.exe" "$build/updater/QOR_UPDATE.exe" "$build/hwinfo/qord.dll" "$work/"
bash "$src/scripts/sign-release.sh" --cert "$work/cert.pem" --key "$work/key.pem" \
  "$work/QOR.exe" "$work/QOR_UPDATE.exe" "$work/qord.dll" || fail "signing the programs"
(cd "$src" && bash scripts/pack-demo.sh "$(basename "$build")" > /dev/null) || fail "packing the demo installer (host tools built?)"
cp "$build/installer/demo/QOR_SETUP.exe" "$work/QOR_SETUP.exe"
unsigned_size=$(stat -c %s "$work/QOR_SETUP.exe")
bash "$src/scripts/sign-release.sh" --pfx "$work/vendor.pfx" --pass-file "$work/pass.txt" "$work/QOR_SETUP.exe" ||
  fail "signing the installer"
for f in QOR.exe QOR_UPDATE.exe qord.dll QOR_SETUP.exe; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$f" > "$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "$f does not verify"; }
done
[ "$(stat -c %s "$work/QOR_SETUP.exe")" -gt "$unsigned_size" ] || fail "no signature appended"
# Past the headers (checksum, certificate table), the image and both records are unchanged
# before the signature.
cmp <(tail -c +1025 "$build/installer/demo/QOR_SETUP.exe") \
    <(tail -c +1025 "$work/QOR_SETUP.exe" | head -c $((unsigned_size - 1024))) > /dev/null ||
  fail "signing changed the package's records"

# A changed byte in the middle of the installer is caught.
cp "$work/QOR_SETUP.exe" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=$((unsigned_size / 2)) conv=notrunc status=none
if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/changed.exe" > /dev/null 2>&1; then
  fail "a changed installer still verifies"
fi
# A file that cannot be signed keeps its bytes and fails the script.
printf 'not a program' > "$work/plain.txt"
if bash "$src/scripts/sign-release.sh" --cert "$work/cert.pem" --key "$work/key.pem" "$work/plain.txt" 2> /dev/null; then
  fail "signing a non-program succeeded"
fi
[ "$(cat "$work/plain.txt")" = "not a program" ] || fail "a failed signing changed the file"

# 3. The signed installer installs under Wine: its copy in the install folder, started with "/u",
#    repairs (installs) into that folder. Its windows hold edit controls, which crash where 32-bit
#    programs have no device contexts (Wine 8's WoW64): the i686 build's probe says so.
run() { "$src/scripts/wine-run.sh" "$build" "$@"; }
probe=$build/tests/standins/qor_wow64_probe.exe
if [ -f "$probe" ] && ! run "$probe" --windows < /dev/null > "$work/probe.log" 2>&1; then
  echo "signed and verified; the install under Wine skipped: 32-bit programs have no device contexts here ($(tr -d '\r' < "$work/probe.log"))"
  exit 77
fi
driver=$build/tests/standins/uidriver.exe
app="$work/安装"
mkdir -p "$app"
cp "$work/QOR_SETUP.exe" "$app/QOR_SETUP.exe"
winapp="Z:$(printf '%s' "$app" | tr / '\\')"
run "$winapp\\QOR_SETUP.exe" /u < /dev/null > "$work/setup.log" 2>&1 &
setup=$!
cleanup_wine() {
  kill "$setup" 2> /dev/null || true
  run reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\QOR中小企业财务软件' /f > /dev/null 2>&1 || true
  find "$build/wineprefix/drive_c" -name 'QOR中小企业财务软件*' -prune -exec rm -rf {} + 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup_wine EXIT
run "$driver" click "QOR卸载" "修复安装(&S).." > /dev/null 2>&1 || fail "no uninstall window with its repair button"
finished=""
for _ in $(seq 120); do
  if run "$driver" wait "QOR安装" 2000 > "$work/texts.txt" 2>/dev/null &&
     grep -q '已经成功的安装到您的计算机。' "$work/texts.txt"; then finished=1; break; fi
  sleep 0.5
done
[ -n "$finished" ] || { cat "$work/texts.txt" >&2; fail "the signed installer did not finish its install"; }
run "$driver" click "QOR安装" "运行  QOR中小企业财务软件" > /dev/null 2>&1
run "$driver" click "QOR安装" "完成(&D)" > /dev/null 2>&1 || fail "no finish button"
for _ in $(seq 100); do kill -0 "$setup" 2> /dev/null || break; sleep 0.2; done
for f in QOR.exe UnRAR.exe qor.ico uninstall.inf SYS/setinf.txt 使用说明.txt; do
  [ -f "$app/$f" ] || fail "the signed installer did not install $f"
done
cmp "$app/QOR.exe" "$build/installer/demo/app/QOR.exe" || fail "installed QOR.exe differs"
echo "signed programs and installer verify; the signed installer installs"
