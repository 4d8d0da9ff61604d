#!/usr/bin/env bash
# Runs a test program on a virtual X display of two monitors side by side: OPERATOR
# (1920x1080) and TALENT (1280x720). The program unplugs and replugs TALENT itself with
# xrandr; -noreset keeps the monitors when the last client leaves. TALENT_MONITOR gives
# the talent's monitor another size (the benchmarks use 1920/508x1080/286).
set -euo pipefail
case $1 in */*) program=$(readlink -f "$1") ;; *) program=$1 ;; esac
shift
talent=${TALENT_MONITOR:-1280/338x720/190}
talent_width=${talent%%/*}
work=$(mktemp -d)
exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 $((1920 + talent_width))x1080x24 >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
export DISPLAY=:$(head -n1 "$work/display")
xrandr --setmonitor OPERATOR 1920/508x1080/286+0+0 none
xrandr --setmonitor TALENT "$talent+1920+0" none
export QT_QPA_PLATFORM=xcb
cd "$work"
"$program" "$@"
