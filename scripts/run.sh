#!/usr/bin/env bash
# Starts Corvanta on a script from a run folder of its own (default: run/ beside the
# build's src/), which holds the help document and receives the settings file, so the
# source tree stays clean. Without a display it runs inside a virtual one.
set -euo pipefail
binary=$(realpath "$1")
script=${2:-}
run_dir=${3:-$(dirname "$binary")/../run}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

mkdir -p "$run_dir"
cp -f "$source_dir/resources/help.rtf" "$run_dir/"
if [ -n "$script" ]; then
  script=$(realpath -m "$script")
fi
cd "$run_dir"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running Corvanta under xvfb-run."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$binary" ${script:+"$script"}
fi
exec "$binary" ${script:+"$script"}
