// Runs the MPEG frame search over arbitrary bytes from a chosen start position and checks the
// figures it reports. Input: two bytes of start position, then the stream's bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/MpegInfo.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    const int64_t start = ((data[0] << 8) | data[1]) % (static_cast<int64_t>(bytes.size()) + 2);

    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        const tags::TMpegHeader h =
            tags::ParseMpegHeader(reinterpret_cast<const uint8_t*>(bytes.data() + i));
        Check(!h.valid || (h.framelength >= 1 && h.samplerate > 0 && h.layer >= 1 &&
                           h.layer <= 3 && h.version >= 1 && h.version <= 3));
    }

    tags::TMemoryStream in(bytes);
    in.SetPosition(start);
    tags::TMpegInfo info;
    const tags::TMP3Error r = info.LoadFromStream(in);
    Check(r == tags::MP3ERR_None || r == tags::MPEGERR_NoFrame);
    Check(info.Valid() == (r == tags::MP3ERR_None));
    Check(info.Filesize() == static_cast<int64_t>(bytes.size()));
    if (r == tags::MP3ERR_None) {
        const int64_t p = info.FirstHeaderPosition();
        Check(p >= start && p + 4 <= info.Filesize());
        const tags::TMpegHeader h =
            tags::ParseMpegHeader(reinterpret_cast<const uint8_t*>(bytes.data() + p));
        Check(h.valid && h.version == info.Version() && h.layer == info.Layer() &&
              h.samplerate == info.Samplerate());
        Check(info.Bitrate() > 0 && info.Frames() > 0 && info.Dauer() >= 0);
        Check(info.Vbr() || info.Bitrate() == h.bitrate);
        // A second load over the same bytes from the same place finds the same frame.
        tags::TMemoryStream again(bytes);
        again.SetPosition(start);
        tags::TMpegInfo second;
        Check(second.LoadFromStream(again) == tags::MP3ERR_None &&
              second.FirstHeaderPosition() == p && second.Frames() == info.Frames());
    } else {
        Check(info.FirstHeaderPosition() == -1);
    }
    return 0;
}
