#pragma once
// Language files read into plain texts: every key in the order the window applies them, each
// with its English default. No Qt here; the main window applies the texts to its controls.
#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display_texts.h"
#include "platform/ini_file.h"

namespace settings {

// What a key's text goes to: controls only, the display texts only, or both.
enum class LanguageUse { Caption, DisplayText, Both };

struct LanguageKey {
    std::u16string_view section;
    std::u16string_view key;
    std::u16string_view def;  // the status words default to their current value instead
    LanguageUse use;
};

struct LanguageText {
    const LanguageKey* key;
    std::u16string text;
};

// The keys in reading order; "LB_fadeunit" comes twice, first for the dialog (default "seconds"),
// then as the display text (default "sec"). Column captions are not among them.
const std::vector<LanguageKey>& LanguageKeys();
// The English default of `key`; empty for a key not in the table (and for the status words).
std::u16string_view LanguageDefault(std::u16string_view key);

// Every key of LanguageKeys() read from `file`; a missing key gives its default, a missing status
// word the one in `current`.
std::vector<LanguageText> ReadLanguage(const platform::IniFile& file, const platform::DisplayTexts& current);

// Column captions 0 to 7 from section "TABLE".
std::array<std::u16string, 8> ReadColumnCaptions(const platform::IniFile& file);

// lang/<code>.lng in the first folder that has it: the program's folder, then the installed
// share folder. Empty when none has it.
std::filesystem::path LanguageFile(std::u16string_view code);
// The folders LanguageFile searches; an empty list restores the two above (tests use their own).
void SetLanguageFolders(std::vector<std::filesystem::path> folders);

}  // namespace settings
