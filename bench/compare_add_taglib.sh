#!/bin/bash
# Compares adding tracks with TagLib on the same files, in the same run: 1,000 generated MP3
# files (20 seconds of encoded audio each, ID3v2 tag and ID3v1 trailer) and the corpus. TagLib
# reads each file's tag and audio properties (length included) through its FileRef API; the
# program adds each file to a track list as the file dialog does (duplicate check, ID3v2, MPEG
# search, ID3v1, length measured on the probe deck, the row itself).
#
#   bench/compare_add_taglib.sh [BUILD_DIR]   (default: build; bin/bench_add_tracks is built when missing)
#
# Installs Debian's libtag1-dev when it is missing; only the comparison scripts use TagLib.
set -euo pipefail

BUILD_DIR="${1:-${BUILD_DIR:-}}"
source "$(dirname "$0")/common.sh"
corpus="$root/../shared/corpus"
work="$(mktemp -d /tmp/qmm-compare-XXXXXX)"
trap 'rm -rf "$work"' EXIT

bench_setup libtag1-dev
adder="$(bench_program bench_add_tracks)"
g++ -O2 -std=c++17 "$root/bench/peers/taglib_rate.cpp" -o "$work/taglib_rate" $(pkg-config --cflags --libs taglib)

"$adder" --generate "$work/generated"

# "wall cpu": files per second of wall time and per second of processor time. The machine may be
# shared with other work, so the processor-time figures are the steadier comparison.
rate() { "$@" 2>/dev/null | sed -E 's/.* ([0-9]+) files\/s, ([0-9]+) files per cpu second/\1 \2/'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

compare() {
  local label="$1"; shift
  local ours theirs
  read -r ours_wall ours_cpu < <(rate "$adder" --rate "$@")
  read -r theirs_wall theirs_cpu < <(rate "$work/taglib_rate" "$@")
  printf '%-20s %5d files | wall: quorbel %7d/s taglib %7d/s ratio %s | cpu: quorbel %7d/s taglib %7d/s ratio %s\n' \
    "$label" "$#" "$ours_wall" "$theirs_wall" "$(ratio "$ours_wall" "$theirs_wall")" \
    "$ours_cpu" "$theirs_cpu" "$(ratio "$ours_cpu" "$theirs_cpu")"
}

compare "generated MP3" "$work"/generated/*.mp3
if [ -d "$corpus" ]; then
  mapfile -t corpus_mp3 < <(find "$corpus" -type f -name '*.mp3' | sort)
  compare "corpus (.mp3 only)" "${corpus_mp3[@]}"
fi
