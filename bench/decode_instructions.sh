#!/usr/bin/env bash
# Instructions executed while two decks play MP3 files side by side (bench_decks, dummy audio
# driver), counted by callgrind, against mpg123 decoding the same files without output.
#
# CPU seconds (decode_cpu.sh) are what the target speaks of, but on a shared machine they swing
# with whatever else runs; instruction counts do not, so this shows how much work each side does.
# The main thread's count includes the process start-up and the first 1.5 s of each track, which
# Play decodes before it returns; the other threads are the decoder and the output.
#   BUILD_DIR           build folder holding bin/bench_decks (default: build; built when missing)
#   QMM_BENCH_SECONDS   length of the tracks and of the overlap (default: 20)
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
export QMM_BENCH_SECONDS=${QMM_BENCH_SECONDS:-20}
export SDL_AUDIODRIVER=dummy

bench_setup mpg123 valgrind
decks_bench="$(bench_program bench_decks)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QMM_BENCH_DIR=$work

# Written beforehand, so the counted run only plays them.
"$decks_bench" --generate "$work"

totals() { sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$1"; }

valgrind --tool=callgrind --separate-threads=yes --callgrind-out-file="$work/cg.decks" \
  "$decks_bench" >/dev/null 2>&1
valgrind --tool=callgrind --callgrind-out-file="$work/cg.mpg123" \
  mpg123 -q -t "$work/deck1.mp3" "$work/deck2.mp3" >/dev/null 2>&1

main=0 others=0
for f in "$work"/cg.decks-*; do
  n=$(totals "$f")
  case "$f" in
    *-01) main=$n ;;
    *) others=$((others + n)) ;;
  esac
done
peer=$(totals "$work/cg.mpg123")

awk -v main="$main" -v others="$others" -v peer="$peer" -v s="$QMM_BENCH_SECONDS" 'BEGIN {
  printf "two decks, %s s each, overlapping: decoder and output threads %.1f M instructions, main thread %.1f M (start-up included), whole process %.1f M\n", s, others / 1e6, main / 1e6, (main + others) / 1e6
  printf "mpg123 -t, same two files: %.1f M instructions (whole process)\n", peer / 1e6
  printf "ratio: decoder and output threads %.2f, whole process %.2f\n", others / peer, (main + others) / peer
}'
