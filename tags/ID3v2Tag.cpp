#include "tags/ID3v2Tag.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace tags {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDefaultUnit = 2048;
// Largest tag size the 28-bit header field can hold.
constexpr uint64_t kMaxTagBody = 0x0FFFFFFF;

bool IsIDChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A temporary file that is deleted when the object goes, unless told to keep it.
class TempFile {
public:
    // Null stream when no name could be created.
    TempFile() {
        // A counter that never finds a free name must not loop for ever.
        for (int attempt = 0; attempt < 4096; ++attempt) {
            path_ = TagTempFileName();
            if (path_.empty()) return;
            std::error_code ec;
            stream_ = TFileStream::Open(path_, fmCreateNew, &ec);
            if (stream_) return;
            if (ec != std::errc::file_exists) break;
        }
        path_.clear();
    }
    ~TempFile() {
        stream_.reset();
        if (!keep_ && !path_.empty()) {
            std::error_code ec;
            fs::remove(path_, ec);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    explicit operator bool() const { return stream_ != nullptr; }
    TFileStream& Stream() { return *stream_; }
    const fs::path& Path() const { return path_; }
    void Keep() { keep_ = true; }

private:
    fs::path path_;
    std::unique_ptr<TFileStream> stream_;
    bool keep_ = false;
};

void WriteZeros(TStream& stream, uint64_t count) {
    static const uint8_t zeros[4096] = {};
    while (count > 0) {
        const int64_t n = static_cast<int64_t>(std::min<uint64_t>(count, sizeof zeros));
        stream.WriteBuffer(zeros, n);
        count -= static_cast<uint64_t>(n);
    }
}

// Strict decimal parse as the tag's setters use it: optional blanks before, optional sign.
bool ParseDecimal(std::u16string_view text, int64_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return false;
        v = v * 10 + (text[i] - u'0');
        if (v > 0xFFFFFFFFLL) return false;
    }
    value = negative ? -v : v;
    return true;
}

std::u16string TrimBlanks(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] <= u' ') ++b;
    while (e > b && text[e - 1] <= u' ') --e;
    return std::u16string(text.substr(b, e - b));
}

std::u16string Decimal(unsigned value) {
    std::string s = std::to_string(value);
    return std::u16string(s.begin(), s.end());
}

bool LanguageMatches(std::string_view wanted, const std::string& actual) {
    return wanted == "*" || wanted.empty() || wanted == actual;
}

bool DescriptionMatches(std::u16string_view wanted, const std::u16string& actual) {
    return wanted == u"*" || wanted == actual;
}

}  // namespace

uint32_t SyncSafeToInt(const uint8_t b[4]) {
    return (uint32_t(b[0]) << 21) + (uint32_t(b[1]) << 14) + (uint32_t(b[2]) << 7) + uint32_t(b[3]);
}

void IntToSyncSafe(uint32_t value, uint8_t b[4]) {
    b[0] = uint8_t((value >> 21) & 0x7F);
    b[1] = uint8_t((value >> 14) & 0x7F);
    b[2] = uint8_t((value >> 7) & 0x7F);
    b[3] = uint8_t(value & 0x7F);
}

fs::path TagTempFileName() {
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec) return {};
    static const char hex[] = "0123456789ABCDEF";
    for (uint32_t counter = 0; counter < 0x100000; ++counter) {
        std::string digits;
        for (uint32_t v = counter; v != 0; v >>= 4) digits.insert(digits.begin(), hex[v & 15]);
        while (digits.size() < 2) digits.insert(digits.begin(), '0');
        fs::path candidate = dir / ("TagTemp.t" + digits);
        if (!fs::exists(candidate, ec) && !ec) return candidate;
    }
    return {};
}

TID3v2Tag::TID3v2Tag() = default;
TID3v2Tag::~TID3v2Tag() = default;

void TID3v2Tag::Clear() {
    fVersion = TID3Version{};
    fTagSize = fDataSize = fPaddingSize = 0;
    fExists = false;
    fUsePadding = true;
    fFlgUnsynch = fFlgCompression = fFlgExtended = fFlgExperimental = fFlgFooterPresent = false;
    fFlgUnknown = false;
    fUseClusteredPadding = true;
    Frames.clear();
}

void TID3v2Tag::SetCharCode(const TCodePage& cp) {
    fCharCode = cp;
    for (auto& f : Frames) f->SetCharCode(cp);
}

