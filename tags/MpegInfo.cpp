#include "tags/MpegInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace tags {

namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index]; MPEG-2.5 uses the MPEG-2 rows.
constexpr int kBitrates[2][3][16] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
    },
};

// Hz by [version - 1][index].
constexpr int kSamplerates[3][4] = {
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
};

// The search reads 512-byte blocks; a block is replaced when no more than a header's 4 bytes
// of it remain, so consecutive blocks start 508 bytes apart. Whether an info header counts
// depends on what the current block holds, so these boundaries are kept exactly even though
// the stream is read in larger chunks underneath.
constexpr int64_t kBlock = 512;
constexpr int64_t kBlockStep = kBlock - 4;

constexpr size_t kFirstChunk = 16 * 1024;
constexpr size_t kMaxChunk = 1024 * 1024;

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool IsSync(const uint8_t* p) { return p[0] == 0xFF && p[1] >= 0xE0; }

// Rounds to the nearest integer, halves to even.
double RoundHalfEven(double v) {
    double r = std::floor(v);
    double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return r;
}

// Frame bytes = factor x bitrate / sample rate; the factor is the frame's samples / 8 (Layer I
// 384, Layer II and MPEG-1 Layer III 1152, MPEG-2/2.5 Layer III 576), as in the frame lengths.
double FrameSizeFactor(const TMpegHeader& h) {
    if (h.layer == 1) return 48.0;
    if (h.layer == 3 && h.version != 1) return 72.0;
    return 144.0;
}

}  // namespace

namespace detail {

// Buffered access to the stream for the search.
class ScanReader {
public:
    ScanReader(TStream& s, int64_t end) : s_(s), end_(end) {}

    int64_t End() const { return end_; }
    int64_t ChunkStart() const { return cs_; }
    int64_t ChunkEnd() const { return cs_ + static_cast<int64_t>(chunk_.size()); }
    const uint8_t* At(int64_t pos) const { return chunk_.data() + (pos - cs_); }

    // Reads the next chunk from pos on. A short read marks the end of the available data.
    void Fill(int64_t pos) {
        size_t want = static_cast<size_t>(std::min<int64_t>(chunkSize_, end_ - pos));
        chunk_.resize(want);
        cs_ = pos;
        int64_t got = 0;
        if (want > 0 && s_.Seek(pos, soBeginning) == pos)
            got = s_.Read(chunk_.data(), static_cast<int64_t>(want));
        if (got < static_cast<int64_t>(want)) {
            chunk_.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
            end_ = cs_ + static_cast<int64_t>(chunk_.size());
        }
        chunkSize_ = std::min(chunkSize_ * 2, kMaxChunk);
    }

    // Up to len bytes from pos: from the chunk when it holds them all, else read directly.
    // Returns the number of bytes available at *out.
    int64_t Get(int64_t pos, int64_t len, const uint8_t** out) {
        if (pos >= cs_ && pos + len <= ChunkEnd()) {
            *out = At(pos);
            return len;
        }
        scratch_.resize(static_cast<size_t>(len));
        int64_t got = 0;
        if (s_.Seek(pos, soBeginning) == pos) got = s_.Read(scratch_.data(), len);
        *out = scratch_.data();
        return std::max<int64_t>(got, 0);
    }

private:
    TStream& s_;
    int64_t end_;
    std::vector<uint8_t> chunk_;
    int64_t cs_ = 0;
    size_t chunkSize_ = kFirstChunk;
    std::vector<uint8_t> scratch_;
};

}  // namespace detail

using detail::ScanReader;

