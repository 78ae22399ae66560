#!/usr/bin/env bash
# The whole life of the product in one command, under Wine on a virtual display:
#   1. install through the wizard          5. the hand-off to the updater, the update installed
#   2. the first start, with its notices   6. the restart that reopens the account set
#   3. an account set double-clicked       7. a repair after a file went missing
#   4. a background download               8. the uninstall
# It builds first (scripts/build.sh, which installs what the build needs unless QOR_SKIP_SETUP=1),
# packs an installer package of the real test-build programs of one architecture (QOR_DEMO_ARCH:
# i686, the build customers get, run under Wine's WoW64 mode, or x86_64) and an update package, and
# serves the update from the update-server stand-in on a loopback address; the spreadsheet host
# is its stand-in registered as "Excel.Application". Every window is driven through the UI
# driver as a person would and saved as a picture; build/demo/index.html shows the pictures with
# one line per step: what happened and whether it matched what was expected. Exit code 0 when
# every step passed. Everything it starts (Xvfb, wineserver, the programs) ends with it.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
begun=$SECONDS

bash scripts/build.sh || exit 1

DEMO=$ROOT/build/demo
ENV=$DEMO/env                      # the Wine environment's state; the prefix is $ENV/wineprefix
PREFIX=$ENV/wineprefix
DRIVE_D=$ENV/drive_d               # drive D: of the prefix, made by scripts/wine-fixture.sh
SHOTS=$DEMO/shots
LOGS=$DEMO/logs
SERVER=$DEMO/server                # the update server's files
# use_arch ARCH: the build the demo shows. i686 is what customers get: 32-bit programs on
# 64-bit Windows, with 32-bit Office, the 32-bit registry view and SysWOW64.
use_arch() {
  ARCH=$1
  case $ARCH in
    i686)
      BUILD=$ROOT/build/wow64
      OFFICE_DIR='Program Files (x86)'
      UNINSTALL_ROOT='HKLM\Software\Wow6432Node'
      SYSTEM_DIR=syswow64 ;;
    x86_64)
      BUILD=$ROOT/build/win64
      OFFICE_DIR='Program Files'
      UNINSTALL_ROOT='HKLM\Software'
      SYSTEM_DIR=system32 ;;
    *) echo "demo: QOR_DEMO_ARCH is i686 or x86_64, not \"$ARCH\"" >&2; exit 2 ;;
  esac
  # The real console extractor of the architecture, built by scripts/setup.sh.
  EXTRACTOR=$ROOT/build/extractor/$ARCH/crt/UnRAR.exe
  UNINSTALL_KEY="$UNINSTALL_ROOT\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$PRODUCT"
  OFFICE_WIN="C:\\$OFFICE_DIR\\Microsoft Office\\Office16"
  # Where the installer keeps the uninstaller the entry starts: the program-files folder of the
  # build's bitness, which only administrators can write.
  KEPT_WIN="C:\\$OFFICE_DIR\\$PRODUCT"
}
# The UI driver reads, clicks and pictures the windows of either build from the 64-bit side.
UIDRIVER=$ROOT/build/win64/tests/standins/uidriver.exe

PRODUCT=QOR中小企业财务软件
APP=$DRIVE_D/$PRODUCT              # the install folder as Linux sees it
APP_WIN="D:\\$PRODUCT"
BOOKS_WIN='D:\QOR账套'
BOOK_NAME=2026年度账套.qorb         # no blank: Wine's reg splits the association's command there
BOOK_WIN="$BOOKS_WIN\\$BOOK_NAME"
MENU=$PREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/$PRODUCT
MENU_WIN="C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\$PRODUCT"
ADDRESS=127.$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1)).1   # a loopback address of this run's own

PIDS=()
cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2> /dev/null; done
  bash "$ROOT/scripts/wine-fixture.sh" stop "$ENV" > /dev/null 2>&1
  for pid in "${PIDS[@]}"; do wait "$pid" 2> /dev/null; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

die() { echo "demo: $*" >&2; exit 1; }

