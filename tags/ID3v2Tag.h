#pragma once
// The ID3v2 tag at the start of an audio file: finding it, its size and flags, its frames, the
// typed get and set operations over those frames, and writing or removing the tag.
//
// Versions 2.2, 2.3 and 2.4 are read; a tag is written in the major version it was read with
// (3 for a new one). Writing goes through temporary files ("TagTemp.t00", "TagTemp.t01", ... in
// the system's temporary folder): the new tag is written in place when the old one leaves more
// than 30 bytes of room and padding is in use, otherwise the whole file is rewritten and padded
// so that it ends on a cluster boundary. Every operation returns a TMP3Error; nothing throws.
//
//   tags::TID3v2Tag tag;
//   if (tag.ReadFromFile(path) == tags::MP3ERR_None) show(tag.Title());
//   tag.SetArtist(u"Someone");
//   tag.WriteToFile(path);
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tags/ID3v2Frames.h"
#include "tags/MP3Error.h"
#include "tags/TagStream.h"
#include "tags/U_CharCode.h"

namespace tags {

struct TID3Version {
    uint8_t Major = 3;
    uint8_t Minor = 0;
};

// Big-endian 28-bit numbers stored 7 bits a byte.
uint32_t SyncSafeToInt(const uint8_t bytes[4]);
void IntToSyncSafe(uint32_t value, uint8_t bytes[4]);

// The next free temporary file name: temp folder + "TagTemp.t" + upper-case hex counter (at
// least two digits) counting from 0.
std::filesystem::path TagTempFileName();

// Owner identifier of new popularimeter frames made for an e-mail of "*".
inline constexpr std::string_view DefaultRatingOwner = "Quorbel Media Mixer";

class TID3v2Tag {
public:
    using TFrameList = std::vector<std::unique_ptr<TID3v2Frame>>;

    TID3v2Tag();
    ~TID3v2Tag();
    TID3v2Tag(const TID3v2Tag&) = delete;
    TID3v2Tag& operator=(const TID3v2Tag&) = delete;

    // The frames in file order; the tag owns them.
    TFrameList Frames;

    void Clear();

    TMP3Error ReadFromStream(TStream& stream);
    TMP3Error ReadFromFile(const std::filesystem::path& filename);
    // The stream is the whole audio file, open for reading and writing.
    TMP3Error WriteToStream(TStream& stream);
    TMP3Error WriteToFile(const std::filesystem::path& filename);
    TMP3Error RemoveFromStream(TStream& stream);
    TMP3Error RemoveFromFile(const std::filesystem::path& filename);

    bool Exists() const { return fExists; }
    bool TagExists() const { return fExists; }
    // Bytes the tag occupies in the file, header (and footer) included.
    uint32_t Size() const { return fTagSize; }
    uint32_t Padding() const { return fPaddingSize; }
    uint32_t PaddingSize() const { return fPaddingSize; }
    // Header plus frame bytes of the last tag written.
    uint32_t DataSize() const { return fDataSize; }
    TID3Version Version() const { return fVersion; }

    bool FlgUnsynch() const { return fFlgUnsynch; }
    void SetFlgUnsynch(bool on) { fFlgUnsynch = on; }
    bool FlgCompression() const { return fFlgCompression; }
    bool FlgExtended() const { return fFlgExtended; }
    bool FlgExperimental() const { return fFlgExperimental; }
    bool FlgFooterPresent() const { return fFlgFooterPresent; }
    bool FlgUnknown() const { return fFlgUnknown; }

    bool UsePadding() const { return fUsePadding; }
    void SetUsePadding(bool on) { fUsePadding = on; }
    bool UseClusteredPadding() const { return fUseClusteredPadding; }
    void SetUseClusteredPadding(bool on) { fUseClusteredPadding = on; }
    bool AlwaysWriteUnicode() const { return fAlwaysWriteUnicode; }
    void SetAlwaysWriteUnicode(bool on) { fAlwaysWriteUnicode = on; }
    const TCodePage& CharCode() const { return fCharCode; }
    void SetCharCode(const TCodePage& cp);  // also on every frame
    bool AutoCorrectCodepage() const { return fAutoCorrectCodepage; }
    void SetAutoCorrectCodepage(bool on);  // also on every frame
    const std::filesystem::path& FileName() const { return fFilename; }

    // Padding that makes `total` bytes end on a unit boundary: from 1 to unit bytes. The unit is
    // the cluster size of fFilename's volume when clustered padding is on, else 2048.
    uint32_t ClusterPadding(uint64_t total) const;

    // The frame ID of a kind in this tag's version ("---"/"----" when the version has none).
    std::string IDStringFor(TFrameIDs id) const;

