#!/usr/bin/env bash
# Installs what is missing, builds Quorvex and starts its window.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
# The same build folder and options as scripts/test.sh, so switching between the two rebuilds nothing.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON >/dev/null
cmake --build "$root/build" --target quorvex quorvex-cli
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: run this from a desktop session (or set DISPLAY)." >&2
  exit 1
fi
exec "$root/build/bin/quorvex"
