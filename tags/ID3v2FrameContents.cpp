// Decoding and rebuilding frame bodies by frame kind.
#include <algorithm>

#include "platform/text_codec.h"
#include "tags/ID3v2Frames.h"

namespace tags {

namespace {

// Single-byte identifiers (e-mail, owner ID, MIME type) end at a zero byte in the body, so a
// zero inside one would shift every field after it.
std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

void AppendBytes(TBuffer& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }

// Text without encoding byte: UTF-16 with the mark FF FE, or one byte per character.
void AppendText(TBuffer& b, std::u16string_view v, bool unicode) {
    if (unicode) {
        b.push_back(0xFF);
        b.push_back(0xFE);
        for (char16_t c : v) {
            b.push_back(uint8_t(c & 0xFF));
            b.push_back(uint8_t(c >> 8));
        }
    } else {
        AppendBytes(b, WideToAnsi(v));
    }
}

void AppendTerminator(TBuffer& b, bool unicode) {
    b.push_back(0);
    if (unicode) b.push_back(0);
}

void AppendBE32(TBuffer& b, uint32_t v) {
    b.push_back(uint8_t(v >> 24));
    b.push_back(uint8_t(v >> 16));
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

TBuffer ReadWholeStream(TStream& s) {
    const int64_t size = s.Size();
    TBuffer b;
    if (size <= 0) return b;
    s.Seek(0, soBeginning);
    b.resize(static_cast<size_t>(size));
    const int64_t got = s.Read(b.data(), size);
    b.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
    return b;
}

bool WriteBytes(TStream& s, const uint8_t* p, int64_t n) {
    return n <= 0 || s.Write(p, n) == n;
}

// A version-2.4 text frame may hold several values, each ended by a zero, in UTF-16 each with a
// byte-order mark of its own. As one display text: the values joined with " / ", without marks.
std::u16string JoinTextValues(std::u16string text) {
    // Most frames hold one value without a mark: it is only trimmed, in place.
    if (text.find_first_of(std::u16string_view(u"\0\uFEFF\uFFFE", 3)) == std::u16string::npos) {
        size_t end = text.size();
        while (end > 0 && text[end - 1] < 33) --end;
        text.resize(end);
        size_t begin = 0;
        while (begin < end && text[begin] < 33) ++begin;
        text.erase(0, begin);
        return text;
    }
    std::u16string joined;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(u'\0', start), text.size());
        const std::u16string_view piece = std::u16string_view(text).substr(start, end - start);
        // The whole frame is decoded in the first value's byte order; a later value in the other
        // order starts with its mark reversed.
        const bool swapped = !piece.empty() && piece.front() == 0xFFFE;
        std::u16string value;
        value.reserve(piece.size());
        for (char16_t c : piece) {
            if (swapped) c = char16_t((c << 8) | (c >> 8));
            if (c != 0xFEFF) value += c;
        }
        value = TrimControl(value);
        if (!value.empty()) {
            if (!joined.empty()) joined += u" / ";
            joined += value;
        }
        start = end + 1;
    }
    return joined;
}

}  // namespace

bool NeedsUnicode(std::u16string_view value) {
    return std::any_of(value.begin(), value.end(),
                       [](char16_t c) { return c > 255 || platform::Cp1252Byte(c) < 0; });
}

uint8_t TID3v2Frame::Encoding() const {
    if (fData.empty() || fData[0] > 3) return 0;
    return fData[0];
}

std::u16string TID3v2Frame::DecodeText(int64_t from, int64_t to, uint8_t encoding) const {
    const int64_t last = static_cast<int64_t>(fData.size()) - 1;
    if (to > last) to = last;
    if (from < 0) from = 0;
    if (to < from) return {};
    const int64_t n = to - from + 1;
    const uint8_t* p = fData.data() + from;
    std::u16string text;
    switch (encoding) {
        case 1: {
            const int64_t units = n / 2 - 1;
            if (units <= 0) return {};
            const bool bigEndian = p[0] == 0xFE && p[1] == 0xFF;
            text.resize(static_cast<size_t>(units));
            for (int64_t k = 0; k < units; ++k) {
                const uint8_t a = p[2 + 2 * k], b = p[3 + 2 * k];
                text[k] = bigEndian ? char16_t((a << 8) | b) : char16_t((b << 8) | a);
            }
            break;
        }
        case 2: {
            const int64_t units = n / 2;
            text.resize(static_cast<size_t>(units));
            for (int64_t k = 0; k < units; ++k)
                text[k] = char16_t((p[2 * k] << 8) | p[2 * k + 1]);
            break;
        }
        case 3:
            text = platform::Utf8ToU16(
                std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n)));
            break;
        default: {
            const std::string_view bytes(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
            if (fAutoCorrectCodepage) text = CodePageToWide(fCharCode, bytes);
            if (text.empty()) text = AnsiToWide(bytes);
            break;
        }
    }
    return TrimControl(text);
}