TMpegHeader ParseMpegHeader(const uint8_t* p) {
    TMpegHeader h;
    const uint8_t b1 = p[1], b2 = p[2], b3 = p[3];
    if (!IsSync(p)) return h;
    switch ((b1 >> 3) & 3) {
        case 3: h.version = 1; break;
        case 2: h.version = 2; break;
        case 0: h.version = 3; break;
        default: return h;
    }
    int layerBits = (b1 >> 1) & 3;
    if (layerBits == 0) return h;
    h.layer = 4 - layerBits;
    h.protection = (b1 & 1) == 0;
    int bitrate = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][b2 >> 4];
    if (bitrate < 0) return h;
    h.bitrate = bitrate;
    h.samplerate = kSamplerates[h.version - 1][(b2 >> 2) & 3];
    h.padding = ((b2 >> 1) & 1) != 0;
    h.channelmode = static_cast<uint8_t>(b3 >> 6);
    h.extension = static_cast<uint8_t>((b3 >> 4) & 3);
    h.copyright = ((b3 >> 3) & 1) != 0;
    h.original = ((b3 >> 2) & 1) != 0;
    h.emphasis = static_cast<uint8_t>(b3 & 3);
    if (h.layer == 2) {
        bool mono = h.channelmode == 3;
        int br = h.bitrate;
        if (!mono && (br == 32 || br == 48 || br == 56 || br == 80)) return h;
        if (mono && (br == 224 || br == 256 || br == 320 || br == 384)) return h;
    }
    if (h.samplerate == 0) return h;
    int pad = h.padding ? 1 : 0;
    int len;
    if (h.layer == 1)
        len = 4 * (12000 * h.bitrate / h.samplerate + pad);
    else if (h.layer == 2 || h.version == 1)
        len = 144000 * h.bitrate / h.samplerate + pad;
    else
        len = 72000 * h.bitrate / h.samplerate + pad;
    if (len < 1) {
        h.framelength = 0xFFFF;
        return h;
    }
    h.framelength = static_cast<uint16_t>(len);
    h.valid = true;
    return h;
}

TMP3Error TMpegInfo::LoadFromFile(const std::filesystem::path& filename) {
    std::error_code ec;
    if (!std::filesystem::exists(filename, ec)) return MP3ERR_NoFile;
    auto f = TFileStream::Open(filename, fmOpenRead);
    if (!f) return MP3ERR_FOpenR;
    return LoadFromStream(*f);
}

TMP3Error TMpegInfo::LoadFromStream(TStream& stream) {
    Fvalid = false;
    FfirstHeaderPosition = -1;
    try {
        FFilesize = stream.Size();
        const int64_t size = FFilesize;
        const int64_t start = stream.Position();
        if (start < 0) return MPEGERR_NoFrame;
        ScanReader rd(stream, size);
        int64_t p = start;
        while (p + 4 <= rd.End()) {
            if (p < rd.ChunkStart() || rd.ChunkEnd() - p < 4) {
                rd.Fill(p);
                if (rd.ChunkEnd() - p < 4) break;
            }
            // Only a position holding FF followed by E0 or more can start a header.
            const int64_t lastStart = rd.ChunkEnd() - 4;
            const uint8_t* base = rd.At(rd.ChunkStart());
            int64_t q = p;
            bool found = false;
            while (q <= lastStart) {
                const void* hit = std::memchr(base + (q - rd.ChunkStart()), 0xFF,
                                              static_cast<size_t>(lastStart - q + 1));
                if (!hit) break;
                q = static_cast<const uint8_t*>(hit) - base + rd.ChunkStart();
                if (base[q - rd.ChunkStart() + 1] >= 0xE0) {
                    found = true;
                    break;
                }
                ++q;
            }
            if (!found) {
                p = lastStart + 1;
                continue;
            }
            p = q;
            TMpegHeader h1 = ParseMpegHeader(rd.At(p));
            if (h1.valid && TryAccept(rd, start, p, h1)) {
                Fvalid = true;
                FfirstHeaderPosition = p;
                return MP3ERR_None;
            }
            ++p;
        }
    } catch (const std::exception& e) {
        ReportUnexpected(e);
    }
    return MPEGERR_NoFrame;
}

