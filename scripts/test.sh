#!/usr/bin/env bash
# Installs what is missing, builds Quorvex and runs every test.
#   scripts/test.sh                         the whole suite
#   scripts/test.sh --sanitize address,undefined
#   scripts/test.sh --sanitize thread --only 'CheckRun|Session'
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sanitize=""
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    *) echo "usage: scripts/test.sh [--sanitize LIST] [--only REGEX]" >&2; exit 2 ;;
  esac
done
"$root/scripts/install-deps.sh"
build="$root/build"
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON)
if [ -n "$sanitize" ]; then
  build="$root/build-${sanitize//,/-}"
  options+=(-DQUORVEX_SANITIZE="$sanitize")
  # Qt itself is not built for the thread sanitizer; that run covers the core only.
  [[ "$sanitize" == *thread* ]] && options+=(-DQUORVEX_GUI=OFF)
fi
cmake -S "$root" -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp}"
args=(--test-dir "$build" --output-on-failure -j "$(nproc)")
[ -n "$only" ] && args+=(-R "$only")
ctest "${args[@]}"
