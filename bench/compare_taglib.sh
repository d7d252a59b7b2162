#!/bin/bash
# Compares probe throughput with TagLib on the same files, in the same run: 1,000 generated MP3
# files and the corpus. TagLib reads each file's tag and audio properties through its FileRef
# API; this program probes each file as the track list does (ID3v2, MPEG search, MPEG length,
# ID3v1).
#
#   bench/compare_taglib.sh [BUILD_DIR]     (default: build; bin/bench_probe is built when missing)
#
# Installs Debian's libtag1-dev when it is missing; only the comparison scripts use TagLib.
set -euo pipefail

BUILD_DIR="${1:-${BUILD_DIR:-}}"
source "$(dirname "$0")/common.sh"
corpus="$root/../shared/corpus"
work="$(mktemp -d /tmp/qmm-compare-XXXXXX)"
trap 'rm -rf "$work"' EXIT

bench_setup libtag1-dev
probe="$(bench_program bench_probe)"
g++ -O2 -std=c++17 "$root/bench/peers/taglib_rate.cpp" -o "$work/taglib_rate" $(pkg-config --cflags --libs taglib)

"$probe" --generate "$work/generated"

rate() { "$@" | sed -E 's/.* ([0-9]+) files\/s.*/\1/'; }

compare() {
  local label="$1"; shift
  local ours theirs
  ours=$(rate "$probe" --rate "$@")
  theirs=$(rate "$work/taglib_rate" "$@")
  printf '%-22s %6d files  quorbel %9d files/s  taglib %9d files/s  ratio %.2f\n' \
    "$label" "$#" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print (b > 0 ? a / b : 0) }')"
}

compare "generated MP3" "$work"/generated/*.mp3
if [ -d "$corpus" ]; then
  mapfile -t corpus_files < <(find "$corpus" -type f ! -name README.md | sort)
  compare "corpus (all files)" "${corpus_files[@]}"
  mapfile -t corpus_mp3 < <(find "$corpus" -type f -name '*.mp3' | sort)
  compare "corpus (.mp3 only)" "${corpus_mp3[@]}"
fi