void TID3v2Tag::SetAutoCorrectCodepage(bool on) {
    fAutoCorrectCodepage = on;
    for (auto& f : Frames) f->SetAutoCorrectCodepage(on);
}

// ---------------------------------------------------------------------------------------------
// Reading

TMP3Error TID3v2Tag::ReadFromStream(TStream& stream) {
    return GuardStreamOp([&] { return DoRead(stream); });
}

TMP3Error TID3v2Tag::ReadFromFile(const fs::path& filename) {
    std::error_code ec;
    if (!fs::exists(filename, ec)) return MP3ERR_NoFile;
    fFilename = filename;
    auto file = TFileStream::Open(filename, fmOpenRead);
    if (!file) return MP3ERR_FOpenR;
    return ReadFromStream(*file);
}

TMP3Error TID3v2Tag::ReadHeader(TStream& stream) {
    Clear();
    uint8_t h[10];
    stream.Seek(0, soBeginning);
    if (stream.Read(h, 10) < 10) return MP3ERR_SRead;
    if (std::memcmp(h, "ID3", 3) != 0) return ID3ERR_NoTag;
    if (h[3] < 2 || h[3] > 4) return ID3ERR_Invalid_Header;
    fExists = true;
    fVersion.Major = h[3];
    fVersion.Minor = h[4];
    fTagSize = 10 + SyncSafeToInt(h + 6);
    const uint8_t flags = h[5];
    fFlgUnsynch = flags & 0x80;
    switch (h[3]) {
        case 2:
            fFlgCompression = flags & 0x40;
            fFlgUnknown = flags & 0x3F;
            break;
        case 3:
            fFlgExtended = flags & 0x40;
            fFlgExperimental = flags & 0x20;
            fFlgUnknown = flags & 0x1F;
            break;
        default:
            fFlgExtended = flags & 0x40;
            fFlgExperimental = flags & 0x20;
            fFlgFooterPresent = flags & 0x10;
            fFlgUnknown = flags & 0x0F;
            if (fFlgFooterPresent) fTagSize += 10;
            break;
    }
    if (fVersion.Major == 2 && fFlgCompression) return ID3ERR_Compression;
    return MP3ERR_None;
}

TMP3Error TID3v2Tag::DoRead(TStream& stream) {
    TMP3Error result = ReadHeader(stream);
    if (result != MP3ERR_None) return result;

    const uint8_t major = fVersion.Major;
    const int64_t streamSize = stream.Size();
    // The frame area ends where the header's size says; a footer lies beyond it.
    const int64_t areaEnd = int64_t(fTagSize) - (fFlgFooterPresent ? 10 : 0);
    int64_t pos = 10;

    if (fFlgExtended) {
        uint8_t e[4];
        stream.Seek(10, soBeginning);
        if (stream.Read(e, 4) < 4) return MP3ERR_SRead;
        int64_t skip;
        if (major == 3) {
            skip = (int64_t(e[0]) << 24) | (int64_t(e[1]) << 16) | (int64_t(e[2]) << 8) | e[3];
        } else {
            skip = int64_t(SyncSafeToInt(e)) - 4;
            if (skip < 0) skip = 0;
        }
        pos = 14 + skip;
        if (pos > streamSize) return MP3ERR_SRead;
    }

    // The frame area goes into memory; never more than the stream actually holds.
    std::vector<uint8_t> area;
    const int64_t areaLen = std::max<int64_t>(0, areaEnd - pos);
    const int64_t available = std::max<int64_t>(0, streamSize - pos);
    stream.Seek(pos, soBeginning);
    if (fFlgUnsynch && major <= 3) {
        std::vector<uint8_t> raw(size_t(std::min(areaLen, available)));
        raw.resize(size_t(stream.Read(raw.data(), int64_t(raw.size()))));
        area = RemoveUnsynchronisation(raw);
    } else {
        if (available < areaLen) return MP3ERR_SRead;
        area.resize(size_t(areaLen));
        if (stream.Read(area.data(), areaLen) < areaLen) return MP3ERR_SRead;
    }

    fUsePadding = false;
    const size_t idLen = major == 2 ? 3 : 4;
    const int64_t end = int64_t(area.size());
    TMemoryStream mem(std::move(area));
    while (mem.Position() < end) {
        const int64_t start = mem.Position();
        uint8_t id[4] = {};
        // An area that ends inside an ID, and anything that is not an ID, is padding.
        const bool whole = end - start >= int64_t(idLen) && mem.Read(id, int64_t(idLen)) == int64_t(idLen);
        if (!whole || !std::all_of(id, id + idLen, IsIDChar)) {
            fPaddingSize = uint32_t(end - start);
            fUsePadding = true;
            break;
        }
        auto frame = std::make_unique<TID3v2Frame>(std::string(reinterpret_cast<char*>(id), idLen), major);
        try {
            if (frame->ReadFromStream(mem) != MP3ERR_None) return MP3ERR_SRead;
        } catch (const EReadError&) {
            return MP3ERR_SRead;
        }
        frame->SetAlwaysWriteUnicode(fAlwaysWriteUnicode);
        frame->SetCharCode(fCharCode);
        frame->SetAutoCorrectCodepage(fAutoCorrectCodepage);
        Frames.push_back(std::move(frame));
    }
    return MP3ERR_None;
}

