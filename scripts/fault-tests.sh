#!/usr/bin/env bash
# The test command for planting faults: builds only the test programs that a
# list of ctest names ("a|b") selects and runs them under Wine, so that each
# planted fault costs one compile, one link and one run. With '^$' it builds
# every test program FAULTS.json names, once. ccache shares the objects of
# unchanged sources between clones.
# usage: /work/shared/tools/plant-faults FAULTS.json --tests-cmd "bash scripts/fault-tests.sh '{tests}'"
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bash "$here/scripts/setup.sh" >/dev/null
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$here" -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
fi
names="$1"
[ "$names" = '^$' ] && names=$(python3 -c 'import json,sys; print("|".join(sorted({t for f in json.load(open(sys.argv[1])) for t in f["tests"].split("|")})))' "$here/FAULTS.json")
# Tests that are not programs of their own (scripts, or a second entry of
# one program) name no target; the targets that exist are built.
targets=$(cmake --build "$BUILD_DIR" --target help | sed -n 's/^\([^ :]*\): .*/\1/p')
build=()
for name in ${names//|/ }; do
  if grep -qx "$name" <<<"$targets"; then build+=("$name"); fi
done
[ ${#build[@]} -eq 0 ] || cmake --build "$BUILD_DIR" --target "${build[@]}"
prepare_wine
ensure_display
trap 'stop_wine; stop_display' EXIT
ctest --test-dir "$BUILD_DIR" --output-on-failure -j 1 -R "^($1)\$"
