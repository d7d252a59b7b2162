#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "tags/MpegInfo.h"
#include "tests/support/temp_dir.h"

using namespace tags;
namespace fs = std::filesystem;

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
}

TMpegHeader Parse(std::initializer_list<int> b) {
    std::string s = Bytes(b);
    return ParseMpegHeader(reinterpret_cast<const uint8_t*>(s.data()));
}

void PutBE32(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v >> 24);
    s[at + 1] = static_cast<char>(v >> 16);
    s[at + 2] = static_cast<char>(v >> 8);
    s[at + 3] = static_cast<char>(v);
}

// n frames of the given header and length, bodies zero.
std::string Chain(const std::string& header, size_t len, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += header + std::string(len - 4, '\0');
    return s;
}

const std::string kL3 = Bytes({0xFF, 0xFB, 0x90, 0x64});  // MPEG-1 L3 128k 44.1kHz, 417 bytes
const std::string kL3At48 = Bytes({0xFF, 0xFB, 0x94, 0x64});  // 128k 48kHz, 384 bytes
const std::string kL1 = Bytes({0xFF, 0xFF, 0x14, 0x00});  // MPEG-1 L1 32k 48kHz, 32 bytes

struct Outcome {
    TMP3Error result;
    TMpegInfo info;
};

Outcome Load(const std::string& data, int64_t start = 0) {
    TMemoryStream m(data);
    m.SetPosition(start);
    Outcome o{MPEGERR_NoFrame, {}};
    o.result = o.info.LoadFromStream(m);
    return o;
}

int SamplesPerFrame(const TMpegHeader& h) {
    return h.layer == 1 ? 384 : (h.layer == 3 && h.version != 1) ? 576 : 1152;
}

// The search read the plain way: 512-byte blocks straight from the data.
struct RefResult {
    int64_t pos = -1;
    int version = 0, layer = 0, bitrate = 0, samplerate = 0, frames = 0, dauer = 0;
    bool vbr = false;
};

RefResult ReferenceSearch(const std::string& data, int64_t start) {
    RefResult r;
    const int64_t size = static_cast<int64_t>(data.size());
    auto u = [&](int64_t i) { return static_cast<uint8_t>(data[static_cast<size_t>(i)]); };
    int64_t bs = -1, blen = 0;
    for (int64_t p = start; p + 4 <= size; ++p) {
        if (bs < 0 || bs + blen - p <= 4) {
            bs = p;
            blen = std::min<int64_t>(512, size - p);
        }
        TMpegHeader h1 = ParseMpegHeader(reinterpret_cast<const uint8_t*>(data.data() + p));
        if (!h1.valid) continue;
        const int64_t l1 = h1.framelength;
        if (p + l1 + 4 > size) continue;
        int64_t dlen = (p + l1 + 4 <= bs + blen) ? bs + blen - p : l1 + 4;
        int xo = h1.version == 1 ? (h1.channelmode == 3 ? 21 : 36) : (h1.channelmode == 3 ? 13 : 21);
        auto be32 = [&](int64_t i) {
            return (uint32_t{u(i)} << 24) | (uint32_t{u(i + 1)} << 16) | (uint32_t{u(i + 2)} << 8) |
                   u(i + 3);
        };
        bool xing = xo + 12 <= dlen && data.compare(static_cast<size_t>(p + xo), 4, "Xing") == 0;
        bool vbri = !xing && 54 <= dlen && data.compare(static_cast<size_t>(p + 36), 4, "VBRI") == 0;
        uint32_t count = xing ? ((u(p + xo + 7) & 1) ? be32(p + xo + 8) : 0) : vbri ? be32(p + 50) : 0;
        if (!vbri) {
            TMpegHeader h2 = ParseMpegHeader(reinterpret_cast<const uint8_t*>(data.data() + p + l1));
            if (!h2.valid) continue;
            int64_t t = p + l1 + h2.framelength;
            if (t + 2 > size || u(t) != 0xFF || u(t + 1) < 0xE0) continue;
        }
        long long bitrate, frames, bytes;
        if (xing || vbri) {
            if (count == 0) continue;
            bytes = size - p - l1;
            // The average frame's bytes over its playing time.
            const double seconds = static_cast<double>(count) * SamplesPerFrame(h1) / h1.samplerate;
            bitrate = std::llrint(static_cast<double>(bytes) * 8 / seconds / 1000.0);
            if (bitrate > 65535) continue;
            frames = count;
        } else {
            bytes = size - p;
            frames = std::llrint(static_cast<double>(bytes) / static_cast<double>(l1));
            bitrate = h1.bitrate;
        }
        if (bitrate == 0 || frames > 2147483647) continue;
        r.pos = p;
        r.version = h1.version;
        r.layer = h1.layer;
        r.samplerate = h1.samplerate;
        r.bitrate = static_cast<int>(bitrate);
        r.frames = static_cast<int>(frames);
        r.dauer = static_cast<int>(bytes * 8 / (bitrate * 1000));
        r.vbr = xing || vbri;
        return r;
    }
    return r;
}

}  // namespace