// ---------------------------------------------------------------------------------------------
// Writing and removing

uint32_t TID3v2Tag::ClusterPadding(uint64_t total) const {
    uint64_t unit = kDefaultUnit;
    if (fUseClusteredPadding && !TrimBlanks(fFilename.u16string()).empty()) {
        struct statvfs info {};
        if (statvfs(fFilename.c_str(), &info) == 0 && info.f_bsize > 0) {
            unit = info.f_bsize;
        } else {
            fs::path dir = fFilename.parent_path();
            if (dir.empty()) dir = ".";
            if (statvfs(dir.c_str(), &info) == 0 && info.f_bsize > 0) unit = info.f_bsize;
        }
    }
    return uint32_t(unit * (total / unit + 1) - total);
}

TMP3Error TID3v2Tag::WriteToStream(TStream& stream) {
    return GuardStreamOp([&] { return DoWrite(stream); });
}

TMP3Error TID3v2Tag::WriteToFile(const fs::path& filename) {
    std::error_code ec;
    if (!fs::exists(filename, ec)) return MP3ERR_NoFile;
    fFilename = filename;
    auto file = TFileStream::Open(filename, fmOpenReadWrite);
    if (!file) return MP3ERR_FOpenRW;
    return WriteToStream(*file);
}

TMP3Error TID3v2Tag::RemoveFromStream(TStream& stream) {
    return GuardStreamOp([&] { return DoRemove(stream); });
}

TMP3Error TID3v2Tag::RemoveFromFile(const fs::path& filename) {
    std::error_code ec;
    if (!fs::exists(filename, ec)) return MP3ERR_NoFile;
    fFilename = filename;
    auto file = TFileStream::Open(filename, fmOpenReadWrite);
    if (!file) return MP3ERR_FOpenRW;
    return RemoveFromStream(*file);
}

