#!/usr/bin/env bash
# Times the everyday start under Wine: QOR.exe with "/0" in a configured application folder,
# from process start until it ends right after the spreadsheet host stand-in's Workbooks.Open,
# against a minimal program that only creates the host and opens the workbook, in the same run.
# Prints both medians and their ratio (goal: at most 1.2).
#   bench/everyday_start.sh [runs]        (after the win64 build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-9}
build="$root/build/win64"
source scripts/wine-env.sh
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

end_hosts() { $W taskkill /f /im excel.exe > /dev/null 2>&1 || true; }

# The first start configures the folder on this machine (its notice is answered here).
$W 'C:\bench\app\QOR.exe' /0 > /dev/null 2>&1 &
first=$!
$W "$build/tests/standins/uidriver.exe" click "配置QOR运行环境>>" "我知道了" > /dev/null 2>&1 || true
wait $first
sleep 2  # the registration commands it started
end_hosts

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

launcher_times=() minimal_times=()
for _ in $(seq "$runs"); do
  t0=$(now_ms); $W 'C:\bench\app\QOR.exe' /0 > /dev/null 2>&1; t1=$(now_ms)
  launcher_times+=($((t1 - t0)))
  end_hosts
  t0=$(now_ms); $W "$build/bench/qor_bench_minimal_open.exe" 'C:\bench\app\QOR_BIZACC_6.01' > /dev/null 2>&1; t1=$(now_ms)
  minimal_times+=($((t1 - t0)))
  end_hosts
done
opens=$(grep -c 'Workbooks.Open' "$host/calls.log" || true)
launcher=$(printf '%s\n' "${launcher_times[@]}" | median)
minimal=$(printf '%s\n' "${minimal_times[@]}" | median)
echo "runs: $runs each; Workbooks.Open calls logged: $opens"
echo "everyday start (QOR.exe /0): median ${launcher} ms  [${launcher_times[*]}]"
echo "minimal create-and-open:     median ${minimal} ms  [${minimal_times[*]}]"
awk -v a="$launcher" -v b="$minimal" 'BEGIN { printf "ratio: %.2f (goal: at most 1.2)\n", a / b }'
