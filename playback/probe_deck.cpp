#include "playback/probe_deck.h"

#include "playback/real_deck.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace playback {

namespace {

struct FrameHeader {
    int version = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int layer = 0;    // 1..3
    int rate = 0;
    int bytes = 0;
    int samples = 0;
    bool mono = false;
};

// Kilobits per second by [MPEG-1?][layer - 1][index].
constexpr std::array<std::array<std::array<short, 16>, 3>, 2> kBitrates{{
    {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}},
    {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}},
}};
constexpr std::array<std::array<int, 3>, 3> kRates{{{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}}};

// Free-format frames (bitrate index 0) have no size in their header; they are left to libsndfile.
bool ParseHeader(const unsigned char* p, FrameHeader& h) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    const int versionBits = (p[1] >> 3) & 3, layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4, rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    h.version = versionBits == 3 ? 0 : (versionBits == 2 ? 1 : 2);
    h.layer = 4 - layerBits;
    h.rate = kRates[h.version][rateIndex];
    const int kbps = kBitrates[h.version == 0][h.layer - 1][bitrateIndex];
    const int padding = (p[2] >> 1) & 1;
    if (h.layer == 1) {
        h.bytes = (12000 * kbps / h.rate + padding) * 4;
        h.samples = 384;
    } else {
        const int perFrame = (h.layer == 3 && h.version != 0) ? 576 : 1152;
        h.bytes = perFrame / 8 * 1000 * kbps / h.rate + padding;
        h.samples = perFrame;
    }
    h.mono = (p[3] >> 6) == 3;
    return true;
}

bool SameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

std::uint32_t Big32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

