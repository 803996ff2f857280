#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine through
# ctest. Ends with ctest's summary line.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
setup_and_build
prepare_wine
ensure_display
trap stop_display EXIT
# One Xvfb and one Wine server for the whole run.
WINEPREFIX="$LUMAREST_WINEPREFIX" WINESERVER="$(command -v /usr/lib/wine/wineserver64 || command -v wineserver)" \
  wineserver -p 60 || true
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "${LUMAREST_TEST_JOBS:-2}" "$@"
