#include "platform/ini_file.h"

#include <system_error>

#include "platform/text_codec.h"

namespace platform {

namespace {

constexpr size_t kMaxValue = 2047;

char16_t FoldChar(char16_t c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {  // Latin-1 capitals
        return static_cast<char16_t>(c + 32);
    }
    if (c >= 0x100 && c <= 0x137 && (c & 1) == 0) {  // Latin Extended-A, even capitals
        return static_cast<char16_t>(c + 1);
    }
    if (c >= 0x139 && c <= 0x148 && (c & 1) == 1) {
        return static_cast<char16_t>(c + 1);
    }
    if (c >= 0x14A && c <= 0x177 && (c & 1) == 0) {
        return static_cast<char16_t>(c + 1);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x179 && c <= 0x17E && (c & 1) == 1) {
        return static_cast<char16_t>(c + 1);
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {  // Greek
        return static_cast<char16_t>(c + 32);
    }
    if (c >= 0x410 && c <= 0x42F) {  // Cyrillic
        return static_cast<char16_t>(c + 32);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 80);
    }
    return c;
}

bool IsBlankChar(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlankChar(s[b])) {
        ++b;
    }
    while (e > b && IsBlankChar(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

bool IsBlankLine(std::u16string_view line) {
    return Trim(line).empty();
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i])) {
            return false;
        }
    }
    return true;
}

// The section name when `line` is a header; a line that opens "[" without closing it is none.
bool HeaderName(std::u16string_view line, std::u16string_view& name) {
    const auto t = Trim(line);
    if (t.empty() || t[0] != u'[') {
        return false;
    }
    const auto close = t.find(u']');
    if (close == std::u16string_view::npos) {
        return false;
    }
    name = Trim(t.substr(1, close - 1));
    return true;
}

// The key's text before '=' (untrimmed) when `line` is an entry.
bool EntryKey(std::u16string_view line, size_t& eq) {
    eq = line.find(u'=');
    return eq != std::u16string_view::npos;
}

std::u16string CleanValue(std::u16string_view raw) {
    auto v = Trim(raw);
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    if (v.size() > kMaxValue) {
        v = v.substr(0, kMaxValue);
        if (v.back() >= 0xD800 && v.back() <= 0xDBFF) {
            v.remove_suffix(1);  // do not keep half a character
        }
    }
    return std::u16string(v);
}

// Line breaks would start lines of their own in the file.
std::u16string OneLine(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) {
        if (c == u'\r' || c == u'\n') {
            c = u' ';
        }
    }
    return out;
}

std::u16string EntryLine(std::u16string_view key, std::u16string_view value) {
    std::u16string line = OneLine(key);
    line += u'=';
    line += OneLine(value);
    return line;
}

std::u16string HeaderLine(std::u16string_view name) {
    return u"[" + OneLine(name) + u"]";
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::u16string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
        negative = text[0] == u'-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text[0] == u'$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char16_t c : text) {
        int digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    int64_t result;
    if (base == 16) {
        result = static_cast<int32_t>(static_cast<uint32_t>(value));
    } else {
        if (value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) {
            return std::nullopt;
        }
        result = static_cast<int64_t>(value);
    }
    return static_cast<int32_t>(negative ? -result : result);
}

std::u16string IniFoldCase(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) {
        c = FoldChar(c);
    }
    return out;
}

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
    if (auto bytes = ReadBinaryFile(path_)) {
        Parse(DecodeTextLines(*bytes));
    }
}

void IniFile::Parse(std::u16string text) {
    text_ = std::move(text);
    lines_.clear();
    sections_.clear();
    firstSection_.clear();
    const std::u16string_view all = text_;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(u'\n', start);
        const bool last = end == std::u16string_view::npos;
        if (last) {
            end = all.size();
        }
        size_t size = end - start;
        if (size > 0 && all[end - 1] == u'\r') {
            --size;
        }
        std::u16string_view name;
        if (HeaderName(all.substr(start, size), name)) {
            firstSection_.try_emplace(IniFoldCase(name), sections_.size());
            sections_.push_back(lines_.size());
        }
        lines_.push_back({start, size});
        start = last ? end : end + 1;
    }
}

size_t IniFile::SectionEnd(size_t sectionIndex) const {
    return sectionIndex + 1 < sections_.size() ? sections_[sectionIndex + 1] : lines_.size();
}

size_t IniFile::Find(std::u16string_view section) const {
    auto it = firstSection_.find(IniFoldCase(Trim(section)));
    return it == firstSection_.end() ? std::u16string_view::npos : it->second;
}

