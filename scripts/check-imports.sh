#!/usr/bin/env bash
# Lists the DLLs each built deliverable imports and fails when one of them is not on the list
# below. Windows loads a known DLL only from the system folder; any other DLL named in the
# import table is looked for in the program's own folder first, before the program's first
# line runs, so a DLL of that name planted beside a downloaded installer would run with its
# rights. The programs therefore import every other system DLL lazily and load it from the
# system folder only (cmake/delay_imports.cmake).
#   scripts/check-imports.sh [BUILD_DIR...]   (default: build/win32 build/win64)
set -euo pipefail
cd "$(dirname "$0")/.."

# The KnownDLLs of Windows 10 (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs),
# plus ntdll and kernelbase, which the loader always takes from the system folder, and comctl32,
# which each program's manifest binds to the side-by-side Common Controls 6 in WinSxS.
allowed=" kernel32 user32 gdi32 advapi32 ole32 oleaut32 shell32 shlwapi comdlg32 msvcrt ws2_32 rpcrt4
  sechost imm32 psapi setupapi wldap32 normaliz nsi combase clbcatq coml2 difxapi gdiplus imagehlp
  msctf shcore ntdll kernelbase comctl32 "
allowed=$(echo $allowed)

# The functions a build imports lazily: the exports of its delay-load libraries' definitions.
lazy_functions() {
  sed -n 's/^  \([A-Za-z0-9_]*\).*/\1/p' "$1"/delayload/*.def | sort -u
}

deliverables=(launcher/QOR.exe installer/QOR_SETUP.exe updater/QOR_UPDATE.exe hwinfo/qord.dll)
[ $# -gt 0 ] || set -- build/win32 build/win64
failed=0
for dir in "$@"; do
  for file in "${deliverables[@]}"; do
    path=$dir/$file
    if [ ! -f "$path" ]; then
      echo "MISSING  $path"
      failed=1
      continue
    fi
    dlls=$(x86_64-w64-mingw32-objdump -p "$path" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
    bad=""
    for dll in $dlls; do
      case " $allowed " in
        *" ${dll%.dll} "*) ;;
        *) bad="$bad $dll" ;;
      esac
    done
    echo "$path:" $dlls
    if [ -n "$bad" ]; then
      echo "  not a known DLL:$bad"
      failed=1
    fi
    # A lazily imported function whose thunk the linker left unbound (an absolute symbol at 0):
    # the first call of it jumps to address 0.
    unbound=$(x86_64-w64-mingw32-nm "$path" 2> /dev/null |
      awk '$2 == "A" { n = $3; sub(/^_/, "", n); sub(/@[0-9]+$/, "", n); print n }' |
      grep -xF -f <(lazy_functions "$dir") | sort -u | tr '\n' ' ' || true)
    if [ -n "$unbound" ]; then
      echo "  lazily imported but unbound: $unbound"
      failed=1
    fi
  done
done
if [ "$failed" = 1 ]; then
  echo "import check FAILED"
  exit 1
fi
echo "import check passed"