TEST(MpegHeader, FieldsLengthsAndInvalidHeaders) {
    TMpegHeader h = Parse({0xFF, 0xFB, 0x90, 0x64});
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.layer, 3);
    EXPECT_FALSE(h.protection);
    EXPECT_EQ(h.bitrate, 128);
    EXPECT_EQ(h.samplerate, 44100);
    EXPECT_EQ(h.channelmode, 1);
    EXPECT_EQ(h.extension, 2);
    EXPECT_FALSE(h.copyright);
    EXPECT_TRUE(h.original);
    EXPECT_EQ(h.emphasis, 0);
    EXPECT_EQ(h.framelength, 417);

    h = Parse({0xFF, 0xFA, 0x92, 0x6F});  // CRC, padding, copyright, original, emphasis 3
    ASSERT_TRUE(h.valid);
    EXPECT_TRUE(h.protection);
    EXPECT_TRUE(h.padding);
    EXPECT_TRUE(h.copyright);
    EXPECT_EQ(h.emphasis, 3);
    EXPECT_EQ(h.framelength, 418);

    EXPECT_EQ(Parse({0xFF, 0xF3, 0x90, 0x00}).framelength, 261);  // MPEG-2 L3 80k 22.05kHz
    h = Parse({0xFF, 0xE3, 0x90, 0x00});                            // MPEG-2.5 L3 80k 11.025kHz
    EXPECT_EQ(h.version, 3);
    EXPECT_EQ(h.samplerate, 11025);
    EXPECT_EQ(h.framelength, 522);
    EXPECT_EQ(Parse({0xFF, 0xE3, 0x98, 0x00}).samplerate, 8000);
    EXPECT_EQ(Parse({0xFF, 0xFF, 0x12, 0x00}).framelength, 36);   // L1 32k 44.1kHz padded
    EXPECT_EQ(Parse({0xFF, 0xF5, 0x80, 0xC0}).framelength, 417);  // MPEG-2 L2 64k: factor 144000
    EXPECT_EQ(Parse({0xFF, 0xF7, 0xE0, 0x00}).bitrate, 256);      // MPEG-2 L1 row

    // Layer II: low rates only in mono, high rates never in mono.
    EXPECT_FALSE(Parse({0xFF, 0xFD, 0x10, 0x00}).valid);
    EXPECT_TRUE(Parse({0xFF, 0xFD, 0x10, 0xC0}).valid);
    EXPECT_FALSE(Parse({0xFF, 0xFD, 0xE0, 0xC0}).valid);
    EXPECT_TRUE(Parse({0xFF, 0xFD, 0xE0, 0x40}).valid);
    EXPECT_FALSE(Parse({0xFF, 0xF5, 0x40, 0x00}).valid);  // MPEG-2 32k stereo: same rule
    EXPECT_TRUE(Parse({0xFF, 0xF5, 0x30, 0x00}).valid);   // 24k is not in the list

    EXPECT_FALSE(Parse({0xFE, 0xFB, 0x90, 0x64}).valid);  // no sync
    EXPECT_FALSE(Parse({0xFF, 0xDB, 0x90, 0x64}).valid);
    EXPECT_FALSE(Parse({0xFF, 0xEB, 0x90, 0x64}).valid);  // reserved version
    EXPECT_FALSE(Parse({0xFF, 0xF9, 0x90, 0x64}).valid);  // reserved layer
    EXPECT_FALSE(Parse({0xFF, 0xFB, 0xF0, 0x64}).valid);  // bitrate index 15
    EXPECT_FALSE(Parse({0xFF, 0xFB, 0x9C, 0x64}).valid);  // sample rate index 3
    h = Parse({0xFF, 0xFB, 0x00, 0x64});                  // free format: length 0
    EXPECT_FALSE(h.valid);
    EXPECT_EQ(h.framelength, 0xFFFF);
    EXPECT_TRUE(Parse({0xFF, 0xFB, 0x02, 0x64}).valid);   // free format padded: length 1

    EXPECT_EQ(ChannelModeNames[3], "Single channel (Mono)");
    EXPECT_EQ(ExtensionNames[2][3], "IS:on, MS:on");
    EXPECT_EQ(ExtensionNames[0][1], "bands 8 to 32");
    EXPECT_EQ(EmphasisNames[3], "CCIT J.17");
}

