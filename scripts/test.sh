#!/usr/bin/env bash
# Installs what is missing, builds from scratch-safe state and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default -DZAMPOLO_WERROR=ON >/dev/null
cmake --build --preset default
ctest --preset default -j2
