#pragma once
// One frame of an ID3v2 tag (versions 2.2, 2.3, 2.4) and the reference data around it.
//
// TID3v2Frame keeps the raw frame header and body. The tag reader constructs a frame with the ID
// it has read and lets it read the rest with ReadFromStream; the tag writer writes frames back
// with WriteToStream (or WriteUnsyncedToStream for per-frame unsynchronisation in version 4).
// The content operations (GetText, SetPicture, ...) decode and rebuild the body by frame kind;
// a frame whose flags mark its body as compressed, encrypted or otherwise unknown is "not
// parsable": its body is kept byte for byte and every content getter yields empty values.
//
// ID3v2KnownFrames maps each TFrameIDs value to its ID per version; FrameTypeName and
// FrameIDName give enumeration names as text (for dumps and logs).
//
//   tags::TID3v2Frame f("TIT2", 3);
//   f.SetText(u"Song");
//   f.WriteToStream(stream);
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags/MP3Error.h"
#include "tags/TagStream.h"
#include "tags/U_CharCode.h"

namespace tags {

using TBuffer = std::vector<uint8_t>;

enum TID3v2FrameTypes {
    FT_INVALID,
    FT_UNKNOWN,
    FT_TextFrame,
    FT_CommentFrame,
    FT_LyricFrame,
    FT_UserDefinedURLFrame,
    FT_PictureFrame,
    FT_PopularimeterFrame,
    FT_URLFrame,
    FT_UserTextFrame,
};

// "FT_TextFrame" and so on; "FT_INVALID" for a value outside the enumeration.
const char* FrameTypeName(TID3v2FrameTypes type);

enum TFrameIDs {
    IDv2_UNKNOWN,
    IDv2_TagwrightExperimental,
    IDv2_ARTIST,
    IDv2_TITEL,
    IDv2_ALBUM,
    IDv2_YEAR,
    IDv2_GENRE,
    IDv2_TRACK,
    IDv2_COMPOSER,
    IDv2_ORIGINALARTIST,
    IDv2_COPYRIGHT,
    IDv2_ENCODEDBY,
    IDv2_LANGUAGES,
    IDv2_SOFTWARESETTINGS,
    IDv2_MEDIATYPE,
    IDv2_LENGTH,
    IDv2_PUBLISHER,
    IDv2_ORIGINALFILENAME,
    IDv2_ORIGINALLYRICIST,
    IDv2_ORIGINALRELEASEYEAR,
    IDv2_ORIGINALALBUMTITEL,
    IDv2_BPM,
    IDv2_PLAYLISTDELAY,
    IDv2_FILETYPE,
    IDv2_INITIALKEY,
    IDv2_BANDACCOMPANIMENT,
    IDv2_CONDUCTORREFINEMENT,
    IDv2_INTERPRETEDBY,
    IDv2_PARTOFASET,
    IDv2_ISRC,
    IDv2_CONTENTGROUPDESCRIPTION,
    IDv2_SUBTITLEREFINEMENT,
    IDv2_LYRICIST,
    IDv2_FILEOWNER,
    IDv2_INTERNETRADIONAME,
    IDv2_INTERNETRADIOOWNER,
    IDv2_ENCODINGTIME,
    IDv2_RECORDINGTIME,
    IDv2_RELEASETIME,
    IDv2_TAGGINGTIME,
    IDv2_MUSICIANCREDITLIST,
    IDv2_MOOD,
    IDv2_PRODUCEDNOTICE,
    IDv2_ALBUMSORTORDER,
    IDv2_PERFORMERSORTORDER,
    IDv2_TITLESORTORDER,
    IDv2_SETSUBTITLE,
    IDv2_USERDEFINEDTEXT,
    IDv2_AUDIOFILEURL,
    IDv2_ARTISTURL,
    IDv2_AUDIOSOURCEURL,
    IDv2_COMMERCIALURL,
    IDv2_COPYRIGHTURL,
    IDv2_PUBLISHERSURL,
    IDv2_RADIOSTATIONURL,
    IDv2_PAYMENTURL,
    IDv2_PICTURE,
    IDv2_LYRICS,
    IDv2_COMMENT,
    IDv2_RATING,
    IDv2_USERDEFINEDURL,
    IDv2_RECOMMENDEDBUFFERSIZE,
    IDv2_PLAYCOUNTER,
    IDv2_AUDIOENCRYPTION,
    IDv2_EVENTTIMINGCODES,
    IDv2_EQUALIZATION,
    IDv2_GENERALOBJECT,
    IDv2_LINKEDINFORMATION,
    IDv2_MUSICCDID,
    IDv2_MPEGLOOKUPTABLE,
    IDv2_REVERB,
    IDv2_VOLUMEADJUSTMENT,
    IDv2_SYNCHRONIZEDLYRICS,
    IDv2_SYNCEDTEMPOCODES,
    IDv2_UNIQUEFILEID,
    IDv2_COMMERCIALFRAME,
    IDv2_ENCRYPTIONMETHODREGISTRATION,
    IDv2_GROUPIDREGISTRATION,
    IDv2_OWNERSHIP,
    IDv2_PRIVATE,
    IDv2_POSITIONSYNCHRONISATION,
    IDv2_TERMSOFUSE,
    IDv2_SEEKPOINTINDEX,
    IDv2_SEEKFRAME,
    IDv2_SIGNATURE,
    IDv2_INVOLVEDPEOPLE,
    IDv2_ENCRYPTEDMETAFRAME,
    IDv2_RECORDINGDATES,
    IDv2_DATE,
    IDv2_TIME,
    IDv2_SIZE,
};

inline constexpr int ID3v2KnownFrameCount = 91;

// "IDv2_ARTIST" and so on; "IDv2_UNKNOWN" for a value outside the enumeration.
const char* FrameIDName(TFrameIDs id);

struct TID3v2FrameDescriptionData {
    TFrameIDs IDs;
    // The ID in versions 2, 3 and 4; "---" or "----" where the version has no such frame.
    std::array<std::string_view, 3> IDStrings;
    std::u16string_view Description;
};

extern const std::array<TID3v2FrameDescriptionData, ID3v2KnownFrameCount> ID3v2KnownFrames;

// The row's ID for a major version: the version-2 column for 2, version 3 for 3, version 4 for
// 4; empty for any other version.
std::string_view KnownFrameIDString(TFrameIDs id, uint8_t version);

// Names of the picture type byte of a picture frame, 0 to 20.
inline constexpr int PictureTypeCount = 21;
extern const std::array<std::u16string_view, PictureTypeCount> PictureTypeNames;

// 3 characters in version 2 and 4 otherwise, each 'A'-'Z' or '0'-'9'.
bool ValidFrameID(std::string_view id, uint8_t version);

// Inserts 0x00 after every 0xFF that is followed by 0x00 or by a byte of 0xE0 or more, and after
// a final 0xFF. Returns whether anything was inserted. out is replaced.
bool ApplyUnsynchronisation(std::span<const uint8_t> in, TBuffer& out);
// Drops each 0x00 that directly follows a 0xFF of the input (in FF 00 00 only the first 00).
TBuffer RemoveUnsynchronisation(std::span<const uint8_t> in);

// Whether a value must be written as UTF-16: it holds a character that a single-byte frame
// cannot carry (above 255, or not representable in the system code page).
bool NeedsUnicode(std::u16string_view value);

class TID3v2Frame {
public:
    // Versions other than 2, 3 and 4 are laid out like version 3. An ID that is not valid for
    // the version becomes "XXX" (version 2) or "XXXX".
    TID3v2Frame(std::string_view aID, uint8_t aVersion);