bool TMpegInfo::TryAccept(ScanReader& rd, int64_t start, int64_t p, const TMpegHeader& h1) {
    const int64_t size = FFilesize;
    const int64_t l1 = h1.framelength;
    if (p + l1 + 4 > size) return false;

    // The data examined: the rest of the current block when the frame and the next header lie
    // inside it, else the frame and the next header read on their own.
    const int64_t blockStart = start + (p - start) / kBlockStep * kBlockStep;
    const int64_t blockEnd = std::min(blockStart + kBlock, rd.End());
    const uint8_t* d = nullptr;
    int64_t dlen;
    if (p + l1 + 4 <= blockEnd) {
        dlen = rd.Get(p, blockEnd - p, &d);
        if (dlen < l1 + 4) return false;
    } else {
        dlen = rd.Get(p, l1 + 4, &d);
        if (dlen < l1 + 4) return false;
    }

    uint32_t frameCount = 0;
    bool xing = false, vbri = false;
    int xingOffset;
    if (h1.version == 1)
        xingOffset = h1.channelmode == 3 ? 21 : 36;
    else
        xingOffset = h1.channelmode == 3 ? 13 : 21;
    if (xingOffset + 12 <= dlen && std::memcmp(d + xingOffset, "Xing", 4) == 0) {
        xing = true;
        if (d[xingOffset + 7] & 1) frameCount = BigEndian32(d + xingOffset + 8);
    } else if (36 + 18 <= dlen && std::memcmp(d + 36, "VBRI", 4) == 0) {
        vbri = true;
        frameCount = BigEndian32(d + 36 + 14);
    }

    if (!vbri) {
        TMpegHeader h2 = ParseMpegHeader(d + l1);
        if (!h2.valid) return false;
        const int64_t third = p + l1 + h2.framelength;
        if (third + 2 > size) return false;
        const uint8_t* t = nullptr;
        // d may point into the reader's scratch buffer, which Get reuses: h2 is parsed already.
        if (rd.Get(third, 2, &t) < 2 || !IsSync(t)) return false;
    }

    // Figures; any arithmetic failure rejects the candidate and leaves the fields untouched.
    int64_t bytes;
    int64_t bitrate;
    int64_t frames;
    if (xing || vbri) {
        if (frameCount == 0) return false;
        bytes = size - p - l1;
        double br = RoundHalfEven(h1.samplerate / 1000.0 * static_cast<double>(bytes) /
                                  (static_cast<double>(frameCount) * FrameSizeFactor(h1)));
        if (!(br >= 0 && br <= std::numeric_limits<uint16_t>::max())) return false;
        bitrate = static_cast<int64_t>(br);
        frames = frameCount;
    } else {
        bytes = size - p;
        double fr = RoundHalfEven(static_cast<double>(bytes) / static_cast<double>(l1));
        if (!(fr <= std::numeric_limits<int>::max())) return false;
        frames = static_cast<int64_t>(fr);
        bitrate = h1.bitrate;
    }
    if (bitrate == 0 || frames > std::numeric_limits<int>::max()) return false;
    int64_t bits;
    if (__builtin_mul_overflow(bytes, int64_t{8}, &bits)) return false;
    const int64_t dauer = bits / (bitrate * 1000);
    if (dauer > std::numeric_limits<int>::max()) return false;

    Fversion = h1.version;
    Flayer = h1.layer;
    Fprotection = h1.protection;
    Fsamplerate = h1.samplerate;
    Fchannelmode = h1.channelmode;
    Fextension = h1.extension;
    Fcopyright = h1.copyright;
    Foriginal = h1.original;
    Femphasis = h1.emphasis;
    Fbitrate = static_cast<uint16_t>(bitrate);
    Fvbr = xing || vbri;
    Fdauer = static_cast<int>(dauer);
    Fframes = static_cast<int>(frames);
    return true;
}

}  // namespace tags
