# Sourced by scripts/test.sh: a fresh Wine prefix with a warm server, the Chinese locale and a
# virtual display, so Windows programs run as on a Chinese desktop. qor_wine_stop ends it all.

qor_wine_start() {
  local root=$1
  export WINEPREFIX="$root/build/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
  export LC_ALL=zh_CN.UTF-8
  export LANG=zh_CN.UTF-8
  WINE=/usr/lib/wine/wine64
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"

  # A virtual display for the windows and message boxes.
  local n
  for n in 91 92 93 94 95 96 97 98 99; do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > "$root/build/xvfb.log" 2>&1 &
  QOR_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

  # Create the prefix on a server of its own and let that server end with everything it
  # started: a prefix booted under an already persistent server ends up with two service
  # managers, and every program that opens a window then waits 10 s for RPC services.
  $WINE wineboot -i > "$root/build/wineboot.log" 2>&1
  /usr/lib/wine/wineserver64 -w
  # One warm server for the whole run: programs then start in a fraction of a second.
  setsid nohup /usr/lib/wine/wineserver64 -p -f > /dev/null 2>&1 &

  # Shell folders inside the prefix, not links into the Linux home.
  local d
  for d in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
  done

  # Chinese fonts for readable windows.
  local f
  for f in 宋体 SimSun NSimSun 新宋体 微软雅黑 "Microsoft YaHei"; do
    $WINE reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ /d "WenQuanYi Zen Hei" /f > /dev/null 2>&1
  done
}

qor_wine_stop() {
  /usr/lib/wine/wineserver64 -k > /dev/null 2>&1 || true
  [ -n "${QOR_XVFB_PID:-}" ] && kill "$QOR_XVFB_PID" 2>/dev/null || true
}
