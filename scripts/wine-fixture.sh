#!/usr/bin/env bash
# Starts or stops the Wine environment of one build tree: a fresh prefix with a warm wineserver,
# the Chinese locale, an Xvfb display of its own and Chinese font replacements.
#   scripts/wine-fixture.sh start STATE_DIR [PROBE.exe]   (prefix in STATE_DIR/wineprefix)
#   scripts/wine-fixture.sh stop STATE_DIR
# "start" writes STATE_DIR/wine-env.state, a shell fragment with the variables every Windows
# program of the run needs; scripts/wine-run.sh reads it. Both commands first end whatever an
# earlier, interrupted run of the same STATE_DIR left running, so the next run starts clean.
# With PROBE.exe (an i686 program), "start" fails unless the prefix runs it under WoW64.
# Everything stays inside STATE_DIR, so build trees side by side never share a prefix or display.
set -euo pipefail
cmd=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
state="$dir/wine-env.state"
prefix="$dir/wineprefix"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

# Ends the wineserver (and with it every Windows program) of this prefix and the Xvfb that an
# earlier start of this STATE_DIR launched, if it still runs.
stop_env() {
  [ -d "$prefix" ] && WINEPREFIX="$prefix" "$WINESERVER" -k > /dev/null 2>&1 || true
  if [ -f "$state" ]; then
    local pid
    pid=$(sed -n 's/^QOR_XVFB_PID=//p' "$state")
    # Only our own Xvfb: the pid may have been reused by an unrelated process since.
    if [ -n "$pid" ] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$state"
  fi
}

if [ "$cmd" = stop ]; then
  stop_env
  exit 0
fi
[ "$cmd" = start ] || { echo "usage: $0 start|stop STATE_DIR" >&2; exit 2; }

stop_env
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
export LC_ALL=zh_CN.UTF-8
export LANG=zh_CN.UTF-8
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

# A virtual display for the windows and message boxes. Xvfb picks a free display number itself
# and reports it once it accepts connections; it runs in a session of its own, detached from the
# caller's output, so that a test runner waiting for this script's output does not wait for it.
rm -f "$dir/xvfb.display"
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3> "$dir/xvfb.display" < /dev/null > "$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
# Written at once so that an interrupted start still lets the next one end this Xvfb.
printf 'QOR_XVFB_PID=%s\n' "$xvfb_pid" > "$state"
for _ in $(seq 100); do [ -s "$dir/xvfb.display" ] && break; sleep 0.1; done
n=$(tr -dc 0-9 < "$dir/xvfb.display")
[ -n "$n" ] || { echo "Xvfb did not start, see $dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$n"

# Create the prefix on a server of its own and let that server end with everything it
# started: a prefix booted under an already persistent server ends up with two service
# managers, and every program that opens a window then waits 10 s for RPC services.
"$WINE" wineboot -i < /dev/null > "$dir/wineboot.log" 2>&1
"$WINESERVER" -w
# One warm server for the whole run: programs then start in a fraction of a second.
setsid nohup "$WINESERVER" -p -f < /dev/null > /dev/null 2>&1 &

# Shell folders inside the prefix, not links into the Linux home.
for d in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
done

# A second drive D:, empty at every start: the installer's default folder and deployment paths
# are on it.
rm -rf "$dir/drive_d"
mkdir -p "$dir/drive_d"
ln -sfn "$dir/drive_d" "$WINEPREFIX/dosdevices/d:"

# A program that crashes ends at once with a backtrace on its error output, instead of waiting
# behind Wine's crash dialog for a click that no test gives.
"$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f < /dev/null > /dev/null 2>&1

# Chinese fonts for readable windows.
for f in 宋体 SimSun NSimSun 新宋体 微软雅黑 "Microsoft YaHei"; do
  "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ /d "WenQuanYi Zen Hei" /f \
    < /dev/null > /dev/null 2>&1
done

if [ -n "${3:-}" ] && ! "$WINE" "$3" < /dev/null > "$dir/wow64-probe.log" 2>&1; then
  echo "The i686 programs do not run under Wine's WoW64 mode here ($(cat "$dir/wow64-probe.log" 2> /dev/null))." >&2
  echo "Wine's 32-bit Windows DLLs are missing: run scripts/setup.sh as root (its step for libwine:i386)." >&2
  exit 1
fi

{
  printf 'QOR_XVFB_PID=%s\n' "$xvfb_pid"
  printf 'export WINEPREFIX=%q\n' "$WINEPREFIX"
  printf 'export DISPLAY=%q\n' "$DISPLAY"
  printf 'export WINEDEBUG=%q\n' "$WINEDEBUG"
  printf 'export WINEDLLOVERRIDES=%q\n' "$WINEDLLOVERRIDES"
  printf 'export LC_ALL=%q\n' "$LC_ALL"
  printf 'export LANG=%q\n' "$LANG"
} > "$state.new"
mv "$state.new" "$state"
echo "Wine environment: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