TMP3Error TID3v2Tag::DoWrite(TStream& stream) {
    // A tag must hold a frame.
    if (Frames.empty()) SetTitle(u" ");

    TempFile tag;
    if (!tag) return MP3ERR_FOpenCrt;
    TStream& t = tag.Stream();
    const uint8_t header[10] = {'I', 'D', '3', fVersion.Major, fVersion.Minor,
                                uint8_t(fFlgUnsynch ? 0x80 : 0), 0, 0, 0, 0};
    t.WriteBuffer(header, 10);
    if (fFlgUnsynch && fVersion.Major <= 3) {
        TMemoryStream plain;
        for (auto& f : Frames)
            if (f->WriteToStream(plain) != MP3ERR_None) return MP3ERR_SWrite;
        TBuffer synced;
        ApplyUnsynchronisation(plain.Data(), synced);
        t.WriteBuffer(synced.data(), int64_t(synced.size()));
    } else {
        for (auto& f : Frames) {
            const TMP3Error r = fFlgUnsynch ? f->WriteUnsyncedToStream(t) : f->WriteToStream(t);
            if (r != MP3ERR_None) return MP3ERR_SWrite;
        }
    }
    const int64_t dataSize = t.Size();

    // Where the old tag ends; a stream without a readable tag header counts as size 0.
    int64_t oldSize = 0;
    {
        TID3v2Tag scratch;
        const TMP3Error r = scratch.ReadHeader(stream);
        if (scratch.Exists() && (r == MP3ERR_None || r == ID3ERR_Compression)) oldSize = scratch.Size();
    }
    const int64_t streamSize = stream.Size();
    // A header that claims more than the stream holds must not grow the file by the difference.
    const bool inPlace = fUsePadding && oldSize > dataSize + 30 && oldSize <= streamSize;
    const int64_t restSize = std::max<int64_t>(0, streamSize - oldSize);

    std::unique_ptr<TempFile> rest;
    int64_t trailerRoom = 0;
    if (!inPlace) {
        rest = std::make_unique<TempFile>();
        if (!*rest) return MP3ERR_FOpenCrt;
        try {
            stream.Seek(oldSize, soBeginning);
            if (rest->Stream().CopyFrom(stream, -1) < restSize) return ID3ERR_Cache;
        } catch (const std::exception&) {
            return ID3ERR_Cache;
        }
        trailerRoom = 128;
        if (streamSize >= 128) {
            char tagId[3] = {};
            stream.Seek(-128, soEnd);
            if (stream.Read(tagId, 3) == 3 && std::memcmp(tagId, "TAG", 3) == 0) trailerRoom = 0;
        }
    }

    uint64_t padding = 0;
    uint64_t tagSize = uint64_t(dataSize);
    if (!fUsePadding) {
        padding = 0;
    } else if (inPlace) {
        padding = uint64_t(oldSize - dataSize);
        tagSize = uint64_t(oldSize);
    } else {
        padding = ClusterPadding(uint64_t(dataSize + restSize + trailerRoom));
        tagSize = uint64_t(dataSize) + padding;
    }
    if (tagSize - 10 > kMaxTagBody) {
        ReportError(u"Error", u"The tag is too large to be written.");
        return ID3ERR_Unclassified;
    }
    fDataSize = uint32_t(dataSize);
    fPaddingSize = uint32_t(padding);
    fTagSize = uint32_t(tagSize);

    uint8_t size[4];
    IntToSyncSafe(fTagSize - 10, size);
    t.Seek(6, soBeginning);
    t.WriteBuffer(size, 4);

    if (stream.Seek(0, soBeginning) != 0 || t.Seek(0, soBeginning) != 0) throw EStreamError("Seek error");
    // When the whole file is rewritten, the audio after the old tag lives only in `rest` from the
    // first byte written on: any failure from here keeps that copy and names it. Written in
    // place, only the old tag's own bytes are overwritten.
    bool done = false;
    try {
        if (stream.CopyFrom(t, -1) == dataSize) {
            WriteZeros(stream, padding);
            if (rest) {
                if (rest->Stream().Seek(0, soBeginning) != 0) throw EStreamError("Seek error");
                if (stream.CopyFrom(rest->Stream(), -1) < restSize) throw EWriteError("Stream write error");
                stream.Truncate();
            }
            done = true;
        }
    } catch (const std::exception& e) {
        if (!rest && !dynamic_cast<const EWriteError*>(&e)) throw;
    }
    if (done) return MP3ERR_None;
    if (rest) {
        rest->Keep();
        ReportError(u"Error", u"Writing the tag failed; the audio data was kept in " + rest->Path().u16string());
    }
    return MP3ERR_SWrite;
}

TMP3Error TID3v2Tag::DoRemove(TStream& stream) {
    int64_t tagSize = 0;
    {
        TID3v2Tag scratch;
        scratch.ReadHeader(stream);
        if (!scratch.Exists()) return ID3ERR_NoTag;
        tagSize = scratch.Size();
    }
    const int64_t streamSize = stream.Size();
    const int64_t restSize = std::max<int64_t>(0, streamSize - tagSize);

    TempFile temp;
    if (!temp) return MP3ERR_FOpenCrt;
    try {
        stream.Seek(tagSize, soBeginning);
        if (temp.Stream().CopyFrom(stream, -1) < restSize) return ID3ERR_Cache;
    } catch (const std::exception&) {
        return ID3ERR_Cache;
    }

    if (stream.Seek(restSize, soBeginning) != restSize) throw EStreamError("Seek error");
    // Once the file is cut, the audio lives only in the temporary copy until it is back in place:
    // any failure from there keeps the copy and names it.
    try {
        if (!stream.Truncate()) return MP3ERR_SWrite;  // a stream that cannot be cut is unchanged
        if (stream.Seek(0, soBeginning) != 0 || temp.Stream().Seek(0, soBeginning) != 0)
            throw EStreamError("Seek error");
        if (stream.CopyFrom(temp.Stream(), -1) < restSize) throw EWriteError("Stream write error");
    } catch (const std::exception&) {
        temp.Keep();
        ReportError(u"Error", u"Removing the tag failed; the audio data was kept in " + temp.Path().u16string());
        return ID3ERR_Cache;
    }
    return MP3ERR_None;
}

