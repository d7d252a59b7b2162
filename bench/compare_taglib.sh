#!/bin/bash
# Compares probe throughput with TagLib on the same files, in the same run: 1,000 generated MP3
# files and the corpus. TagLib reads each file's tag and audio properties through its FileRef
# API; this program probes each file as the track list does (ID3v2, MPEG search, ID3v1).
#
#   bench/compare_taglib.sh [BUILD_DIR]     (default: build; needs bin/bench_probe built there)
#
# Installs Debian's libtag1-dev when it is missing; only this script uses TagLib.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"
probe="$build/bin/bench_probe"
corpus="$root/../shared/corpus"
work="$(mktemp -d /tmp/qmm-compare-XXXXXX)"
trap 'rm -rf "$work"' EXIT

if [ ! -x "$probe" ]; then
  echo "bench_probe not found in $build/bin; build it first (cmake --build $build --target bench_probe)" >&2
  exit 1
fi

if ! pkg-config --exists taglib 2>/dev/null; then
  echo "installing libtag1-dev ..." >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq libtag1-dev >/dev/null
fi

cat > "$work/taglib_rate.cpp" <<'CPP'
// Reads tag and audio properties of each file through TagLib's FileRef, repeatedly for about
// two seconds after one warm pass, and prints files per second.
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/audioproperties.h>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

static unsigned long sink = 0;

static void ReadOne(const char* path) {
    TagLib::FileRef f(path, true, TagLib::AudioProperties::Average);
    if (f.isNull()) return;
    if (TagLib::Tag* t = f.tag()) sink += t->title().size() + t->artist().size() + t->album().size() + t->year();
    if (TagLib::AudioProperties* p = f.audioProperties()) sink += p->bitrate() + p->sampleRate() + p->lengthInMilliseconds();
}

int main(int argc, char** argv) {
    std::vector<const char*> files(argv + 1, argv + argc);
    for (const char* f : files) ReadOne(f);
    auto start = std::chrono::steady_clock::now();
    long long probed = 0;
    double seconds = 0;
    do {
        for (const char* f : files) ReadOne(f);
        probed += (long long)files.size();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (seconds < 2.0);
    std::printf("taglib:  %zu files, %.0f files/s\n", files.size(), probed / seconds);
    return sink == 42 ? 1 : 0;
}
CPP
g++ -O2 -std=c++17 "$work/taglib_rate.cpp" -o "$work/taglib_rate" $(pkg-config --cflags --libs taglib)

"$probe" --generate "$work/generated"

rate() { "$@" | sed -E 's/.* ([0-9]+) files\/s/\1/'; }

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
