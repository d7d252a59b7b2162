#pragma once
// Code pages and the reference tables shared by the tag classes.
//
// TCodePage describes a code page by its Windows identifier; the descriptors below are
// constants, and a tag's CharCode takes a copy of one (DefaultCharCode at first). Code page 0
// is the system's ANSI code page, which is Windows-1252 here. Other identifiers convert through
// the C library's iconv ("CP1253", "CP737", ...); an identifier without a converter converts to
// nothing (empty text, nullopt), and callers then fall back to code page 0.
//
// Genres (148 ID3v1 genre names), LanguageCodes and LanguageNames (427 ISO 639-2 codes and
// their English names, sharing indices) are read-only lists with case-insensitive look-up that
// returns the first match, -1 when none.
//
//   std::u16string t = tags::CodePageToWide(tags::GreekCodePages[0].CodePage, bytes);
//   int rock = tags::Genres.IndexOf(u"rock");   // 17
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tags {

struct TCodePage {
    std::u16string_view Description;  // always a string literal of the table below
    uint32_t CodePage = 0;            // Windows code page identifier; 0 = system ANSI
    int Index = 0;                    // position within its language group

    friend constexpr bool operator==(const TCodePage& a, const TCodePage& b) {
        return a.CodePage == b.CodePage && a.Index == b.Index && a.Description == b.Description;
    }
};

inline constexpr TCodePage DefaultCharCode{u"System default", 0, 0};

inline constexpr std::array<TCodePage, 2> GreekCodePages{{
    {u"MS Windows Greek", 1253, 0},
    {u"IBM PC Greek", 737, 1},
}};
inline constexpr std::array<TCodePage, 3> CyrillicCodePages{{
    {u"MS Windows Cyrillic", 1251, 0},
    {u"IBM PC Cyrillic", 855, 1},
    {u"ISO 8859-5 Latin/Cyrillic", 28595, 2},
}};
inline constexpr std::array<TCodePage, 3> HebrewCodePages{{
    {u"MS Windows Hebrew", 1255, 0},
    {u"Hebrew (DOS)", 862, 1},
    {u"ISO 8859-8 Latin/Hebrew", 28598, 2},
}};
inline constexpr std::array<TCodePage, 3> ArabicCodePages{{
    {u"MS Windows Arabisch", 1256, 0},
    {u"Arabisch (DOS)", 720, 1},
    {u"ISO 8859-6 Latin/Arabisch", 28596, 2},
}};
inline constexpr std::array<TCodePage, 1> ThaiCodePages{{
    {u"MS Windows Thai", 874, 0},
}};
inline constexpr std::array<TCodePage, 2> ChineseCodePages{{
    {u"Traditional Chinese (Big5)", 950, 0},
    {u"Simplified Chinese GBK", 936, 1},
}};
inline constexpr std::array<TCodePage, 1> KoreanCodePages{{
    {u"MS Korean", 949, 0},
}};
inline constexpr std::array<TCodePage, 1> JapaneseCodePages{{
    {u"Japanese Shift-JIS", 932, 0},
}};

// A read-only list of names in a fixed order.
class TNameList {
public:
    constexpr explicit TNameList(std::span<const std::u16string_view> items) : items_(items) {}

    int Count() const { return static_cast<int>(items_.size()); }
    // The entry at index; empty for an index outside the list.
    std::u16string_view operator[](int index) const;
    std::u16string Strings(int index) const { return std::u16string((*this)[index]); }
    // First entry equal to name without regard to case; -1 when none.
    int IndexOf(std::u16string_view name) const;

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::span<const std::u16string_view> items_;
};

extern const TNameList Genres;         // 148 entries, index = ID3v1 genre number
extern const TNameList LanguageCodes;  // 427 entries
extern const TNameList LanguageNames;  // 427 entries, parallel to LanguageCodes

// Case-insensitive equality as the lists use it (ASCII and Latin-1 letters fold).
bool SameText(std::u16string_view a, std::u16string_view b);

// True when text in this code page can be converted (code page 0 always can).
bool CodePageSupported(uint32_t codePage);

// Single- or multi-byte text to UTF-16. Code page 0 is Windows-1252. Empty when the code page
// has no converter or bytes is empty; bytes that do not decode become U+FFFD.
std::u16string CodePageToWide(uint32_t codePage, std::string_view bytes);
inline std::u16string CodePageToWide(const TCodePage& cp, std::string_view bytes) {
    return CodePageToWide(cp.CodePage, bytes);
}

// UTF-16 to the code page; characters it cannot hold become '?'. nullopt when the code page has
// no converter. An empty text gives an empty string.
std::optional<std::string> WideToCodePage(uint32_t codePage, std::u16string_view text);
inline std::optional<std::string> WideToCodePage(const TCodePage& cp, std::u16string_view text) {
    return WideToCodePage(cp.CodePage, text);
}

// The system's ANSI code page (Windows-1252), always succeeding.
std::u16string AnsiToWide(std::string_view bytes);
std::string WideToAnsi(std::u16string_view text);

// Removes every leading and trailing character whose code is below 33.
std::u16string TrimControl(std::u16string_view text);

}  // namespace tags