std::u16string TID3v2Frame::ReadDescription(int64_t s, uint8_t encoding, int64_t& next) const {
    const int64_t size = static_cast<int64_t>(fData.size());
    int64_t i = s;
    if (encoding == 1 || encoding == 2) {
        while (i < size - 1 && !(fData[i] == 0 && fData[i + 1] == 0)) i += 2;
        next = i + 2;
    } else {
        while (i < size && fData[i] != 0) ++i;
        next = i + 1;
    }
    return DecodeText(s, i, encoding);
}

void TID3v2Frame::FinishContentChange() {
    ResetFlagsAfterChange();
    // A body too large for the size field is refused when the frame is written.
    SetSizeField(fData.size());
}

// --- text

std::u16string TID3v2Frame::GetText() const {
    if (!fParsable || fData.empty()) return {};
    // Only what callers see changes; fData keeps the values as read for writing back.
    return JoinTextValues(DecodeText(1, static_cast<int64_t>(fData.size()) - 1, Encoding()));
}

void TID3v2Frame::SetText(std::u16string_view Value) {
    const bool unicode = fAlwaysWriteUnicode || NeedsUnicode(Value);
    TBuffer b;
    b.reserve(3 + 2 * Value.size());
    b.push_back(unicode ? 1 : 0);
    AppendText(b, Value, unicode);
    fData = std::move(b);
    FinishContentChange();
}

std::u16string TID3v2Frame::GetUserText(std::u16string& Description) const {
    Description.clear();
    if (!fParsable || fData.size() <= 2) return {};
    const uint8_t enc = Encoding();
    int64_t next = 0;
    Description = ReadDescription(1, enc, next);
    return DecodeText(next, static_cast<int64_t>(fData.size()) - 1, enc);
}

void TID3v2Frame::SetUserText(std::u16string_view Description, std::u16string_view Value) {
    const bool unicode = fAlwaysWriteUnicode || NeedsUnicode(Value) || NeedsUnicode(Description);
    TBuffer b;
    b.push_back(unicode ? 1 : 0);
    AppendText(b, Description, unicode);
    AppendTerminator(b, unicode);
    AppendText(b, Value, unicode);
    fData = std::move(b);
    FinishContentChange();
}

// --- comments and lyrics

std::u16string TID3v2Frame::GetCommentsLyrics(std::string& Language,
                                              std::u16string& Description) const {
    Language.clear();
    Description.clear();
    if (!fParsable || fData.size() <= 4) return {};
    const uint8_t enc = Encoding();
    Language.assign(reinterpret_cast<const char*>(fData.data()) + 1, 3);
    int64_t next = 0;
    Description = ReadDescription(4, enc, next);
    return DecodeText(next, static_cast<int64_t>(fData.size()) - 1, enc);
}

void TID3v2Frame::SetCommentsLyrics(std::string_view Language, std::u16string_view Description,
                                    std::u16string_view Value) {
    const bool unicode = fAlwaysWriteUnicode || NeedsUnicode(Value) || NeedsUnicode(Description);
    TBuffer b;
    b.push_back(unicode ? 1 : 0);
    AppendBytes(b, Language.size() == 3 ? Language : std::string_view("eng"));
    AppendText(b, Description, unicode);
    AppendTerminator(b, unicode);
    AppendText(b, Value, unicode);
    fData = std::move(b);
    FinishContentChange();
}

// --- URLs

std::string TID3v2Frame::GetUserdefinedURL(std::u16string& Description) const {
    Description.clear();
    if (!fParsable || fData.size() <= 1) return {};
    int64_t next = 0;
    Description = ReadDescription(1, Encoding(), next);
    const int64_t size = static_cast<int64_t>(fData.size());
    if (next >= size) return {};
    int64_t a = next, z = size;
    while (a < z && fData[a] < 33) ++a;
    while (z > a && fData[z - 1] < 33) --z;
    return std::string(fData.begin() + a, fData.begin() + z);
}

void TID3v2Frame::SetUserdefinedURL(std::u16string_view Description, std::string_view URL) {
    const bool unicode = NeedsUnicode(Description);
    TBuffer b;
    b.push_back(unicode ? 1 : 0);
    AppendText(b, Description, unicode);
    AppendTerminator(b, unicode);
    AppendBytes(b, URL);
    fData = std::move(b);
    FinishContentChange();
}

std::string TID3v2Frame::GetURL() const {
    if (!fParsable) return {};
    return std::string(fData.begin(), fData.end());
}

void TID3v2Frame::SetURL(std::string_view Value) {
    TBuffer b;
    AppendBytes(b, Value.empty() ? std::string_view(" ") : Value);
    fData = std::move(b);
    FinishContentChange();
}

// --- pictures

