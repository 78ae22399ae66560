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