TEST(MpegSearch, ConstantBitrateChainAfterATag) {
    const std::string tag(300, 'T');
    const std::string audio = Chain(kL3, 417, 20) + std::string(128, 'x');
    Outcome o = Load(tag + audio, 300);
    ASSERT_EQ(o.result, MP3ERR_None);
    const TMpegInfo& m = o.info;
    EXPECT_TRUE(m.Valid());
    EXPECT_EQ(m.FirstHeaderPosition(), 300);
    EXPECT_EQ(m.Filesize(), 300 + static_cast<int64_t>(audio.size()));
    EXPECT_EQ(m.Version(), 1);
    EXPECT_EQ(m.Layer(), 3);
    EXPECT_EQ(m.Bitrate(), 128);
    EXPECT_EQ(m.Samplerate(), 44100);
    EXPECT_EQ(m.Channelmode(), 1);
    EXPECT_EQ(m.Extension(), 2);
    EXPECT_TRUE(m.Original());
    EXPECT_FALSE(m.Vbr());
    EXPECT_EQ(m.Frames(), static_cast<int>(std::lrint(audio.size() / 417.0)));
    EXPECT_EQ(m.Dauer(), static_cast<int>(audio.size() * 8 / 128000));
    EXPECT_EQ(m.Duration(), m.Dauer());

    // The search starts where the stream stands: a chain before that is not seen.
    Outcome later = Load(audio + std::string(1000, '\0'), 417 * 19 + 1);
    EXPECT_EQ(later.result, MPEGERR_NoFrame);
}

TEST(MpegSearch, RoundingIsHalfToEven) {
    // 960 bytes over 384-byte frames: 2.5 frames, rounded to 2; 1344 bytes: 3.5, rounded to 4.
    std::string three = Chain(kL3At48, 384, 3);
    EXPECT_EQ(Load(three.substr(0, 960)).info.Frames(), 2);
    EXPECT_EQ(Load(three + std::string(1344 - 1152, '\0')).info.Frames(), 4);

    // VBRI with 2 frames at 48 kHz: bitrate = bytes / 6; 15 bytes give 2.5 -> 2, 21 give 3.5 -> 4.
    std::string vbri = kL3At48 + std::string(380, '\0');
    vbri.replace(36, 4, "VBRI");
    PutBE32(vbri, 50, 2);
    Outcome a = Load(vbri + std::string(15, '\0'));
    ASSERT_EQ(a.result, MP3ERR_None);
    EXPECT_TRUE(a.info.Vbr());
    EXPECT_EQ(a.info.Frames(), 2);
    EXPECT_EQ(a.info.Bitrate(), 2);
    EXPECT_EQ(a.info.Dauer(), 0);
    EXPECT_EQ(Load(vbri + std::string(21, '\0')).info.Bitrate(), 4);
}

