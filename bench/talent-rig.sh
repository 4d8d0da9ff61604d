#!/usr/bin/env bash
# Runs a program on a virtual X display of two 1920x1080 monitors side by side, OPERATOR
# and TALENT, for the talent screen's benchmarks: bench/talent-rig.sh build/bench/bench_talent speed
set -euo pipefail
TALENT_MONITOR=1920/508x1080/286 exec "$(dirname "$0")/../tests/talent/two_screens.sh" "$@"
