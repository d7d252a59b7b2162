#pragma once
// INI files with the Windows private-profile semantics: section and key names match without
// regard to case, the first match wins, values are trimmed, lose one pair of enclosing double
// quotes and are cut at 2047 characters, a missing key gives the caller's default.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace platform {

class IniFile {
public:
    // Reads the file once (text decoding as in text_codec.h); a missing file is an empty one.
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& Path() const { return path_; }
    int SectionCount() const;
    std::vector<std::u16string> SectionNames() const;
    bool HasSection(std::u16string_view section) const;
    std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view def) const;

    // Writes one key and saves the whole file at once: creates file and section when needed,
    // every other line stays as it was. Throws WriteError("Unable to write to <file>").
    void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);

private:
    struct Impl;
    std::filesystem::path path_;
    std::vector<std::u16string> lines_;
    // lower-cased section name -> index of its header line (first match only)
    // (kept in the implementation file)
};

// Builds a whole INI file in one pass; the bytes equal those of writing the same keys one by
// one with IniFile::WriteString into a file that did not exist.
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
