#!/usr/bin/env bash
# Runs a program on a virtual X display of two 1920x1080 monitors side by side, OPERATOR
# and TALENT, for the talent screen's benchmarks: bench/talent-rig.sh build/bench/bench_talent speed
set -euo pipefail
work=$(mktemp -d)
exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 3840x1080x24 >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
export DISPLAY=:$(head -n1 "$work/display")
xrandr --setmonitor OPERATOR 1920/508x1080/286+0+0 none
xrandr --setmonitor TALENT 1920/508x1080/286+1920+0 none
export QT_QPA_PLATFORM=xcb
"$@"
