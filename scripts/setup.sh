#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (run as root).
set -euo pipefail

packages=(cmake g++ make googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
          libwine-dev wine wine64 xvfb x11-utils locales fonts-wqy-zenhei imagemagick
          clang libclang-rt-dev libssl-dev osslsigncode dpkg-dev nginx)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  # Where nothing forbids it, Debian starts nginx's own service on installation. The tests start
  # nginx themselves, for one test at a time, and need no server of the machine's own.
  if [[ " ${missing[*]} " == *" nginx "* ]] && [ -s /run/nginx.pid ]; then /usr/sbin/nginx -s quit || true; fi
fi

# Chinese locale: Wine then uses ANSI code page 936, as the target systems do, and finds
# non-ASCII file names.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi

# Wine's WoW64 mode: wine64 runs the i686 programs (what customers get) when Wine's 32-bit Windows
# DLLs lie beside its 64-bit ones. They come from Debian's libwine:i386, fetched with apt through
# a private configuration that also names i386, so that the machine's own architectures and
# lists stay as they are; only its i386-windows folder is used. Its 32-bit Linux half (and so
# wine32) is never installed: this kernel cannot start 32-bit Linux programs.
wine_dir=/usr/lib/x86_64-linux-gnu/wine
version=$(dpkg-query -W -f='${Version}' libwine)
stamp=$wine_dir/i386-windows/.qor-libwine-i386
if [ "$(cat "$stamp" 2> /dev/null)" != "$version" ]; then
  echo "setup: Wine's 32-bit Windows DLLs (libwine:i386 $version)"
  cache=/var/cache/qor-apt
  apt_private=(-q -o APT::Architectures::=amd64 -o APT::Architectures::=i386 -o Dir::State::Lists="$cache/lists")
  mkdir -p "$cache/lists/partial"
  deb=$(ls "$cache"/libwine_"${version//\~/%7e}"_i386.deb "$cache"/libwine_"$version"_i386.deb 2> /dev/null | head -n 1 || true)
  if [ -z "$deb" ]; then
    rm -f "$cache"/libwine_*_i386.deb
    # A list that a mirror is still syncing (often the security suite's) fails the update; the
    # package comes from the main suite's list, so the download decides.
    apt-get "${apt_private[@]}" update > "$cache/update.log" 2>&1 ||
      echo "setup: some package lists could not be fetched ($cache/update.log); going on with the others"
    (cd "$cache" && apt-get "${apt_private[@]}" download "libwine:i386=$version") > "$cache/download.log" 2>&1 ||
      { cat "$cache/update.log" "$cache/download.log"; exit 1; }
    deb=$(ls "$cache"/libwine_*_i386.deb | head -n 1)
  fi
  rm -rf "$cache/x32"
  dpkg -x "$deb" "$cache/x32"
  cp -a "$cache/x32/usr/lib/i386-linux-gnu/wine/i386-windows/." "$wine_dir/i386-windows/"
  rm -rf "$cache/x32"
  echo "$version" > "$stamp"
fi

# The real console RAR extractor, built from Debian's source, and the RAR compressor that makes
# the test, demo and release archives (build/extractor).
bash "$(dirname "$0")/real-extractor.sh"