class File {
public:
    explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Ok() const { return fd_ >= 0; }
    std::int64_t Size() const {
        struct stat st {};
        return (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) ? st.st_size : -1;
    }
    // Reads up to `n` bytes at `at`; fewer only at the end of the file.
    std::int64_t Read(std::int64_t at, unsigned char* to, std::size_t n) const {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(fd_, to + done, n - done, static_cast<off_t>(at + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return -1;
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return static_cast<std::int64_t>(done);
    }

private:
    int fd_;
};

// What a Xing/Info header in the first frame says about the stream.
struct XingInfo {
    bool present = false;
    std::optional<std::uint32_t> frames, bytes;
    std::optional<int> delay, padding;  // from the encoder's extension, when it has one
};

XingInfo ReadXing(const unsigned char* frame, const FrameHeader& h) {
    XingInfo x;
    if (h.layer != 3) return x;
    const int sideInfo = h.version == 0 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
    const int at = 4 + sideInfo;
    if (at + 8 > h.bytes) return x;
    const unsigned char* p = frame + at;
    if (std::memcmp(p, "Xing", 4) != 0 && std::memcmp(p, "Info", 4) != 0) return x;
    x.present = true;
    const std::uint32_t flags = Big32(p + 4);
    int off = at + 8;
    auto fits = [&](int n) { return off + n <= h.bytes; };
    if (flags & 1) {
        if (!fits(4)) return x;
        x.frames = Big32(frame + off);
        off += 4;
    }
    if (flags & 2) {
        if (!fits(4)) return x;
        x.bytes = Big32(frame + off);
        off += 4;
    }
    if (flags & 4) off += 100;
    if (flags & 8) off += 4;
    // The encoder's extension: a 9-character version string, then delay and padding at 21..23.
    if (fits(24) && std::memcmp(frame + off, "LAME", 4) == 0) {
        const unsigned char* d = frame + off + 21;
        x.delay = d[0] << 4 | d[1] >> 4;
        x.padding = (d[1] & 0x0F) << 8 | d[2];
    }
    return x;
}

// Frames from the first one at `start` to the end; -1 when the stream does not end cleanly
// (junk, a cut frame or a change of format), which only the decoder can judge.
std::int64_t CountFrames(const File& file, std::int64_t start, std::int64_t size, const FrameHeader& first) {
    constexpr std::size_t kChunk = 1 << 18;
    std::vector<unsigned char> buf(kChunk);
    std::int64_t bufAt = 0, bufLen = 0, pos = start, frames = 0;
    for (;;) {
        if (pos == size) return frames;
        if (pos + 4 > bufAt + bufLen) {
            bufAt = pos;
            bufLen = file.Read(pos, buf.data(), kChunk);
            if (bufLen < 4) return -1;
        }
        const unsigned char* p = &buf[static_cast<std::size_t>(pos - bufAt)];
        FrameHeader h;
        if (!ParseHeader(p, h) || !SameStream(h, first)) {
            const bool trailer = size - pos == 128 && pos + 3 <= bufAt + bufLen && std::memcmp(p, "TAG", 3) == 0;
            return trailer ? frames : -1;
        }
        if (pos + h.bytes > size) return -1;
        pos += h.bytes;
        ++frames;
    }
}

}  // namespace

std::optional<MpegLength> MeasureMpeg(const std::string& localPath) {
    const File file(localPath);
    if (!file.Ok()) return std::nullopt;
    const std::int64_t size = file.Size();
    if (size <= 0) return std::nullopt;

    // The start of the file holds an ID3v2 tag or the first frame; big enough for a Xing header.
    constexpr std::size_t kHead = 4096;
    std::array<unsigned char, kHead> head{};
    std::int64_t start = 0;
    std::int64_t got = file.Read(0, head.data(), kHead);
    if (got >= 10 && std::memcmp(head.data(), "ID3", 3) == 0) {
        const unsigned char* s = head.data() + 6;
        if (head[3] == 0xFF || ((s[0] | s[1] | s[2] | s[3]) & 0x80)) return std::nullopt;
        start = 10 + (std::int64_t(s[0]) << 21 | s[1] << 14 | s[2] << 7 | s[3]) + ((head[5] & 0x10) ? 10 : 0);
        got = file.Read(start, head.data(), kHead);
    }
    FrameHeader first;
    if (got < 4 || !ParseHeader(head.data(), first)) return std::nullopt;

    std::int64_t frames = -1;
    bool fromHeader = false;
    const XingInfo xing = first.bytes <= got ? ReadXing(head.data(), first) : XingInfo{};
    if (xing.present) {
        // Trusted only when its byte count reaches exactly to the end, or to an ID3v1 trailer:
        // a cut or extended file has another length than its header claims.
        if (xing.frames && xing.bytes) {
            const std::int64_t end = start + *xing.bytes;
            bool clean = end == size;
            if (!clean && end + 128 == size) {
                std::array<unsigned char, 3> tag{};
                clean = file.Read(end, tag.data(), 3) == 3 && std::memcmp(tag.data(), "TAG", 3) == 0;
            }
            if (clean) {
                frames = *xing.frames;
                fromHeader = true;
            }
        }
        if (frames < 0) {
            frames = CountFrames(file, start + first.bytes, size, first);
            if (frames < 0) return std::nullopt;
        }
    } else {
        // Without a header the first frame must be followed by a second, so that a stray sync
        // pattern in another kind of file is not taken for MPEG audio.
        if (first.bytes + 4 <= got) {
            FrameHeader second;
            if (!ParseHeader(head.data() + first.bytes, second) || !SameStream(first, second)) return std::nullopt;
        }
        frames = CountFrames(file, start, size, first);
        // The decoder refuses a stream of one frame.
        if (frames < 2) return std::nullopt;
    }
    if (frames <= 0) return std::nullopt;

    std::int64_t samples = frames * first.samples;
    if (xing.delay && xing.padding) samples -= *xing.delay + *xing.padding;
    if (samples <= 0) return std::nullopt;
    return MpegLength{FramesToMs(samples, first.rate), fromHeader};
}

void TProbeDeck::Open() {
    Close();
    const std::optional<MpegLength> mpeg = MeasureMpeg(QFile::encodeName(fileName_).toStdString());
    if (mpeg && mpeg->fromHeader) {
        length_ = mpeg->ms;
    } else {
        SF_INFO info{};
        sf_close(OpenSoundFile(fileName_, info));  // throws what the real deck throws
        length_ = SoundFileLengthMs(info, mpeg);
    }
    open_ = true;
}

void TProbeDeck::Close() {
    open_ = false;
    length_ = 0;
}

std::unique_ptr<AudioDeck> MakeProbeDeck() { return std::make_unique<TProbeDeck>(); }

std::unique_ptr<AudioDeck> MakeProbeDeckFor(const DeckFactory& decks) {
    using Maker = std::unique_ptr<AudioDeck> (*)();
    const Maker* maker = decks.target<Maker>();
    return (maker && *maker == &MakeRealDeck) ? MakeProbeDeck() : decks();
}

}  // namespace playback
