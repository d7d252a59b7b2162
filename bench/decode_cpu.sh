#!/usr/bin/env bash
# CPU time of two decks playing MP3 files side by side (bench_decks, dummy audio driver) against
# mpg123 decoding the same files without output. Target: at most 1.5 times mpg123's CPU time.
#   BUILD_DIR           build folder holding bin/bench_decks (default: build; built when missing)
#   QMM_BENCH_SECONDS   length of the tracks and of the overlap (default: 60)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
export QMM_BENCH_SECONDS=${QMM_BENCH_SECONDS:-60}
export SDL_AUDIODRIVER=dummy

if ! command -v mpg123 >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends mpg123
fi
if [ ! -x "$BUILD_DIR/bin/bench_decks" ]; then
  [ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR" --target bench_decks
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QMM_BENCH_DIR=$work

"$BUILD_DIR/bin/bench_decks" --benchmark_out="$work/decks.json" --benchmark_out_format=json
counter() { sed -n "s/^ *\"$1\": \([0-9.e+-]*\),\{0,1\}$/\1/p" "$work/decks.json" | head -n 1; }
decks_cpu=$(counter cpu_s)
decode_cpu=$(counter decode_cpu_s)
underruns=$(counter underruns)

# mpg123 decodes both files; the median of five runs.
runs=()
for _ in 1 2 3 4 5; do
  TIMEFORMAT='%3U %3S'
  t=$( { time mpg123 -q -t "$work/deck1.mp3" "$work/deck2.mp3" >/dev/null 2>&1; } 2>&1 )
  runs+=("$(awk '{ printf "%.3f", $1 + $2 }' <<<"$t")")
done
peer=$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p)

awk -v d="$decks_cpu" -v dd="$decode_cpu" -v m="$peer" -v u="$underruns" -v s="$QMM_BENCH_SECONDS" 'BEGIN {
  ratio = (m > 0) ? d / m : 0
  printf "two decks, %s s each, overlapping: %.3f s CPU (decoder thread %.3f s), %d underruns\n", s, d, dd, u
  printf "mpg123 -t, same two files (median of 5): %.3f s CPU\n", m
  printf "ratio: %.2f (target <= 1.5) %s\n", ratio, (ratio <= 1.5 && u == 0) ? "OK" : "MISSED"
  exit !(ratio <= 1.5 && u == 0)
}'
