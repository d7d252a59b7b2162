// Runs every fuzz target over a small, fixed set of inputs so that an ordinary test run keeps
// the targets compiling and catches regressions: inputs built here (well-formed tags and MPEG
// streams, their truncations and deterministic mutations), the saved regression inputs and the
// corpus files when that folder exists. Extra files or folders named in QMM_FUZZ_REPLAY
// (colon-separated) are replayed too, e.g. a libFuzzer output folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#define QMM_FUZZ_TARGET(name) extern "C" int QmmEntry_##name(const uint8_t* data, size_t size);
#include "fuzz_targets.inc"
#undef QMM_FUZZ_TARGET

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Entry = int (*)(const uint8_t*, size_t);

void Put(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void PutBE(Bytes& b, uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}
void PutSyncSafe(Bytes& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t((v >> (7 * i)) & 0x7F));
}

Bytes Frame(int major, const std::string& id, const Bytes& body, uint8_t fmtFlags = 0) {
    Bytes f;
    Put(f, id);
    if (major == 2) {
        PutBE(f, uint32_t(body.size()), 3);
    } else {
        if (major == 4) PutSyncSafe(f, uint32_t(body.size()));
        else PutBE(f, uint32_t(body.size()), 4);
        f.push_back(0);
        f.push_back(fmtFlags);
    }
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes Text(const std::string& s, uint8_t enc = 0) {
    Bytes b{enc};
    if (enc == 1) {
        b.push_back(0xFF);
        b.push_back(0xFE);
        for (char c : s) { b.push_back(uint8_t(c)); b.push_back(0); }
    } else {
        Put(b, s);
    }
    return b;
}

Bytes Tag(int major, uint8_t flags, const Bytes& frames, uint32_t padding) {
    Bytes t;
    Put(t, "ID3");
    t.push_back(uint8_t(major));
    t.push_back(0);
    t.push_back(flags);
    PutSyncSafe(t, uint32_t(frames.size() + padding));
    t.insert(t.end(), frames.begin(), frames.end());
    t.insert(t.end(), padding, 0);
    return t;
}

Bytes MpegFrames(int count) {
    // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes a frame.
    Bytes b;
    for (int i = 0; i < count; ++i) {
        const uint8_t hdr[4] = {0xFF, 0xFB, 0x90, 0x64};
        b.insert(b.end(), hdr, hdr + 4);
        b.insert(b.end(), 413, uint8_t(i * 7));
    }
    return b;
}

Bytes Id3v1(bool v11) {
    Bytes b;
    Put(b, "TAG");
    std::string fields = "Title";
    fields.resize(30, ' ');
    Put(b, fields);
    Put(b, fields);
    Put(b, fields);
    Put(b, "1999");
    std::string comment = "comment";
    comment.resize(30, '\0');
    if (v11) comment[29] = 5;
    Put(b, comment);
    b.push_back(17);
    return b;
}

std::vector<Bytes> GeneratedSeeds() {
    std::vector<Bytes> seeds;
    for (int major : {2, 3, 4}) {
        const bool v2 = major == 2;
        Bytes frames;
        auto add = [&](const Bytes& f) { frames.insert(frames.end(), f.begin(), f.end()); };
        add(Frame(major, v2 ? "TT2" : "TIT2", Text("A title")));
        add(Frame(major, v2 ? "TP1" : "TPE1", Text("Artist", 1)));
        add(Frame(major, v2 ? "COM" : "COMM", Bytes{0, 'e', 'n', 'g', 'd', 0, 'c'}));
        add(Frame(major, v2 ? "TXX" : "TXXX", Bytes{0, 'k', 0, 'v'}));
        add(Frame(major, v2 ? "PIC" : "APIC", Bytes{0, 'P', 'N', 'G', 3, 0, 1, 2, 3}));
        add(Frame(major, v2 ? "POP" : "POPM", Bytes{'a', '@', 'b', 0, 200, 0, 0, 1, 0}));
        add(Frame(major, v2 ? "WXX" : "WXXX", Bytes{0, 'd', 0, 'h', 't'}));
        if (!v2) {
            add(Frame(major, "PRIV", Bytes{'o', 0, 9, 9}));
            add(Frame(major, "TALB", Bytes{0xFF, 0x00, 0xE0, 0x41}, major == 4 ? 0x02 : 0x00));
            add(Frame(major, "TCON", Text("(17)"), major == 4 ? 0x41 : 0x20));
            add(Frame(major, "GEOB", Bytes{1, 2, 3}, major == 4 ? 0x08 : 0x80));
        }
        Bytes mpeg = MpegFrames(4);
        for (uint8_t flags : {uint8_t(0x00), uint8_t(0x80), uint8_t(0x40), uint8_t(0x10)}) {
            Bytes tag = Tag(major, flags, frames, 64);
            Bytes file = tag;
            file.insert(file.end(), mpeg.begin(), mpeg.end());
            Bytes trailer = Id3v1(true);
            file.insert(file.end(), trailer.begin(), trailer.end());
            seeds.push_back(tag);
            seeds.push_back(file);
        }
    }
    seeds.push_back(MpegFrames(6));
    seeds.push_back(Id3v1(false));
    seeds.push_back(Bytes{});
    seeds.push_back(Bytes{'I', 'D', '3'});
    seeds.push_back(Bytes{'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F});
    Bytes riff;
    Put(riff, "RIFF");
    PutBE(riff, 0x24000000, 4);
    Put(riff, "WAVEfmt ");
    riff.insert(riff.end(), 64, 0x80);
    seeds.push_back(riff);
    return seeds;
}

// Truncations and byte mutations from a fixed generator, so every run is the same.
std::vector<Bytes> Variants(const Bytes& seed) {
    std::vector<Bytes> out;
    out.push_back(seed);
    for (size_t cut : {size_t(1), size_t(5), size_t(11), seed.size() / 2})
        if (cut < seed.size()) out.emplace_back(seed.begin(), seed.end() - cut);
    uint32_t state = 0x9E3779B9u ^ uint32_t(seed.size());
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    if (!seed.empty()) {
        for (int i = 0; i < 24; ++i) {
            Bytes m = seed;
            const int edits = 1 + int(next() % 4);
            for (int e = 0; e < edits; ++e) {
                const uint32_t r = next();
                const uint8_t special[] = {0x00, 0xFF, 0x7F, 0x80, 0xE0};
                m[r % m.size()] = (r & 0x100) ? uint8_t(r >> 24) : special[(r >> 9) % 5];
            }
            out.push_back(std::move(m));
        }
    }
    return out;
}

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AddFiles(const fs::path& root, std::vector<Bytes>& inputs) {
    std::error_code ec;
    if (fs::is_regular_file(root, ec)) {
        inputs.push_back(ReadFile(root));
        return;
    }
    if (!fs::is_directory(root, ec)) return;
    for (const auto& e : fs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file() && e.path().filename() != "README.md")
            inputs.push_back(ReadFile(e.path()));
}

const std::vector<Bytes>& Inputs() {
    static const std::vector<Bytes> inputs = [] {
        std::vector<Bytes> all;
        for (const Bytes& s : GeneratedSeeds())
            for (Bytes& v : Variants(s)) all.push_back(std::move(v));
        AddFiles(QMM_FUZZ_REGRESSIONS, all);
        AddFiles(QMM_CORPUS_DIR, all);
        if (const char* extra = std::getenv("QMM_FUZZ_REPLAY")) {
            std::string list = extra;
            size_t start = 0;
            while (start <= list.size()) {
                size_t end = list.find(':', start);
                if (end == std::string::npos) end = list.size();
                if (end > start) AddFiles(list.substr(start, end - start), all);
                start = end + 1;
            }
        }
        return all;
    }();
    return inputs;
}

void Replay(Entry entry) {
    size_t count = 0;
    for (const Bytes& in : Inputs()) {
        // A copy of exactly the input's size, so reads past its end are caught by the sanitizers.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[in.size() + 1]);
        std::copy(in.begin(), in.end(), copy.get());
        EXPECT_EQ(0, entry(copy.get(), in.size()));
        ++count;
    }
    EXPECT_GT(count, 100u);
}

}  // namespace

#define QMM_FUZZ_TARGET(name) \
    TEST(FuzzReplay, name) { Replay(&QmmEntry_##name); }
#include "fuzz_targets.inc"
#undef QMM_FUZZ_TARGET
