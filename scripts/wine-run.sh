#!/usr/bin/env bash
# Runs one Windows program under 32-bit Wine: a private prefix (made once,
# with Arial mapped to Liberation Sans), no debug chatter, and an X display
# (a private Xvfb when none is set). The program's exit code is passed on.
# ctest uses this as the emulator for every test binary.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Descriptors inherited from the caller (a lock held by flock, a pipe of
# ctest) would otherwise pass to Wine's long-lived background programs and be
# held open after this program ends.
for fd in /proc/$$/fd/*; do
  fd=${fd##*/}
  [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-" 2>/dev/null
done
export WINEPREFIX="${LUMAREST_WINEPREFIX:-${WINEPREFIX:-$HOME/.cache/lumarest/wineprefix}}"
export WINEARCH=win32
export WINEDEBUG=-all
# A crashing program must end at once: Wine's debugger would start and hold
# ctest's output open until it is killed.
export WINEDLLOVERRIDES="winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# The native 64-bit server serves 32-bit clients and is much faster than an
# emulated one where 32-bit code runs under qemu.
[ -x /usr/lib/wine/wineserver64 ] && export WINESERVER=/usr/lib/wine/wineserver64

# A test may ask for a prefix of its own made from the build's one
# (LUMAREST_PREFIX_VARIANT="<base prefix> <settings>", see
# wine-prefix-variant.sh): another display DPI, or a missing font.
if [ -n "${LUMAREST_PREFIX_VARIANT:-}" ]; then
  # shellcheck disable=SC2086
  "$here/wine-prefix-variant.sh" "$WINEPREFIX" $LUMAREST_PREFIX_VARIANT || exit 125
else
  "$here/wine-prefix.sh" "$WINEPREFIX" || exit 125
fi

# A private display is composited (xcompmgr), so layered windows such as the
# drop shadows blend as they do on Windows.
xvfb_pid=""
xcompmgr_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${LUMAREST_SCREEN:-1280x800x24}" +extension Composite -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    xcompmgr </dev/null >/dev/null 2>&1 &
    xcompmgr_pid=$!
    break
  done
fi

# Wine's background programs (services.exe, explorer.exe, ...) start with
# the first program of a session and inherit its standard output; ctest waits
# for that output to close, so they are started here detached from it. The
# server lingers a minute between programs, keeping the session warm.
wineserver -p 60 </dev/null >/dev/null 2>&1 || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

wine "$@"
rc=$?
[ -n "$xcompmgr_pid" ] && kill "$xcompmgr_pid" 2>/dev/null
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
exit $rc
