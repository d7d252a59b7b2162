#include "tags/ID3v1Tag.h"

#include <cstring>
#include <limits>

namespace tags {

namespace {

constexpr int64_t kTrailerSize = 128;

bool IsTag(const uint8_t* p) { return p[0] == 'T' && p[1] == 'A' && p[2] == 'G'; }

bool FileExists(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(p, ec);
}

// Seeks to the start of a trailer; false when the stream is too short to hold one. Checking the
// size first matters: a failed seek would leave the position where it was, and a "TAG" found
// there must not be taken for a trailer.
bool SeekToTrailer(TStream& stream) {
    return stream.Size() >= kTrailerSize && stream.Seek(-kTrailerSize, soEnd) >= 0;
}

}  // namespace

TID3v1Tag::TID3v1Tag() { Clear(); }

void TID3v1Tag::Clear() {
    FTitle.Zero();
    FArtist.Zero();
    FAlbum.Zero();
    FComment.Zero();
    FYear.Zero();
    FTrack = 0;
    FGenre = 0;
    FVersion = 0;
    FExists = false;
}

TMP3Error TID3v1Tag::ReadFromStream(TStream& stream) {
    return GuardStreamOp([&] { return DoRead(stream); });
}

TMP3Error TID3v1Tag::WriteToStream(TStream& stream) {
    return GuardStreamOp([&] { return DoWrite(stream); });
}

TMP3Error TID3v1Tag::RemoveFromStream(TStream& stream) {
    return GuardStreamOp([&] { return DoRemove(stream); });
}

TMP3Error TID3v1Tag::DoRead(TStream& stream) {
    Clear();
    uint8_t buf[kTrailerSize];
    if (!SeekToTrailer(stream)) {
        stream.Seek(0, soEnd);
        return MP3ERR_SRead;
    }
    if (stream.Read(buf, kTrailerSize) < kTrailerSize) return MP3ERR_SRead;
    if (!IsTag(buf)) return ID3ERR_NoTag;

    FExists = true;
    FVersion = (buf[125] == 0 && buf[126] != 0) ? 1 : 0;
    auto copy = [&](String30& f, int off) {
        std::memcpy(f.Bytes.data(), buf + off, 30);
        f.Length = 30;
    };
    copy(FTitle, 3);
    copy(FArtist, 33);
    copy(FAlbum, 63);
    std::memcpy(FYear.Bytes.data(), buf + 93, 4);
    FYear.Length = 4;
    if (FVersion == 1) {
        FComment.Zero();
        std::memcpy(FComment.Bytes.data(), buf + 97, 28);
        FTrack = buf[126];
    } else {
        copy(FComment, 97);
        FTrack = 0;
    }
    FGenre = buf[127];
    return MP3ERR_None;
}

TMP3Error TID3v1Tag::DoWrite(TStream& stream) {
    uint8_t buf[kTrailerSize] = {};
    buf[0] = 'T';
    buf[1] = 'A';
    buf[2] = 'G';
    std::memcpy(buf + 3, FTitle.Bytes.data(), FTitle.Length);
    std::memcpy(buf + 33, FArtist.Bytes.data(), FArtist.Length);
    std::memcpy(buf + 63, FAlbum.Bytes.data(), FAlbum.Length);
    std::memcpy(buf + 93, FYear.Bytes.data(), FYear.Length);
    std::memcpy(buf + 97, FComment.Bytes.data(), FComment.Length);
    if (FTrack != 0) {
        buf[125] = 0;
        buf[126] = FTrack;
    }
    buf[127] = FGenre;

    uint8_t head[3] = {};
    bool overwrite = SeekToTrailer(stream) && stream.Read(head, 3) == 3 && IsTag(head);
    if (overwrite)
        stream.Seek(-kTrailerSize, soEnd);
    else
        stream.Seek(0, soEnd);
    return stream.Write(buf, kTrailerSize) == kTrailerSize ? MP3ERR_None : MP3ERR_SWrite;
}

TMP3Error TID3v1Tag::DoRemove(TStream& stream) {
    uint8_t head[3] = {};
    if (!SeekToTrailer(stream) || stream.Read(head, 3) != 3 || !IsTag(head)) return ID3ERR_NoTag;
    stream.Seek(-kTrailerSize, soEnd);
    stream.Truncate();  // stream kinds that cannot be cut stay as they are
    return MP3ERR_None;
}

TMP3Error TID3v1Tag::ReadFromFile(const std::filesystem::path& filename) {
    if (!FileExists(filename)) return MP3ERR_NoFile;
    auto f = TFileStream::Open(filename, fmOpenRead);
    if (!f) return MP3ERR_FOpenR;
    return ReadFromStream(*f);
}

TMP3Error TID3v1Tag::WriteToFile(const std::filesystem::path& filename) {
    if (!FileExists(filename)) return MP3ERR_NoFile;
    auto f = TFileStream::Open(filename, fmOpenReadWrite);
    if (!f) return MP3ERR_FOpenRW;
    return WriteToStream(*f);
}

TMP3Error TID3v1Tag::RemoveFromFile(const std::filesystem::path& filename) {
    if (!FileExists(filename)) return MP3ERR_NoFile;
    auto f = TFileStream::Open(filename, fmOpenReadWrite);
    if (!f) return MP3ERR_FOpenRW;
    return RemoveFromStream(*f);
}

std::u16string TID3v1Tag::DecodeV1Field(const String30& field) const {
    if (fAutoCorrectCodepage) {
        std::u16string s = CodePageToWide(
            FCharCode, std::string_view(reinterpret_cast<const char*>(field.Bytes.data()),
                                        field.Length));
        if (!s.empty()) return TrimControl(s);
    }
    // Bytes past the stored length are zero, so all 30 stand for the padded field. The code page
    // gives the bytes below 33 the characters below 33 and no other byte one of those, so the
    // bytes are trimmed before they are converted.
    std::string_view bytes(reinterpret_cast<const char*>(field.Bytes.data()), 30);
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 33; };
    while (!bytes.empty() && control(bytes.front())) bytes.remove_prefix(1);
    while (!bytes.empty() && control(bytes.back())) bytes.remove_suffix(1);
    return AnsiToWide(bytes);
}

