#!/usr/bin/env bash
# Sets up, builds and runs plovex on the simulated board: the window when a
# display is there, the headless monitor otherwise. Extra arguments go to the
# program that runs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$root/build/app/plovex" ]; then
  exec "$root/build/app/plovex" --simulate "$@"
fi
echo "plovex: no display here; showing the headless monitor on the simulated board (Ctrl+C ends it)" >&2
exec "$root/build/cli/plovex-cli" monitor --simulate "$@"
