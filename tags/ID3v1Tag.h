#pragma once
// The ID3v1 trailer: the fixed 128-byte block at the very end of an audio file.
//
// TID3v1Tag reads, writes and removes it on any TStream or, through the file wrappers, on a
// named file. The text fields keep the trailer's raw bytes; Title, Artist, Album and Comment
// convert them on the way out (code page 0, or CharCode when AutoCorrectCodepage is set) and
// trim control characters and blanks at both ends. Year is handed out raw. Every operation
// returns a TMP3Error; the tag classes do not throw.
//
//   tags::TID3v1Tag v1;
//   if (v1.ReadFromFile(path) == tags::MP3ERR_None) show(v1.Title(), v1.Artist());
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "tags/MP3Error.h"
#include "tags/TagStream.h"
#include "tags/U_CharCode.h"

namespace tags {

// A short string: a length from 0 to N and that many bytes.
template <std::size_t N>
struct TShortString {
    uint8_t Length = 0;
    std::array<uint8_t, N> Bytes{};

    std::string Str() const { return std::string(reinterpret_cast<const char*>(Bytes.data()), Length); }
    void Assign(std::string_view s) {
        Bytes.fill(0);
        Length = static_cast<uint8_t>(s.size() < N ? s.size() : N);
        for (std::size_t i = 0; i < Length; ++i) Bytes[i] = static_cast<uint8_t>(s[i]);
    }
    void Zero() { Bytes.fill(0); Length = static_cast<uint8_t>(N); }
};
using String30 = TShortString<30>;
using String4 = TShortString<4>;

class TID3v1Tag {
public:
    TID3v1Tag();

    void Clear();

    TMP3Error ReadFromStream(TStream& stream);
    TMP3Error WriteToStream(TStream& stream);
    TMP3Error RemoveFromStream(TStream& stream);

    TMP3Error ReadFromFile(const std::filesystem::path& filename);
    TMP3Error WriteToFile(const std::filesystem::path& filename);
    TMP3Error RemoveFromFile(const std::filesystem::path& filename);

    bool TagExists() const { return FExists; }
    bool Exists() const { return FExists; }
    uint8_t Version() const { return FVersion; }

    std::u16string Title() const { return DecodeV1Field(FTitle); }
    std::u16string Artist() const { return DecodeV1Field(FArtist); }
    std::u16string Album() const { return DecodeV1Field(FAlbum); }
    std::u16string Comment() const { return DecodeV1Field(FComment); }
    void SetTitle(std::u16string_view v) { EncodeV1Field(v, FTitle); }
    void SetArtist(std::u16string_view v) { EncodeV1Field(v, FArtist); }
    void SetAlbum(std::u16string_view v) { EncodeV1Field(v, FAlbum); }
    void SetComment(std::u16string_view v) { EncodeV1Field(v, FComment); }

    // Name from the genre list for indices 0-125, else empty.
    std::u16string Genre() const;
    // Stores the index of the name (any case) when it is 0-125, else 255.
    void SetGenre(std::u16string_view name);

    // Decimal track number, "0" for none.
    std::u16string Track() const;
    // Parses a decimal integer (0 when the text is not one) and keeps its low 8 bits.
    void SetTrack(std::u16string_view text);

    // The year bytes exactly as stored (normally 4, zero bytes included).
    std::string Year() const { return FYear.Str(); }
    // The same bytes as text in the system's ANSI code page, nothing removed.
    std::u16string YearText() const;
    // Stores the first (at most 4) bytes.
    void SetYear(std::string_view year) { FYear.Assign(year); }

    const TCodePage& CharCode() const { return FCharCode; }
    void SetCharCode(const TCodePage& cp) { FCharCode = cp; }
    bool AutoCorrectCodepage() const { return fAutoCorrectCodepage; }
    void SetAutoCorrectCodepage(bool on) { fAutoCorrectCodepage = on; }

    // Raw fields, for callers that need the stored bytes.
    uint8_t GenreIndex() const { return FGenre; }
    void SetGenreIndex(uint8_t index) { FGenre = index; }
    uint8_t TrackNumber() const { return FTrack; }
    void SetTrackNumber(uint8_t track) { FTrack = track; }
    const String30& RawTitle() const { return FTitle; }
    const String30& RawArtist() const { return FArtist; }
    const String30& RawAlbum() const { return FAlbum; }
    const String30& RawComment() const { return FComment; }

private:
    TMP3Error DoRead(TStream& stream);
    TMP3Error DoWrite(TStream& stream);
    TMP3Error DoRemove(TStream& stream);
    std::u16string DecodeV1Field(const String30& field) const;
    void EncodeV1Field(std::u16string_view value, String30& field) const;

    String30 FTitle;
    String30 FArtist;
    String30 FAlbum;
    String30 FComment;
    uint8_t FTrack = 0;
    String4 FYear;
    uint8_t FGenre = 0;
    bool FExists = false;
    uint8_t FVersion = 0;
    bool fAutoCorrectCodepage = false;
    TCodePage FCharCode = DefaultCharCode;
};

}  // namespace tags
