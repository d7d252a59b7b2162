#!/bin/bash
# Compares adding tracks with TagLib on the same files, in the same run: 1,000 generated MP3
# files (20 seconds of encoded audio each, ID3v2 tag and ID3v1 trailer) and the corpus. TagLib
# reads each file's tag and audio properties (length included) through its FileRef API; the
# program adds each file to a track list as the file dialog does (duplicate check, ID3v2, MPEG
# search, ID3v1, length measured on the probe deck, the row itself).
#
#   bench/compare_add_taglib.sh [BUILD_DIR]   (default: build; needs bin/bench_add_tracks there)
#
# Installs Debian's libtag1-dev when it is missing; only this script uses TagLib.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"
adder="$build/bin/bench_add_tracks"
corpus="$root/../shared/corpus"
work="$(mktemp -d /tmp/qmm-compare-add-XXXXXX)"
trap 'rm -rf "$work"' EXIT

if [ ! -x "$adder" ]; then
  echo "bench_add_tracks not found in $build/bin; build it first (cmake --build $build --target bench_add_tracks)" >&2
  exit 1
fi

if ! pkg-config --exists taglib 2>/dev/null; then
  echo "installing libtag1-dev ..." >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq libtag1-dev >/dev/null
fi

cat > "$work/taglib_add_rate.cpp" <<'CPP'
// Reads title, artist, album, year and the length of each file through TagLib's FileRef,
// repeatedly for about two seconds after one warm pass, and prints files per second.
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/audioproperties.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

static unsigned long sink = 0;

static void ReadOne(const char* path) {
    TagLib::FileRef f(path, true, TagLib::AudioProperties::Average);
    if (f.isNull()) return;
    if (TagLib::Tag* t = f.tag()) sink += t->title().size() + t->artist().size() + t->album().size() + t->year();
    if (TagLib::AudioProperties* p = f.audioProperties()) sink += p->lengthInMilliseconds();
}

static double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int main(int argc, char** argv) {
    std::vector<const char*> files(argv + 1, argv + argc);
    for (const char* f : files) ReadOne(f);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    long long read = 0;
    double seconds = 0;
    do {
        for (const char* f : files) ReadOne(f);
        read += (long long)files.size();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (seconds < 2.0);
    const double cpu = CpuSeconds() - cpuStart;
    std::printf("taglib:  %zu files, %.0f files/s, %.0f files per cpu second\n", files.size(), read / seconds,
                read / cpu);
    return sink == 42 ? 1 : 0;
}
CPP
g++ -O2 -std=c++17 "$work/taglib_add_rate.cpp" -o "$work/taglib_add_rate" $(pkg-config --cflags --libs taglib)

"$adder" --generate "$work/generated"

# "wall cpu": files per second of wall time and per second of processor time. The machine may be
# shared with other work, so the processor-time figures are the steadier comparison.
rate() { "$@" 2>/dev/null | sed -E 's/.* ([0-9]+) files\/s, ([0-9]+) files per cpu second/\1 \2/'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

compare() {
  local label="$1"; shift
  local ours theirs
  read -r ours_wall ours_cpu < <(rate "$adder" --rate "$@")
  read -r theirs_wall theirs_cpu < <(rate "$work/taglib_add_rate" "$@")
  printf '%-20s %5d files | wall: quorbel %7d/s taglib %7d/s ratio %s | cpu: quorbel %7d/s taglib %7d/s ratio %s\n' \
    "$label" "$#" "$ours_wall" "$theirs_wall" "$(ratio "$ours_wall" "$theirs_wall")" \
    "$ours_cpu" "$theirs_cpu" "$(ratio "$ours_cpu" "$theirs_cpu")"
}

compare "generated MP3" "$work"/generated/*.mp3
if [ -d "$corpus" ]; then
  mapfile -t corpus_mp3 < <(find "$corpus" -type f -name '*.mp3' | sort)
  compare "corpus (.mp3 only)" "${corpus_mp3[@]}"
fi
