#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
./scripts/setup.sh
./scripts/check_layers.sh
./scripts/build.sh "$@"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "${JOBS:-$(nproc)}" --no-tests=error
