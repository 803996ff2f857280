#!/usr/bin/env bash
# Creates the 32-bit Wine prefix given as $1 once, without the Mono and Gecko
# prompts, maps "Arial" to Liberation Sans so GDI+ finds the face, and turns
# off the automatic debugger so a crashing test ends instead of waiting.
# (Windows stay managed: with no window manager on the test display Wine then
# waits about a second for each top-level window it hides, but unmanaged
# windows made real-input drags of dialogs unreliable here.)
# Concurrent callers wait for the first one.
set -euo pipefail
prefix="$1"
stamp="$prefix/.lumarest-ready-3"
[ -f "$stamp" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -x /usr/lib/wine/wineserver64 ] && export WINESERVER=/usr/lib/wine/wineserver64
rm -rf "$prefix"
started=$(date +%s)
# wineboot may report failure for a helper process that died while the
# prefix was still being filled; the check below decides.
DISPLAY= wineboot -i >/dev/null 2>&1 || true
wineserver -w
if [ ! -f "$prefix/drive_c/windows/system32/kernel32.dll" ]; then
  echo "[wine-prefix] $prefix was not created" >&2
  exit 1
fi
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
wineserver -w
touch "$stamp"
echo "[wine-prefix] created $prefix in $(( $(date +%s) - started )) s"
