// The peer of the tag benchmarks: reads each file's tag and audio properties (length included)
// through TagLib's FileRef, repeatedly for about two seconds after one warm pass, and prints
// "taglib:  N files, X files/s, Y files per cpu second". Built by the comparison scripts only;
// TagLib is never a dependency of the program.
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

static unsigned long sink = 0;

static void ReadOne(const char* path) {
    TagLib::FileRef f(path, true, TagLib::AudioProperties::Average);
    if (f.isNull()) return;
    if (TagLib::Tag* t = f.tag()) sink += t->title().size() + t->artist().size() + t->album().size() + t->year();
    if (TagLib::AudioProperties* p = f.audioProperties())
        sink += p->bitrate() + p->sampleRate() + p->lengthInMilliseconds();
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
