#!/usr/bin/env bash
# Starts Corvanta on a script; without a display it runs inside a virtual one.
set -euo pipefail
binary=$1
script=$2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running Corvanta under xvfb-run."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$binary" "$script"
fi
exec "$binary" "$script"
