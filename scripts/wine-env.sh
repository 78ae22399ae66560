# Sourced by scripts that run Windows programs outside CTest (benchmarks): qor_wine_start ROOT
# starts a Wine environment of their own in ROOT/build/wine (fresh prefix, warm server, Chinese
# locale, virtual display; see scripts/wine-fixture.sh) and exports its variables into the
# calling shell; qor_wine_stop ends it all. The CTest runs of the win64 build need none of this:
# their fixture starts the build tree's own environment.

qor_wine_start() {
  QOR_WINE_DIR="$1/build/wine"
  bash "$1/scripts/wine-fixture.sh" start "$QOR_WINE_DIR" > /dev/null
  . "$QOR_WINE_DIR/wine-env.state"
  WINE=/usr/lib/wine/wine64
}

qor_wine_stop() {
  [ -n "${QOR_WINE_DIR:-}" ] && bash "$QOR_WINE_DIR/../../scripts/wine-fixture.sh" stop "$QOR_WINE_DIR" || true
}

# qor_bench_build ROOT: the test build a benchmark runs, by QOR_BENCH_ARCH: i686 (the default,
# the build customers get, under WoW64: build/wow64) or x86_64 (build/win64). Sets
# QOR_BENCH_PRESET and QOR_BENCH_BUILD and prints the line that names it.
qor_bench_build() {
  case "${QOR_BENCH_ARCH:-i686}" in
    i686) QOR_BENCH_PRESET=wow64 ;;
    x86_64) QOR_BENCH_PRESET=win64 ;;
    *) echo "QOR_BENCH_ARCH is i686 or x86_64, not \"$QOR_BENCH_ARCH\"" >&2; return 1 ;;
  esac
  QOR_BENCH_BUILD=$1/build/$QOR_BENCH_PRESET
  echo "architecture: ${QOR_BENCH_ARCH:-i686} (build/$QOR_BENCH_PRESET)"
}