TEST(MpegSearch, XingAndVbriHeaders) {
    std::string first = Chain(kL3, 417, 1);
    first.replace(36, 4, "Xing");
    PutBE32(first, 40, 1);
    PutBE32(first, 44, 1000);
    std::string data = first + Chain(kL3, 417, 9);
    Outcome o = Load(data);
    ASSERT_EQ(o.result, MP3ERR_None);
    EXPECT_TRUE(o.info.Vbr());
    EXPECT_EQ(o.info.Frames(), 1000);
    const int64_t bytes = static_cast<int64_t>(data.size()) - 417;
    EXPECT_EQ(o.info.Bitrate(), std::lrint(44.1 * bytes / 144000.0));
    EXPECT_EQ(o.info.Dauer(), bytes * 8 / (o.info.Bitrate() * 1000));

    // Without the frame-count flag the count is 0: the candidate is rejected and the next
    // frame is taken as a plain one.
    std::string noCount = data;
    PutBE32(noCount, 40, 0x0E);
    o = Load(noCount);
    ASSERT_EQ(o.result, MP3ERR_None);
    EXPECT_EQ(o.info.FirstHeaderPosition(), 417);
    EXPECT_FALSE(o.info.Vbr());

    // A count so large that the bitrate rounds to 0 is rejected the same way.
    std::string huge = data;
    PutBE32(huge, 44, 0x7FFFFFFF);
    EXPECT_EQ(Load(huge).info.FirstHeaderPosition(), 417);

    // "Info" is not recognised.
    std::string info = data;
    info.replace(36, 4, "Info");
    o = Load(info);
    EXPECT_EQ(o.info.FirstHeaderPosition(), 0);
    EXPECT_FALSE(o.info.Vbr());

    // Mono MPEG-1 has its Xing header at 21.
    std::string mono = Chain(Bytes({0xFF, 0xFB, 0x90, 0xC4}), 417, 4);
    mono.replace(21, 4, "Xing");
    PutBE32(mono, 25, 1);
    PutBE32(mono, 29, 2);
    o = Load(mono);
    EXPECT_TRUE(o.info.Vbr());
    EXPECT_EQ(o.info.Frames(), 2);
    EXPECT_EQ(o.info.Channelmode(), 3);

    // A VBRI frame needs no second header after it.
    std::string vbri = kL3 + std::string(413, '\0');
    vbri.replace(36, 4, "VBRI");
    PutBE32(vbri, 50, 10);
    vbri += std::string(5000, '\0');
    o = Load(vbri);
    ASSERT_EQ(o.result, MP3ERR_None);
    EXPECT_TRUE(o.info.Vbr());
    EXPECT_EQ(o.info.Frames(), 10);
    EXPECT_EQ(o.info.Bitrate(), std::lrint(44.1 * 5000 / 1440.0));
}

TEST(MpegSearch, VbrFiguresMatchTheFrameCountForEveryVersionAndLayer) {
    // A stream of equal frames announced as VBR: the average must come out near the frames' own
    // bitrate, and the duration near frame count x samples per frame / sample rate.
    struct Case {
        const char* name;
        std::string header;
        int xingOffset;
    };
    const Case cases[] = {
        {"MPEG-1 Layer III 128k 44.1 kHz", kL3, 36},
        {"MPEG-2 Layer III 64k 22.05 kHz", Bytes({0xFF, 0xF3, 0x80, 0x44}), 21},
        {"MPEG-2.5 Layer III mono 8k 8 kHz", Bytes({0xFF, 0xE3, 0x18, 0xC4}), 13},
        {"MPEG-1 Layer I 288k 44.1 kHz", Bytes({0xFF, 0xFF, 0x90, 0x04}), 36},
        {"MPEG-1 Layer II 160k 44.1 kHz", Bytes({0xFF, 0xFD, 0x90, 0x04}), 36},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TMpegHeader h = ParseMpegHeader(reinterpret_cast<const uint8_t*>(c.header.data()));
        ASSERT_TRUE(h.valid);
        const int count = 300;
        std::string data = Chain(c.header, h.framelength, count);
        data.replace(static_cast<size_t>(c.xingOffset), 4, "Xing");
        PutBE32(data, static_cast<size_t>(c.xingOffset) + 4, 1);
        PutBE32(data, static_cast<size_t>(c.xingOffset) + 8, count);
        const Outcome o = Load(data);
        ASSERT_EQ(o.result, MP3ERR_None);
        ASSERT_TRUE(o.info.Vbr());
        const double seconds = static_cast<double>(count) * SamplesPerFrame(h) / h.samplerate;
        const double kbps = static_cast<double>(data.size()) * 8 / seconds / 1000;
        EXPECT_NEAR(o.info.Bitrate(), kbps, 1.0);
        EXPECT_NEAR(o.info.Bitrate(), h.bitrate, h.bitrate * 0.03);
        EXPECT_NEAR(o.info.Duration(), seconds, 1.0);
    }
}

