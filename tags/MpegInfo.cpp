#include "tags/MpegInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
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

// Enough for a tag's end and the first frames after it; a stream without audio is read in ever
// larger chunks.
constexpr size_t kFirstChunk = 4 * 1024;
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
    // `buffer` is kept by the caller between searches, so that each does not allocate and clear
    // it anew; it only grows.
    ScanReader(TStream& s, int64_t end, std::vector<uint8_t>& buffer) : s_(s), end_(end), buf_(buffer) {}

    int64_t End() const { return end_; }
    int64_t ChunkStart() const { return cs_; }
    int64_t ChunkEnd() const { return cs_ + len_; }
    const uint8_t* At(int64_t pos) const { return buf_.data() + (pos - cs_); }

    // Reads the next chunk from pos on. A short read marks the end of the available data.
    void Fill(int64_t pos) {
        const int64_t want = std::clamp<int64_t>(end_ - pos, 0, static_cast<int64_t>(chunkSize_));
        if (buf_.size() < static_cast<size_t>(want)) buf_.resize(static_cast<size_t>(want));
        cs_ = pos;
        int64_t got = 0;
        if (want > 0 && s_.Seek(pos, soBeginning) == pos) got = s_.Read(buf_.data(), want);
        len_ = std::max<int64_t>(got, 0);
        if (len_ < want) end_ = cs_ + len_;
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
    std::vector<uint8_t>& buf_;
    int64_t cs_ = 0, len_ = 0;
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

std::optional<XingHeader> ReadXingHeader(const uint8_t* frame, int64_t available, const TMpegHeader& h) {
    // Right after the side information, whose size depends on the version and the channels.
    const int at = h.version == 1 ? (h.channelmode == 3 ? 21 : 36) : (h.channelmode == 3 ? 13 : 21);
    if (at + 8 > available) return std::nullopt;
    const uint8_t* p = frame + at;
    const bool xing = std::memcmp(p, "Xing", 4) == 0;
    if (!xing && std::memcmp(p, "Info", 4) != 0) return std::nullopt;
    XingHeader x;
    x.info = !xing;
    x.offset = at;
    const uint32_t flags = BigEndian32(p + 4);
    int64_t off = at + 8;
    const auto take = [&](std::optional<uint32_t>& field) {
        if (off + 4 > available) return false;
        field = BigEndian32(frame + off);
        off += 4;
        return true;
    };
    if ((flags & 1) && !take(x.frames)) return x;
    if ((flags & 2) && !take(x.bytes)) return x;
    if (flags & 4) off += 100;  // table of contents
    if (flags & 8) off += 4;    // quality
    // LAME's extension: a 9-character version, then delay and padding in 12 bits each at 21..23.
    if (off + 24 <= available && std::memcmp(frame + off, "LAME", 4) == 0) {
        const uint8_t* d = frame + off + 21;
        x.delay = d[0] << 4 | d[1] >> 4;
        x.padding = (d[1] & 0x0F) << 8 | d[2];
    }
    return x;
}

std::optional<uint32_t> ReadVbriFrames(const uint8_t* frame, int64_t available) {
    if (36 + 18 > available || std::memcmp(frame + 36, "VBRI", 4) != 0) return std::nullopt;
    return BigEndian32(frame + 36 + 14);
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
        ScanReader rd(stream, size, scanChunk_);
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

    // Only "Xing" counts here, with its frame count's place inside the data examined whether
    // the count is flagged or not.
    uint32_t frameCount = 0;
    bool xing = false, vbri = false;
    const std::optional<XingHeader> x = ReadXingHeader(d, dlen, h1);
    std::optional<uint32_t> vbriFrames;
    if (x && !x->info && x->offset + 12 <= dlen) {
        xing = true;
        frameCount = x->frames.value_or(0);
    } else if ((vbriFrames = ReadVbriFrames(d, dlen))) {
        vbri = true;
        frameCount = *vbriFrames;
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

// ---------------------------------------------------------------------------------------------
// The length as the decks report it.

namespace {

// A frame whose size its header tells: free-format frames (bitrate 0) are left to the decoder.
bool SizedFrame(const uint8_t* p, TMpegHeader& h) {
    h = ParseMpegHeader(p);
    return h.valid && h.bitrate > 0;
}

bool SameStream(const TMpegHeader& a, const TMpegHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.samplerate == b.samplerate;
}

int64_t ReadAt(TStream& s, int64_t at, uint8_t* to, int64_t n) {
    return s.Seek(at, soBeginning) == at ? s.Read(to, n) : -1;
}

// Frames from the first one at `start` to the end; -1 when the stream does not end cleanly (junk,
// a cut frame or a change of format), which only the decoder can judge.
int64_t CountFrames(TStream& s, int64_t start, int64_t size, const TMpegHeader& first) {
    const int64_t chunk = std::min<int64_t>(int64_t{1} << 18, size - start);
    if (chunk < 4) return start == size ? 0 : -1;
    const std::unique_ptr<uint8_t[]> buf(new uint8_t[static_cast<size_t>(chunk)]);
    int64_t bufAt = 0, bufLen = 0, pos = start, frames = 0;
    for (;;) {
        if (pos == size) return frames;
        if (pos + 4 > bufAt + bufLen) {
            bufAt = pos;
            bufLen = ReadAt(s, pos, buf.get(), chunk);
            if (bufLen < 4) return -1;
        }
        const uint8_t* p = buf.get() + (pos - bufAt);
        TMpegHeader h;
        if (!SizedFrame(p, h) || !SameStream(h, first)) {
            const bool trailer = size - pos == 128 && pos + 3 <= bufAt + bufLen && std::memcmp(p, "TAG", 3) == 0;
            return trailer ? frames : -1;
        }
        if (pos + h.framelength > size) return -1;
        pos += h.framelength;
        ++frames;
    }
}

int SamplesToMs(int64_t samples, int rate) {
    const int64_t ms = samples / rate * 1000 + samples % rate * 1000 / rate;
    return static_cast<int>(std::min<int64_t>(ms, std::numeric_limits<int32_t>::max()));
}

std::optional<MpegLength> Measure(TStream& s) {
    const int64_t size = s.Size();
    if (size <= 0) return std::nullopt;

    // The start of the file holds an ID3v2 tag or the first frame; big enough for a Xing header.
    constexpr int64_t kHead = 4096;
    std::array<uint8_t, kHead> head;
    int64_t start = 0;
    std::array<uint8_t, 10> id3;
    if (ReadAt(s, 0, id3.data(), 10) == 10 && std::memcmp(id3.data(), "ID3", 3) == 0) {
        const uint8_t* z = id3.data() + 6;
        if (id3[3] == 0xFF || ((z[0] | z[1] | z[2] | z[3]) & 0x80)) return std::nullopt;
        start = 10 + (int64_t{z[0]} << 21 | z[1] << 14 | z[2] << 7 | z[3]) + ((id3[5] & 0x10) ? 10 : 0);
    }
    const int64_t got = ReadAt(s, start, head.data(), kHead);
    TMpegHeader first;
    if (got < 4 || !SizedFrame(head.data(), first)) return std::nullopt;

    int64_t frames = -1;
    bool fromHeader = false;
    std::optional<XingHeader> xing;
    if (first.layer == 3 && first.framelength <= got) xing = ReadXingHeader(head.data(), first.framelength, first);
    if (xing) {
        // Trusted only when its byte count reaches exactly to the end, or to an ID3v1 trailer:
        // a cut or extended file has another length than its header claims.
        if (xing->frames && xing->bytes) {
            const int64_t end = start + *xing->bytes;
            bool clean = end == size;
            if (!clean && end + 128 == size) {
                std::array<uint8_t, 3> tag{};
                clean = ReadAt(s, end, tag.data(), 3) == 3 && std::memcmp(tag.data(), "TAG", 3) == 0;
            }
            if (clean) {
                frames = *xing->frames;
                fromHeader = true;
            }
        }
        if (frames < 0) {
            frames = CountFrames(s, start + first.framelength, size, first);
            if (frames < 0) return std::nullopt;
        }
    } else {
        // Without a header the first frame must be followed by a second, so that a stray sync
        // pattern in another kind of file is not taken for MPEG audio.
        if (first.framelength + 4 <= got) {
            TMpegHeader second;
            if (!SizedFrame(head.data() + first.framelength, second) || !SameStream(first, second))
                return std::nullopt;
        }
        frames = CountFrames(s, start, size, first);
        // The decoder refuses a stream of one frame.
        if (frames < 2) return std::nullopt;
    }
    if (frames <= 0) return std::nullopt;

    int64_t samples = frames * first.Samples();
    if (xing && xing->delay && xing->padding) samples -= *xing->delay + *xing->padding;
    if (samples <= 0) return std::nullopt;
    return MpegLength{SamplesToMs(samples, first.samplerate), fromHeader};
}

}  // namespace

std::optional<MpegLength> MeasureMpeg(TStream& stream) {
    try {
        return Measure(stream);
    } catch (const std::exception&) {
        return std::nullopt;  // a stream that fails is no plain MPEG audio to the decks
    }
}

namespace {

struct Remembered {
    std::mutex lock;
    std::optional<FileIdentity> file;
    std::optional<MpegLength> length;
};

Remembered& LastMeasured() {
    static Remembered last;
    return last;
}

}  // namespace

std::optional<MpegLength> MeasureMpeg(const std::filesystem::path& path) {
    const std::optional<FileIdentity> file = IdentityOf(path);
    if (!file) return std::nullopt;
    {
        Remembered& last = LastMeasured();
        const std::lock_guard hold(last.lock);
        if (last.file == file) return last.length;
    }
    std::error_code ec;
    ReadAheadStream stream(path, ec);
    return ec ? std::nullopt : MeasureMpeg(stream);
}

void RememberMpegLength(ReadAheadStream& file) {
    const std::optional<MpegLength> length = MeasureMpeg(file);
    Remembered& last = LastMeasured();
    const std::lock_guard hold(last.lock);
    last.file = file.Identity();
    last.length = length;
}

}  // namespace tags
