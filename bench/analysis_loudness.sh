#!/usr/bin/env bash
# Loudness analysis against ffmpeg's EBU R128 meter (`-af ebur128`), same files, same run:
#  - the integrated loudness of every file both can measure (the generated set and the public
#    corpus) agrees within 0.5 LU;
#  - on the long MP3s, seconds of music analysed per second of processor time, on one core:
#    target at least 100 times real time (ffmpeg's figure beside it, decoding and metering alone).
# Both meter what the decks play: mono as dual mono (it is played on both speakers), and a file
# below 44.1 kHz resampled to 44.1 kHz first (a meter's weighting filter strays at low rates, and
# the decks play such a file resampled; ffmpeg's meter otherwise works at the file's own rate).
#   BUILD_DIR   build folder holding bin/bench_analysis (default: build; built when missing)
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$root"

bench_setup ffmpeg
prog="$(bench_program bench_analysis)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$prog" --generate "$work/gen" >/dev/null
files=("$work"/gen/*)
if [ -d "$root/../shared/corpus" ]; then
  while IFS= read -r f; do files+=("$f"); done < <(find "$root/../shared/corpus" -type f \( -name '*.mp3' -o -name '*.wav' \) | sort)
fi

# Ours: one process over every file, each file's own processor time.
"$prog" --measure "${files[@]}" 2>/dev/null > "$work/ours.tsv"

# ffmpeg: one process per file, single-threaded; the summary's "I:" line.
TIMEFORMAT='%3U %3S'
: > "$work/peer.tsv"
for f in "${files[@]}"; do
  rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 "$f" 2>/dev/null | head -n 1 || true)
  filter=ebur128=dualmono=true:framelog=verbose
  [ -n "$rate" ] && [ "$rate" -lt 44100 ] 2>/dev/null && filter="aresample=44100,$filter"
  t=$( { time ffmpeg -nostdin -hide_banner -nostats -threads 1 -i "$f" \
           -af "$filter" -f null - >"$work/ff.txt" 2>&1 || true; } 2>&1 )
  i=$(sed -n 's/^ *I: *\(-\{0,1\}[0-9.]*\) LUFS$/\1/p' "$work/ff.txt" | tail -n 1)
  printf '%s\t%s\t%s\n' "${i:--}" "$(awk '{ printf "%.3f", $1 + $2 }' <<<"$t")" "$f" >> "$work/peer.tsv"
done

awk -F'\t' -v gen="$work/gen/" '
  NR == FNR { ours[$8] = $1; cpu[$8] = $6; len[$8] = $5; src[$8] = $7; next }
  {
    f = $3; name = f; sub(/.*\/(gen|corpus)\//, "", name)
    o = (f in ours) ? ours[f] : "-"; p = $1
    why = ""
    if (src[f] == "tags") why = "(ours from its ReplayGain tag)"
    else if (o == "-" || o == "failed" || p == "-" || p + 0 <= -70) why = "(not both measurable)"
    else if (len[f] < 1000) why = "(shorter than a second)"
    d = o - p
    printf "%-46s %6.2f s  ours %8s  ffmpeg %8s  %s\n", name, len[f] / 1000, o, p, why != "" ? why : sprintf("diff %+.2f LU", d)
    if (why == "" || why == "(shorter than a second)") {
      if (d < 0) d = -d
      if (why == "") { n++; if (d > worst) worst = d } else { ns++; if (d > worstShort) worstShort = d }
    }
    if (index(f, gen "long-") == 1 && f ~ /\.mp3$/) { audio += len[f] / 1000; ourCpu += cpu[f]; peerCpu += $2 }
  }
  END {
    printf "\nloudness: %d files of a second or more measured by both, largest difference %.2f LU (target <= 0.5)\n", n, worst
    printf "          %d shorter files (one or two 400 ms blocks; the decoders differ at the edges): largest difference %.2f LU\n", ns, worstShort
    printf "speed on %d s of MP3: ours %.0f x real time (%.3f s CPU), ffmpeg -af ebur128 %.0f x (%.3f s CPU, process start included)\n", audio, audio / ourCpu, ourCpu, audio / peerCpu, peerCpu
    ok = (worst <= 0.5 && audio / ourCpu >= 100)
    print ok ? "OK" : "MISSED"
    exit !ok
  }' "$work/ours.tsv" "$work/peer.tsv"