    // The stream stands right after the frame ID. Reads the rest of the header and the body.
    // MP3ERR_SRead when the stream cannot supply them whole (nothing beyond the stream's size is
    // allocated); other stream errors propagate as exceptions.
    TMP3Error ReadFromStream(TStream& aStream);
    // MP3ERR_SWrite when the stream takes fewer bytes or the body is too large for the
    // version's size field.
    TMP3Error WriteToStream(TStream& aStream);
    TMP3Error WriteUnsyncedToStream(TStream& aStream);

    // Clears read only, compression, encryption, unsynchronisation, data length indicator and the
    // undefined bits; the body counts as plain data afterwards.
    void ResetFlagsAfterChange();

    // --- identification
    TID3v2FrameTypes FrameType() const;
    std::u16string FrameTypeDescription() const;
    const std::string& FrameIDString() const { return fIDString; }
    TFrameIDs FrameID() const;
    uint8_t Version() const { return fVersion; }
    bool Parsable() const { return fParsable; }

    // --- flags
    bool FlagTagAlterPreservation() const;
    bool FlagFileAlterPreservation() const;
    bool FlagReadOnly() const;
    bool FlagCompression() const;
    bool FlagEncryption() const;
    bool FlagUnsynchronisation() const;
    bool FlagDataLengthIndicator() const;
    bool FlagUnknownStatus() const;
    bool FlagUnknownEncoding() const;
    bool FlagGroupingIndentity() const;
    void SetFlagGroupingIndentity(bool value);