TEST(MpegSearch, InfoHeaderCountsOnlyInsideTheDataExamined) {
    // Layer I frames of 32 bytes carry the Xing tag at offset 36, past their own end. It is seen
    // when the 512-byte block holds it, not when the frame is read on its own.
    auto run = [](int64_t start, int64_t pos) {
        std::string chain = Chain(kL1, 32, 20);
        chain.replace(36, 4, "Xing");
        PutBE32(chain, 40, 1);
        PutBE32(chain, 44, 2);
        std::string data = std::string(static_cast<size_t>(pos), '\0') + chain;
        Outcome o = Load(data, start);
        EXPECT_EQ(o.result, MP3ERR_None);
        EXPECT_EQ(o.info.FirstHeaderPosition(), pos);
        return o.info.Vbr();
    };
    EXPECT_TRUE(run(0, 0));
    EXPECT_TRUE(run(0, 464));    // block 0..512 holds all 48 bytes
    EXPECT_FALSE(run(0, 465));   // frame in the block, Xing cut off at its end
    EXPECT_FALSE(run(0, 490));   // frame crosses the block: read on its own
    EXPECT_TRUE(run(0, 508));    // a new block starts here
    EXPECT_TRUE(run(0, 972));    // block 508..1020
    EXPECT_FALSE(run(0, 973));
    EXPECT_TRUE(run(100, 564));  // blocks count from the start position: 100..612
    EXPECT_FALSE(run(100, 565));
    EXPECT_TRUE(run(100, 608));
    EXPECT_TRUE(run(0, 16382));  // far into the stream, across read chunks
}

TEST(MpegSearch, RejectedCandidatesAndEmptyStreams) {
    // FF FB with nothing valid at the computed distance.
    std::string junk(3000, '\x11');
    junk.replace(100, 4, kL3);
    junk.replace(1500, 4, kL3);
    junk.replace(1500 + 417, 4, kL3);  // second header, but no third sync
    EXPECT_EQ(Load(junk).result, MPEGERR_NoFrame);

    // A chain whose next header would lie past the end.
    EXPECT_EQ(Load(kL3 + std::string(413, '\0')).result, MPEGERR_NoFrame);
    // The third sync must lie within the stream.
    EXPECT_EQ(Load(Chain(kL3, 417, 2) + "\xFF").result, MPEGERR_NoFrame);
    EXPECT_EQ(Load(Chain(kL3, 417, 2) + "\xFF\xE0").result, MP3ERR_None);

    // MPEG-1 Layer II at 32 kbit/s in stereo is no header.
    EXPECT_EQ(Load(Chain(Bytes({0xFF, 0xFD, 0x10, 0x00}), 104, 6)).result, MPEGERR_NoFrame);
    EXPECT_EQ(Load(Chain(Bytes({0xFF, 0xFD, 0x10, 0xC0}), 104, 6)).result, MP3ERR_None);
    // Padded free format: a valid 1-byte frame with bitrate 0, which the figures reject.
    EXPECT_EQ(Load(std::string(40, '\xFF')).result, MPEGERR_NoFrame);

    // A failed load renews only Valid, FirstHeaderPosition and Filesize.
    TMpegInfo m;
    EXPECT_EQ(m.FirstHeaderPosition(), 0);
    TMemoryStream good(Chain(kL3, 417, 10));
    ASSERT_EQ(m.LoadFromStream(good), MP3ERR_None);
    for (std::string bad : {std::string(), std::string("\xFF\xFB\x90"), junk}) {
        TMemoryStream s(bad);
        EXPECT_EQ(m.LoadFromStream(s), MPEGERR_NoFrame);
        EXPECT_FALSE(m.Valid());
        EXPECT_EQ(m.FirstHeaderPosition(), -1);
        EXPECT_EQ(m.Filesize(), static_cast<int64_t>(bad.size()));
        EXPECT_EQ(m.Bitrate(), 128);
        EXPECT_EQ(m.Samplerate(), 44100);
        EXPECT_EQ(m.Frames(), 10);
    }
    // A start position past the end finds nothing.
    TMemoryStream past(Chain(kL3, 417, 10));
    past.SetPosition(100000);
    EXPECT_EQ(m.LoadFromStream(past), MPEGERR_NoFrame);
}

