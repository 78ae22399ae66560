#!/usr/bin/env bash
# Times the everyday start under Wine: QOR.exe with "/0" in a configured application folder,
# from process start until it ends right after the spreadsheet host stand-in's Workbooks.Open,
# against a minimal program that only creates the host and opens the workbook, in the same run.
# Prints both medians and their ratio (goal: at most 1.2), and where the time goes: for each
# point of the start-up the median milliseconds from process creation, beside the minimal
# program's (the test build's trace, QOR_TEST_TRACE).
#   bash bench/everyday_start.sh [runs]        (after scripts/build.sh; QOR_BENCH_ARCH=i686|x86_64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-9}
source scripts/wine-env.sh
qor_bench_build "$root"
build=$QOR_BENCH_BUILD
qor_wine_start "$root"
trap qor_wine_stop EXIT
W=/usr/lib/wine/wine64

app="$WINEPREFIX/drive_c/bench/app"
host="$WINEPREFIX/drive_c/bench/host"
mkdir -p "$app/SYS" "$host"
cp "$build/launcher/QOR.exe" "$app/"
for f in qord.dll MSJINT40.DLL MSJTER40.DLL MSWSTR10.DLL msado15.dll msjro.dll msjetoledb40.dll \
         cdosys.dll FM20.DLL DiskID32.dll Mscomct2.ocx MSCOMCTL.OCX MSFlxGrd.ocx \
         Excel2010_filechkfalse.reg Excel2010_filechktrue.reg mymsg1.wav mymsg2.wav mymsg3.wav \
         ZT usr myrpt myxls pzprt zbprt gzprt 打印预览; do
  printf 'x' > "$app/SYS/$f"
done
printf 'workbook' > "$app/QOR_BIZACC_6.01"
printf 'FSSHOW = False\r\nFFSHOW = False\r\n' > "$app/SYS/setinf.txt"
cp "$build/tests/standins/qor_excel_standin.exe" "$host/excel.exe"
printf 'version=16.0\r\nlog=C:\\bench\\host\\calls.log\r\n' > "$host/excel_standin.ini"
$W 'C:\bench\host\excel.exe' /regserver > /dev/null 2>&1

# Waits (up to 20 s) until no process of this prefix whose command line matches the pattern
# runs any more.
wait_gone() {
  local pid busy
  for _ in $(seq 200); do
    busy=
    for pid in $(pgrep -f -i "$1" || true); do
      if { tr '\0' '\n' < "/proc/$pid/environ"; } 2> /dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then busy=1; fi
    done
    [ -z "$busy" ] && return 0
    sleep 0.1
  done
}
# Ends the spreadsheet hosts a run left running, and waits until they are gone.
end_hosts() {
  $W taskkill /f /im excel.exe > /dev/null 2>&1 || true
  wait_gone 'excel\.exe'
}
# Waits until no program that the launcher starts (regsvr32, reg, regedit, cmd) runs any more,
# so that neither program is timed while the other's leftovers still use the processors.
settle() { wait_gone 'regsvr32|reg\.exe|regedit|cmd\.exe'; }

# The first start configures the folder on this machine (its notice is answered here).
$W 'C:\bench\app\QOR.exe' /0 > /dev/null 2>&1 &
first=$!
$W "$build/tests/standins/uidriver.exe" wait "配置QOR运行环境>>" 60000 > /dev/null 2>&1 || true
$W "$build/tests/standins/uidriver.exe" click "配置QOR运行环境>>" "我知道了" > /dev/null 2>&1 || true
wait $first
settle
end_hosts

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Each timed program also writes where its time went (test builds only, QOR_TEST_TRACE): the
# milliseconds from its process's creation to each point it reached.
traces="$WINEPREFIX/drive_c/bench/traces"
rm -rf "$traces"
mkdir -p "$traces/launcher" "$traces/minimal"
launcher_times=() minimal_times=()
for run in $(seq "$runs"); do
  t0=$(now_ms)
  QOR_TEST_TRACE="C:\\bench\\traces\\launcher\\$run.txt" $W 'C:\bench\app\QOR.exe' /0 > /dev/null 2>&1
  t1=$(now_ms)
  launcher_times+=($((t1 - t0)))
  settle
  end_hosts
  t0=$(now_ms)
  QOR_TEST_TRACE="C:\\bench\\traces\\minimal\\$run.txt" \
    $W "$build/bench/qor_bench_minimal_open.exe" 'C:\bench\app\QOR_BIZACC_6.01' > /dev/null 2>&1
  t1=$(now_ms)
  minimal_times+=($((t1 - t0)))
  end_hosts
done
opens=$(grep -c 'Workbooks.Open' "$host/calls.log" || true)
launcher=$(printf '%s\n' "${launcher_times[@]}" | median)
minimal=$(printf '%s\n' "${minimal_times[@]}" | median)
echo "runs: $runs each; Workbooks.Open calls logged: $opens"
echo "everyday start (QOR.exe /0): median ${launcher} ms  [${launcher_times[*]}]"
echo "minimal create-and-open:     median ${minimal} ms  [${minimal_times[*]}]"
echo "where the time goes: ms from process creation to each point, median over the runs (+ since the point before)"
python3 - "$traces" <<'PY'
import glob, statistics, sys

def medians(folder):
    points, times = [], {}
    for path in sorted(glob.glob(folder + "/*.txt")):
        for line in open(path, encoding="utf-8"):
            point, ms = line.rstrip("\r\n").split("\t")
            if point not in times:
                points.append(point)
                times[point] = []
            times[point].append(float(ms))
    return points, {p: statistics.median(t) for p, t in times.items()}

points, launcher = medians(sys.argv[1] + "/launcher")
_, minimal = medians(sys.argv[1] + "/minimal")
print(f"  {'point':<16} {'QOR.exe /0':>20} {'minimal':>20}")
before = {"launcher": 0.0, "minimal": 0.0}
for point in points:
    cells = []
    for name, table in (("launcher", launcher), ("minimal", minimal)):
        if point in table:
            cells.append(f"{table[point]:8.1f} (+{table[point] - before[name]:7.1f})")
            before[name] = table[point]
        else:
            cells.append("")
    print(f"  {point:<16} {cells[0]:>20} {cells[1]:>20}")
PY
awk -v a="$launcher" -v b="$minimal" 'BEGIN { printf "ratio: %.2f (goal: at most 1.2)\n", a / b }'
