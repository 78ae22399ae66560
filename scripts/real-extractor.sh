#!/usr/bin/env bash
# The real console RAR extractor and the RAR compressor for the build machine, from Debian's
# non-free component only:
#   build/extractor/<arch>/crt/UnRAR.exe   arguments split by the C runtime (the source's default)
#   build/extractor/<arch>/own/UnRAR.exe   arguments split by the extractor itself
#                                          (-DCUSTOM_CMDLINE_PARSER)
#   build/extractor/rar                    Debian's rar, unpacked with dpkg -x, never installed
# for <arch> i686 and x86_64, cross-built with mingw-w64 from `apt-get source unrar-nonfree`
# (Debian's patches applied). Debian's non-free component is read through a private apt
# configuration made from the mirrors of the machine's own sources, which stay as they are.
# A second run finds the results in build/extractor and costs seconds; it builds again only when
# Debian offers another version or this script changed.
# The unrar source's licence allows building and passing on the extractor, not using its code
# to re-create the RAR compressor.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build/extractor
apt_dir=$out/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

# The Debian mirrors and suites of the machine's own sources (one-line and deb822 forms), with
# the non-free component instead of theirs.
mirrors() {
  {
    { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2> /dev/null || true; } |
      awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } print $i, $(i + 1) }'
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk 'BEGIN { RS = ""; FS = "\n" }
           { uris = ""; suites = ""; deb = 0
             for (j = 1; j <= NF; j++) {
               if ($j ~ /^Types:/ && (" " $j " ") ~ /[ \t]deb[ \t]/) deb = 1
               if ($j ~ /^URIs:/) { uris = $j; sub(/^URIs:[ \t]*/, "", uris) }
               if ($j ~ /^Suites:/) { suites = $j; sub(/^Suites:[ \t]*/, "", suites) } }
             if (!deb) next
             nu = split(uris, u, /[ \t]+/); ns = split(suites, s, /[ \t]+/)
             for (a = 1; a <= nu; a++) for (b = 1; b <= ns; b++) print u[a], s[b] }' "$f"
    done
  } | grep -E '/debian(-security)?/? ' | sort -u
}

: > "$apt_dir/sources.list"
while read -r uri suite; do
  printf 'deb %s %s non-free\ndeb-src %s %s non-free\n' "$uri" "$suite" "$uri" "$suite" >> "$apt_dir/sources.list"
done < <(mirrors)
apt_private=(-q -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache"
             -o APT::Sandbox::User=root)

unrar_version=""
rar_version=""
if [ -s "$apt_dir/sources.list" ] && apt-get "${apt_private[@]}" update > "$apt_dir/update.log" 2>&1; then
  unrar_version=$(apt-cache "${apt_private[@]}" showsrc unrar-nonfree 2> /dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1)
  rar_version=$(apt-cache "${apt_private[@]}" policy rar 2> /dev/null | sed -n 's/^ *Candidate: //p')
fi
script_sum=$(sha256sum "$0" | cut -c1-16)
stamp=$out/.stamp
have=$(cat "$stamp" 2> /dev/null || true)
built() {
  for f in i686/crt i686/own x86_64/crt x86_64/own; do [ -s "$out/$f/UnRAR.exe" ] || return 1; done
  [ -x "$out/rar" ]
}
if [ -z "$unrar_version" ] || [ -z "$rar_version" ] || [ "$rar_version" = "(none)" ]; then
  # No mirror answered: what an earlier run built serves, otherwise there is nothing to build.
  if built && [ -n "$have" ]; then
    echo "setup: real extractor: Debian's non-free component did not answer; using ${have% *}"
    exit 0
  fi
  echo "setup: Debian's non-free component (unrar-nonfree, rar) is not reachable; see $apt_dir/update.log" >&2
  exit 1
fi
want="unrar-nonfree $unrar_version rar $rar_version $script_sum"
if built && [ "$have" = "$want" ]; then exit 0; fi

echo "setup: building the real extractor (unrar-nonfree $unrar_version) for i686 and x86_64"
rm -rf "$out/src" "$out/rar-deb" "$out/i686" "$out/x86_64" "$stamp"
mkdir -p "$out/src"
(cd "$out/src" && apt-get "${apt_private[@]}" source "unrar-nonfree=$unrar_version") > "$apt_dir/source.log" 2>&1 ||
  { cat "$apt_dir/source.log"; exit 1; }
src=$(find "$out/src" -mindepth 1 -maxdepth 1 -type d | head -n 1)

# Three spellings mingw's headers and compiler need: its header names are lower case, and _bstr_t
# has no constructor from a narrow literal under this compiler's settings.
fix() {  # fix FILE SED-EXPRESSION PATTERN-THAT-MUST-APPEAR-AFTER
  sed -i "$2" "$src/$1"
  grep -q "$3" "$src/$1" || { echo "setup: the unrar source changed: $1 has no $3" >&2; exit 1; }
}
fix os.hpp 's/<PowrProf\.h>/<powrprof.h>/' '<powrprof.h>'
fix isnt.cpp 's/<Wbemidl\.h>/<wbemidl.h>/' '<wbemidl.h>'
fix isnt.cpp 's/bstr_t("\([^"]*\)")/bstr_t(L"\1")/g' 'bstr_t(L"WQL")'

# The extractor's sources: its makefile's list for the unrar target, plus the Windows part.
objects=$(make -s -C "$src" -f - list <<'EOF'
include makefile
list:
	@echo $(OBJECTS) $(UNRAR_OBJ)
EOF
)
sources="$(echo "$objects" | sed 's/\.o\b//g') isnt"
compile_jobs=()
for arch in i686 x86_64; do
  mkdir -p "$out/obj/$arch"
  for s in $sources; do compile_jobs+=("$arch $s $s"); done
  compile_jobs+=("$arch cmddata cmddata_own -DCUSTOM_CMDLINE_PARSER")
done
printf '%s\n' "${compile_jobs[@]}" |
  xargs -P "$(nproc)" -L 1 sh -c 'cd "$0" && "$2-w64-mingw32-g++" -O2 -DUNRAR $5 -w -c "$3.cpp" -o "$1/obj/$2/$4.o"' \
    "$src" "$out" || { echo "setup: the real extractor did not compile" >&2; exit 1; }
for arch in i686 x86_64; do
  common=$(for s in $sources; do [ "$s" = cmddata ] || echo "$out/obj/$arch/$s.o"; done)
  for variant in crt own; do
    cmd=$out/obj/$arch/cmddata.o
    [ $variant = own ] && cmd=$out/obj/$arch/cmddata_own.o
    mkdir -p "$out/$arch/$variant"
    # shellcheck disable=SC2086
    "$arch-w64-mingw32-g++" -static -s -o "$out/$arch/$variant/UnRAR.exe" $common "$cmd" \
      -lshlwapi -lpowrprof -lole32 -loleaut32 -lwbemuuid -luuid
  done
done
rm -rf "$out/obj"

(cd "$apt_dir/cache/archives" && rm -f rar_*.deb && apt-get "${apt_private[@]}" download "rar=$rar_version") \
  > "$apt_dir/download.log" 2>&1 || { cat "$apt_dir/download.log"; exit 1; }
dpkg -x "$apt_dir"/cache/archives/rar_*.deb "$out/rar-deb"
ln -sf rar-deb/usr/bin/rar "$out/rar"
echo "$want" > "$stamp"
echo "setup: real extractor in build/extractor (i686, x86_64; crt, own), rar $rar_version"
