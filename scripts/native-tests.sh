#!/usr/bin/env bash
# Builds the window-free logic for Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer (native/CMakeLists.txt, with clang, so the
# parsers' fuzz targets are built too) and runs its tests: the pure unit
# tests and every parser over its corpus and its regression inputs.
# Extra arguments go to ctest.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
NATIVE_BUILD_DIR="${LUMAREST_NATIVE_BUILD_DIR:-$here/build-native}"
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1
if [ ! -f "$NATIVE_BUILD_DIR/build.ninja" ]; then
  cmake -S "$here/native" -B "$NATIVE_BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
fi
cmake --build "$NATIVE_BUILD_DIR"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$NATIVE_BUILD_DIR" --output-on-failure "$@"