// ---------------------------------------------------------------------------------------------
// Frame access

std::string TID3v2Tag::IDStringFor(TFrameIDs id) const {
    return std::string(KnownFrameIDString(id, fVersion.Major));
}

TID3v2Frame* TID3v2Tag::NewFrame(TFrameIDs id) {
    auto frame = std::make_unique<TID3v2Frame>(IDStringFor(id), fVersion.Major);
    frame->SetAlwaysWriteUnicode(fAlwaysWriteUnicode);
    frame->SetCharCode(fCharCode);
    frame->SetAutoCorrectCodepage(fAutoCorrectCodepage);
    Frames.push_back(std::move(frame));
    return Frames.back().get();
}

std::vector<TID3v2Frame*> TID3v2Tag::FramesWithID(TFrameIDs id) const {
    const std::string wanted = IDStringFor(id);
    std::vector<TID3v2Frame*> out;
    for (const auto& f : Frames)
        if (f->FrameIDString() == wanted) out.push_back(f.get());
    return out;
}

TID3v2Frame* TID3v2Tag::FindByID(TFrameIDs id) const {
    const std::string wanted = IDStringFor(id);
    for (const auto& f : Frames)
        if (f->FrameIDString() == wanted) return f.get();
    return nullptr;
}

void TID3v2Tag::DeleteFrame(TID3v2Frame* frame) {
    auto it = std::find_if(Frames.begin(), Frames.end(), [frame](const auto& f) { return f.get() == frame; });
    if (it != Frames.end()) Frames.erase(it);
}

TID3v2Frame* TID3v2Tag::AddFrame(TFrameIDs id) {
    Frames.push_back(std::make_unique<TID3v2Frame>(IDStringFor(id), fVersion.Major));
    return Frames.back().get();
}

std::u16string TID3v2Tag::GetText(TFrameIDs id) const {
    const TID3v2Frame* f = FindByID(id);
    return f ? f->GetText() : std::u16string();
}

void TID3v2Tag::SetText(TFrameIDs id, std::u16string_view value) {
    const std::string idString = IDStringFor(id);
    if (idString.size() < 3 || idString[0] != 'T') return;
    TID3v2Frame* f = FindByID(id);
    if (f) {
        if (value.empty()) DeleteFrame(f);
        else f->SetText(value);
    } else if (!value.empty()) {
        NewFrame(id)->SetText(value);
    }
}

std::string TID3v2Tag::GetURL(TFrameIDs id) const {
    const TID3v2Frame* f = FindByID(id);
    return f ? f->GetURL() : std::string();
}

void TID3v2Tag::SetURL(TFrameIDs id, std::string_view value) {
    const std::string idString = IDStringFor(id);
    if (idString.empty() ||
        !std::all_of(idString.begin(), idString.end(), [](char c) { return IsIDChar(uint8_t(c)); }))
        return;
    TID3v2Frame* f = FindByID(id);
    if (f) {
        if (value.empty()) DeleteFrame(f);
        else f->SetURL(value);
    } else if (!value.empty()) {
        NewFrame(id)->SetURL(value);
    }
}

TID3v2Frame* TID3v2Tag::FindUserText(std::u16string_view description) const {
    for (const auto& f : Frames) {
        if (f->FrameType() != FT_UserTextFrame) continue;
        std::u16string d;
        f->GetUserText(d);
        if (d == description) return f.get();
    }
    return nullptr;
}

std::u16string TID3v2Tag::GetUserText(std::u16string_view description) const {
    const TID3v2Frame* f = FindUserText(description);
    if (!f) return {};
    std::u16string d;
    return f->GetUserText(d);
}

void TID3v2Tag::SetUserText(std::u16string_view description, std::u16string_view value) {
    TID3v2Frame* f = FindUserText(description);
    if (f) {
        if (value.empty()) DeleteFrame(f);
        else f->SetUserText(description, value);
    } else if (!value.empty()) {
        NewFrame(IDv2_USERDEFINEDTEXT)->SetUserText(description, value);
    }
}

