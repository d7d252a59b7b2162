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
//
// The same header parsing serves MeasureMpeg, the length of an MPEG audio file as the decks
// report it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

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

    // Samples per channel that the frame holds.
    int Samples() const { return layer == 1 ? 384 : (layer == 3 && version != 1) ? 576 : 1152; }
};

// Parses the 4 header bytes at p.
TMpegHeader ParseMpegHeader(const uint8_t* p);

// A Xing header (or LAME's "Info", its name for a constant bitrate) in a stream's first frame.
struct XingHeader {
    bool info = false;  // named "Info"
    int offset = 0;     // of the name, from the frame's first byte
    std::optional<uint32_t> frames, bytes;  // each when flagged
    // The encoder's delay and padding in samples, from LAME's extension when it has one.
    std::optional<int> delay, padding;
};
// The Xing header of the frame `h` whose first `available` bytes lie at `frame`: its name and
// flags must lie within them, and each count is there only when flagged and within them.
std::optional<XingHeader> ReadXingHeader(const uint8_t* frame, int64_t available, const TMpegHeader& h);
// The frame count of a VBRI header (Fraunhofer's) in the frame at `frame`, when its 18 bytes lie
// within the `available` ones.
std::optional<uint32_t> ReadVbriFrames(const uint8_t* frame, int64_t available);

// The length of an MPEG audio file from its frame headers alone.
struct MpegLength {
    int ms = 0;
    // From a Xing/Info header whose byte count reaches the end of the file: the count the decoder
    // uses too. Otherwise the frames were counted, and the decoder, which estimates such a file's
    // length from its size and stops decoding there, may give less.
    bool fromHeader = false;
};
// Nothing when the file is not plainly MPEG audio from its first frame to its end (apart from an
// ID3v2 tag before and an ID3v1 trailer after); only a decoder can judge such a file.
std::optional<MpegLength> MeasureMpeg(TStream& stream);
// The same for a file, which it opens. The file measured last by RememberMpegLength is not read
// again while it is unchanged.
std::optional<MpegLength> MeasureMpeg(const std::filesystem::path& path);
// Measures an open file and keeps the result for MeasureMpeg(path): a probe that has the file open
// anyway measures it in passing, and the deck that measures it next costs one stat.
void RememberMpegLength(ReadAheadStream& file);

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

    std::vector<uint8_t> scanChunk_;  // the search's buffer, kept for the next load

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
