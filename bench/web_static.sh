#!/bin/bash
# Static pages from the document folder: requests per second of the guests' web server next to
# nginx serving the same folder, in the same run, 10 concurrent clients on loopback, one request
# per connection (ab). Five alternating rounds per page; on a busy machine the load drifts
# between rounds, so the ratio shown is the median of each round's ratio.
#
#   bench/web_static.sh [BUILD_DIR]     (default: build; bin/bench_web_static is built when missing)
#
# Installs Debian's apache2-utils (ab) and nginx-light when missing; only this script uses them.
set -euo pipefail

BUILD_DIR="${1:-${BUILD_DIR:-}}"
source "$(dirname "$0")/common.sh"
REQUESTS="${REQUESTS:-20000}"
work="$(mktemp -d /tmp/qmm-web-static-XXXXXX)"
chmod 755 "$work"
ours_pid=""
nginx_pid=""
cleanup() {
  [ -n "$ours_pid" ] && kill "$ours_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

bench_setup apache2-utils nginx-light
server="$(bench_program bench_web_static)"

# A document folder like a party's: a track page of about 1 KiB and an index of about 24 KiB.
docs="$work/htdocs"
mkdir -p "$docs/tool"
{
  echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Now playing</title></head><body><table>'
  for i in $(seq 1 200); do
    echo "<tr><td>$i</td><td>Artist $i</td><td>A title of track number $i</td><td>Album</td><td>03:4$((i % 10))</td></tr>"
  done
  echo '</table></body></html>'
} > "$docs/index.html"
{
  echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Halo</title></head><body>'
  for i in $(seq 1 12); do echo "<p>Beyonc&eacute; &ndash; Halo, line $i of the track page.</p>"; done
  echo '<a href="/tool/select.htm/?/music/Beyonc%C3%A9%20-%20Halo.mp3">Request</a></body></html>'
} > "$docs/Halo.htm"
chmod -R a+rX "$work"

free_port() {  # a port nothing answers on
  local port
  for _ in $(seq 1 50); do
    port=$(( 20000 + RANDOM % 20000 ))
    (exec 4<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
  echo "no free port found" >&2; exit 1
}

# nginx as it ships (worker_processes auto, sendfile), logging nothing, on 127.0.0.1 only.
nginx_port="$(free_port)"
cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  server { listen 127.0.0.1:$nginx_port; root $docs; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!

# Ours: the listener on a free port, serving until its input closes.
mkfifo "$work/hold"
"$server" "$docs" < "$work/hold" > "$work/port" &
ours_pid=$!
exec 3> "$work/hold"
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
ours_port="$(head -1 "$work/port")"
for _ in $(seq 1 100); do ab -q -n 1 "http://127.0.0.1:$nginx_port/" >/dev/null 2>&1 && break; sleep 0.1; done

rate() {  # URL -> requests per second; every answer must have arrived whole
  local out
  out="$(ab -q -n "$REQUESTS" -c 10 "$1" 2>&1)"
  if ! grep -q '^Failed requests: *0$' <<<"$out"; then echo "ab reported failures for $1:" >&2; echo "$out" >&2; exit 1; fi
  awk '/^Requests per second/ { print $4 }' <<<"$out"
}
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

printf 'ab -n %d -c 10, one request per connection, 127.0.0.1; %s\n' "$REQUESTS" "$(nproc) cores, $(uptime | sed 's/.*load/load/')"
for page in Halo.htm index.html; do
  size=$(stat -c %s "$docs/$page")
  ours=(); theirs=(); ratios=()
  for round in 1 2 3 4 5; do
    ours+=("$(rate "http://127.0.0.1:$ours_port/$page")")
    theirs+=("$(rate "http://127.0.0.1:$nginx_port/$page")")
    ratios+=("$(awk -v a="${ours[-1]}" -v b="${theirs[-1]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')")
  done
  printf '%-10s %6d bytes  quorbel %6.0f req/s  nginx %6.0f req/s  (medians)  ratio %s (rounds: %s)\n' \
    "$page" "$size" "$(median "${ours[@]}")" "$(median "${theirs[@]}")" "$(median "${ratios[@]}")" "${ratios[*]}"
  printf '           quorbel %s\n           nginx   %s\n' "${ours[*]}" "${theirs[*]}"
done
