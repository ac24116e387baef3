#!/usr/bin/env bash
# Sets up, builds the release program and starts it on the built-in simulated device.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
BUILD=build-release
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMIRELO_TESTS=OFF -DMIRELO_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
# The demo keeps its settings in the build folder, so a real installation's settings
# (port, language, folders) are left alone.
export MIRELO_CONFIG_DIR="${MIRELO_CONFIG_DIR:-$PWD/$BUILD/demo-settings}"
mkdir -p "$MIRELO_CONFIG_DIR"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: running under a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a "$BUILD/mirelo" --data data --port SIM "$@"
fi
exec "$BUILD/mirelo" --data data --port SIM "$@"
