#include "tags/ID3v2Frames.h"

#include <algorithm>

namespace tags {

const std::array<TID3v2FrameDescriptionData, ID3v2KnownFrameCount> ID3v2KnownFrames{{
    {IDv2_UNKNOWN, {"XXX", "XXXX", "XXXX"}, u"Unknown/experimental Frame"},
    {IDv2_TagwrightExperimental, {"XMP", "XMP3", "XMP3"}, u"Tagwright experimental Frame"},
    {IDv2_ARTIST, {"TP1", "TPE1", "TPE1"}, u"Lead artist(s)/Lead performer(s)/Soloist(s)/Performing group"},
    {IDv2_TITEL, {"TT2", "TIT2", "TIT2"}, u"Title/Songname/Content description"},
    {IDv2_ALBUM, {"TAL", "TALB", "TALB"}, u"Album/Movie/Show title"},
    {IDv2_YEAR, {"TYE", "TYER", "TDRC"}, u"Year"},
    {IDv2_GENRE, {"TCO", "TCON", "TCON"}, u"Content type"},
    {IDv2_TRACK, {"TRK", "TRCK", "TRCK"}, u"Track number/Position in set"},
    {IDv2_COMPOSER, {"TCM", "TCOM", "TCOM"}, u"Composer"},
    {IDv2_ORIGINALARTIST, {"TOA", "TOPE", "TOPE"}, u"Original artist(s)/performer(s)"},
    {IDv2_COPYRIGHT, {"TCR", "TCOP", "TCOP"}, u"Copyright message"},
    {IDv2_ENCODEDBY, {"TEN", "TENC", "TENC"}, u"Encoded by"},
    {IDv2_LANGUAGES, {"TLA", "TLAN", "TLAN"}, u"Language(s)"},
    {IDv2_SOFTWARESETTINGS, {"TSS", "TSSE", "TSSE"}, u"Software/hardware and settings used for encoding"},
    {IDv2_MEDIATYPE, {"TMT", "TMED", "TMED"}, u"Media type"},
    {IDv2_LENGTH, {"TLE", "TLEN", "TLEN"}, u"Length"},
    {IDv2_PUBLISHER, {"TPB", "TPUB", "TPUB"}, u"Publisher"},
    {IDv2_ORIGINALFILENAME, {"TOF", "TOFN", "TOFN"}, u"Original filename"},
    {IDv2_ORIGINALLYRICIST, {"TOL", "TOLY", "TOLY"}, u"Original Lyricist(s)/text writer(s)"},
    {IDv2_ORIGINALRELEASEYEAR, {"TOR", "TORY", "TDOR"}, u"Original release year"},
    {IDv2_ORIGINALALBUMTITEL, {"TOT", "TOAL", "TOAL"}, u"Original album/Movie/Show title"},
    {IDv2_BPM, {"TBP", "TBPM", "TBPM"}, u"BPM (Beats Per Minute)"},
    {IDv2_PLAYLISTDELAY, {"TDY", "TDLY", "TDLY"}, u"Playlist delay"},
    {IDv2_FILETYPE, {"TFT", "TFLT", "TFLT"}, u"File type"},
    {IDv2_INITIALKEY, {"TKE", "TKEY", "TKEY"}, u"Initial key"},
    {IDv2_BANDACCOMPANIMENT, {"TP2", "TPE2", "TPE2"}, u"Band/Orchestra/Accompaniment"},
    {IDv2_CONDUCTORREFINEMENT, {"TP3", "TPE3", "TPE3"}, u"Conductor/Performer refinement"},
    {IDv2_INTERPRETEDBY, {"TP4", "TPE4", "TPE4"}, u"Interpreted, remixed, or otherwise modified by"},
    {IDv2_PARTOFASET, {"TPA", "TPOS", "TPOS"}, u"Part of a set"},
    {IDv2_ISRC, {"TRC", "TSRC", "TSRC"}, u"ISRC (International Standard Recording Code)"},
    {IDv2_CONTENTGROUPDESCRIPTION, {"TT1", "TIT1", "TIT1"}, u"Content group description"},
    {IDv2_SUBTITLEREFINEMENT, {"TT3", "TIT3", "TIT3"}, u"Subtitle/Description refinement"},
    {IDv2_LYRICIST, {"TXT", "TEXT", "TEXT"}, u"Lyricist/text writer"},
    {IDv2_FILEOWNER, {"---", "TOWN", "TOWN"}, u"File owner/licensee"},
    {IDv2_INTERNETRADIONAME, {"---", "TRSN", "TRSN"}, u"Internet radio station name"},
    {IDv2_INTERNETRADIOOWNER, {"---", "TRSO", "TRSO"}, u"Internet radio station owner"},
    {IDv2_ENCODINGTIME, {"---", "----", "TDEN"}, u"Encoding time"},
    {IDv2_RECORDINGTIME, {"---", "----", "TDRC"}, u"Recording time"},
    {IDv2_RELEASETIME, {"---", "----", "TDRL"}, u"Release time"},
    {IDv2_TAGGINGTIME, {"---", "----", "TDTG"}, u"Tagging time"},
    {IDv2_MUSICIANCREDITLIST, {"---", "----", "TMCL"}, u"Musician credits list"},
    {IDv2_MOOD, {"---", "----", "TMOO"}, u"Mood"},
    {IDv2_PRODUCEDNOTICE, {"---", "----", "TPRO"}, u"Produced notice"},
    {IDv2_ALBUMSORTORDER, {"---", "----", "TSOA"}, u"Album sort order"},
    {IDv2_PERFORMERSORTORDER, {"---", "----", "TSOP"}, u"Performer sort order"},
    {IDv2_TITLESORTORDER, {"---", "----", "TSOT"}, u"Title sort order"},
    {IDv2_SETSUBTITLE, {"---", "----", "TSST"}, u"Set subtitle"},
    {IDv2_USERDEFINEDTEXT, {"TXX", "TXXX", "TXXX"}, u"User defined text information frame"},
    {IDv2_AUDIOFILEURL, {"WAF", "WOAF", "WOAF"}, u"Official audio file webpage"},
    {IDv2_ARTISTURL, {"WAR", "WOAR", "WOAR"}, u"Official artist/performer webpage"},
    {IDv2_AUDIOSOURCEURL, {"WAS", "WOAS", "WOAS"}, u"Official audio source webpage"},
    {IDv2_COMMERCIALURL, {"WCM", "WCOM", "WCOM"}, u"Commercial information"},
    {IDv2_COPYRIGHTURL, {"WCP", "WCOP", "WCOP"}, u"Copyright/Legal information"},
    {IDv2_PUBLISHERSURL, {"WPB", "WPUB", "WPUB"}, u"Publishers official webpage"},
    {IDv2_RADIOSTATIONURL, {"---", "WORS", "WORS"}, u"Official internet radio station homepage"},
    {IDv2_PAYMENTURL, {"---", "WPAY", "WPAY"}, u"Payment"},
    {IDv2_PICTURE, {"PIC", "APIC", "APIC"}, u"Attached picture"},
    {IDv2_LYRICS, {"ULT", "USLT", "USLT"}, u"Unsychronized lyric/text transcription"},
    {IDv2_COMMENT, {"COM", "COMM", "COMM"}, u"Comments"},
    {IDv2_RATING, {"POP", "POPM", "POPM"}, u"Popularimeter"},
    {IDv2_USERDEFINEDURL, {"WXX", "WXXX", "WXXX"}, u"User defined URL link frame"},
    {IDv2_RECOMMENDEDBUFFERSIZE, {"BUF", "RBUF", "RBUF"}, u"Recommended buffer size"},
    {IDv2_PLAYCOUNTER, {"CNT", "PCNT", "PCNT"}, u"Play counter"},
    {IDv2_AUDIOENCRYPTION, {"CRA", "AENC", "AENC"}, u"Audio encryption"},
    {IDv2_EVENTTIMINGCODES, {"ETC", "ETCO", "ETCO"}, u"Event timing codes"},
    {IDv2_EQUALIZATION, {"EQU", "EQUA", "EQU2"}, u"Equalization"},
    {IDv2_GENERALOBJECT, {"GEO", "GEOB", "GEOB"}, u"General encapsulated object"},
    {IDv2_LINKEDINFORMATION, {"LNK", "LINK", "LINK"}, u"Linked information"},
    {IDv2_MUSICCDID, {"MCI", "MCDI", "MCDI"}, u"Music CD Identifier"},
    {IDv2_MPEGLOOKUPTABLE, {"MLL", "MLLT", "MLLT"}, u"MPEG location lookup table"},
    {IDv2_REVERB, {"REV", "RVRB", "RVRB"}, u"Reverb"},
    {IDv2_VOLUMEADJUSTMENT, {"RVA", "RVAD", "RVA2"}, u"Relative volume adjustment"},
    {IDv2_SYNCHRONIZEDLYRICS, {"SLT", "SYLT", "SYLT"}, u"Synchronized lyric/text"},
    {IDv2_SYNCEDTEMPOCODES, {"STC", "SYTC", "SYTC"}, u"Synced tempo codes"},
    {IDv2_UNIQUEFILEID, {"UFI", "UFID", "UFID"}, u"Unique file identifier"},
    {IDv2_COMMERCIALFRAME, {"---", "COMR", "COMR"}, u"Commercial frame"},
    {IDv2_ENCRYPTIONMETHODREGISTRATION, {"---", "ENCR", "ENCR"}, u"Encryption method registration"},
    {IDv2_GROUPIDREGISTRATION, {"---", "GRID", "GRID"}, u"Group identification registration"},
    {IDv2_OWNERSHIP, {"---", "OWNE", "OWNE"}, u"Ownership frame"},
    {IDv2_PRIVATE, {"PRV", "PRIV", "PRIV"}, u"Private frame"},
    {IDv2_POSITIONSYNCHRONISATION, {"---", "POSS", "POSS"}, u"Position synchronisation frame"},
    {IDv2_TERMSOFUSE, {"---", "USER", "USER"}, u"Terms of use"},
    {IDv2_SEEKPOINTINDEX, {"---", "----", "ASPI"}, u"Audio seek point index"},
    {IDv2_SEEKFRAME, {"---", "----", "SEEK"}, u"Seek frame"},
    {IDv2_SIGNATURE, {"---", "----", "SIGN"}, u"Signature frame"},
    {IDv2_INVOLVEDPEOPLE, {"IPL", "IPLS", "TIPL"}, u"Involved people list"},
    {IDv2_ENCRYPTEDMETAFRAME, {"CRM", "----", "----"}, u"Encrypted meta frame"},
    {IDv2_RECORDINGDATES, {"TRD", "TRDA", "----"}, u"Recording dates"},
    {IDv2_DATE, {"TDA", "TDAT", "----"}, u"Date"},
    {IDv2_TIME, {"TIM", "TIME", "----"}, u"Time"},
    {IDv2_SIZE, {"TSI", "TSIZ", "----"}, u"Size"},
}};

const std::array<std::u16string_view, PictureTypeCount> PictureTypeNames{
    u"Other",
    u"32x32 pixels file icon (PNG only)",
    u"Other file icon",
    u"Cover (front)",
    u"Cover (back)",
    u"Leaflet page",
    u"Media (e.g. lable side of CD)",
    u"Lead artist/lead performer/soloist",
    u"Artist/performer",
    u"Conductor",
    u"Band/Orchestra",
    u"Composer",
    u"Lyricist/text writer",
    u"Recording Location",
    u"During recording",
    u"During performance",
    u"Movie/video screen capture",
    u"A bright coloured fish",
    u"Illustration",
    u"Band/artist logotype",
    u"Publisher/Studio logotype",
};

namespace {

constexpr std::array<const char*, ID3v2KnownFrameCount> kFrameIDNames{
    "IDv2_UNKNOWN",
    "IDv2_TagwrightExperimental",
    "IDv2_ARTIST",
    "IDv2_TITEL",
    "IDv2_ALBUM",
    "IDv2_YEAR",
    "IDv2_GENRE",
    "IDv2_TRACK",
    "IDv2_COMPOSER",
    "IDv2_ORIGINALARTIST",
    "IDv2_COPYRIGHT",
    "IDv2_ENCODEDBY",
    "IDv2_LANGUAGES",
    "IDv2_SOFTWARESETTINGS",
    "IDv2_MEDIATYPE",
    "IDv2_LENGTH",
    "IDv2_PUBLISHER",
    "IDv2_ORIGINALFILENAME",
    "IDv2_ORIGINALLYRICIST",
    "IDv2_ORIGINALRELEASEYEAR",
    "IDv2_ORIGINALALBUMTITEL",
    "IDv2_BPM",
    "IDv2_PLAYLISTDELAY",
    "IDv2_FILETYPE",
    "IDv2_INITIALKEY",
    "IDv2_BANDACCOMPANIMENT",
    "IDv2_CONDUCTORREFINEMENT",
    "IDv2_INTERPRETEDBY",
    "IDv2_PARTOFASET",
    "IDv2_ISRC",
    "IDv2_CONTENTGROUPDESCRIPTION",
    "IDv2_SUBTITLEREFINEMENT",
    "IDv2_LYRICIST",
    "IDv2_FILEOWNER",
    "IDv2_INTERNETRADIONAME",
    "IDv2_INTERNETRADIOOWNER",
    "IDv2_ENCODINGTIME",
    "IDv2_RECORDINGTIME",
    "IDv2_RELEASETIME",
    "IDv2_TAGGINGTIME",
    "IDv2_MUSICIANCREDITLIST",
    "IDv2_MOOD",
    "IDv2_PRODUCEDNOTICE",
    "IDv2_ALBUMSORTORDER",
    "IDv2_PERFORMERSORTORDER",
    "IDv2_TITLESORTORDER",
    "IDv2_SETSUBTITLE",
    "IDv2_USERDEFINEDTEXT",
    "IDv2_AUDIOFILEURL",
    "IDv2_ARTISTURL",
    "IDv2_AUDIOSOURCEURL",
    "IDv2_COMMERCIALURL",
    "IDv2_COPYRIGHTURL",
    "IDv2_PUBLISHERSURL",
    "IDv2_RADIOSTATIONURL",
    "IDv2_PAYMENTURL",
    "IDv2_PICTURE",
    "IDv2_LYRICS",
    "IDv2_COMMENT",
    "IDv2_RATING",
    "IDv2_USERDEFINEDURL",
    "IDv2_RECOMMENDEDBUFFERSIZE",
    "IDv2_PLAYCOUNTER",
    "IDv2_AUDIOENCRYPTION",
    "IDv2_EVENTTIMINGCODES",
    "IDv2_EQUALIZATION",
    "IDv2_GENERALOBJECT",
    "IDv2_LINKEDINFORMATION",
    "IDv2_MUSICCDID",
    "IDv2_MPEGLOOKUPTABLE",
    "IDv2_REVERB",
    "IDv2_VOLUMEADJUSTMENT",
    "IDv2_SYNCHRONIZEDLYRICS",
    "IDv2_SYNCEDTEMPOCODES",
    "IDv2_UNIQUEFILEID",
    "IDv2_COMMERCIALFRAME",
    "IDv2_ENCRYPTIONMETHODREGISTRATION",
    "IDv2_GROUPIDREGISTRATION",
    "IDv2_OWNERSHIP",
    "IDv2_PRIVATE",
    "IDv2_POSITIONSYNCHRONISATION",
    "IDv2_TERMSOFUSE",
    "IDv2_SEEKPOINTINDEX",
    "IDv2_SEEKFRAME",
    "IDv2_SIGNATURE",
    "IDv2_INVOLVEDPEOPLE",
    "IDv2_ENCRYPTEDMETAFRAME",
    "IDv2_RECORDINGDATES",
    "IDv2_DATE",
    "IDv2_TIME",
    "IDv2_SIZE",
};

constexpr std::array<const char*, 10> kFrameTypeNames{
    "FT_INVALID",       "FT_UNKNOWN",           "FT_TextFrame",
    "FT_CommentFrame",  "FT_LyricFrame",        "FT_UserDefinedURLFrame",
    "FT_PictureFrame",  "FT_PopularimeterFrame", "FT_URLFrame",
    "FT_UserTextFrame",
};

// Flag bits per version: {version 3, version 4}. Version 2 frames have no flags.
struct FlagBits {
    uint8_t v3;
    uint8_t v4;
};
constexpr FlagBits kTagAlter{0x80, 0x40};
constexpr FlagBits kFileAlter{0x40, 0x20};
constexpr FlagBits kReadOnly{0x20, 0x10};
constexpr FlagBits kUnknownStatus{0x1F, 0x8F};
constexpr FlagBits kCompression{0x80, 0x08};
constexpr FlagBits kEncryption{0x40, 0x04};
constexpr FlagBits kGrouping{0x20, 0x40};
constexpr FlagBits kUnsync{0x00, 0x02};
constexpr FlagBits kDataLengthInd{0x00, 0x01};
constexpr FlagBits kUnknownFormat{0x1F, 0xB0};

}  // namespace

const char* FrameTypeName(TID3v2FrameTypes type) {
    const auto i = static_cast<size_t>(type);
    return i < kFrameTypeNames.size() ? kFrameTypeNames[i] : kFrameTypeNames[0];
}

const char* FrameIDName(TFrameIDs id) {
    const auto i = static_cast<size_t>(id);
    return i < kFrameIDNames.size() ? kFrameIDNames[i] : kFrameIDNames[0];
}

std::string_view KnownFrameIDString(TFrameIDs id, uint8_t version) {
    const auto i = static_cast<size_t>(id);
    if (i >= ID3v2KnownFrames.size() || version < 2 || version > 4) return {};
    return ID3v2KnownFrames[i].IDStrings[version - 2];
}

bool ValidFrameID(std::string_view id, uint8_t version) {
    if (id.size() != (version == 2 ? 3u : 4u)) return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

bool ApplyUnsynchronisation(std::span<const uint8_t> in, TBuffer& out) {
    out.clear();
    out.reserve(in.size() + in.size() / 64 + 1);
    bool inserted = false;
    const size_t n = in.size();
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = in[i];
        out.push_back(b);
        if (b == 0xFF && (i + 1 == n || in[i + 1] == 0x00 || in[i + 1] >= 0xE0)) {
            out.push_back(0x00);
            inserted = true;
        }
    }
    return inserted;
}

TBuffer RemoveUnsynchronisation(std::span<const uint8_t> in) {
    TBuffer out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == 0x00 && i > 0 && in[i - 1] == 0xFF) continue;
        out.push_back(in[i]);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------

TID3v2Frame::TID3v2Frame(std::string_view aID, uint8_t aVersion) : fVersion(aVersion) {
    fIDString = ValidFrameID(aID, aVersion) ? std::string(aID)
                                            : std::string(aVersion == 2 ? "XXX" : "XXXX");
    fHeader.assign(HeaderLength(), 0);
    std::copy(fIDString.begin(), fIDString.end(), fHeader.begin());
}

uint8_t TID3v2Frame::StatusFlags() const { return fVersion == 2 ? 0 : fHeader[8]; }
uint8_t TID3v2Frame::FormatFlags() const { return fVersion == 2 ? 0 : fHeader[9]; }

void TID3v2Frame::SetStatusFlags(uint8_t value) {
    if (fVersion != 2) fHeader[8] = value;
}

void TID3v2Frame::SetFormatFlags(uint8_t value) {
    if (fVersion != 2) fHeader[9] = value;
}

namespace {
uint8_t BitFor(uint8_t version, FlagBits bits) { return version == 4 ? bits.v4 : bits.v3; }
}  // namespace

void TID3v2Frame::SetFormatBit(uint8_t bit, bool on) {
    if (fVersion == 2 || bit == 0) return;
    SetFormatFlags(on ? (FormatFlags() | bit) : (FormatFlags() & ~bit));
}

uint32_t TID3v2Frame::SizeField() const {
    const uint8_t* h = fHeader.data();
    if (fVersion == 2) return (uint32_t(h[3]) << 16) | (uint32_t(h[4]) << 8) | h[5];
    if (fVersion == 4)
        return (uint32_t(h[4] & 0x7F) << 21) | (uint32_t(h[5] & 0x7F) << 14) |
               (uint32_t(h[6] & 0x7F) << 7) | (h[7] & 0x7F);
    return (uint32_t(h[4]) << 24) | (uint32_t(h[5]) << 16) | (uint32_t(h[6]) << 8) | h[7];
}

bool TID3v2Frame::SetSizeField(uint64_t size) {
    uint8_t* h = fHeader.data();
    if (fVersion == 2) {
        if (size > 0xFFFFFF) return false;
        h[3] = uint8_t(size >> 16);
        h[4] = uint8_t(size >> 8);
        h[5] = uint8_t(size);
    } else if (fVersion == 4) {
        if (size > 0x0FFFFFFF) return false;
        h[4] = uint8_t((size >> 21) & 0x7F);
        h[5] = uint8_t((size >> 14) & 0x7F);
        h[6] = uint8_t((size >> 7) & 0x7F);
        h[7] = uint8_t(size & 0x7F);
    } else {
        if (size > 0xFFFFFFFFull) return false;
        h[4] = uint8_t(size >> 24);
        h[5] = uint8_t(size >> 16);
        h[6] = uint8_t(size >> 8);
        h[7] = uint8_t(size);
    }
    return true;
}

bool TID3v2Frame::ComputeParsable() const {
    if (fVersion == 2) return true;
    return (FormatFlags() & (fVersion == 4 ? 0xBC : 0xDF)) == 0;
}

// --- flags

bool TID3v2Frame::FlagTagAlterPreservation() const {
    return (StatusFlags() & BitFor(fVersion, kTagAlter)) == 0;
}
bool TID3v2Frame::FlagFileAlterPreservation() const {
    return (StatusFlags() & BitFor(fVersion, kFileAlter)) == 0;
}
bool TID3v2Frame::FlagReadOnly() const { return StatusFlags() & BitFor(fVersion, kReadOnly); }
bool TID3v2Frame::FlagCompression() const {
    return FormatFlags() & BitFor(fVersion, kCompression);
}
bool TID3v2Frame::FlagEncryption() const {
    return FormatFlags() & BitFor(fVersion, kEncryption);
}
bool TID3v2Frame::FlagUnsynchronisation() const {
    return FormatFlags() & BitFor(fVersion, kUnsync);
}
bool TID3v2Frame::FlagDataLengthIndicator() const {
    return FormatFlags() & BitFor(fVersion, kDataLengthInd);
}
bool TID3v2Frame::FlagUnknownStatus() const {
    return StatusFlags() & BitFor(fVersion, kUnknownStatus);
}
bool TID3v2Frame::FlagUnknownEncoding() const {
    return FormatFlags() & BitFor(fVersion, kUnknownFormat);
}
bool TID3v2Frame::FlagGroupingIndentity() const {
    return FormatFlags() & BitFor(fVersion, kGrouping);
}
void TID3v2Frame::SetFlagGroupingIndentity(bool value) {
    SetFormatBit(BitFor(fVersion, kGrouping), value);
}

void TID3v2Frame::ResetFlagsAfterChange() {
    if (fVersion != 2) {
        const uint8_t keepStatus = BitFor(fVersion, kTagAlter) | BitFor(fVersion, kFileAlter);
        SetStatusFlags(StatusFlags() & keepStatus);
        SetFormatFlags(FormatFlags() & BitFor(fVersion, kGrouping));
    }
    // The body was just rebuilt as plain data, so the group byte is written separately again.
    fParsable = true;
}

// --- identification

TID3v2FrameTypes TID3v2Frame::FrameType() const {
    if (!ValidFrameID(fIDString, fVersion)) return FT_INVALID;
    const std::string_view id = fIDString;
    if (fVersion == 2) {
        if (id == "TXX") return FT_UserTextFrame;
        if (id[0] == 'T') return FT_TextFrame;
        if (id == "WXX") return FT_UserDefinedURLFrame;
        if (id == "COM") return FT_CommentFrame;
        if (id == "ULT") return FT_LyricFrame;
        if (id == "PIC") return FT_PictureFrame;
        if (id == "POP") return FT_PopularimeterFrame;
        for (std::string_view u : {"WCM", "WCP", "WAF", "WAR", "WAS", "WPB"})
            if (id == u) return FT_URLFrame;
        return FT_UNKNOWN;
    }
    if (id == "TXXX") return FT_UserTextFrame;
    if (id[0] == 'T') return FT_TextFrame;
    if (id == "WXXX") return FT_UserDefinedURLFrame;
    if (id == "COMM") return FT_CommentFrame;
    if (id == "USLT") return FT_LyricFrame;
    if (id == "APIC") return FT_PictureFrame;
    if (id == "POPM") return FT_PopularimeterFrame;
    for (std::string_view u : {"WCOM", "WCOP", "WOAF", "WOAR", "WOAS", "WORS", "WPAY", "WPUB"})
        if (id == u) return FT_URLFrame;
    return FT_UNKNOWN;
}

TFrameIDs TID3v2Frame::FrameID() const {
    if (fID != IDv2_UNKNOWN) return fID;
    for (const auto& row : ID3v2KnownFrames) {
        if (KnownFrameIDString(row.IDs, fVersion) == fIDString) {
            fID = row.IDs;
            return fID;
        }
    }
    return IDv2_UNKNOWN;
}

std::u16string TID3v2Frame::FrameTypeDescription() const {
    for (const auto& row : ID3v2KnownFrames) {
        if (fID != IDv2_UNKNOWN ? row.IDs == fID
                                : KnownFrameIDString(row.IDs, fVersion) == fIDString) {
            fID = row.IDs;
            return std::u16string(row.Description);
        }
    }
    return u"Unknown Frame (" + std::u16string(fIDString.begin(), fIDString.end()) + u")";
}

// --- reading and writing

TMP3Error TID3v2Frame::ReadFromStream(TStream& aStream) {
    const int idLen = IDLength();
    const int rest = HeaderLength() - idLen;
    if (aStream.Read(fHeader.data() + idLen, rest) != rest) return MP3ERR_SRead;
    fParsable = ComputeParsable();

    const uint64_t size = SizeField();
    // Never allocate more than the stream can still deliver.
    const int64_t remaining = std::max<int64_t>(0, aStream.Size() - aStream.Position());
    if (size > static_cast<uint64_t>(remaining)) return MP3ERR_SRead;

    TBuffer body(size);
    if (size > 0 && aStream.Read(body.data(), int64_t(size)) != int64_t(size)) return MP3ERR_SRead;
    if (fVersion == 4 && FlagUnsynchronisation()) body = RemoveUnsynchronisation(body);

    fGroupID = 0;
    fDataLength = 0;
    if (fParsable) {
        const bool grouping = FlagGroupingIndentity();
        const bool indicator = FlagDataLengthIndicator();
        const size_t extra = (grouping ? 1 : 0) + (indicator ? 4 : 0);
        if (body.size() < extra) {
            // Too short for its own group byte and length indicator: keep the body verbatim
            // (written back unchanged) rather than invent the missing bytes.
            fParsable = false;
        } else {
            size_t p = 0;
            if (grouping) fGroupID = body[p++];
            if (indicator) {
                fDataLength = (uint32_t(body[p]) << 24) | (uint32_t(body[p + 1]) << 16) |
                              (uint32_t(body[p + 2]) << 8) | body[p + 3];
                p += 4;
            }
            body.erase(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(p));
        }
    }
    fData = std::move(body);
    return MP3ERR_None;
}

namespace {
bool WriteAll(TStream& s, const void* p, size_t n) {
    return n == 0 || s.Write(p, int64_t(n)) == int64_t(n);
}
}  // namespace

TMP3Error TID3v2Frame::WriteToStream(TStream& aStream) {
    SetFormatBit(BitFor(fVersion, kUnsync), false);
    bool group = false;
    if (fParsable) {
        SetFormatBit(BitFor(fVersion, kDataLengthInd), false);
        group = FlagGroupingIndentity();
    }
    if (!SetSizeField(fData.size() + (group ? 1 : 0))) return MP3ERR_SWrite;
    if (!WriteAll(aStream, fHeader.data(), fHeader.size())) return MP3ERR_SWrite;
    if (group && !WriteAll(aStream, &fGroupID, 1)) return MP3ERR_SWrite;
    if (!WriteAll(aStream, fData.data(), fData.size())) return MP3ERR_SWrite;
    return MP3ERR_None;
}

TMP3Error TID3v2Frame::WriteUnsyncedToStream(TStream& aStream) {
    TBuffer plain;
    std::span<const uint8_t> body = fData;
    if (fParsable) {
        SetFormatBit(BitFor(fVersion, kDataLengthInd), false);
        if (FlagGroupingIndentity()) {
            plain.reserve(fData.size() + 1);
            plain.push_back(fGroupID);
            plain.insert(plain.end(), fData.begin(), fData.end());
            body = plain;
        }
    }
    TBuffer unsynced;
    const bool inserted = ApplyUnsynchronisation(body, unsynced);
    SetFormatBit(BitFor(fVersion, kUnsync), inserted);
    if (!SetSizeField(unsynced.size())) return MP3ERR_SWrite;
    if (!WriteAll(aStream, fHeader.data(), fHeader.size())) return MP3ERR_SWrite;
    if (!WriteAll(aStream, unsynced.data(), unsynced.size())) return MP3ERR_SWrite;
    return MP3ERR_None;
}

}  // namespace tags