TID3v2Frame* TID3v2Tag::FindCommentOrLyric(TFrameIDs id, std::string_view language,
                                           std::u16string_view description) const {
    for (TID3v2Frame* f : FramesWithID(id)) {
        std::string lang;
        std::u16string desc;
        f->GetCommentsLyrics(lang, desc);
        if (LanguageMatches(language, lang) && DescriptionMatches(description, desc)) return f;
    }
    return nullptr;
}

void TID3v2Tag::SetCommentOrLyric(TFrameIDs id, std::string_view language, std::u16string_view description,
                                  std::u16string_view value) {
    std::string lang(language);
    if (lang != "*" && lang.size() != 3) lang = "eng";
    TID3v2Frame* f = FindCommentOrLyric(id, lang, description);
    if (f) {
        if (value.empty()) DeleteFrame(f);
        else f->SetCommentsLyrics(lang, description, value);
    } else if (!value.empty()) {
        NewFrame(id)->SetCommentsLyrics(lang, description, value);
    }
}

std::u16string TID3v2Tag::GetExtendedComment(std::string_view language, std::u16string_view description) const {
    const TID3v2Frame* f = FindCommentOrLyric(IDv2_COMMENT, language, description);
    if (!f) return {};
    std::string lang;
    std::u16string desc;
    return f->GetCommentsLyrics(lang, desc);
}

void TID3v2Tag::SetExtendedComment(std::string_view language, std::u16string_view description,
                                   std::u16string_view value) {
    SetCommentOrLyric(IDv2_COMMENT, language, description, value);
}

std::u16string TID3v2Tag::GetLyrics(std::string_view language, std::u16string_view description) const {
    const TID3v2Frame* f = FindCommentOrLyric(IDv2_LYRICS, language, description);
    if (!f) return {};
    std::string lang;
    std::u16string desc;
    return f->GetCommentsLyrics(lang, desc);
}

void TID3v2Tag::SetLyrics(std::string_view language, std::u16string_view description, std::u16string_view value) {
    SetCommentOrLyric(IDv2_LYRICS, language, description, value);
}

TID3v2Frame* TID3v2Tag::FindPicture(std::u16string_view description) const {
    for (TID3v2Frame* f : FramesWithID(IDv2_PICTURE)) {
        if (description == u"*") return f;
        std::string mime;
        uint8_t type = 0;
        std::u16string desc;
        TMemoryStream scratch;
        f->GetPicture(mime, type, desc, scratch);
        if (desc == description) return f;
    }
    return nullptr;
}

std::string TID3v2Tag::GetPicture(TStream& data, std::u16string_view description) const {
    const TID3v2Frame* f = FindPicture(description);
    if (!f) return {};
    std::string mime;
    uint8_t type = 0;
    std::u16string desc;
    f->GetPicture(mime, type, desc, data);
    return mime;
}

void TID3v2Tag::SetPicture(std::string_view mimeType, uint8_t picType, std::u16string_view description,
                           TStream* data) {
    TID3v2Frame* f = FindPicture(description);
    const bool empty = !data || data->Size() == 0;
    if (f) {
        if (!data) {
            DeleteFrame(f);
            return;
        }
        std::string mime(mimeType);
        std::u16string desc(description);
        if (desc == u"*" || mime == "*" || empty) {
            std::string oldMime;
            uint8_t oldType = 0;
            std::u16string oldDesc;
            TMemoryStream oldData;
            f->GetPicture(oldMime, oldType, oldDesc, oldData);
            if (desc == u"*") desc = oldDesc;
            if (mime == "*") mime = oldMime;
            if (empty) {
                data->SetPosition(0);
                oldData.SetPosition(0);
                data->CopyFrom(oldData, -1);
            }
        }
        data->SetPosition(0);
        f->SetPicture(mime, picType, desc, *data);
    } else if (!empty) {
        std::string mime = mimeType == "*" ? std::string("image/jpeg") : std::string(mimeType);
        std::u16string desc = description == u"*" ? std::u16string() : std::u16string(description);
        data->SetPosition(0);
        NewFrame(IDv2_PICTURE)->SetPicture(mime, picType, desc, *data);
    }
}

TID3v2Frame* TID3v2Tag::FindUserURL(std::u16string_view description) const {
    for (TID3v2Frame* f : FramesWithID(IDv2_USERDEFINEDURL)) {
        std::u16string desc;
        f->GetUserdefinedURL(desc);
        if (desc == description) return f;
    }
    return nullptr;
}

