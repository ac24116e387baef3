#!/usr/bin/env bash
# Sets up, builds the release program and starts it on the built-in simulated device.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
BUILD=build-release
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMIRELO_TESTS=OFF -DMIRELO_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
exec "$BUILD/mirelo-cli" --data data ident --port SIM "$@"