TEST(MpegSearch, AgreesWithAPlainBlockByBlockSearch) {
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const uint8_t alphabet[] = {0x00, 0xFF, 0xFF, 0xFB, 0xF3, 0xE3, 0xFD, 0x90,
                                0x64, 0x14, 0xC0, 0x44, 0x10, 0x12, 0xE0, 0x7F};
    int found = 0, vbr = 0;
    for (int round = 0; round < 120; ++round) {
        size_t size = static_cast<size_t>(pick(4) == 0 ? 40000 + pick(30000) : 200 + pick(3000));
        std::string data(size, '\0');
        for (auto& c : data) c = static_cast<char>(alphabet[pick(16)]);
        // Plant a few frame chains, some with info headers near block ends.
        for (int k = pick(4); k > 0; --k) {
            std::string h;
            TMpegHeader ph;
            do {
                h = Bytes({0xFF, 0xE0 | pick(32), pick(256), pick(256)});
                ph = ParseMpegHeader(reinterpret_cast<const uint8_t*>(h.data()));
            } while (!ph.valid || ph.framelength < 24 || ph.bitrate == 0);
            size_t at = static_cast<size_t>(pick(static_cast<int>(size)));
            for (int f = 0; f < 1 + pick(4); ++f) {
                size_t p = at + f * ph.framelength;
                if (p + 4 > size) break;
                data.replace(p, 4, h);
            }
            int kind = pick(3);
            size_t off = kind == 1 ? 36 : (ph.version == 1 ? (ph.channelmode == 3 ? 21 : 36)
                                                          : (ph.channelmode == 3 ? 13 : 21));
            if (kind > 0 && at + off + 18 <= size) {
                data.replace(at + off, 4, kind == 1 ? "VBRI" : "Xing");
                PutBE32(data, at + off + 4, static_cast<uint32_t>(pick(2)));
                PutBE32(data, at + (kind == 1 ? 50 : off + 8), static_cast<uint32_t>(1 + pick(40)));
            }
        }
        int64_t start = pick(3) == 0 ? 0 : pick(static_cast<int>(size / 2) + 1);
        RefResult want = ReferenceSearch(data, start);
        Outcome got = Load(data, start);
        SCOPED_TRACE("round " + std::to_string(round) + " size " + std::to_string(size));
        ASSERT_EQ(got.result == MP3ERR_None, want.pos >= 0);
        EXPECT_EQ(got.info.FirstHeaderPosition(), want.pos);
        if (want.pos < 0) continue;
        ++found;
        vbr += want.vbr;
        EXPECT_EQ(got.info.Version(), want.version);
        EXPECT_EQ(got.info.Layer(), want.layer);
        EXPECT_EQ(got.info.Samplerate(), want.samplerate);
        EXPECT_EQ(got.info.Bitrate(), want.bitrate);
        EXPECT_EQ(got.info.Frames(), want.frames);
        EXPECT_EQ(got.info.Dauer(), want.dauer);
        EXPECT_EQ(got.info.Vbr(), want.vbr);
    }
    // The rounds must exercise both outcomes and the info headers.
    EXPECT_GT(found, 20);
    EXPECT_LT(found, 110);
    EXPECT_GT(vbr, 3);
}

