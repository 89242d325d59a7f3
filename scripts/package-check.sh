#!/usr/bin/env bash
# Builds the Debian package, checks its desktop entry and metainfo, installs it, runs both
# installed programs (a check against the local stand-in share service included) and removes it.
# Needs root (it installs the package); run after scripts/test.sh has built build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
cmake --build "$build"
desktop-file-validate "$root/packaging/org.orvane.Quorvex.desktop"
appstreamcli validate --no-net "$root/packaging/org.orvane.Quorvex.metainfo.xml"
rm -f "$build"/quorvex_*.deb
(cd "$build" && cpack -G DEB)
deb="$(ls "$build"/quorvex_*.deb)"
dpkg-deb --info "$deb" | grep -E "Depends|Version"
apt-get install -y --no-install-recommends "$deb"
trap 'apt-get remove -y quorvex >/dev/null || true' EXIT

test "$(quorvex --version)" = "quorvex $(dpkg-deb -f "$deb" Version)"
quorvex-cli --version
for f in /usr/share/applications/org.orvane.Quorvex.desktop \
         /usr/share/metainfo/org.orvane.Quorvex.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/org.orvane.Quorvex.svg \
         /usr/share/icons/hicolor/48x48/apps/org.orvane.Quorvex.png \
         /usr/share/man/man1/quorvex.1.gz /usr/share/man/man1/quorvex-cli.1.gz \
         /usr/share/doc/quorvex/copyright; do
  test -s "$f" || { echo "missing from the package: $f" >&2; exit 1; }
done

# A check from the installed program against the stand-in service, reached as pan.baidu.com.
work="$(mktemp -d)"
mkfifo "$work/in"
"$build/bin/stand_in_share_service" < "$work/in" > "$work/service" &
exec 3> "$work/in"
until [ -s "$work/service" ]; do sleep 0.1; done
read -r connect_to ca_file _ports < "$work/service"
printf 'good https://pan.baidu.com/s/1public\r\nbad https://pan.baidu.com/s/1deleted\r\n' > "$work/links.txt"
set +e
QUORVEX_CONNECT_TO="$connect_to" QUORVEX_CA_FILE="$ca_file" \
  quorvex-cli check --store "$work/store.sqlite" -f json -q "$work/links.txt" > "$work/out.json"
rc=$?
set -e
exec 3>&-
wait
cat "$work/out.json"
test "$rc" = 3
grep -q '"summary":{"total":2,"valid":1,"invalid":1,"unknown":0' "$work/out.json"
rm -rf "$work"
apt-get remove -y quorvex
trap - EXIT
echo "package check: ok"
