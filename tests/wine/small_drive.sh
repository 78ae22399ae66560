# small_drive.sh mount DIR SIZE DONE: mounts a tmpfs of SIZE (mount's notation, "16m") on the
# folder DIR, so that a test runs out of disk space for real; writes mount's exit code to DONE.
# small_drive.sh unmount DIR DONE: unmounts it (lazily when something still holds a file
# there) and writes DONE.
#
# Started by Windows test programs under Wine, which cannot wait for a Linux process they start:
# they wait for DONE instead. A drive left behind by a test that never unmounted it goes by itself
# after 15 minutes.
set -u
dir=$2
case $1 in
  mount)
    mount -t tmpfs -o size="$3" tmpfs "$dir" > "$dir.mount.log" 2>&1
    code=$?
    if [ $code = 0 ]; then
      setsid sh -c "sleep 900; mountpoint -q '$dir' && umount -l '$dir'" < /dev/null > /dev/null 2>&1 &
      echo $! > "$dir.watchdog"
    fi
    echo $code > "$4.part" && mv "$4.part" "$4"
    ;;
  unmount)
    if mountpoint -q "$dir"; then umount "$dir" 2> /dev/null || umount -l "$dir"; fi
    [ -f "$dir.watchdog" ] && kill -- "-$(cat "$dir.watchdog")" 2> /dev/null
    rm -f "$dir.watchdog" "$dir.mount.log"
    echo 0 > "$3.part" && mv "$3.part" "$3"
    ;;
esac
