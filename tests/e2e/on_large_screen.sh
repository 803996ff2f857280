#!/usr/bin/env bash
# Runs a Windows test program under Wine on a private 1920 x 1080 display.
# Wine reads the screen's size once per session of its server, and a session
# lives as long as any program of its prefix runs, so the run gets a prefix
# of its own (made on first use beside the usual one) whose session it ends
# before and after: each run reads the screen anew.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
base="${LUMAREST_WINEPREFIX:-${WINEPREFIX:-$HOME/.cache/lumarest/wineprefix}}"
export LUMAREST_WINEPREFIX="$base-large-screen"
server="$(command -v /usr/lib/wine/wineserver64 || command -v wineserver)"
end_session() { WINEPREFIX="$LUMAREST_WINEPREFIX" "$server" -k >/dev/null 2>&1 || true; }

"$here/../../scripts/wine-prefix.sh" "$LUMAREST_WINEPREFIX" || exit 125
end_session
env -u DISPLAY LUMAREST_SCREEN=1920x1080x24 "$here/../../scripts/wine-run.sh" "$@"
rc=$?
end_session
exit $rc
