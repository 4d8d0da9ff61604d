#!/usr/bin/env bash
# Runs the long-script benchmark for every size and form, one process each.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${BUILD:-build}/bench/bench_scripts
for pages in 600 2000 25000; do
  for form in plain rtf; do
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$bench" "$pages" "$form" 2>/dev/null | grep pages
  done
done
