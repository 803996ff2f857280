#!/usr/bin/env bash
# Creates the 32-bit Wine prefix given as $1 once, without the Mono and Gecko
# prompts, and maps "Arial" to Liberation Sans so GDI+ finds the face.
# Concurrent callers wait for the first one.
set -euo pipefail
prefix="$1"
stamp="$prefix/.lumarest-ready"
[ -f "$stamp" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -x /usr/lib/wine/wineserver64 ] && export WINESERVER=/usr/lib/wine/wineserver64
rm -rf "$prefix"
DISPLAY= wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