void TID3v1Tag::EncodeV1Field(std::u16string_view value, String30& field) const {
    field.Zero();
    if (fAutoCorrectCodepage) {
        if (value.empty()) return;
        std::u16string withNul(value);
        withNul.push_back(u'\0');
        if (auto bytes = WideToCodePage(FCharCode, withNul)) {
            field.Assign(*bytes);
            return;
        }
    }
    std::string ansi = WideToAnsi(value);
    std::memcpy(field.Bytes.data(), ansi.data(), ansi.size() < 30 ? ansi.size() : 30);
    field.Length = 30;
}

std::u16string TID3v1Tag::Genre() const {
    if (FGenre <= 125) return Genres.Strings(FGenre);
    return {};
}

void TID3v1Tag::SetGenre(std::u16string_view name) {
    int i = Genres.IndexOf(name);
    FGenre = (i >= 0 && i <= 125) ? static_cast<uint8_t>(i) : 255;
}

std::u16string TID3v1Tag::Track() const {
    std::string s = std::to_string(FTrack);
    return std::u16string(s.begin(), s.end());
}

void TID3v1Tag::SetTrack(std::u16string_view text) {
    // A whole decimal integer with an optional sign that fits 32 bits; anything else is 0.
    size_t i = 0;
    bool neg = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) neg = text[i++] == u'-';
    int64_t v = 0;
    bool ok = i < text.size();
    for (; ok && i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            ok = false;
            break;
        }
        v = v * 10 + (text[i] - u'0');
        if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) ok = false;
    }
    if (ok && !neg && v > std::numeric_limits<int32_t>::max()) ok = false;
    if (!ok) v = 0;
    if (neg) v = -v;
    FTrack = static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(v)) & 0xFF);
}

std::u16string TID3v1Tag::YearText() const { return AnsiToWide(FYear.Str()); }

}  // namespace tags
