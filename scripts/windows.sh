#!/bin/sh
# The Windows build: the core, quorvex.exe (the window), quorvex-cli.exe and their tests, cross-built with mingw-w64 and
# tested under Wine.
#   scripts/windows.sh deps      install the cross compiler, Wine and what the target needs
#   scripts/windows.sh build     configure and build in build-windows
#   scripts/windows.sh test      run the tests under Wine (the network ones need the Linux build's
#                                stand-in service: build/bin/stand_in_share_service)
#   scripts/windows.sh package   the zip with quorvex.exe, quorvex-cli.exe, their README and licence
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=${QUORVEX_WINDOWS_BUILD:-$root/build-windows}
sqlite_dir=$out/third_party/sqlite
native=${QUORVEX_NATIVE_BUILD:-$root/build}

# Source entries twin to the archives the machine's apt already uses (whatever mirror it is set up
# with), written beside them: apt-get source needs them, and an archive named here would be one
# the machine may not reach.
source_entries() {
  apt_dir=$1
  for f in "$apt_dir"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$(basename "$f")" = quorvex-sources.sources ] && continue
    awk 'BEGIN { RS = ""; ORS = "" }
      {
        n = split($0, line, "\n"); out = ""; binary = 0; off = 0
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^Types:/ && line[i] ~ /[ \t]deb([ \t]|$)/) { binary = 1; line[i] = "Types: deb-src" }
          if (line[i] ~ /^Enabled:[ \t]*[Nn]o/) off = 1
          out = out line[i] "\n"
        }
        if (binary && !off) print out "\n"
      }' "$f"
  done > "$apt_dir/sources.list.d/quorvex-sources.sources"
  [ -s "$apt_dir/sources.list.d/quorvex-sources.sources" ] || rm -f "$apt_dir/sources.list.d/quorvex-sources.sources"
  for f in "$apt_dir"/sources.list "$apt_dir"/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    [ "$(basename "$f")" = quorvex-sources.list ] && continue
    sed -n 's/^deb\([ \t]\)/deb-src\1/p' "$f"
  done > "$apt_dir/sources.list.d/quorvex-sources.list"
  [ -s "$apt_dir/sources.list.d/quorvex-sources.list" ] || rm -f "$apt_dir/sources.list.d/quorvex-sources.list"
}

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
      source_entries /etc/apt
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
  # The window's tests make windows with no display: Wine's null graphics driver draws them into
  # memory, as a hidden desktop would. The prefix's desktop process, started by the boot without
  # a display, has no driver at all, and windows are made through it: the server is started
  # again once the driver is named, and the services and the desktop with it, outputs closed as
  # above (the desktop lives on, with the null driver, and would hold a test's pipe).
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null || true
  wineserver -k >/dev/null 2>&1 </dev/null || true
  wineserver -w >/dev/null 2>&1 </dev/null || true
  wineserver -p >/dev/null 2>&1 </dev/null || { echo "wineserver does not start" >&2; exit 1; }
  timeout 300 wine wineboot >/dev/null 2>&1 </dev/null || true
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
