#!/bin/sh
# quorvex-cli.exe under Wine next to the Linux quorvex-cli: the same list (600 rows, six page
# states), the same threads, against the stand-in service running natively on loopback; three
# runs each, the run's own seconds from the JSON summary and the wall time with the program's
# start. Needs build/ (./scripts/test.sh) and build-windows/ (./scripts/windows.sh build).
#   bench/windows_check.sh [THREADS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
threads=${1:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
i=0
while [ $i -lt 600 ]; do
  case $((i % 6)) in
    0) s=public ;; 1) s=needcode ;; 2) s=deleted ;; 3) s=gone ;; 4) s=need ;; *) s=expired ;;
  esac
  printf 'row%d https://pan.baidu.com/s/1%s-%d\r\n' $i $s $i
  i=$((i + 1))
done > "$work/links.txt"
export WINEPREFIX="$root/build-windows/wine-prefix" WINEDEBUG=-all
cat > "$work/run.sh" <<'RUN'
export QUORVEX_CONNECT_TO=$QUORVEX_TEST_CONNECT_TO
seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
for run in 1 2 3; do
  rm -f "$bench_dir"/*.sqlite
  start=$(date +%s.%N)
  summary=$(QUORVEX_CA_FILE=${QUORVEX_TEST_CA_FILE#Z:} "$root/build/bin/quorvex-cli" check \
    --store "$bench_dir/l.sqlite" --threads "$threads" -q -f json "$bench_dir/links.txt" | tail -1)
  echo "linux $(seconds_since "$start") s wall  $summary"
  start=$(date +%s.%N)
  summary=$(QUORVEX_CA_FILE=$QUORVEX_TEST_CA_FILE wine "$root/build-windows/bin/quorvex-cli.exe" \
    check --store "Z:$bench_dir/w.sqlite" --threads "$threads" -q -f json "Z:$bench_dir/links.txt" \
    2>/dev/null | tail -1)
  echo "exe   $(seconds_since "$start") s wall  $summary"
done
RUN
bench_dir=$work root=$root threads=$threads \
  sh "$root/tests/windows/with_stand_in.sh" "$root/build/bin/stand_in_share_service" sh "$work/run.sh"