    // Frame access by kind; a lookup takes the first matching frame. Setters delete the frame
    // for an empty value and append a new one when none matches.
    std::u16string GetText(TFrameIDs id) const;
    void SetText(TFrameIDs id, std::u16string_view value);
    std::string GetURL(TFrameIDs id) const;
    void SetURL(TFrameIDs id, std::string_view value);
    std::u16string GetUserText(std::u16string_view description) const;
    void SetUserText(std::u16string_view description, std::u16string_view value);
    // Language "*" or empty and description "*" match any.
    std::u16string GetExtendedComment(std::string_view language, std::u16string_view description) const;
    void SetExtendedComment(std::string_view language, std::u16string_view description,
                            std::u16string_view value);
    std::u16string GetLyrics(std::string_view language, std::u16string_view description) const;
    void SetLyrics(std::string_view language, std::u16string_view description, std::u16string_view value);
    // Writes the picture to `data` and returns its MIME type; description "*" matches any.
    std::string GetPicture(TStream& data, std::u16string_view description) const;
    // A null `data` deletes the matching picture; an empty one keeps its picture bytes.
    void SetPicture(std::string_view mimeType, uint8_t picType, std::u16string_view description,
                    TStream* data);
    std::string GetUserDefinedURL(std::u16string_view description) const;
    void SetUserDefinedURL(std::u16string_view description, std::string_view url);
    // E-mail "*" matches any.
    uint8_t GetRating(std::string_view email) const;
    uint32_t GetPersonalPlayCounter(std::string_view email) const;
    // -1 leaves a value unchanged, other negative values count as 0.
    void SetRatingAndCounter(std::string_view email, int64_t rating, int64_t counter);
    bool GetPrivateFrame(std::string_view ownerID, TStream& content) const;
    // A null or empty `content` deletes.
    void SetPrivateFrame(std::string_view ownerID, TStream* content);

    // Named properties.
    std::u16string Title() const { return GetText(IDv2_TITEL); }
    void SetTitle(std::u16string_view v) { SetText(IDv2_TITEL, v); }
    std::u16string Artist() const { return GetText(IDv2_ARTIST); }
    void SetArtist(std::u16string_view v) { SetText(IDv2_ARTIST, v); }
    std::u16string Album() const { return GetText(IDv2_ALBUM); }
    void SetAlbum(std::u16string_view v) { SetText(IDv2_ALBUM, v); }
    // "(17)" and "(17)Rock" read as the list's name; other text as it stands.
    std::u16string Genre() const;
    // A name from the genre list is stored as "(index)Name".
    void SetGenre(std::u16string_view v);
    std::u16string Track() const { return GetText(IDv2_TRACK); }
    void SetTrack(std::u16string_view v) { SetText(IDv2_TRACK, v); }
    std::u16string Year() const { return GetText(IDv2_YEAR); }
    // 1-9999, left-padded to four digits; anything else deletes the year.
    void SetYear(std::u16string_view v);
    std::u16string Comment() const { return GetExtendedComment("*", u""); }
    void SetComment(std::u16string_view v) { SetExtendedComment("*", u"", v); }
    std::u16string Lyrics() const { return GetLyrics("*", u""); }
    void SetLyrics(std::u16string_view v) { SetLyrics("*", u"", v); }
    std::u16string Composer() const { return GetText(IDv2_COMPOSER); }
    void SetComposer(std::u16string_view v) { SetText(IDv2_COMPOSER, v); }
    std::u16string OriginalArtist() const { return GetText(IDv2_ORIGINALARTIST); }
    void SetOriginalArtist(std::u16string_view v) { SetText(IDv2_ORIGINALARTIST, v); }
    std::u16string Copyright() const { return GetText(IDv2_COPYRIGHT); }
    void SetCopyright(std::u16string_view v) { SetText(IDv2_COPYRIGHT, v); }
    std::u16string EncodedBy() const { return GetText(IDv2_ENCODEDBY); }
    void SetEncodedBy(std::u16string_view v) { SetText(IDv2_ENCODEDBY, v); }
    std::u16string Languages() const { return GetText(IDv2_LANGUAGES); }
    void SetLanguages(std::u16string_view v) { SetText(IDv2_LANGUAGES, v); }
    std::u16string SoftwareSettings() const { return GetText(IDv2_SOFTWARESETTINGS); }
    void SetSoftwareSettings(std::u16string_view v) { SetText(IDv2_SOFTWARESETTINGS, v); }
    std::u16string Mediatype() const { return GetText(IDv2_MEDIATYPE); }
    void SetMediatype(std::u16string_view v) { SetText(IDv2_MEDIATYPE, v); }
    std::u16string id3Length() const { return GetText(IDv2_LENGTH); }
    void Setid3Length(std::u16string_view v) { SetText(IDv2_LENGTH, v); }
    std::u16string Publisher() const { return GetText(IDv2_PUBLISHER); }
    void SetPublisher(std::u16string_view v) { SetText(IDv2_PUBLISHER, v); }
    std::u16string OriginalFilename() const { return GetText(IDv2_ORIGINALFILENAME); }
    void SetOriginalFilename(std::u16string_view v) { SetText(IDv2_ORIGINALFILENAME, v); }
    std::u16string OriginalLyricist() const { return GetText(IDv2_ORIGINALLYRICIST); }
    void SetOriginalLyricist(std::u16string_view v) { SetText(IDv2_ORIGINALLYRICIST, v); }
    std::u16string OriginalReleaseYear() const { return GetText(IDv2_ORIGINALRELEASEYEAR); }
    void SetOriginalReleaseYear(std::u16string_view v) { SetText(IDv2_ORIGINALRELEASEYEAR, v); }
    std::u16string OriginalAlbumTitel() const { return GetText(IDv2_ORIGINALALBUMTITEL); }
    void SetOriginalAlbumTitel(std::u16string_view v) { SetText(IDv2_ORIGINALALBUMTITEL, v); }
    std::string URL() const { return GetUserDefinedURL(u""); }
    void SetURL(std::string_view v) { SetUserDefinedURL(u"", v); }
    uint8_t Rating() const { return GetRating("*"); }
    void SetRating(uint8_t v) { SetRatingAndCounter("*", v, -1); }
    uint32_t PlayCounter() const { return GetPersonalPlayCounter("*"); }
    void SetPlayCounter(uint32_t v) { SetRatingAndCounter("*", -1, v); }

