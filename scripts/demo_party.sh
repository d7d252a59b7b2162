#!/usr/bin/env bash
# Writes a demo party into DIR (default ~/quorbel-demo): generated tagged tracks, queue, guest
# pool, presets, web folder and a settings file, then says what to do next. Builds the project
# first when this checkout has not been built yet; an installed qmm-demo serves as well.
#   scripts/demo_party.sh [DIR]
set -euo pipefail
dir=$(realpath -m -- "${1:-$HOME/quorbel-demo}")  # before the cd below
cd "$(dirname "$0")/.."
tool=${BUILD_DIR:-build}/bin/qmm-demo
if [ ! -x "$tool" ]; then
  if command -v qmm-demo >/dev/null; then
    tool=$(command -v qmm-demo)
  else
    ./scripts/setup.sh
    ./scripts/build.sh
  fi
fi
exec "$tool" "$dir"