TEST(MpegSearch, FilesAndTheCorpus) {
    TMpegInfo m;
    const fs::path tmp = fs::temp_directory_path();
    EXPECT_EQ(m.LoadFromFile(tmp / "qmm-no-such-file.mp3"), MP3ERR_NoFile);
    EXPECT_EQ(m.LoadFromFile(tmp), MP3ERR_FOpenR);

    const fs::path corpus = QMM_CORPUS_DIR;
    if (!fs::exists(corpus / "mutagen") || !fs::exists(corpus / "taglib"))
        GTEST_SKIP() << "corpus not available";

    // Files without an ID3v2 tag at the start are searched from 0.
    ASSERT_EQ(m.LoadFromFile(corpus / "mutagen/no-tags.mp3"), MP3ERR_None);
    EXPECT_EQ(m.FirstHeaderPosition(), 0);
    EXPECT_EQ(m.Version(), 1);
    EXPECT_EQ(m.Layer(), 3);
    EXPECT_EQ(m.Samplerate(), 44100);

    ASSERT_EQ(m.LoadFromFile(corpus / "taglib/bladeenc.mp3"), MP3ERR_None);
    EXPECT_EQ(m.Channelmode(), 3);
    EXPECT_EQ(m.Bitrate(), 64);
    EXPECT_FALSE(m.Vbr());
    EXPECT_EQ(m.Dauer(), 3);  // 3.553 s

    ASSERT_EQ(m.LoadFromFile(corpus / "mutagen/silence-44-s-mpeg2.mp3"), MP3ERR_None);
    EXPECT_EQ(m.Version(), 2);
    EXPECT_EQ(m.Samplerate(), 24000);
    ASSERT_EQ(m.LoadFromFile(corpus / "mutagen/silence-44-s-mpeg25.mp3"), MP3ERR_None);
    EXPECT_EQ(m.Version(), 3);
    EXPECT_EQ(m.Samplerate(), 12000);

    const std::pair<const char*, int> invalidFrames[] = {
        {"taglib/invalid-frames1.mp3", 160},
        {"taglib/invalid-frames2.mp3", 192},
        {"taglib/invalid-frames3.mp3", 320}};
    for (auto [name, kbps] : invalidFrames) {
        ASSERT_EQ(m.LoadFromFile(corpus / name), MP3ERR_None) << name;
        EXPECT_GT(m.FirstHeaderPosition(), 0) << name;
        EXPECT_EQ(m.Bitrate(), kbps) << name;
    }

    // Searched from the end of the first of two ID3v2 tags, the audio is found at 8049.
    {
        TFileStream f(corpus / "taglib/duplicate_id3v2.mp3", fmOpenRead);
        f.SetPosition(3943);
        ASSERT_EQ(m.LoadFromStream(f), MP3ERR_None);
        EXPECT_EQ(m.FirstHeaderPosition(), 8049);
        EXPECT_EQ(m.Samplerate(), 44100);
    }
    {
        TFileStream f(corpus / "mutagen/issue_21.id3", fmOpenRead);
        uint8_t h[10];
        f.ReadBuffer(h, 10);
        f.SetPosition(10 + ((h[6] << 21) | (h[7] << 14) | (h[8] << 7) | h[9]));
        ASSERT_EQ(m.LoadFromStream(f), MP3ERR_None);
        EXPECT_EQ(m.FirstHeaderPosition(), 1091);
    }

    // No MPEG audio in these.
    for (const char* name : {"mutagen/emptyfile.mp3", "mutagen/silence-2s-PCM-44100-16-ID3v23.wav",
                             "taglib/empty.wav", "taglib/alaw.wav", "taglib/segfault.wav"}) {
        EXPECT_EQ(m.LoadFromFile(corpus / name), MPEGERR_NoFrame) << name;
        EXPECT_FALSE(m.Valid()) << name;
        EXPECT_EQ(m.FirstHeaderPosition(), -1) << name;
    }
}

TEST(MpegLength, WhatTheDecksTakeFromTheHeadersAndWhatTheyLeaveToTheDecoder) {
    testutil::TempDir dir;
    const auto write = [&dir](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
        return dir / name;
    };
    const std::string l2Stereo32k = Bytes({0xFF, 0xFD, 0x10, 0x04}), l2Mono32k = Bytes({0xFF, 0xFD, 0x10, 0xC4});
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<int> ms;
    } const cases[] = {
        {"ten Layer III frames", Chain(kL3, 417, 10), 10 * 1152 * 1000 / 44100},
        // The frame parser the frame search uses refuses these bitrates in stereo, so the
        // decks leave such a stream to the decoder; in mono they are sound.
        {"Layer II at 32 kbit/s in stereo", Chain(l2Stereo32k, 104, 10), std::nullopt},
        {"Layer II at 32 kbit/s in mono", Chain(l2Mono32k, 104, 10), 10 * 1152 * 1000 / 44100},
    };
    for (const Case& c : cases) {
        const std::optional<MpegLength> got = MeasureMpeg(write("case.mp3", c.bytes));
        EXPECT_EQ(got ? got->ms : -1, c.ms.value_or(-1)) << c.name;
    }

    // A length kept for a file holds only while the file is unchanged.
    const fs::path song = write("song.mp3", Chain(kL3, 417, 10));
    {
        ReadAheadStream file(song);
        RememberMpegLength(file);
    }
    ASSERT_TRUE(MeasureMpeg(song));
    EXPECT_EQ(MeasureMpeg(song)->ms, 261);
    write("song.mp3", Chain(kL3, 417, 20));
    ASSERT_TRUE(MeasureMpeg(song)) << "rewritten longer";
    EXPECT_EQ(MeasureMpeg(song)->ms, 522);
    {
        ReadAheadStream file(song);
        RememberMpegLength(file);
    }
    fs::remove(song);
    EXPECT_FALSE(MeasureMpeg(song)) << "removed";
}
