#pragma once
// MPEG audio information: finds the first MPEG audio frame of a stream (MPEG-1, MPEG-2 and
// MPEG-2.5, Layers I to III) and derives version, layer, bitrate, sample rate, channel mode,
// frame count and duration from it, using a Xing or VBRI header in the first frame when there
// is one. The search starts at the stream's current position and looks at every byte up to the
// end; a candidate needs a second valid header right after its frame.
//
// One object serves many loads. A failed load renews only Valid, FirstHeaderPosition and
// Filesize and keeps the audio fields of the last successful one. After a load the stream's
// position is wherever the search left it.
//
//   tags::TMpegInfo info;
//   if (info.LoadFromStream(stream) == tags::MP3ERR_None) use(info.Bitrate(), info.Duration());
#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "tags/MP3Error.h"
#include "tags/TagStream.h"

namespace tags {

namespace detail {
class ScanReader;
}

// One parsed frame header.
struct TMpegHeader {
    int version = 0;  // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5
    int layer = 0;
    bool protection = false;
    int bitrate = 0;  // kbit/s
    int samplerate = 0;
    uint8_t channelmode = 0;
    uint8_t extension = 0;
    bool copyright = false;
    bool original = false;
    uint8_t emphasis = 0;
    bool padding = false;
    uint16_t framelength = 0;
    bool valid = false;
};

// Parses the 4 header bytes at p.
TMpegHeader ParseMpegHeader(const uint8_t* p);

inline constexpr std::array<std::string_view, 4> ChannelModeNames{
    "Stereo", "Joint stereo", "Dual channel (Stereo)", "Single channel (Mono)"};
// Indexed [layer - 1][mode extension].
inline constexpr std::array<std::array<std::string_view, 4>, 3> ExtensionNames{{
    {"bands 4 to 31", "bands 8 to 32", "bands 12 to 31", "bands 16 to 31"},
    {"bands 4 to 31", "bands 8 to 32", "bands 12 to 31", "bands 16 to 31"},
    {"IS:off, MS:off", "IS:on, MS:off", "IS:off, MS:on", "IS:on, MS:on"},
}};
inline constexpr std::array<std::string_view, 4> EmphasisNames{"None", "50/15ms", "reserved",
                                                               "CCIT J.17"};

class TMpegInfo {
public:
    TMpegInfo() = default;

    TMP3Error LoadFromStream(TStream& stream);
    TMP3Error LoadFromFile(const std::filesystem::path& filename);

    int64_t Filesize() const { return FFilesize; }
    int Version() const { return Fversion; }
    int Layer() const { return Flayer; }
    bool Protection() const { return Fprotection; }
    uint16_t Bitrate() const { return Fbitrate; }
    int Samplerate() const { return Fsamplerate; }
    uint8_t Channelmode() const { return Fchannelmode; }
    uint8_t Extension() const { return Fextension; }
    bool Copyright() const { return Fcopyright; }
    bool Original() const { return Foriginal; }
    uint8_t Emphasis() const { return Femphasis; }
    int Frames() const { return Fframes; }
    int Dauer() const { return Fdauer; }
    int Duration() const { return Fdauer; }
    bool Vbr() const { return Fvbr; }
    bool Valid() const { return Fvalid; }
    int64_t FirstHeaderPosition() const { return FfirstHeaderPosition; }

private:
    bool TryAccept(detail::ScanReader& rd, int64_t start, int64_t p, const TMpegHeader& h1);

    int64_t FFilesize = 0;
    int Fversion = 0;
    int Flayer = 0;
    bool Fprotection = false;
    uint16_t Fbitrate = 0;
    int Fsamplerate = 0;
    uint8_t Fchannelmode = 0;
    uint8_t Fextension = 0;
    bool Fcopyright = false;
    bool Foriginal = false;
    uint8_t Femphasis = 0;
    int Fframes = 0;
    int Fdauer = 0;
    bool Fvbr = false;
    bool Fvalid = false;
    int64_t FfirstHeaderPosition = 0;
};

}  // namespace tags