# The Windows form of a Linux path (Wine's drive Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# A Windows program in the demo's Wine environment, in the foreground or in the background.
W() { bash "$ROOT/scripts/wine-run.sh" "$ENV" "$@" < /dev/null; }
BG=0
bg() { W "$@" > "$LOGS/program-$((++BG)).log" 2>&1 & PIDS+=($!); }
# The UI driver; what it prints lands in $OUT (without the CR of CR LF).
OUT=$DEMO/uidriver.out
ui() {
  W "$UIDRIVER" "$@" > "$OUT.raw" 2> "$LOGS/uidriver.err"
  local rc=$?
  tr -d '\r' < "$OUT.raw" > "$OUT"
  return $rc
}
# poll SECONDS COMMAND...: asks the condition until it holds or the seconds are up.
poll() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}
# Files as the programs write them: the ANSI code page (GBK) with CR LF.
gbk() { iconv -f GBK -t UTF-8 "$1" 2> /dev/null | tr -d '\r'; }
setting() { [ -f "$APP/SYS/setinf.txt" ] && gbk "$APP/SYS/setinf.txt" | sed -n "s/^$1 = //p"; }
# The registry through Wine's reg (which writes GBK): the key exists; a value's data ("" when none).
key_exists() { W reg query "$1" > "$LOGS/reg.out" 2>&1; }
key_value() {
  W reg query "$1" /v "$2" > "$LOGS/reg.out" 2>&1
  gbk "$LOGS/reg.out" | sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
# The Uninstall entry starts the installer copy with "/u" (however the path is quoted).
uninstall_command() {
  local command
  command=$(key_value "$UNINSTALL_KEY" UninstallString)
  [[ ${command//\"/} == "$KEPT_WIN\\QOR_SETUP.exe /u" ]]
}
# uninstall.inf holds these lines.
listed() {
  local path
  for path; do gbk "$APP/uninstall.inf" | grep -qxF -- "$path" || return 1; done
}
# Lines of UTF-8 logs: the programs' command lines, the host's calls, the server's requests.
has_line() { [ -f "$2" ] && tr -d '\r' < "$2" | grep -qxF -- "$1"; }
count_lines() { if [ -f "$2" ]; then tr -d '\r' < "$2" | grep -cF -- "$1"; else echo 0; fi; }
log_complete() { [ -f "$APP/QOR_UPDATE.LOG" ] && [ "$(tail -c 19 "$APP/QOR_UPDATE.LOG")" = "! DOWNLOAD COMPLETE" ]; }
is_file() { [ -f "$1" ]; }
not() { ! "$@"; }
no_file() { [ ! -e "$1" ]; }
requested() { [ "$(count_lines "GET $1 " "$SERVER/requests.log")" -ge "$2" ]; }
opens() { count_lines $'\tCALL\tWorkbooks.Open\tFileName='"$APP_WIN\\QOR_BIZACC_6.01"$'\tPassword=avk' "$LOGS/excel-calls.log"; }
opened() { [ "$(opens)" -ge "$1" ]; }

# ---- the record of the steps ------------------------------------------------------------------
STEP_TITLE=() STEP_RESULT=() STEP_STORY=() STEP_CHECKS=() STEP_SHOTS=()
step=0 ok=1 story="" checks="" shots="" shot_count=0

# record STATUS TEXT: one expectation of the current step, met when STATUS is 0.
record() {
  if [ "$1" = 0 ]; then
    checks+="✓ $2"$'\n'
  else
    checks+="✗ $2"$'\n'
    ok=0
    echo "  FAILED: $2" >&2
  fi
}
# check DESCRIPTION COMMAND...: the command succeeds.
check() {
  local what=$1
  shift
  "$@"
  record $? "$what"
}
# expect DESCRIPTION ACTUAL EXPECTED: a text shown or stored, compared exactly.
expect() {
  if [ "$2" = "$3" ]; then record 0 "$1"; else record 1 "$1 (got \"$2\")"; fi
}
# shows TITLE TEXT...: the window's controls show these texts, each exactly.
shows() {
  local title=$1 text missing="" listing
  shift
  ui wait "$title" 10000
  listing=$'\n'$(cat "$OUT")$'\n'
  for text; do
    text=${text//$'\r'/}
    [[ $listing == *$'\ntext='"$text"$'\n'* ]] || missing+=" \"${text//$'\n'/↵}\""
  done
  if [ -z "$missing" ]; then record 0 "\"$title\" shows each of its texts exactly"; else record 1 "\"$title\" lacks$missing"; fi
}
# must DESCRIPTION COMMAND...: an action the step cannot go on without.
must() {
  local what=$1
  shift
  "$@" && return 0
  record 1 "$what"
  return 1
}
# shot TITLE NAME CAPTION: a picture of the window with that title, once it has settled.
shot() {
  local file
  shot_count=$((shot_count + 1))
  file=$(printf '%02d-%s' $shot_count "$2")
  if ui shot "$1" "$(winpath "$SHOTS/$file.bmp")" && /usr/bin/convert "$SHOTS/$file.bmp" "$SHOTS/$file.png"; then
    rm -f "$SHOTS/$file.bmp"
    shots+="$file.png|$3"$'\n'
  else
    record 1 "a picture of the window \"$1\""
  fi
}
# answer TITLE BUTTON_ID NAME CAPTION EXPECTED_TEXT: pictures a message box, checks its text,
# answers it.
answer() {
  must "the message box \"$1\" shows ($3)" ui wait "$1" 60000 || return 1
  shot "$1" "$3" "$4"
  must "the message box \"$1\" is answered" ui answer "$1" "$2" || return 1
  expect "the message reads \"${5//$'\n'/↵}\"" "$(cat "$OUT")" "$5"
}
# run_step TITLE FUNCTION: runs one step; a step whose action broke off ends the demo there.
stopped=0
run_step() {
  step=$((step + 1)) ok=1 story="" checks="" shots=""
  STEP_TITLE[step]=$1
  if [ $stopped = 1 ]; then
    STEP_RESULT[step]="not reached"
    STEP_STORY[step]="An earlier step broke off."
  else
    echo "== step $step ($((SECONDS - begun)) s): $1"
    "$2" || { ok=0; stopped=1; }
    STEP_RESULT[step]=$([ $ok = 1 ] && echo passed || echo failed)
    # Each step states what should happen; a failed one says that it did not, and why below.
    STEP_STORY[step]=$([ $ok = 1 ] && echo "$story" || echo "Not as expected (✗ below). Expected: $story")
  fi
  STEP_CHECKS[step]=$checks
  STEP_SHOTS[step]=$shots
  echo "step $step: ${STEP_RESULT[step]} — ${STEP_TITLE[step]}. ${STEP_STORY[step]}"
}

# ---- the packages -----------------------------------------------------------------------------
make_packages() {
  local tree=$DEMO/package/tree update=$DEMO/update/tree f offset
  mkdir -p "$tree/SYS" "$update" "$SERVER/pkg"
  # The application folder as the vendor ships it: the test builds of the programs, the real
  # extractor of their architecture, the main workbook's stand-in, and SYS with every file the launcher's
  # integrity check asks for (the libraries the launcher only registers or copies are stand-in
  # files; qord.dll and DiskID32.dll are the real library and the disk-identity stand-in).
  cp "$BUILD/launcher/QOR.exe" "$BUILD/updater/QOR_UPDATE.exe" "$EXTRACTOR" "$tree/"
  cp installer/demo/qor.ico "$tree/qor.ico"
  cp installer/demo/qor.ico "$tree/qorb.ico"
  printf 'QOR中小企业财务软件 主工作簿（演示用替身）\r\n' > "$tree/QOR_BIZACC_6.01"
  for f in MSJINT40.DLL MSJTER40.DLL MSWSTR10.DLL msado15.dll msjro.dll msjetoledb40.dll cdosys.dll FM20.DLL \
           Mscomct2.ocx MSCOMCTL.OCX MSFlxGrd.ocx Excel2010_filechktrue.reg mymsg1.wav mymsg2.wav mymsg3.wav \
           ZT usr myrpt myxls pzprt zbprt gzprt 打印预览; do
    printf 'QOR demo: %s\r\n' "$f" > "$tree/SYS/$f"
  done
  printf 'REGEDIT4\r\n\r\n' > "$tree/SYS/Excel2010_filechkfalse.reg"
  cp "$BUILD/hwinfo/qord.dll" "$BUILD/tests/standins/diskid32/DiskID32.dll" "$tree/SYS/"
  printf 'FSSHOW = False\r\n' > "$tree/SYS/setinf.txt"
  # Real RAR archives, as the vendor makes them: the content of the tree is the archive's root.
  rm -f "$DEMO/package/QOR.rar" "$SERVER/pkg/QOR_UPDATE.rar"
  build/extractor/rar a -r -ep1 -idq -y "$DEMO/package/QOR.rar" "$tree/" &&
    build/host/tools/qor_pack "$BUILD/installer/QOR_SETUP.exe" "$EXTRACTOR" \
      "$DEMO/package/QOR.rar" "$DEMO/package/QOR_SETUP.exe" > /dev/null || return 1

  # Version 6.02's package: the launcher with 6.2.0.0 in its version resource (the fixed file
  # information after its signature BD 04 EF FE), which the updater then reads as 6.02.
  cp "$BUILD/launcher/QOR.exe" "$update/QOR.exe"
  offset=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE' "$update/QOR.exe" | head -n 1 | cut -d: -f1)
  [ -n "$offset" ] || return 1
  printf '\x02\x00\x06\x00\x00\x00\x00\x00\x02\x00\x06\x00\x00\x00\x00\x00' |
    dd of="$update/QOR.exe" bs=1 seek=$((offset + 8)) conv=notrunc status=none
  build/extractor/rar a -r -ep1 -idq -y "$SERVER/pkg/QOR_UPDATE.rar" "$update/"
}

# The server's update log (GBK, CR LF, no line end after the package address).
publish() {
  printf '%s\r\n%s\r\nhttp://%s/pkg/%s' "$1" "$2" "$ADDRESS" "$3" | iconv -f UTF-8 -t GBK > "$SERVER/QOR_BIZACC_UPDATE_LOG.txt"
}

# ---- the steps --------------------------------------------------------------------------------
step_install() {
  story="The wizard installed the package into D:\\$PRODUCT\\, wrote the Uninstall entry and the shortcuts."
  bg "$(winpath "$DEMO/package/QOR_SETUP.exe")"
  must "the wizard \"QOR安装\" opens" ui wait "QOR安装" 60000 || return 1
  shows "QOR安装" "请阅读QORsoft软件产品许可协议" "若要继续，您必须接受此协议的所有条款，否则，请关闭本窗口。" \
    "我接受此协议的所有条款" "继续(&C).."
  shot "QOR安装" agreement "The agreement page; \"继续(&C)..\" stays disabled until the agreement is accepted."
  must "the agreement is accepted" ui tick "QOR安装" "我接受此协议的所有条款" 1 || return 1
  must "\"继续(&C)..\" is enabled" ui child "QOR安装" "继续(&C).." || return 1
  ui click "QOR安装" "继续(&C).."
  must "the folder page shows" ui child "QOR安装" "开始安装(&S).." || return 1
  shows "QOR安装" $'本程序将为您安装\n'"$PRODUCT"$'\n\n版本：6.01' "安装路径：" "D:\\$PRODUCT\\" "更改(&B).." \
    "开始安装(&S).." "取消(&C)"
  shot "QOR安装" folder "The folder page with the default folder D:\\$PRODUCT\\."
  ui click "QOR安装" "开始安装(&S).."
  must "the finish page shows" ui child "QOR安装" "$PRODUCT  已经成功的安装到您的计算机。" 120000 || return 1
  shows "QOR安装" "安装完成" "您可以通过QOR桌面快捷方式图标打开软件。" "运行  $PRODUCT" "完成(&D)"
  shot "QOR安装" finish "The finish page; \"运行  $PRODUCT\" is ticked."
  local f missing=""
  for f in QOR.exe QOR_UPDATE.exe UnRAR.exe qor.ico QOR_BIZACC_6.01 QOR_SETUP.exe uninstall.inf \
           SYS/qord.dll SYS/DiskID32.dll SYS/setinf.txt SYS/打印预览; do
    [ -f "$APP/$f" ] || missing+=" $f"
  done
  expect "the application files lie in D:\\$PRODUCT" "${missing:-none missing}" "none missing"
  check "uninstall.inf lists the installed files" listed "$APP_WIN\\QOR_BIZACC_6.01" "$APP_WIN\\SYS\\打印预览"
  check "the Uninstall entry is written" poll 30 key_exists "$UNINSTALL_KEY"
  expect "its DisplayName" "$(key_value "$UNINSTALL_KEY" DisplayName)" "$PRODUCT"
  expect "its DisplayVersion" "$(key_value "$UNINSTALL_KEY" DisplayVersion)" 6.01
  expect "its Publisher" "$(key_value "$UNINSTALL_KEY" Publisher)" QORsoft
  expect "its DisplayIcon" "$(key_value "$UNINSTALL_KEY" DisplayIcon)" "$KEPT_WIN\\qor.ico"
  check "its UninstallString starts $KEPT_WIN\\QOR_SETUP.exe with /u" uninstall_command
  check "the kept uninstaller lies in $KEPT_WIN" is_file "$PREFIX/drive_c/$OFFICE_DIR/$PRODUCT/QOR_SETUP.exe"
  check "with the list of the files the package vouches for" is_file "$PREFIX/drive_c/$OFFICE_DIR/$PRODUCT/QOR_FILES.sha256"
  check "the desktop shortcut is made" poll 10 is_file "$PREFIX/drive_c/users/$WINE_USER/Desktop/$PRODUCT.lnk"
  check "the programs-menu shortcuts are made" is_file "$MENU/卸载 $PRODUCT.lnk"
}

step_first_start() {
  story="QOR.exe showed its notices, configured the machine, registered the .qorb type and opened the main workbook with its password in the host stand-in."
  ui click "QOR安装" "完成(&D)"
  must "the association tip \"您知道吗？\" opens" ui wait "您知道吗？" 60000 || return 1
  shows "您知道吗？" "QOR新增了账套文件关联功能，今后您可以：" \
    $'* 使用鼠标左键双击一个账套文件直接打开，\n* 在任意位置使用鼠标右键菜单快速新建账套...' \
    $'该功能仅适用于后缀名为“.qorb”的账套文件，\n如果要使用鼠标左键双击直接打开以前版本创建\n的后缀名为“.qor”的账套文件，请将账套文件\n后缀名改为“.qorb”。\n\n例如：\n将账套文件“001.qor”重命名为“001.qorb”。' \
    "不再提示" "我知道了"
  shot "您知道吗？" tip "The first start without arguments: the tip on the account-set file association."
  must "\"不再提示\" is ticked" ui tick "您知道吗？" "不再提示" 1 || return 1
  ui click "您知道吗？" "我知道了"
  must "the notice \"配置QOR运行环境>>\" opens" ui wait "配置QOR运行环境>>" 60000 || return 1
  shows "配置QOR运行环境>>" "尊敬的用户：" \
    $'为了保证QOR软件能够在您的计算机上正常运行，\nQOR软件需要注册一些控件并进行一些必要的设置...' \
    "* 请您先关闭其它正在运行的程序..." "我知道了"
  shot "配置QOR运行环境>>" configure "The machine is not configured yet: the configuration notice over the splash."
  ui click "配置QOR运行环境>>" "我知道了"
  must "the workbook is opened in the spreadsheet host" poll 120 opened 1 || return 1
  must "the launcher ends" ui ended QOR.exe 60000 || return 1
  check "the machine marker SYS\\pcinf.txt is written" is_file "$APP/SYS/pcinf.txt"
  expect "FFSHOW is \"False\" after \"不再提示\"" "$(setting FFSHOW)" False
  check "the .qorb association is registered" poll 60 key_exists 'HKCR\qorbfile\shell\open\command'
  check "the background check asked the server" poll 60 requested /QOR_BIZACC_UPDATE_LOG.txt 1
  check "the background updater ended" ui ended QOR_UPDATE.exe 60000
  check "version 6.01 on the server is not newer: nothing downloaded" no_file "$APP/QOR_UPDATE.rar"
}

step_double_click() {
  story="The shell started QOR.exe with the account set's path; the launcher handed it to the workbook through OPENZTPATH/OPENZTNAME and opened the workbook."
  # The user makes an account set from the template and double-clicks it; meanwhile the vendor
  # has published version 6.02.
  mkdir -p "$DRIVE_D/QOR账套"
  cp "$APP/SYS/ZT" "$DRIVE_D/QOR账套/$BOOK_NAME"
  publish 6.02 $'1. 修正了凭证打印\r\n2. 新增现金流量表' QOR_UPDATE.rar
  QOR_TEST_LINGER_MS=4000 bg start "$BOOK_WIN"
  must "the splash reaches \"正在调用 Microsoft Excel...\"" ui child QOR "正在调用 Microsoft Excel..." 60000 || return 1
  shows QOR "6.01" "正在调用 Microsoft Excel..." "取消"
  shot QOR splash "The everyday start of a double-clicked account set: the splash (kept up a moment longer for the picture)."
  must "the workbook is opened again" poll 60 opened 2 || return 1
  must "the launcher ends" ui ended QOR.exe 60000 || return 1
  expect "OPENZTPATH names the account set's folder" "$(setting OPENZTPATH)" "$BOOKS_WIN\\"
  expect "OPENZTNAME names the account set" "$(setting OPENZTNAME)" "$BOOK_NAME"
  check "the updater was started in the background again" \
    test "$(count_lines "cmd.exe /c start \"\" \"$APP_WIN\\QOR_UPDATE.exe\" /d" "$LOGS/programs.log")" = 2
}

step_background_download() {
  story="The background updater (\"/d\", no window) found 6.02 on the server, downloaded QOR_UPDATE.rar and marked QOR_UPDATE.LOG \"  ! DOWNLOAD COMPLETE\"."
  must "the package is downloaded and the log marked" poll 120 log_complete || return 1
  check "the updater ended without a window" ui ended QOR_UPDATE.exe 60000
  check "QOR_UPDATE.rar is the published package" cmp -s "$APP/QOR_UPDATE.rar" "$SERVER/pkg/QOR_UPDATE.rar"
  expect "the log's first line is the new version" "$(gbk "$APP/QOR_UPDATE.LOG" | head -n 1)" 6.02
  check "the package was fetched once" requested /pkg/QOR_UPDATE.rar 1
}

step_update() {
  story="QOR.exe saved the command line under ZTCOMMAND and handed over to QOR_UPDATE.exe /s; the update was extracted and reported."
  # The day's work is done: the user closes the spreadsheet program, then opens the account
  # set again the next morning.
  W taskkill /f /im excel.exe > "$LOGS/taskkill.log" 2>&1
  must "the spreadsheet host is closed" ui ended excel.exe 30000 || return 1
  QOR_TEST_LINGER_MS=4000 bg start "$BOOK_WIN"
  must "the updater's window opens" ui wait "QOR自动升级程序" 60000 || return 1
  must "the launcher hands over and ends" ui ended QOR.exe 60000 || return 1
  check "the launcher started the updater with \"/s\"" has_line "\"$APP_WIN\\QOR_UPDATE.exe\" /s" "$LOGS/programs.log"
  check "\"安装升级包\" is offered" ui child "QOR自动升级程序" "安装升级包" 0
  shows "QOR自动升级程序" "检测到已下载完成的新版本:6.02 [当前版本:6.01.06]" \
    "$(printf '%066d' 0 | tr 0 -)"$'\n6.02 更新：\n'"$(printf '%066d' 0 | tr 0 -)"$'\n1. 修正了凭证打印\n2. 新增现金流量表\n' \
    "温馨提示：升级不会影响您的数据" "取消"
  shot "QOR自动升级程序" updater "The hand-off: the updater in downloaded mode, started by the launcher with \"/s\"."
  must "\"安装升级包\" is clicked" ui click "QOR自动升级程序" "安装升级包" || return 1
  answer "提示" 1 updated "The package is installed over the application folder." "QOR自动升级成功！" || return 1
  check "the new launcher is in place" cmp -s "$APP/QOR.exe" "$DEMO/update/tree/QOR.exe"
  check "the update log is deleted" no_file "$APP/QOR_UPDATE.LOG"
  check "no launcher backup is left" no_file "$APP/QOR.exe.6.01.06"
  updater_starts=$(count_lines QOR_UPDATE.exe "$LOGS/programs.log")
}

step_restart() {
  story="QOR_UPDATE.exe restarted QOR.exe with \"/0/$BOOK_WIN\": no update stage, the same account set handed over, the workbook opened."
  must "the launcher is restarted with the account set" \
    poll 60 has_line "\"$APP_WIN\\QOR.exe\" /0/$BOOK_WIN" "$LOGS/programs.log" || return 1
  if ui child QOR "正在调用 Microsoft Excel..." 30000; then
    shot QOR restart "The restarted launcher (\"/0/\" and the account set) on its way to the workbook."
  fi
  must "the workbook is opened a third time" poll 60 opened 3 || return 1
  must "the launcher ends" ui ended QOR.exe 60000 || return 1
  expect "ZTCOMMAND is emptied" "$(setting ZTCOMMAND)" ""
  expect "OPENZTNAME still names the account set" "$(setting OPENZTNAME)" "$BOOK_NAME"
  check "the restart did not start the updater" test "$(count_lines QOR_UPDATE.exe "$LOGS/programs.log")" = "$updater_starts"
}

step_repair() {
  story="After a required file went missing the launcher refused to start; the repair from the menu shortcut put the package's files back."
  W taskkill /f /im excel.exe > "$LOGS/taskkill.log" 2>&1
  must "the spreadsheet host is closed" ui ended excel.exe 30000 || return 1
  # A sound file of SYS went missing: the launcher refuses to start and names it.
  rm -f "$APP/SYS/mymsg1.wav"
  bg start "C:\\users\\$WINE_USER\\Desktop\\$PRODUCT.lnk"
  answer "错误" 1 missing "The desktop shortcut's start finds a required file missing." \
    $'QOR启动失败！\n\n原因：QOR安装目录下部分文件丢失。\n\n丢失的文件：\nmymsg1.wav ' || return 1
  must "the launcher ends" ui ended QOR.exe 30000 || return 1
  check "that start's background check asked the server" poll 60 requested /QOR_BIZACC_UPDATE_LOG.txt 3
  check "that background check ended" ui ended QOR_UPDATE.exe 60000
  check "with 6.02 installed the package is not fetched again" not requested /pkg/QOR_UPDATE.rar 2
  # Repair from the programs-menu's uninstall shortcut.
  bg start "$MENU_WIN\\卸载 $PRODUCT.lnk"
  must "the maintenance window \"QOR卸载\" opens" ui wait "QOR卸载" 60000 || return 1
  shows "QOR卸载" "亲爱的用户：" "您真的决定要卸载了吗？" "如果QOR软件不能正常运行，您可以尝试点击【修复安装】以解决问题。" \
    "同时删除整个安装文件夹" "修复安装(&S).." "卸载(&U)" "取消(&C)"
  shot "QOR卸载" maintenance "Maintenance mode (\"/u\") from the programs menu: repair, uninstall or cancel."
  ui click "QOR卸载" "修复安装(&S).."
  must "the repair reaches the finish page" ui child "QOR安装" "$PRODUCT  已经成功的安装到您的计算机。" 120000 || return 1
  shot "QOR安装" repaired "The repair reinstalled the package into the same folder."
  check "the missing file is back" is_file "$APP/SYS/mymsg1.wav"
  check "the account set is untouched" is_file "$DRIVE_D/QOR账套/$BOOK_NAME"
  check "the Uninstall entry still starts the installer with /u" poll 30 uninstall_command
  must "\"运行  $PRODUCT\" is cleared" ui tick "QOR安装" "运行  $PRODUCT" 0 || return 1
  ui click "QOR安装" "完成(&D)"
  must "the installer ends" ui ended QOR_SETUP.exe 30000 || return 1
}

step_uninstall() {
  story="The uninstall, started from the list of installed programs, removed the files, the entry, the shortcuts and the folder, and kept the account set."
  # From the list of installed programs (Wine's own "Add/Remove Programs" runs the entry's
  # uninstall command).
  bg uninstaller --remove "$PRODUCT"
  must "the maintenance window \"QOR卸载\" opens" ui wait "QOR卸载" 60000 || return 1
  shot "QOR卸载" uninstall "The entry's uninstall command opens the maintenance window; \"同时删除整个安装文件夹\" stays cleared."
  ui click "QOR卸载" "卸载(&U)"
  answer "询问" 1 confirm "The uninstall asks first." $'是否确定要卸载\n'"$PRODUCT？" || return 1
  answer "提示" 1 removed "The files the record lists, the entry and the shortcuts are removed." \
    "$PRODUCT 已经成功的从您的计算机中移除。" || return 1
  must "the uninstaller ends" ui ended QOR_SETUP.exe 30000 || return 1
  check "the Uninstall entry is removed" poll 30 not key_exists "$UNINSTALL_KEY"
  check "the desktop shortcut is removed" test -z "$(find "$PREFIX/drive_c/users" -name "$PRODUCT.lnk")"
  check "the programs-menu folder is removed" no_file "$MENU"
  check "the installer copy in the install folder is removed" poll 30 no_file "$APP/QOR_SETUP.exe"
  check "the kept uninstaller and its folder go after it ended" poll 30 no_file "$PREFIX/drive_c/$OFFICE_DIR/$PRODUCT"
  check "the emptied install folder is removed" poll 30 no_file "$APP"
  check "the account set stays" is_file "$DRIVE_D/QOR账套/$BOOK_NAME"
}

# ---- the machine ------------------------------------------------------------------------------
bash scripts/wine-fixture.sh stop "$ENV" > /dev/null 2>&1
rm -rf "$DEMO"
mkdir -p "$SHOTS" "$LOGS" "$SERVER"
echo "== demo: Wine environment"
bash scripts/wine-fixture.sh start "$ENV" > "$LOGS/wine-fixture.log" 2>&1 || die "no Wine environment, see $LOGS/wine-fixture.log"
# Without QOR_DEMO_ARCH the demo shows the i686 build wherever this Wine can show a 32-bit
# program's windows. Wine 8's WoW64 mode cannot: a 32-bit program has no device contexts there,
# so its windows stay blank and Wine's own edit control crashes once it holds text.
ARCH_NOTE=""
if [ -n "${QOR_DEMO_ARCH:-}" ]; then
  use_arch "$QOR_DEMO_ARCH"
elif W "$ROOT/build/wow64/tests/standins/qor_wow64_probe.exe" --windows > "$LOGS/wow64-probe.log" 2>&1; then
  use_arch i686
else
  use_arch x86_64
  ARCH_NOTE="The i686 build was not shown: this Wine runs 32-bit programs without device contexts ($(tr -d '\r' < "$LOGS/wow64-probe.log")), so their windows would be blank and its edit control would crash. QOR_DEMO_ARCH=i686 runs it anyway."
  echo "demo: $ARCH_NOTE"
fi
echo "== demo: the $ARCH build; packages ($((SECONDS - begun)) s)"
make_packages || die "the packages could not be made"
publish 6.01 '1. 首个正式版本' QOR_UPDATE_601.rar

WINE_USER=$(ls "$PREFIX/drive_c/users" | grep -vx Public | head -n 1)
# No window manager runs on the virtual display: Wine draws the title bars and frames itself, so
# that the pictures show the windows' captions.
W reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f > "$LOGS/reg.out" 2>&1
# Wine has no timeout command; the uninstaller's delayed self-removal needs one.
cp "$BUILD/tests/standins/timeout/timeout.exe" "$PREFIX/drive_c/windows/$SYSTEM_DIR/timeout.exe"
# The spreadsheet host: the stand-in as excel.exe, registered as "Excel.Application".
office=$PREFIX/drive_c/$OFFICE_DIR/Microsoft\ Office/Office16
mkdir -p "$office"
cp "$BUILD/tests/standins/qor_excel_standin.exe" "$office/excel.exe"
printf 'version=16.0\r\nlog=%s\r\n' "$(winpath "$LOGS/excel-calls.log")" > "$office/excel_standin.ini"
W "$OFFICE_WIN\\excel.exe" /regserver > "$LOGS/excel-register.log" 2>&1 || die "the spreadsheet host stand-in was not registered"
# The update server on port 80 of this run's loopback address.
bg "$BUILD/tests/standins/qor_http_standin.exe" "$(winpath "$SERVER")" 0 "$ADDRESS"
poll 120 is_file "$SERVER/ready" || die "the update-server stand-in did not start listening on $ADDRESS:80"
# Test builds of the updater ask this server; test builds of the programs record what they start.
export QOR_TEST_UPDATE_HOST=$ADDRESS
export QOR_PROGRAM_LOG
QOR_PROGRAM_LOG=$(winpath "$LOGS/programs.log")

run_step "Install through the wizard" step_install
run_step "First start with the configuration notice, into the spreadsheet host" step_first_start
run_step "Double-click an account set" step_double_click
run_step "Background download of version 6.02" step_background_download
run_step "Hand-off to the updater and the update installed through its window" step_update
run_step "Restart that reopens the account set" step_restart
run_step "Repair" step_repair
run_step "Uninstall" step_uninstall

# ---- the report -------------------------------------------------------------------------------
passed=0 failed=0
for i in $(seq 1 $step); do
  if [ "${STEP_RESULT[i]}" = passed ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
summary="demo: $passed passed, $failed failed"
html() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g'; }
{
  printf '<!DOCTYPE html>\n<html lang="zh-CN"><head><meta charset="utf-8"><title>QOR lifecycle demo</title>\n'
  printf '<style>body{font-family:sans-serif;max-width:70em;margin:auto}.passed{color:#080}.failed,.not{color:#c00}'
  printf 'figure{display:inline-block;margin:.5em;vertical-align:top;max-width:32em}figcaption{font-size:90%%}'
  printf 'ul{list-style:none;padding-left:1em}</style></head><body>\n'
  printf '<h1>QOR: the life of the product under Wine, %s build</h1>\n' "$ARCH"
  printf '<p>Installed from a package of the %s test builds into D:\\%s\\, with the spreadsheet-host stand-in as Excel and the update-server stand-in on %s. %s (%d s).</p>\n' \
    "$ARCH" "$PRODUCT" "$ADDRESS" "$summary" $((SECONDS - begun))
  [ -z "$ARCH_NOTE" ] || printf '<p>%s</p>\n' "$(html <<< "$ARCH_NOTE")"
  for i in $(seq 1 $step); do
    printf '<h2>%d. %s — <span class="%s">%s</span></h2>\n' "$i" "$(html <<< "${STEP_TITLE[i]}")" \
      "${STEP_RESULT[i]%% *}" "${STEP_RESULT[i]}"
    printf '<p>%s</p>\n<ul>\n' "$(html <<< "${STEP_STORY[i]}")"
    while IFS= read -r line; do [ -n "$line" ] && printf '<li>%s</li>\n' "$(html <<< "$line")"; done <<< "${STEP_CHECKS[i]}"
    printf '</ul>\n'
    while IFS='|' read -r file caption; do
      [ -n "$file" ] && printf '<figure><img src="shots/%s" alt="%s"><figcaption>%s</figcaption></figure>\n' \
        "$file" "$file" "$(html <<< "$caption")"
    done <<< "${STEP_SHOTS[i]}"
  done
  printf '<p><b>%s</b></p>\n</body></html>\n' "$summary"
} > "$DEMO/index.html"
echo "== $DEMO/index.html"
echo "$summary ($((SECONDS - begun)) s)"
[ $failed = 0 ]
