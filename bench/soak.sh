#!/bin/bash
# A long night, compressed: the real program under Xvfb with SDL's dummy audio driver plays a
# Repeat List queue of short generated tracks, presets filling the gaps, while a guest crowd on
# loopback makes about 20 requests a second. Prints a per-minute table (memory, descriptors,
# threads, answers, hand-overs) and a summary. Not a CI test: it takes MINUTES plus a minute.
# At minute FLOOD_AT a flood of FLOOD_SECONDS (wrk, 20 connections from one address) and at
# minute SLOW_AT SLOW_SECONDS of slow clients (ten bodies trickled a byte every 1.5 s, ten
# readers of a 1 MiB page taking 1 KiB a second, all from one address) join the crowd, while
# selects from other addresses measure how long guests wait; 0 seconds leaves a phase out.
#
#   bench/soak.sh [BUILD_DIR]     (default: build)
#   MINUTES=16 DISPLAY_NUM=73 OUT=/tmp/qmm-soak-out bench/soak.sh build-bm
#   MINUTES=8 FLOOD_AT=2 SLOW_AT=4 PORT=8018 bench/soak.sh
#
# The web server listens on PORT (default 7777), which must be free. The program is set up as
# a DJ would: Settings > Player Mode, Load (the settings file's path typed), OK; then
# "Webserver On" and "Play List", all by keyboard through xdotool. wrk is installed when missing.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${1:-${BUILD_DIR:-build}}"
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$root/$BUILD_DIR" ;; esac
MINUTES="${MINUTES:-16}"
PORT="${PORT:-7777}"
FLOOD_AT="${FLOOD_AT:-6}"
FLOOD_SECONDS="${FLOOD_SECONDS:-60}"
SLOW_AT="${SLOW_AT:-10}"
SLOW_SECONDS="${SLOW_SECONDS:-120}"
DISPLAY_NUM="${DISPLAY_NUM:-73}"
WORK="${WORK:-/tmp/qmm-soak-$DISPLAY_NUM}"
OUT="${OUT:-$WORK/out}"
program="$BUILD_DIR/bin/quorbel-media-mixer"
[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install -y xvfb xdotool)" >&2; exit 1; }
done
if [ "$FLOOD_SECONDS" -gt 0 ] && ! command -v wrk >/dev/null; then
  source "$root/bench/common.sh"
  bench_setup wrk
fi
if (exec 4<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null; then
  echo "port $PORT is taken; try again when it is free" >&2; exit 1
fi

xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

rm -rf "$WORK/web"  # pages of an earlier run would confuse the hand-over watcher
python3 "$root/bench/soak_client.py" prepare --work "$WORK"
mkdir -p "$OUT"

export DISPLAY=":$DISPLAY_NUM"
if ! xdotool getmouselocation >/dev/null 2>&1; then
  Xvfb "$DISPLAY" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.2; done
fi

QMM_WEB_PORT="$PORT" SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program" >"$OUT/program.log" 2>&1 &
app_pid=$!
# Without a window manager the keyboard goes where xdotool puts the focus.
focus() { xdotool windowfocus --sync "$(xdotool search --sync --onlyvisible --name "$1" | head -1)"; }
step() { sleep "${2:-1}"; xdotool key --clearmodifiers "$1"; }
focus '^Quorbel Media Mixer$'

# Settings > Player Mode, Load, the settings file, OK.
step alt+s 2
step p
focus '^Basic Values$'
step alt+l
focus '^Load Settings$'
sleep 1
xdotool type --delay 20 "$WORK/soak.stg"
step Return
focus '^Basic Values$'
step alt+k
sleep 2
# Webserver On, then Play List.
focus '^Quorbel Media Mixer$'
step alt+w
for _ in $(seq 1 50); do (exec 4<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && break; sleep 0.2; done
(exec 4<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null || { echo "the web server did not start" >&2; exit 1; }
focus '^Quorbel Media Mixer$'
step alt+l
for _ in $(seq 1 50); do grep -q 'class="now"' "$WORK/web/htdocs/index.html" 2>/dev/null && break; sleep 0.2; done
grep -q 'class="now"' "$WORK/web/htdocs/index.html" || { echo "the queue did not start playing" >&2; exit 1; }
command -v import >/dev/null && import -display "$DISPLAY" -window root "$OUT/start.png" 2>/dev/null || true

echo "# soak: $(date -u '+%F %H:%M UTC'), $MINUTES min, program pid $app_pid," \
  "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$root/bench/soak_client.py" run --work "$WORK" --pid "$app_pid" --minutes "$MINUTES" --port "$PORT" \
  --flood "$FLOOD_SECONDS" --flood-at "$FLOOD_AT" --slow "$SLOW_SECONDS" --slow-at "$SLOW_AT" \
  --csv "$OUT/soak.csv" --summary "$OUT/summary.json" | tee "$OUT/table.md"
command -v import >/dev/null && import -display "$DISPLAY" -window root "$OUT/end.png" 2>/dev/null || true
kill -0 "$app_pid" 2>/dev/null && echo "# the program was still running at the end" || echo "# the program had ended"
