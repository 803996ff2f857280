#!/usr/bin/env bash
# Installs everything Lumarest needs on a Debian 12 machine (run as root) and
# cross-builds the i686 libraries Debian does not ship for mingw-w64 into a
# cached prefix. Safe to run again: each step checks first and is skipped
# when its result is already there.
set -euo pipefail

DEPS_PREFIX="${LUMAREST_DEPS:-/opt/lumarest-deps}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
log() { printf '[setup] %s\n' "$*"; }

PACKAGES=(
  cmake ninja-build make dpkg-dev file g++
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
  libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb xcompmgr xdotool x11-utils imagemagick fonts-liberation
  rapidjson-dev libboost-dev gettext nsis googletest librsvg2-bin ccache
  python3-nacl openssl autoconf automake libtool
  libgnutls30:i386  # Wine's TLS (secur32) loads it; libwine only recommends it
  clang clang-format libclang-rt-dev libgtest-dev
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

ensure_sources() {
  local changed=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386; changed=1
  fi
  # glog, minizip (zlib's contrib) and libsodium are cross-built from Debian's own source packages.
  local src=/etc/apt/sources.list.d/lumarest-src.sources
  if [ ! -f "$src" ]; then
    cat >"$src" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    changed=1
  fi
  return $changed
}

apt_update() {
  # The i386 security index sometimes lags the amd64 one; apt-get update then
  # exits non-zero although everything we need is listed.
  apt-get update -qq || log "apt-get update reported errors; continuing"
}

install_packages() {
  local need
  need=$(missing_packages)
  [ -z "$need" ] && return 0
  log "installing: $(echo $need)"
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y -qq --no-install-recommends $need; then
    # Held broken packages: the security archive carries an amd64 wine build
    # whose i386 twin is not published yet. Prefer the release archive once.
    local pref=/etc/apt/preferences.d/lumarest-wine-fallback
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: -1\n\nPackage: *\nPin: release n=bookworm, l=Debian\nPin-Priority: 1001\n' >"$pref"
    local rc=0
    apt-get install -y -qq --no-install-recommends --allow-downgrades $need || rc=$?
    rm -f "$pref"
    [ $rc -eq 0 ] || { log "package installation failed"; exit $rc; }
  fi
}

toolchain="$here/cmake/mingw-i686.cmake"

# Some of our machines boot with the kernel's 32-bit emulation switched off:
# no 32-bit x86 code runs natively there, so Wine's i386 side runs under
# qemu's user-mode emulator, registered for i386 ELF files through
# binfmt_misc. Bookworm's qemu 7.2 crashes multi-threaded Wine programs (its
# signal frames carry no trap number, which Wine's fault handler needs), so
# the emulator comes from Debian 13's qemu-user package (a static binary).
# Wine's server is the native 64-bit one (scripts/wine-run.sh).
QEMU_I386="$DEPS_PREFIX/bin/qemu-i386"

native_i386_works() {
  # Without a handler, exec of an i386 file fails with "Exec format error".
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

fetch_qemu() {
  [ -x "$QEMU_I386" ] && return 0
  log "fetching qemu-user from Debian 13 for 32-bit emulation"
  local list=/etc/apt/sources.list.d/lumarest-trixie.sources pin=/etc/apt/preferences.d/lumarest-trixie
  printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: trixie\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' >"$list"
  printf 'Package: *\nPin: release n=trixie\nPin-Priority: 50\n' >"$pin"
  local work; work=$(mktemp -d)
  apt_update
  (cd "$work" && apt-get download -qq qemu-user/trixie) || true
  rm -f "$list" "$pin"
  apt_update
  local deb; deb=$(ls "$work"/qemu-user_*.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || { log "could not download qemu-user"; rm -rf "$work"; exit 1; }
  dpkg-deb -x "$deb" "$work/x"
  mkdir -p "$(dirname "$QEMU_I386")"
  install -m 755 "$work/x/usr/bin/qemu-i386" "$QEMU_I386"
  rm -rf "$work"
}

ensure_i386_execution() {
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && ! grep -q "interpreter $QEMU_I386\$" /proc/sys/fs/binfmt_misc/qemu-i386; then
    echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386   # an older emulator; replaced below
  fi
  native_i386_works && return 0
  fetch_qemu
  local misc=/proc/sys/fs/binfmt_misc
  [ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc" || true
  if [ ! -e "$misc/qemu-i386" ]; then
    log "registering $QEMU_I386 for 32-bit programs"
    printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$QEMU_I386:F" >"$misc/register"
  fi
  native_i386_works || { log "cannot run 32-bit programs on this machine"; exit 1; }
}

build_glog() {
  [ -f "$DEPS_PREFIX/lib/libglog.a" ] && return 0
  log "cross-building glog into $DEPS_PREFIX"
  local work; work=$(mktemp -d)
  (cd "$work" && apt-get source -qq google-glog >/dev/null)
  local dir; dir=$(find "$work" -maxdepth 1 -type d -name 'google-glog-*' | head -n1)
  cmake -S "$dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DWITH_GFLAGS=OFF -DWITH_GTEST=OFF -DWITH_UNWIND=OFF \
    -DBUILD_TESTING=OFF -DWITH_PKGCONFIG=OFF >/dev/null
  cmake --build "$work/build" >/dev/null
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
}

build_gtest() {
  [ -f "$DEPS_PREFIX/lib/libgtest.a" ] && return 0
  log "cross-building GoogleTest into $DEPS_PREFIX"
  local work; work=$(mktemp -d)
  cmake -S /usr/src/googletest -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$work/build" >/dev/null
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
}

build_minizip() {
  [ -f "$DEPS_PREFIX/lib/libminizip.a" ] && return 0
  log "cross-building minizip into $DEPS_PREFIX"
  local work; work=$(mktemp -d)
  (cd "$work" && apt-get source -qq zlib >/dev/null)
  local dir; dir=$(find "$work" -maxdepth 1 -type d -name 'zlib-*' | head -n1)/contrib/minizip
  # zlib's contrib/minizip has no Windows build of its own: the four files the
  # zip and unzip APIs need (iowin32 for UTF-16 paths) go into one archive,
  # against mingw-w64's own zlib (libz-mingw-w64-dev).
  local f
  for f in ioapi zip unzip iowin32; do
    i686-w64-mingw32-gcc-posix -O2 -c "$dir/$f.c" -o "$work/$f.o"
  done
  mkdir -p "$DEPS_PREFIX/lib" "$DEPS_PREFIX/include/minizip"
  i686-w64-mingw32-ar rcs "$DEPS_PREFIX/lib/libminizip.a" "$work"/ioapi.o "$work"/zip.o "$work"/unzip.o "$work"/iowin32.o
  install -m 644 "$dir"/ioapi.h "$dir"/zip.h "$dir"/unzip.h "$dir"/iowin32.h "$DEPS_PREFIX/include/minizip/"
  rm -rf "$work"
}

build_sodium() {
  [ -f "$DEPS_PREFIX/lib/libsodium.a" ] && return 0
  log "cross-building libsodium into $DEPS_PREFIX"
  local work; work=$(mktemp -d)
  (cd "$work" && apt-get source -qq libsodium >/dev/null)
  local dir; dir=$(find "$work" -maxdepth 1 -type d -name 'libsodium-*' | head -n1)
  # Static, for the Comm module's signature checks; its own randomness comes
  # from advapi32, which the module links. Debian's source has no configure
  # script of its own: autoreconf makes it, as Debian's build does.
  (cd "$dir" && autoreconf -fi >/dev/null 2>&1 && ./configure -q --host=i686-w64-mingw32 CC=i686-w64-mingw32-gcc-posix \
      --prefix="$DEPS_PREFIX" --disable-shared --enable-static --disable-pie >/dev/null \
    && make -s -j2 >/dev/null && make -s install >/dev/null)
  rm -rf "$work"
}

if [ -z "$(missing_packages)" ] && [ -f "$DEPS_PREFIX/lib/libglog.a" ] && [ -f "$DEPS_PREFIX/lib/libgtest.a" ] \
  && [ -f "$DEPS_PREFIX/lib/libminizip.a" ] && [ -f "$DEPS_PREFIX/lib/libsodium.a" ]; then
  [ "$(id -u)" -eq 0 ] && ensure_i386_execution
  exit 0
fi
[ "$(id -u)" -eq 0 ] || { log "run as root to install packages"; exit 1; }
if ! ensure_sources || [ -n "$(missing_packages)" ]; then apt_update; fi
install_packages
ensure_i386_execution
build_glog
build_gtest
build_minizip
build_sodium
log "ready"
