# Shared by run.sh and test.sh: set-up, the build and the Wine environment.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${LUMAREST_BUILD_DIR:-$here/build}"
# Clones and worktrees of this tree share compiled objects through ccache
# (installed by setup.sh): paths below the tree are hashed relative to it.
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1

setup_and_build() {
  bash "$here/scripts/setup.sh"
  if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$here" -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
      -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
  fi
  cmake --build "$BUILD_DIR"
}

# A private Wine prefix per build tree, made once and reused.
prepare_wine() {
  export LUMAREST_WINEPREFIX="${LUMAREST_WINEPREFIX:-$BUILD_DIR/wineprefix}"
  echo "[lumarest] Wine prefix: $LUMAREST_WINEPREFIX (the first run creates it, which takes minutes)"
  "$here/scripts/wine-prefix.sh" "$LUMAREST_WINEPREFIX"
}

XVFB_PID=""
XCOMPMGR_PID=""
# Starts a private composited Xvfb when there is no display; sets DISPLAY.
# Layered windows (the drop shadows) blend only under a compositing manager,
# as they do on Windows; without one their premultiplied pixels show raw.
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${LUMAREST_SCREEN:-1280x800x24}" +extension Composite -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        xcompmgr >/dev/null 2>&1 &
        XCOMPMGR_PID=$!
        return 0
      fi
      sleep 0.1
    done
  done
  echo "[lumarest] could not start Xvfb" >&2
  return 1
}

# Ends the Wine sessions of the build's prefix and of the prefixes the
# display tests made from it (their servers and services).
stop_wine() {
  local prefix
  for prefix in "$LUMAREST_WINEPREFIX" "$BUILD_DIR"/wineprefix-*; do
    [ -d "$prefix" ] || continue
    WINEPREFIX="$prefix" WINESERVER="$(command -v /usr/lib/wine/wineserver64 || command -v wineserver)" \
      wineserver -k >/dev/null 2>&1 || true
  done
}

stop_display() {
  [ -n "$XCOMPMGR_PID" ] && kill "$XCOMPMGR_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  XCOMPMGR_PID=""; XVFB_PID=""
}