    // Collections: new lists of the matching frames in list order; the tag keeps the frames.
    std::vector<TID3v2Frame*> GetAllFrames() const;
    std::vector<TID3v2Frame*> GetAllTextFrames() const;
    std::vector<TID3v2Frame*> GetAllUserTextFrames() const;
    std::vector<TID3v2Frame*> GetAllURLFrames() const;
    std::vector<TID3v2Frame*> GetAllCommentFrames() const;
    std::vector<TID3v2Frame*> GetAllLyricFrames() const;
    std::vector<TID3v2Frame*> GetAllUserDefinedURLFrames() const;
    std::vector<TID3v2Frame*> GetAllPictureFrames() const;
    std::vector<TID3v2Frame*> GetAllPopularimeterFrames() const;
    std::vector<TID3v2Frame*> GetAllPrivateFrames() const;

    // True when no frame matches yet.
    bool ValidNewCommentFrame(std::string_view language, std::u16string_view description) const;
    bool ValidNewLyricFrame(std::string_view language, std::u16string_view description) const;
    bool ValidNewPictureFrame(std::u16string_view description) const;
    bool ValidNewUserDefUrlFrame(std::u16string_view description) const;
    bool ValidNewPopularimeterFrame(std::string_view email) const;

    // Text (2-46) and URL (48-55) kinds this version has and the tag has no frame of yet.
    std::vector<TFrameIDs> GetAllowedTextFrames() const;
    std::vector<TFrameIDs> GetAllowedURLFrames() const;

    // Appends a new, empty frame of the kind (the tag's text settings are not copied).
    TID3v2Frame* AddFrame(TFrameIDs id);
    // Removes the frame from the list and destroys it; a frame not in the list is ignored.
    void DeleteFrame(TID3v2Frame* frame);

private:
    TMP3Error DoRead(TStream& stream);
    TMP3Error DoWrite(TStream& stream);
    TMP3Error DoRemove(TStream& stream);
    // Header only (reading steps up to the flags); result as ReadFromStream would give.
    TMP3Error ReadHeader(TStream& stream);
    TID3v2Frame* NewFrame(TFrameIDs id);
    TID3v2Frame* FindByID(TFrameIDs id) const;
    std::vector<TID3v2Frame*> FramesWithID(TFrameIDs id) const;
    TID3v2Frame* FindCommentOrLyric(TFrameIDs id, std::string_view language,
                                    std::u16string_view description) const;
    void SetCommentOrLyric(TFrameIDs id, std::string_view language, std::u16string_view description,
                           std::u16string_view value);
    TID3v2Frame* FindPicture(std::u16string_view description) const;
    TID3v2Frame* FindUserURL(std::u16string_view description) const;
    TID3v2Frame* FindPopularimeter(std::string_view email) const;
    TID3v2Frame* FindPrivate(std::string_view ownerID) const;
    TID3v2Frame* FindUserText(std::u16string_view description) const;

    bool fExists = false;
    TID3Version fVersion;
    bool fFlgUnsynch = false;
    bool fFlgCompression = false;
    bool fFlgExtended = false;
    bool fFlgExperimental = false;
    bool fFlgFooterPresent = false;
    bool fFlgUnknown = false;
    uint32_t fPaddingSize = 0;
    uint32_t fTagSize = 0;
    uint32_t fDataSize = 0;
    bool fUsePadding = false;
    bool fUseClusteredPadding = true;
    std::filesystem::path fFilename;
    bool fAlwaysWriteUnicode = false;
    bool fAutoCorrectCodepage = false;
    TCodePage fCharCode = DefaultCharCode;
};

}  // namespace tags
