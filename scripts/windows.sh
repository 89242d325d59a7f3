#!/bin/sh
# The Windows build: the core, quorvex-cli.exe and their tests, cross-built with mingw-w64 and
# tested under Wine.
#   scripts/windows.sh deps      install the cross compiler, Wine and what the target needs
#   scripts/windows.sh build     configure and build in build-windows
#   scripts/windows.sh test      run the tests under Wine (the network ones need the Linux build's
#                                stand-in service: build/bin/stand_in_share_service)
#   scripts/windows.sh package   the zip with quorvex-cli.exe, its README and licence
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=${QUORVEX_WINDOWS_BUILD:-$root/build-windows}
sqlite_dir=$out/third_party/sqlite
native=${QUORVEX_NATIVE_BUILD:-$root/build}

deps() {
  need=""
  for p in g++-mingw-w64-x86-64-posix wine wine64 libgnutls30 googletest tcl xz-utils; do
    dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
  done
  if [ -n "$need" ]; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $need
  fi
  [ -f "$sqlite_dir/sqlite3.c" ] && return 0
  # SQLite for the target: the amalgamation, made from Debian's source package.
  if ! ls "$out"/third_party/src/sqlite3_*.orig.tar.xz >/dev/null 2>&1; then
    if ! grep -rqs "^Types: deb-src" /etc/apt/sources.list.d/ && ! grep -qs "^deb-src" /etc/apt/sources.list; then
      cat > /etc/apt/sources.list.d/quorvex-sources.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
      apt-get update -q
    fi
    mkdir -p "$out/third_party/src"
    (cd "$out/third_party/src" && apt-get source --download-only sqlite3 >/dev/null 2>&1)
  fi
  rm -rf "$out/third_party/sqlite-build" && mkdir -p "$out/third_party/sqlite-build" "$sqlite_dir"
  tar -xJf "$out"/third_party/src/sqlite3_*.orig.tar.xz -C "$out/third_party/sqlite-build"
  (cd "$out"/third_party/sqlite-build/sqlite3-* && ./configure --disable-tcl >/dev/null &&
    make sqlite3.c >/dev/null && cp sqlite3.c sqlite3.h "$sqlite_dir/")
  rm -rf "$out/third_party/sqlite-build"
}

build() {
  stand_in=""
  [ -x "$native/bin/stand_in_share_service" ] && stand_in=$native/bin/stand_in_share_service
  cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQUORVEX_WERROR=ON \
    -DQUORVEX_SQLITE_SOURCE="$sqlite_dir" -DQUORVEX_STAND_IN="$stand_in"
  cmake --build "$out"
}

# Wine's prefix lives in the build folder. Its background services are started first with every
# output closed: started by a piped run, they would inherit and hold the pipe, and ctest would
# wait for them for ever.
start_wine() {
  export WINEPREFIX="$out/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  # A server an interrupted run left behind would refuse a second one.
  wineserver -k >/dev/null 2>&1 </dev/null || true
  wineserver -p >/dev/null 2>&1 </dev/null || { echo "wineserver does not start" >&2; exit 1; }
  timeout 300 wine wineboot -i >/dev/null 2>&1 </dev/null || true
}

run_tests() {
  start_wine
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  (cd "$out" && timeout 900 ctest --output-on-failure -j2)
}

package() {
  (cd "$out" && cpack -G ZIP)
}

case "${1:-}" in
  deps) deps ;;
  build) build ;;
  test) run_tests ;;
  package) package ;;
  all) deps; build; run_tests; package ;;
  *) echo "usage: $0 deps|build|test|package|all" >&2; exit 2 ;;
esac
