#!/usr/bin/env bash
# CPU time of two decks playing MP3 files side by side (bench_decks, dummy audio driver) against
# mpg123 decoding the same files without output. Target: at most 1.5 times mpg123's CPU time,
# with no underruns.
#
# The machine may be shared and busy, which makes single CPU-time figures swing by half. So the
# runs are interleaved (one deck run, then mpg123 three times, repeated) and the minimum of each
# side is compared; the medians are shown as well.
#   BUILD_DIR           build folder holding bin/bench_decks (default: build; built when missing)
#   QMM_BENCH_SECONDS   length of the tracks and of the overlap (default: 60)
#   QMM_BENCH_RUNS      deck runs (default: 3)
#   QMM_BENCH_LEVEL     1: the decks play at a gain and crossfade all the way (default: 0)
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"
export QMM_BENCH_SECONDS=${QMM_BENCH_SECONDS:-60}
export QMM_BENCH_LEVEL=${QMM_BENCH_LEVEL:-0}
what="two decks"
[ "$QMM_BENCH_LEVEL" = 1 ] && what="two decks at a gain, crossfading"
RUNS=${QMM_BENCH_RUNS:-3}
export SDL_AUDIODRIVER=dummy

bench_setup mpg123
decks_bench="$(bench_program bench_decks)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QMM_BENCH_DIR=$work

counter() { sed -n "s/^ *\"$1\": \([0-9.e+-]*\),\{0,1\}$/\1/p" "$2" | head -n 1; }
peer_run() {
  TIMEFORMAT='%3U %3S'
  local t
  t=$( { time mpg123 -q -t "$work/deck1.mp3" "$work/deck2.mp3" >/dev/null 2>&1; } 2>&1 )
  awk '{ printf "%.3f\n", $1 + $2 }' <<<"$t"
}

decks=() decoders=() outputs=() peers=() underruns=0
for ((run = 1; run <= RUNS; run++)); do
  "$decks_bench" --benchmark_out="$work/decks.json" --benchmark_out_format=json >/dev/null
  d=$(counter cpu_s "$work/decks.json")
  dd=$(counter decode_cpu_s "$work/decks.json")
  do=$(counter output_cpu_s "$work/decks.json")
  u=$(counter underruns "$work/decks.json")
  underruns=$(awk -v a="$underruns" -v b="$u" 'BEGIN { print a + b }')
  decks+=("$d") decoders+=("$dd") outputs+=("$do")
  ps=()
  for _ in 1 2 3; do ps+=("$(peer_run)"); done
  peers+=("${ps[@]}")
  printf "run %d: decks %.3f s CPU (decoder thread %.3f s, output thread %.3f s), %.0f underruns; mpg123 %s s\n" \
    "$run" "$d" "$dd" "$do" "$u" "${ps[*]}" >&2
done

stats() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f %.3f\n", v[1], v[int((NR + 1) / 2)] }'; }
read -r dmin dmed < <(stats "${decks[@]}")
read -r ddmin ddmed < <(stats "${decoders[@]}")
read -r pmin pmed < <(stats "${peers[@]}")

awk -v what="$what" -v dmin="$dmin" -v dmed="$dmed" -v ddmin="$ddmin" -v ddmed="$ddmed" -v pmin="$pmin" -v pmed="$pmed" \
    -v u="$underruns" -v s="$QMM_BENCH_SECONDS" -v n="$RUNS" 'BEGIN {
  ratio = (pmin > 0) ? dmin / pmin : 0
  printf "%s, %s s each, overlapping, %d runs: CPU min %.3f s, median %.3f s (decoder thread min %.3f, median %.3f); %d underruns\n", what, s, n, dmin, dmed, ddmin, ddmed, u
  printf "mpg123 -t, same two files, %d runs: CPU min %.3f s, median %.3f s\n", 3 * n, pmin, pmed
  printf "ratio of minima: %.2f, of medians: %.2f (target <= 1.5) %s\n", ratio, (pmed > 0 ? dmed / pmed : 0), (ratio <= 1.5 && u == 0) ? "OK" : "MISSED"
  exit !(ratio <= 1.5 && u == 0)
}'
