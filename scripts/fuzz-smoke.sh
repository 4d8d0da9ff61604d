#!/usr/bin/env bash
# Builds the fuzz targets with clang in a folder of their own and runs each one for a fixed
# number of inputs over its seeds, so that a target that stops at once fails the build.
# Usage: scripts/fuzz-smoke.sh [build folder] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
runs=${2:-20000}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DCORVANTA_FUZZ=ON "${launcher[@]}"
fi
targets=(rtf_fuzz plaintext_fuzz profile_fuzz remote_fuzz)
cmake --build "$build" -j"${JOBS:-2}" --target "${targets[@]}" fuzz_corpora

bin=$(cd "$build/fuzz" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
for target in "${targets[@]}"; do
  corpus=${target%_fuzz}
  # A copy, so that what the run adds does not grow the seeds of the next run.
  cp -r "$bin/corpus/$corpus" "$work/$corpus"
  echo "== $target: $runs runs over $(ls "$work/$corpus" | wc -l) seeds"
  # Failing inputs go to the work folder; the log says where.
  if ! (cd "$work" && "$bin/$target" -runs="$runs" -seed=1 -max_len=4096 -timeout=30 \
          -rss_limit_mb=2048 -print_final_stats=1 "$work/$corpus" > "$work/$target.log" 2>&1); then
    tail -n 60 "$work/$target.log"
    for input in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-*; do
      [ -e "$input" ] && { echo "failing input $(basename "$input"):"; od -c "$input" | head -20; }
    done
    echo "$target failed" >&2
    exit 1
  fi
  grep -E "^(stat::number_of_executed_units|Done)" "$work/$target.log" || true
done
