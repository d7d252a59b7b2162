#!/usr/bin/env bash
# Every benchmark in one sitting, one after another, each peer in the same run as its figure:
# the Google Benchmark programs, then the TagLib, mpg123, ffmpeg and nginx comparisons. Each program's
# output goes to OUT/<name>.txt, with the machine and its load before and after each.
#
#   bench/all.sh [BUILD_DIR]     (default: build; OUT defaults to /tmp/qmm-bench-all)
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${1:-${BUILD_DIR:-build}}"
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$root/$BUILD_DIR" ;; esac
export BUILD_DIR
OUT="${OUT:-/tmp/qmm-bench-all}"
mkdir -p "$OUT"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

{
  echo "date:    $(date -u '+%F %H:%M UTC')"
  echo "commit:  $(git -C "$root" rev-parse --short HEAD)"
  echo "cpu:     $(nproc) x $(lscpu | sed -n 's/^Model name: *//p')"
  echo "memory:  $(free -g | awk '/^Mem:/ { print $2 " GiB" }')"
  echo "kernel:  $(uname -r)"
  echo "load:    $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$OUT/machine.txt"

run() {  # NAME COMMAND...
  local name="$1"; shift
  echo "== $name: load $(cut -d' ' -f1-3 /proc/loadavg) at $(date -u +%H:%M:%S)" | tee -a "$OUT/machine.txt"
  "$@" > "$OUT/$name.txt" 2>&1
  echo "   exit $?, load $(cut -d' ' -f1-3 /proc/loadavg) at $(date -u +%H:%M:%S)" | tee -a "$OUT/machine.txt"
}

bin="$BUILD_DIR/bin"
for b in lists playlist mpeg_search pages probe add_tracks analysis; do
  run "bench_$b" "$bin/bench_$b"
done
run bench_select "$bin/bench_select"
run compare_taglib "$root/bench/compare_taglib.sh" "$BUILD_DIR"
run compare_add_taglib "$root/bench/compare_add_taglib.sh" "$BUILD_DIR"
run decode_cpu "$root/bench/decode_cpu.sh"
run decode_cpu_leveled env QMM_BENCH_LEVEL=1 "$root/bench/decode_cpu.sh"
run analysis_loudness "$root/bench/analysis_loudness.sh"
run decode_instructions "$root/bench/decode_instructions.sh"
run web_static "$root/bench/web_static.sh" "$BUILD_DIR"
