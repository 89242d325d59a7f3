#!/bin/sh
# Runs a command (a Windows test program under Wine) beside the stand-in share service running
# natively on loopback, and tells it where the service is:
#   QUORVEX_TEST_CONNECT_TO  the connect-to entry that sends pan.baidu.com:443 to the service
#   QUORVEX_TEST_CA_FILE     the authority to trust, as a Windows path
#   QUORVEX_TEST_MUTE_PORT   a port that accepts connections and never answers
#   QUORVEX_TEST_CONTROL_PORT  where tests make services of their own (support/share_service.h)
#   with_stand_in.sh STAND_IN COMMAND...
set -eu
stand_in=$1
shift
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null; rm -rf "$work"' EXIT
mkfifo "$work/in"
"$stand_in" < "$work/in" > "$work/service" &
exec 3> "$work/in"
tries=0
until [ -s "$work/service" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 200 ] || { echo "the stand-in service did not start" >&2; exit 1; }
  sleep 0.05
done
read -r connect_to ca_file mute_port control_port < "$work/service"
# Wine shows the machine's root folder as drive Z:.
QUORVEX_TEST_CONNECT_TO=$connect_to QUORVEX_TEST_CA_FILE="Z:$ca_file" \
  QUORVEX_TEST_MUTE_PORT=$mute_port QUORVEX_TEST_CONTROL_PORT=$control_port "$@"