bool TID3v2Frame::GetPicture(std::string& Mime, uint8_t& PicType, std::u16string& Description,
                             TStream& PictureData) const {
    Mime.clear();
    PicType = 0;
    Description.clear();
    if (!fParsable) return false;
    const int64_t size = static_cast<int64_t>(fData.size());
    const uint8_t enc = Encoding();
    int64_t next = 0;
    bool hasType = false;
    if (fVersion == 2) {
        if (size <= 6) return false;
        Mime.assign(reinterpret_cast<const char*>(fData.data()) + 1, 3);
        PicType = fData[4];
        hasType = true;
        Description = ReadDescription(5, enc, next);
    } else {
        if (size <= 4) return false;
        int64_t i = 1;
        while (i < size && fData[i] != 0) ++i;
        Mime.assign(fData.begin() + 1, fData.begin() + i);
        if (i + 1 < size) {
            PicType = fData[i + 1];
            hasType = true;
        }
        Description = ReadDescription(i + 2, enc, next);
    }
    if (next >= size) return false;
    if (!WriteBytes(PictureData, fData.data() + next, size - next)) return false;
    return hasType;
}

void TID3v2Frame::SetPicture(std::string_view Mime, uint8_t PicType,
                             std::u16string_view Description, TStream& PictureData) {
    if (PicType >= PictureTypeCount) PicType = 0;
    const TBuffer picture = ReadWholeStream(PictureData);
    const bool unicode = NeedsUnicode(Description);
    TBuffer b;
    b.reserve(picture.size() + 16 + Mime.size() + 2 * Description.size());
    b.push_back(unicode ? 1 : 0);
    if (fVersion == 2) {
        std::string_view format = Mime;
        if (format.size() != 3) format = Mime == "image/png" ? "PNG" : "JPG";
        AppendBytes(b, format);
    } else {
        AppendBytes(b, UpToZero(Mime));
        b.push_back(0);
    }
    b.push_back(PicType);
    AppendText(b, Description, unicode);
    AppendTerminator(b, unicode);
    b.insert(b.end(), picture.begin(), picture.end());
    fData = std::move(b);
    FinishContentChange();
}

// --- popularimeter

uint8_t TID3v2Frame::GetRating(std::string& UserEMail) const {
    UserEMail.clear();
    if (!fParsable) return 0;
    const auto zero = std::find(fData.begin(), fData.end(), uint8_t(0));
    UserEMail.assign(fData.begin(), zero);
    if (zero == fData.end() || zero + 1 == fData.end()) return 0;
    return *(zero + 1);
}

uint32_t TID3v2Frame::GetPersonalPlayCounter(std::string& UserEMail) const {
    UserEMail.clear();
    if (!fParsable) return 0;
    const auto zero = std::find(fData.begin(), fData.end(), uint8_t(0));
    UserEMail.assign(fData.begin(), zero);
    if (zero == fData.end()) return 0;
    const auto counterStart = static_cast<size_t>(zero - fData.begin()) + 2;
    if (counterStart > fData.size() || fData.size() - counterStart != 4) return 0;
    const uint8_t* c = fData.data() + counterStart;
    return (uint32_t(c[0]) << 24) | (uint32_t(c[1]) << 16) | (uint32_t(c[2]) << 8) | c[3];
}

void TID3v2Frame::SetRating(std::string_view UserEMail, uint8_t Value) {
    std::string ignored;
    const uint32_t counter = GetPersonalPlayCounter(ignored);
    TBuffer b;
    AppendBytes(b, UpToZero(UserEMail));
    b.push_back(0);
    b.push_back(Value);
    if (counter != 0) AppendBE32(b, counter);
    fData = std::move(b);
    FinishContentChange();
}

void TID3v2Frame::SetPersonalPlayCounter(std::string_view UserEMail, uint32_t Value) {
    std::string ignored;
    const uint8_t rating = GetRating(ignored);
    TBuffer b;
    AppendBytes(b, UpToZero(UserEMail));
    b.push_back(0);
    b.push_back(rating);
    if (Value != 0) AppendBE32(b, Value);
    fData = std::move(b);
    FinishContentChange();
}

// --- private data and raw body

bool TID3v2Frame::GetPrivateFrame(std::string& OwnerID, TStream& Data) const {
    OwnerID.clear();
    if (!fParsable) return false;
    const auto zero = std::find(fData.begin(), fData.end(), uint8_t(0));
    OwnerID.assign(fData.begin(), zero);
    if (zero == fData.end() || zero + 1 == fData.end()) return false;
    const int64_t start = (zero - fData.begin()) + 1;
    return WriteBytes(Data, fData.data() + start, static_cast<int64_t>(fData.size()) - start);
}

void TID3v2Frame::SetPrivateFrame(std::string_view aOwnerID, TStream& Data) {
    const TBuffer content = ReadWholeStream(Data);
    TBuffer b;
    b.reserve(aOwnerID.size() + 1 + content.size());
    AppendBytes(b, UpToZero(aOwnerID));
    b.push_back(0);
    b.insert(b.end(), content.begin(), content.end());
    fData = std::move(b);
    FinishContentChange();
}

void TID3v2Frame::GetData(TStream& Data) const {
    if (!fParsable || fData.empty()) return;
    WriteBytes(Data, fData.data(), static_cast<int64_t>(fData.size()));
}

void TID3v2Frame::SetData(TStream& Data) {
    fData = ReadWholeStream(Data);
    SetSizeField(fData.size());
}

}  // namespace tags
