#!/usr/bin/env bash
# Checks the same 1,000 share URLs against a local share service with 100 ms latency, with
# quorvex-cli check and with LinkChecker (Debian package linkchecker), at 50 and 500 threads, and
# prints wall time, CPU seconds and peak memory of each.
#   bench/compare_linkchecker.sh BUILD_DIR   (a build with -DQUORVEX_BENCH=ON)
set -euo pipefail
build="${1:?usage: compare_linkchecker.sh BUILD_DIR}"
work="$(mktemp -d)"
trap 'kill $server_pid 2>/dev/null || true; rm -f "${ca:-}"; rm -rf "$work"' EXIT
"$build/bin/share_server" 100 > "$work/port" &
server_pid=$!
while [ ! -s "$work/port" ]; do sleep 0.1; done
read -r port ca < "$work/port"
# Quorvex asks for pan.baidu.com only; the stand-in answers for it under the test authority.
export QUORVEX_CONNECT_TO="pan.baidu.com:443:127.0.0.1:$port" QUORVEX_CA_FILE="$ca"
for i in $(seq 1 1000); do
  echo "row$i https://pan.baidu.com/s/1x$i" >> "$work/rows.txt"
  # LinkChecker resolves names through the system, which has no *.localhost: same server by address.
  echo "https://127.0.0.1:$port/s/1x$i" >> "$work/urls.txt"
done
sed -i 's/$/\r/' "$work/rows.txt"
measure() {  # label, command...
  local label="$1"; shift
  /usr/bin/time -f "$label: wall %e s, cpu %U+%S s, peak %M KB" "$@" > /dev/null 2> "$work/err" || true
  tail -n 1 "$work/err"
}
for threads in 50 500; do
  measure "quorvex-cli check --threads $threads" "$build/bin/quorvex-cli" check --threads "$threads" "$work/rows.txt"
  # LinkChecker cannot be pointed at the test authority; it is told not to check certificates.
  cat > "$work/lcrc" <<CONF
[checking]
threads=$threads
sslverify=0
# Its default of 10 requests a second to one host would measure the throttle, not the checker.
maxrequestspersecond=1000
[filtering]
checkextern=1
CONF
  measure "linkchecker --threads $threads" linkchecker -f "$work/lcrc" --no-robots --no-status --no-warnings -o none --stdin < "$work/urls.txt"
done