int IniFile::SectionCount() const {
    return static_cast<int>(sections_.size());
}

std::vector<std::u16string> IniFile::SectionNames() const {
    std::vector<std::u16string> names;
    names.reserve(sections_.size());
    for (size_t header : sections_) {
        std::u16string_view name;
        HeaderName(Line(header), name);
        names.emplace_back(name);
    }
    return names;
}

bool IniFile::HasSection(std::u16string_view section) const {
    return Find(section) != std::u16string_view::npos;
}

std::u16string IniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view def) const {
    return std::move(ReadStrings(section, {key}, def).front());
}

std::vector<std::u16string> IniFile::ReadStrings(std::u16string_view section,
                                                 const std::vector<std::u16string_view>& keys,
                                                 std::u16string_view def) const {
    std::vector<std::u16string> values(keys.size());
    std::vector<bool> found(keys.size(), false);
    const size_t index = Find(section);
    if (index != std::u16string_view::npos) {
        const size_t end = SectionEnd(index);
        for (size_t i = sections_[index] + 1; i < end; ++i) {
            const std::u16string_view line = Line(i);
            size_t eq;
            if (!EntryKey(line, eq)) {
                continue;
            }
            const auto name = Trim(line.substr(0, eq));
            for (size_t k = 0; k < keys.size(); ++k) {
                if (!found[k] && SameName(name, Trim(keys[k]))) {
                    found[k] = true;  // the first match wins
                    values[k] = CleanValue(line.substr(eq + 1));
                }
            }
        }
    }
    for (size_t k = 0; k < keys.size(); ++k) {
        if (!found[k]) {
            values[k] = def;
        }
    }
    return values;
}

int32_t IniFile::ReadInteger(std::u16string_view section, std::u16string_view key, int32_t def) const {
    return ParseIniInteger(ReadString(section, key, u"")).value_or(def);
}

bool IniFile::ReadBool(std::u16string_view section, std::u16string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(std::u16string_view section, std::u16string_view key,
                          std::u16string_view value) {
    // Start from the file as it is now; one that exists but cannot be read must not be replaced.
    std::error_code ec;
    std::u16string text;
    if (std::filesystem::exists(path_, ec)) {
        auto current = ReadBinaryFile(path_);
        if (!current) {
            throw UnableToWrite(path_.string());
        }
        text = DecodeTextLines(*current);
    }
    Parse(std::move(text));

    std::vector<std::u16string> lines;
    lines.reserve(lines_.size() + 3);
    for (size_t i = 0; i < lines_.size(); ++i) {
        lines.emplace_back(Line(i));
    }
    const size_t index = Find(section);
    if (index != std::u16string_view::npos) {
        const size_t header = sections_[index];
        const size_t end = SectionEnd(index);
        const auto wanted = Trim(key);
        bool done = false;
        for (size_t i = header + 1; i < end && !done; ++i) {
            size_t eq;
            if (EntryKey(lines[i], eq) && SameName(Trim(std::u16string_view(lines[i]).substr(0, eq)), wanted)) {
                lines[i].replace(eq + 1, std::u16string::npos, OneLine(value));
                done = true;
            }
        }
        if (!done) {
            // After the section's last entry, so blank lines before the next section stay there.
            size_t at = end;
            while (at > header + 1 && IsBlankLine(lines[at - 1])) {
                --at;
            }
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), EntryLine(key, value));
        }
    } else {
        if (!lines.empty() && !IsBlankLine(lines.back())) {
            lines.emplace_back();
        }
        lines.push_back(HeaderLine(Trim(section)));
        lines.push_back(EntryLine(key, value));
    }

    std::u16string updated;
    for (const auto& l : lines) {
        updated += l;
        updated += u'\n';
    }
    WriteFileAtomic(path_, U16ToUtf8(updated));
    Parse(std::move(updated));
}

void IniWriter::Section(std::u16string_view name) {
    if (!text_.empty()) {
        text_ += u'\n';
    }
    text_ += HeaderLine(Trim(name));
    text_ += u'\n';
}

void IniWriter::Key(std::u16string_view key, std::u16string_view value) {
    text_ += EntryLine(key, value);
    text_ += u'\n';
}

std::string IniWriter::Bytes() const {
    return U16ToUtf8(text_);
}

void IniWriter::Save(const std::filesystem::path& path) const {
    WriteFileAtomic(path, Bytes());
}

}  // namespace platform
