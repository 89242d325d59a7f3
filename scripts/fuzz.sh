#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under the address and undefined-behaviour sanitizers
# and runs each for a bounded time over its corpus in tests/fuzz/corpus. A crash, a leak or a
# broken invariant fails the script; the crashing input is left in build-fuzz/.
#   scripts/fuzz.sh            60 s per target
#   scripts/fuzz.sh 600        longer
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$root/build-fuzz"
# clang and its fuzzing runtime, when missing (the rest comes with the test set-up).
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEX_FUZZ=ON -DQUORVEX_GUI=OFF -DQUORVEX_SANITIZE=address,undefined >/dev/null
cmake --build "$build" --target text_fuzz input_fuzz answer_fuzz
for target in text_fuzz input_fuzz answer_fuzz; do
  corpus="$root/tests/fuzz/corpus/$target"
  # New inputs go to a scratch folder; the kept corpus is only read.
  found="$build/found-$target"
  mkdir -p "$found"
  echo "fuzzing $target for $seconds s"
  (cd "$build" && "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$found" "$corpus")
done
