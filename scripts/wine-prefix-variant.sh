#!/usr/bin/env bash
# Makes the Wine prefix $1 once as a copy of the base prefix $2 (made by
# wine-prefix.sh when missing) with display settings of its own:
#   dpi=N      the display's DPI (HKCU\Control Panel\Desktop LogPixels), read
#              when the prefix's Wine server starts
#   no-arial   without the "Arial" replacement, as on a system that lacks
#              the family
#   trust-ca=FILE  the CA certificate FILE (PEM) among the machine's trusted
#              roots (HKLM\Software\Microsoft\SystemCertificates\Root), so
#              that only this prefix trusts servers that the CA certified
# Copying is much faster than making a prefix. Concurrent callers wait for
# the first one. The prefix is made again when its settings, or the content
# of a trusted certificate, changed.
set -euo pipefail
prefix="$1" base="$2"
shift 2
stamp="$prefix/.lumarest-variant-1"
# What the prefix is made of: its settings and the certificates they trust.
recipe() {
  local setting
  printf '%s\n' "$base" "$@"
  for setting in "$@"; do
    case "$setting" in trust-ca=*) sha1sum "${setting#trust-ca=}" ;; esac
  done
}
wanted="$(recipe "$@")"
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && exit 0
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/wine-prefix.sh" "$base"
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -x /usr/lib/wine/wineserver64 ] && export WINESERVER=/usr/lib/wine/wineserver64
rm -rf "$prefix"
cp -a "$base" "$prefix"
rm -f "$prefix"/.lumarest-ready-*
for setting in "$@"; do
  case "$setting" in
    dpi=*) DISPLAY= wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${setting#dpi=}" /f >/dev/null 2>&1 ;;
    no-arial) DISPLAY= wine reg delete 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /f >/dev/null 2>&1 || true ;;
    trust-ca=*)
      # A system store's certificate is a serialized element: property 32
      # (the encoded certificate), flags 1, its length, then its DER bytes,
      # under a key named by its SHA-1 thumbprint.
      read -r thumbprint blob < <(/usr/bin/python3 -c '
import hashlib, ssl, struct, sys
der = ssl.PEM_cert_to_DER_cert(open(sys.argv[1]).read())
print(hashlib.sha1(der).hexdigest().upper(), (struct.pack("<III", 32, 1, len(der)) + der).hex())' "${setting#trust-ca=}")
      DISPLAY= wine reg add "HKLM\Software\Microsoft\SystemCertificates\Root\Certificates\\$thumbprint" \
        /v Blob /t REG_BINARY /d "$blob" /f >/dev/null 2>&1 ;;
    *) echo "[wine-prefix-variant] unknown setting $setting" >&2; exit 1 ;;
  esac
done
# The server writes the registry back when it ends; the settings take effect
# when the next one starts.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
printf '%s' "$wanted" >"$stamp"
echo "[wine-prefix-variant] made $prefix from $base with: $*"
