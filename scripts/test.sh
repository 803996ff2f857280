#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine through
# ctest. Ends with ctest's summary line.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
setup_and_build
prepare_wine
ensure_display
trap 'stop_wine; stop_display' EXIT
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "${LUMAREST_TEST_JOBS:-2}" "$@"
