#!/usr/bin/env bash
# Installs what is missing, builds, makes the sample songs and starts the player.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo "Sample songs: $(pwd)/build/samples"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: there is no X or Wayland session to show the player's window in." >&2
  echo "Run it under a virtual display instead:  xvfb-run -a build/dist/zampoplay" >&2
  exit 1
fi
exec build/dist/zampoplay
