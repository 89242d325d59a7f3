#!/bin/sh
# quorvex-cli.exe checks a list against the stand-in service, reached as pan.baidu.com: each
# state is judged as on Linux (the list's name is Chinese, with a space), the JSON summary counts
# them, and the exit status says 4 (some rows unknown).
#   cli_check.sh STAND_IN WINE QUORVEX-CLI.EXE
set -eu
here=$(cd "$(dirname "$0")" && pwd)
stand_in=$1
wine=$2
cli=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\r\n' '好的 https://pan.baidu.com/s/1public' '要码 https://pan.baidu.com/s/1needcode 提取码: abcd' \
  '删了 https://pan.baidu.com/s/1deleted' '没了 https://pan.baidu.com/s/1gone' \
  '忙 https://pan.baidu.com/s/1down' > "$work/链接 列表.txt"
set +e
"$here/with_stand_in.sh" "$stand_in" sh -c '
  QUORVEX_CONNECT_TO=$QUORVEX_TEST_CONNECT_TO QUORVEX_CA_FILE=$QUORVEX_TEST_CA_FILE \
    "$0" "$1" check --store "Z:$2/store.sqlite" --retries 0 -f json -q "Z:$2/链接 列表.txt"' \
  "$wine" "$cli" "$work" > "$work/out.json"
rc=$?
set -e
cat "$work/out.json"
[ "$rc" = 4 ] || { echo "exit status $rc, not 4" >&2; exit 1; }
grep -q '"summary":{"total":5,"valid":2,"invalid":2,"unknown":1' "$work/out.json"
echo "quorvex-cli.exe check: ok"
