#!/usr/bin/env bash
# Writes a demo party into DIR (default ~/quorbel-demo): generated tagged tracks, queue, guest
# pool, presets, web folder and a settings file, then says what to do next. Builds the project
# first when this checkout has not been built yet; an installed qmm-demo serves as well.
#   scripts/demo_party.sh [DIR]
set -euo pipefail
case "${1:-}" in
  -h|--help)
    echo "Usage: scripts/demo_party.sh [DIR]"
    echo
    echo "Writes a demo party for Quorbel Media Mixer into DIR (default ~/quorbel-demo; it must be"
    echo "new, empty or an earlier demo): tagged tracks, a queue, a guest pool, presets, web pages and"
    echo "party.stg naming them all. Builds the project first when needed. QMM_WEB_PORT, when set,"
    echo "is the port the printed guest address uses."
    exit 0 ;;
  -*)
    echo "demo_party.sh: unknown option '$1'; try 'scripts/demo_party.sh --help'" >&2
    exit 2 ;;
esac
[ $# -le 1 ] || { echo "Usage: scripts/demo_party.sh [DIR]" >&2; exit 2; }
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
