#!/bin/bash
# The player's benchmarks: every figure beside mpg123's for the same songs on the
# same sink in the same run, and their ratio.
#   bench/player/run.sh [BUILD_DIR]      (default build; needs zampoplay and MP3.DLL)
# Runs the real zampoplay in a private X display with a private PulseAudio server
# (as the end-to-end tests do) and takes about twelve minutes (the CPU step alone,
# --steps cpu, about seven).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
for f in zampoplay MP3.DLL MSVBVM50.DLL; do
  [ -e "$build/dist/$f" ] || { echo "build it first: cmake --build $build ($f is missing)" >&2; exit 2; }
done
exec /usr/bin/python3 "$here/player_bench.py" --dist "$build/dist" --work "$build/bench/player/data" \
  "${@:2}"
