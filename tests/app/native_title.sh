#!/usr/bin/env bash
# The captions the window system shows are exactly the program's: the real program on a
# virtual X display, its window found by its exact name.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0" & pid=$!
  for _ in $(seq 50); do
    if name=$(xprop -name "Corvanta (V1.1.0)" _NET_WM_NAME 2>/dev/null); then
      kill $pid
      echo "$name"
      [ "$name" = "_NET_WM_NAME(UTF8_STRING) = \"Corvanta (V1.1.0)\"" ]
      exit
    fi
    sleep 0.2
  done
  kill $pid
  echo "no window named exactly \"Corvanta (V1.1.0)\"" >&2
  exit 1
' "$program"
