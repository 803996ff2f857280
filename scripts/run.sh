#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lumarest with the demo
# plug-ins. On a display it runs until you close it; without one it runs on a
# private Xvfb, saves a screenshot once the window is painted, closes the
# program through its own close path and says where the picture is.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
setup_and_build
prepare_wine
exe="$BUILD_DIR/install/Lumarest.exe"

if [ -n "${DISPLAY:-}" ]; then
  exec "$here/scripts/wine-run.sh" "$exe" "$@"
fi

ensure_display
trap stop_display EXIT
"$here/scripts/wine-run.sh" "$exe" "$@" &
host=$!
# xdotool matches names as regular expressions: the title's '+' is escaped.
title_pattern='^Zentrovia Handset Message \+ Contact Rescue$'
window=""
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  kill -0 "$host" 2>/dev/null || { echo "[lumarest] the program ended before showing its window" >&2; exit 1; }
  sleep 0.5
done
[ -n "$window" ] || { echo "[lumarest] no window after 5 minutes" >&2; kill "$host"; exit 1; }
sleep "${LUMAREST_PAINT_WAIT:-5}"  # let the first paint land; emulated Wine is slow
shot="$BUILD_DIR/lumarest-screenshot.png"
import -window root "$shot"
# Alt+F4 reaches the window as the system's close command: the same path as
# the close button, which puts the close to the plug-ins first.
xdotool windowfocus --sync "$window" key alt+F4 || true
rc=0
wait "$host" || rc=$?
echo "[lumarest] screenshot: $shot (exit code $rc)"
exit $rc
