#pragma once
// INI files with the Windows private-profile semantics: section and key names match without
// regard to case, the first match wins, values are trimmed, lose one pair of enclosing single or
// double quotes and are cut at 2047 characters, a missing key gives the caller's default; a
// header is a line "[name]".
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/errors.h"

namespace platform {

// A whole number in decimal, or in hexadecimal after "0x", "0X" or "$", with an optional sign;
// hexadecimal takes 32 bits as they stand ("$FFFFFFFF" is -1). Nothing for anything else,
// including numbers that do not fit in 32 bits.
std::optional<int32_t> ParseIniInteger(std::u16string_view text);

// Lower-cases for name matching (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
std::u16string IniFoldCase(std::u16string_view text);

class IniFile {
public:
    // Reads the file once (text decoding as in text_codec.h, line by line); a missing file is an
    // empty one.
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& Path() const { return path_; }
    int SectionCount() const;
    std::vector<std::u16string> SectionNames() const;
    bool HasSection(std::u16string_view section) const;
    std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view def) const;
    // Several keys of one section at once, each with the same default.
    std::vector<std::u16string> ReadStrings(std::u16string_view section,
                                            const std::vector<std::u16string_view>& keys,
                                            std::u16string_view def) const;
    // A whole number as ParseIniInteger reads it; `def` when missing or not a whole number.
    int32_t ReadInteger(std::u16string_view section, std::u16string_view key, int32_t def) const;
    // Read as an integer; anything but 0 is true.
    bool ReadBool(std::u16string_view section, std::u16string_view key, bool def) const;

    // Writes one key and saves the whole file at once: creates file and section when needed,
    // every other line stays as it was. The file is read afresh first, so changes made to it
    // since are kept. A line break inside a value is stored as a blank, so no value can add
    // lines of its own. Throws WriteError("Unable to write to <file>").
    void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);

private:
    struct LineRef {
        size_t begin, size;  // into text_, line end excluded
    };
    void Parse(std::u16string text);
    std::u16string_view Line(size_t i) const { return {text_.data() + lines_[i].begin, lines_[i].size}; }
    size_t SectionEnd(size_t sectionIndex) const;  // one past its last line
    // Position in sections_ of the first section of that name, or npos.
    size_t Find(std::u16string_view section) const;

    std::filesystem::path path_;
    std::u16string text_;       // the whole file, decoded
    std::vector<LineRef> lines_;
    std::vector<size_t> sections_;  // line index of every header, in file order
    // lower-cased section name -> position in sections_ of its first header
    std::unordered_map<std::u16string, size_t> firstSection_;
};

// Builds a whole INI file in one pass; the bytes equal those of writing the same keys one by
// one with IniFile::WriteString into a file that did not exist (given distinct section names,
// distinct keys within a section, and at least one key per section).
class IniWriter {
public:
    void Section(std::u16string_view name);
    void Key(std::u16string_view key, std::u16string_view value);
    std::string Bytes() const;
    // Writes beside the target and renames over it only when the write succeeded.
    // Throws WriteError("Unable to write to <file>").
    void Save(const std::filesystem::path& path) const;

private:
    std::u16string text_;
};

}  // namespace platform