    uint8_t GroupID() const { return fGroupID; }
    void SetGroupID(uint8_t value) { fGroupID = value; }
    // The data length indicator's 4 bytes as read, big-endian, not interpreted.
    uint32_t DataLength() const { return fDataLength; }

    int64_t DataSize() const { return static_cast<int64_t>(fData.size()); }
    // The raw header and body, whatever the frame's kind and flags.
    const TBuffer& Header() const { return fHeader; }
    const TBuffer& Data() const { return fData; }

    bool AlwaysWriteUnicode() const { return fAlwaysWriteUnicode; }
    void SetAlwaysWriteUnicode(bool value) { fAlwaysWriteUnicode = value; }
    bool AutoCorrectCodepage() const { return fAutoCorrectCodepage; }
    void SetAutoCorrectCodepage(bool value) { fAutoCorrectCodepage = value; }
    const TCodePage& CharCode() const { return fCharCode; }
    void SetCharCode(const TCodePage& value) { fCharCode = value; }

    // --- contents
    // Bytes fData[from..to] as text in the given ID3v2 encoding (0 single-byte, 1 UTF-16 with
    // mark, 2 UTF-16 big-endian, 3 UTF-8, others as 0), without leading and trailing characters
    // below 33. Out-of-range bounds are clamped.
    std::u16string DecodeText(int64_t from, int64_t to, uint8_t encoding) const;

    // Several values (version 2.4, each ended by a zero) read as one text joined with " / ",
    // byte-order marks dropped; the body itself stays as read.
    std::u16string GetText() const;
    void SetText(std::u16string_view Value);

    std::u16string GetUserText(std::u16string& Description) const;
    void SetUserText(std::u16string_view Description, std::u16string_view Value);

    std::u16string GetCommentsLyrics(std::string& Language, std::u16string& Description) const;
    void SetCommentsLyrics(std::string_view Language, std::u16string_view Description,
                           std::u16string_view Value);

    std::string GetUserdefinedURL(std::u16string& Description) const;
    void SetUserdefinedURL(std::u16string_view Description, std::string_view URL);

    std::string GetURL() const;
    void SetURL(std::string_view Value);

    // Picture bytes are written at PictureData's position; the result tells whether there were
    // any (and, in versions 3 and 4, a picture type byte).
    bool GetPicture(std::string& Mime, uint8_t& PicType, std::u16string& Description,
                    TStream& PictureData) const;
    // Takes all of PictureData from its start.
    void SetPicture(std::string_view Mime, uint8_t PicType, std::u16string_view Description,
                    TStream& PictureData);

    uint8_t GetRating(std::string& UserEMail) const;
    void SetRating(std::string_view UserEMail, uint8_t Value);
    uint32_t GetPersonalPlayCounter(std::string& UserEMail) const;
    void SetPersonalPlayCounter(std::string_view UserEMail, uint32_t Value);

    bool GetPrivateFrame(std::string& OwnerID, TStream& Data) const;
    void SetPrivateFrame(std::string_view aOwnerID, TStream& Data);

    // The body for a parsable frame, written at Data's position (nothing when empty or not
    // parsable; use Data() for the raw bytes of any frame).
    void GetData(TStream& Data) const;
    // The body becomes all of Data from its start; flags stay.
    void SetData(TStream& Data);

private:
    int HeaderLength() const { return fVersion == 2 ? 6 : 10; }
    int IDLength() const { return fVersion == 2 ? 3 : 4; }
    uint8_t StatusFlags() const;
    uint8_t FormatFlags() const;
    void SetStatusFlags(uint8_t value);
    void SetFormatFlags(uint8_t value);
    uint32_t SizeField() const;
    bool SetSizeField(uint64_t size);
    bool ComputeParsable() const;
    void SetFormatBit(uint8_t bit, bool on);
    void FinishContentChange();
    // End of a description starting at s: returns the description and sets next to where what
    // follows begins.
    std::u16string ReadDescription(int64_t s, uint8_t encoding, int64_t& next) const;
    uint8_t Encoding() const;

    uint8_t fVersion;
    std::string fIDString;
    mutable TFrameIDs fID = IDv2_UNKNOWN;  // filled lazily by FrameID
    TBuffer fHeader;
    TBuffer fData;
    uint8_t fGroupID = 0;
    uint32_t fDataLength = 0;
    bool fAlwaysWriteUnicode = false;
    bool fAutoCorrectCodepage = false;
    TCodePage fCharCode = DefaultCharCode;
    bool fParsable = true;
};

}  // namespace tags
