#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine through
# ctest. Ends with ctest's summary line. Without arguments it first runs the
# guard rails (format, sanitizer build, fuzzing; see below).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The guard rails run in a full run (no ctest arguments, as CI calls it), or
# whenever LUMAREST_GUARDS=1: the format check, then the window-free logic
# built natively with sanitizers (its unit tests and every parser over its
# corpus and regression inputs), then each parser fuzzed for a bounded time.
if [ "${LUMAREST_GUARDS:-$([ $# -eq 0 ] && echo 1 || echo 0)}" = 1 ]; then
  bash "$here/scripts/setup.sh"
  bash "$here/scripts/check-format.sh"
  bash "$here/scripts/native-tests.sh"
  bash "$here/scripts/fuzz.sh" "${LUMAREST_FUZZ_SECONDS:-30}"
fi

setup_and_build
prepare_wine
ensure_display
trap 'stop_wine; stop_display' EXIT
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "${LUMAREST_TEST_JOBS:-2}" "$@"
