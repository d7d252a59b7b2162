#pragma once
// Byte builders for ID3v2 test input.
#include <cstdint>
#include <string>
#include <vector>

namespace id3test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
inline void Append(Bytes& to, const std::string& more) { to.insert(to.end(), more.begin(), more.end()); }

inline void PutBE(Bytes& b, uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutSyncSafe(Bytes& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t((v >> (7 * i)) & 0x7F));
}

// One frame in the layout of the major version.
inline Bytes Frame(int major, const std::string& id, const Bytes& body, uint8_t formatFlags = 0) {
    Bytes f(id.begin(), id.end());
    if (major == 2) {
        PutBE(f, uint32_t(body.size()), 3);
    } else {
        if (major == 4) PutSyncSafe(f, uint32_t(body.size()));
        else PutBE(f, uint32_t(body.size()), 4);
        f.push_back(0);
        f.push_back(formatFlags);
    }
    Append(f, body);
    return f;
}

// A text frame body in encoding 0.
inline Bytes Latin1(const std::string& s) {
    Bytes b{0};
    Append(b, s);
    return b;
}

inline Bytes Header(int major, uint8_t flags, uint32_t size) {
    Bytes h{'I', 'D', '3', uint8_t(major), 0, flags};
    PutSyncSafe(h, size);
    return h;
}

// Header + frames + padding, the size field covering frames and padding.
inline Bytes Tag(int major, const Bytes& frames, uint32_t padding = 0, uint8_t flags = 0) {
    Bytes t = Header(major, flags, uint32_t(frames.size() + padding));
    Append(t, frames);
    t.insert(t.end(), padding, 0);
    return t;
}

// Audio stand-in: MPEG-1 Layer III frames (128 kbit/s, 44100 Hz, 417 bytes each).
inline Bytes Audio(int frames) {
    Bytes b;
    for (int i = 0; i < frames; ++i) {
        Append(b, Bytes{0xFF, 0xFB, 0x90, 0x64});
        for (int k = 0; k < 413; ++k) b.push_back(uint8_t(i * 31 + k));
    }
    return b;
}

inline Bytes Trailer(const std::string& title) {
    Bytes t{'T', 'A', 'G'};
    std::string f = title;
    f.resize(30, ' ');
    Append(t, f);
    t.resize(128, 0);
    return t;
}

}  // namespace id3test
