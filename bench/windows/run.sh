#!/bin/bash
# zampoplay.exe beside mpg123.exe under 64-bit Wine: CPU and memory, and their ratios.
#   bench/windows/run.sh [BUILD_DIR]    (default build-win64; scripts/windows.sh builds it)
# Takes about six minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build-win64}" && pwd)
for f in zampolo-1.0-win64.zip mpg123/bin/mpg123.exe; do
  [ -e "$build/$f" ] || { echo "build it first: bash scripts/windows.sh ($f is missing)" >&2; exit 2; }
done
exec /usr/bin/python3 "$here/windows_bench.py" --build "$build" --work "$build/bench/windows" "${@:2}"
