#!/usr/bin/env bash
# Makes the Wine prefix $1 once as a copy of the base prefix $2 (made by
# wine-prefix.sh when missing) with display settings of its own:
#   dpi=N      the display's DPI (HKCU\Control Panel\Desktop LogPixels), read
#              when the prefix's Wine server starts
#   no-arial   without the "Arial" replacement, as on a system that lacks
#              the family
# Copying is much faster than making a prefix. Concurrent callers wait for
# the first one.
set -euo pipefail
prefix="$1" base="$2"
shift 2
stamp="$prefix/.lumarest-variant-1"
[ -f "$stamp" ] && exit 0
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/wine-prefix.sh" "$base"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -x /usr/lib/wine/wineserver64 ] && export WINESERVER=/usr/lib/wine/wineserver64
rm -rf "$prefix"
cp -a "$base" "$prefix"
rm -f "$prefix"/.lumarest-ready-*
for setting in "$@"; do
  case "$setting" in
    dpi=*) DISPLAY= wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${setting#dpi=}" /f >/dev/null 2>&1 ;;
    no-arial) DISPLAY= wine reg delete 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /f >/dev/null 2>&1 || true ;;
    *) echo "[wine-prefix-variant] unknown setting $setting" >&2; exit 1 ;;
  esac
done
# The server writes the registry back when it ends; the settings take effect
# when the next one starts.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
touch "$stamp"
echo "[wine-prefix-variant] made $prefix from $base with: $*"