std::string TID3v2Tag::GetUserDefinedURL(std::u16string_view description) const {
    const TID3v2Frame* f = FindUserURL(description);
    if (!f) return {};
    std::u16string desc;
    return f->GetUserdefinedURL(desc);
}

void TID3v2Tag::SetUserDefinedURL(std::u16string_view description, std::string_view url) {
    TID3v2Frame* f = FindUserURL(description);
    if (f) {
        if (url.empty()) DeleteFrame(f);
        else f->SetUserdefinedURL(description, url);
    } else if (!url.empty()) {
        NewFrame(IDv2_USERDEFINEDURL)->SetUserdefinedURL(description, url);
    }
}

TID3v2Frame* TID3v2Tag::FindPopularimeter(std::string_view email) const {
    for (TID3v2Frame* f : FramesWithID(IDv2_RATING)) {
        if (email == "*") return f;
        std::string mail;
        f->GetRating(mail);
        if (mail == email) return f;
    }
    return nullptr;
}

uint8_t TID3v2Tag::GetRating(std::string_view email) const {
    const TID3v2Frame* f = FindPopularimeter(email);
    if (!f) return 0;
    std::string mail;
    return f->GetRating(mail);
}

uint32_t TID3v2Tag::GetPersonalPlayCounter(std::string_view email) const {
    const TID3v2Frame* f = FindPopularimeter(email);
    if (!f) return 0;
    std::string mail;
    return f->GetPersonalPlayCounter(mail);
}

void TID3v2Tag::SetRatingAndCounter(std::string_view email, int64_t rating, int64_t counter) {
    if (rating < -1) rating = 0;
    if (counter < -1) counter = 0;
    TID3v2Frame* f = FindPopularimeter(email);
    if (!f) {
        const std::string mail = email == "*" ? std::string(DefaultRatingOwner) : std::string(email);
        f = NewFrame(IDv2_RATING);
        if (rating != -1) f->SetRating(mail, uint8_t(rating & 0xFF));
        if (counter != -1) f->SetPersonalPlayCounter(mail, uint32_t(counter));
        return;
    }
    std::string own;
    const uint8_t oldRating = f->GetRating(own);
    const uint32_t oldCounter = f->GetPersonalPlayCounter(own);
    if ((rating == 0 && counter == 0) || (rating == 0 && counter == -1 && oldCounter == 0) ||
        (rating == -1 && oldRating == 0 && counter == 0)) {
        DeleteFrame(f);
        return;
    }
    const std::string mail = email == "*" ? own : std::string(email);
    if (rating != -1) f->SetRating(mail, uint8_t(rating & 0xFF));
    if (counter != -1) f->SetPersonalPlayCounter(mail, uint32_t(counter));
}

TID3v2Frame* TID3v2Tag::FindPrivate(std::string_view ownerID) const {
    for (TID3v2Frame* f : FramesWithID(IDv2_PRIVATE)) {
        std::string owner;
        TMemoryStream scratch;
        f->GetPrivateFrame(owner, scratch);
        if (owner == ownerID) return f;
    }
    return nullptr;
}

bool TID3v2Tag::GetPrivateFrame(std::string_view ownerID, TStream& content) const {
    const TID3v2Frame* f = FindPrivate(ownerID);
    if (!f) return false;
    std::string owner;
    return f->GetPrivateFrame(owner, content);
}

void TID3v2Tag::SetPrivateFrame(std::string_view ownerID, TStream* content) {
    TID3v2Frame* f = FindPrivate(ownerID);
    const bool empty = !content || content->Size() == 0;
    if (f) {
        if (empty) {
            DeleteFrame(f);
            return;
        }
        content->SetPosition(0);
        f->SetPrivateFrame(ownerID, *content);
    } else if (!empty) {
        content->SetPosition(0);
        NewFrame(IDv2_PRIVATE)->SetPrivateFrame(ownerID, *content);
    }
}

// ---------------------------------------------------------------------------------------------
// Named properties with their own rules

std::u16string TID3v2Tag::Genre() const {
    const std::u16string text = GetText(IDv2_GENRE);
    const size_t openPos = text.find(u'(');
    const size_t closePos = text.find(u')');
    // Positions counted from 1, 0 for "none", so that a bare "17)" counts from the start.
    const size_t o = openPos == std::u16string::npos ? 0 : openPos + 1;
    const size_t c = closePos == std::u16string::npos ? 0 : closePos + 1;
    if (o < c) {
        int64_t number = 255;
        if (!ParseDecimal(std::u16string_view(text).substr(o, c - o - 1), number)) number = 255;
        const int index = int(uint64_t(number) & 0xFF);
        if (index < Genres.Count()) return Genres.Strings(index);
    }
    return text;
}

void TID3v2Tag::SetGenre(std::u16string_view value) {
    const int index = Genres.IndexOf(value);
    if (index >= 0)
        SetText(IDv2_GENRE, u"(" + Decimal(unsigned(index)) + u")" + Genres.Strings(index));
    else
        SetText(IDv2_GENRE, value);
}

void TID3v2Tag::SetYear(std::u16string_view value) {
    std::u16string trimmed = TrimBlanks(value);
    int64_t year = 0;
    if (!ParseDecimal(trimmed, year) || year <= 0 || year > 9999) {
        SetText(IDv2_YEAR, u"");
        return;
    }
    while (trimmed.size() < 4) trimmed.insert(trimmed.begin(), u'0');
    SetText(IDv2_YEAR, trimmed);
}

// ---------------------------------------------------------------------------------------------
// Collections

std::vector<TID3v2Frame*> TID3v2Tag::GetAllFrames() const {
    std::vector<TID3v2Frame*> out;
    for (const auto& f : Frames) out.push_back(f.get());
    return out;
}

namespace {
std::vector<TID3v2Frame*> OfType(const TID3v2Tag::TFrameList& frames, TID3v2FrameTypes type) {
    std::vector<TID3v2Frame*> out;
    for (const auto& f : frames)
        if (f->FrameType() == type) out.push_back(f.get());
    return out;
}
}  // namespace

std::vector<TID3v2Frame*> TID3v2Tag::GetAllTextFrames() const { return OfType(Frames, FT_TextFrame); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllUserTextFrames() const { return OfType(Frames, FT_UserTextFrame); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllURLFrames() const { return OfType(Frames, FT_URLFrame); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllCommentFrames() const { return FramesWithID(IDv2_COMMENT); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllLyricFrames() const { return FramesWithID(IDv2_LYRICS); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllUserDefinedURLFrames() const {
    return FramesWithID(IDv2_USERDEFINEDURL);
}
std::vector<TID3v2Frame*> TID3v2Tag::GetAllPictureFrames() const { return FramesWithID(IDv2_PICTURE); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllPopularimeterFrames() const { return FramesWithID(IDv2_RATING); }
std::vector<TID3v2Frame*> TID3v2Tag::GetAllPrivateFrames() const { return FramesWithID(IDv2_PRIVATE); }

bool TID3v2Tag::ValidNewCommentFrame(std::string_view language, std::u16string_view description) const {
    return FindCommentOrLyric(IDv2_COMMENT, language, description) == nullptr;
}
bool TID3v2Tag::ValidNewLyricFrame(std::string_view language, std::u16string_view description) const {
    return FindCommentOrLyric(IDv2_LYRICS, language, description) == nullptr;
}
bool TID3v2Tag::ValidNewPictureFrame(std::u16string_view description) const {
    return FindPicture(description) == nullptr;
}
bool TID3v2Tag::ValidNewUserDefUrlFrame(std::u16string_view description) const {
    return FindUserURL(description) == nullptr;
}
bool TID3v2Tag::ValidNewPopularimeterFrame(std::string_view email) const {
    return FindPopularimeter(email) == nullptr;
}

namespace {
std::vector<TFrameIDs> Allowed(const TID3v2Tag& tag, int first, int last) {
    std::vector<TFrameIDs> out;
    for (int i = first; i <= last; ++i) {
        const auto id = static_cast<TFrameIDs>(i);
        const std::string idString = tag.IDStringFor(id);
        if (idString.empty() || idString[0] == '-') continue;
        const bool present = std::any_of(tag.Frames.begin(), tag.Frames.end(),
                                         [&](const auto& f) { return f->FrameIDString() == idString; });
        if (!present) out.push_back(id);
    }
    return out;
}
}  // namespace

std::vector<TFrameIDs> TID3v2Tag::GetAllowedTextFrames() const {
    return Allowed(*this, IDv2_ARTIST, IDv2_SETSUBTITLE);
}
std::vector<TFrameIDs> TID3v2Tag::GetAllowedURLFrames() const {
    return Allowed(*this, IDv2_AUDIOFILEURL, IDv2_PAYMENTURL);
}

}  // namespace tags
