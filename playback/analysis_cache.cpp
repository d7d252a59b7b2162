#include "playback/analysis_cache.h"

#include "platform/text_codec.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace playback {

namespace {

constexpr std::string_view kHeader = "quorbel-media-mixer track analysis 1\n";
// A cache of kMaxEntries lines is a few megabytes; anything far larger is not ours.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

// Paths may hold any byte but "\0": tab, line ends and the escape character itself are escaped.
std::string Escape(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: return std::nullopt;
        }
    }
    return out;
}

template <class T>
bool ReadNumber(std::string_view field, T& value) {
    if (field.empty()) return false;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    return ec == std::errc() && end == field.data() + field.size();
}

template <class T>
void WriteNumber(std::string& out, T value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? end : buf);
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t at = 0;;) {
        const size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at));
        if (tab == std::string_view::npos) return fields;
        at = tab + 1;
    }
}

}  // namespace

std::filesystem::path AnalysisCache::DefaultFolder() {
    // As the XDG rules say: a relative XDG_CACHE_HOME is ignored.
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "quorbel-media-mixer";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::filesystem::path(home) / ".cache" / "quorbel-media-mixer";
    return {};
}

AnalysisCache::AnalysisCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path AnalysisCache::FilePath() const { return folder_.empty() ? folder_ : folder_ / kFileName; }

std::size_t AnalysisCache::Size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

bool AnalysisCache::Stat(const std::filesystem::path& file, std::uintmax_t& size, std::int64_t& mtimeNs) {
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return false;
    size = std::filesystem::file_size(file, ec);
    if (ec) return false;
    const auto time = std::filesystem::last_write_time(file, ec);
    if (ec) return false;
    mtimeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return true;
}

void AnalysisCache::Load() {
    const std::filesystem::path path = FilePath();
    if (path.empty()) return;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec || bytes > kMaxFileBytes) return;
    const std::optional<std::string> text = platform::ReadBinaryFile(path);
    if (!text || !std::string_view(*text).starts_with(kHeader)) return;

    std::unordered_map<std::string, Entry> loaded;
    std::uint64_t uses = 0;
    std::string_view rest = std::string_view(*text).substr(kHeader.size());
    while (!rest.empty()) {
        const size_t nl = rest.find('\n');
        if (nl == std::string_view::npos) break;  // cut short while written: the last line is not whole
        const std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl + 1);
        // used, size, modification time, loudness ("-": none), peak, from tags, length, start, end, path
        const std::vector<std::string_view> f = SplitTabs(line);
        if (f.size() != 10) continue;
        Entry e;
        TrackAnalysis& a = e.analysis;
        a.ok = true;
        int fromTags = 0;
        double loudness = 0;
        const bool read = ReadNumber(f[0], e.used) && ReadNumber(f[1], e.size) && ReadNumber(f[2], e.mtimeNs) &&
                          (f[3] == "-" || ReadNumber(f[3], loudness)) && ReadNumber(f[4], a.peak) &&
                          ReadNumber(f[5], fromTags) && ReadNumber(f[6], a.lengthMs) &&
                          ReadNumber(f[7], a.audibleStartMs) && ReadNumber(f[8], a.audibleEndMs);
        std::optional<std::string> file = Unescape(f[9]);
        if (!read || !file || file->empty() || (fromTags != 0 && fromTags != 1)) continue;
        if (!std::isfinite(a.peak) || a.peak < 0 || a.lengthMs < 0 || a.audibleStartMs < 0 ||
            a.audibleEndMs < a.audibleStartMs || a.audibleEndMs > a.lengthMs)
            continue;
        if (f[3] != "-") {
            if (!std::isfinite(loudness) || loudness < -200 || loudness > 100) continue;
            a.loudness = loudness;
        }
        a.fromTags = fromTags == 1;
        uses = std::max(uses, e.used);
        auto [it, added] = loaded.try_emplace(std::move(*file), std::move(e));
        if (!added && it->second.used < e.used) it->second = std::move(e);
    }
    std::lock_guard lock(mutex_);
    // Entries stored before the file was read are newer than any in it.
    for (auto& [file, e] : entries_) e.used += uses;
    uses_ += uses;
    for (auto& [file, e] : loaded) entries_.try_emplace(file, std::move(e));
    TrimLocked();
}

std::optional<TrackAnalysis> AnalysisCache::Lookup(const std::filesystem::path& file) {
    std::uintmax_t size = 0;
    std::int64_t mtime = 0;
    if (!Stat(file, size, mtime)) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(file.native());
    if (it == entries_.end() || it->second.size != size || it->second.mtimeNs != mtime) return std::nullopt;
    it->second.used = ++uses_;
    changed_ = true;
    return it->second.analysis;
}

void AnalysisCache::Store(const std::filesystem::path& file, const TrackAnalysis& analysis) {
    if (!analysis.ok) return;
    Entry e;
    if (!Stat(file, e.size, e.mtimeNs)) return;
    e.analysis = analysis;
    e.analysis.error.clear();
    std::lock_guard lock(mutex_);
    e.used = ++uses_;
    entries_[file.native()] = std::move(e);
    changed_ = true;
    TrimLocked();
}

void AnalysisCache::TrimLocked() {
    if (entries_.size() <= kMaxEntries) return;
    // A tenth below the bound at once, so that trimming is rare.
    const size_t keep = kMaxEntries - kMaxEntries / 10;
    std::vector<std::uint64_t> uses;
    uses.reserve(entries_.size());
    for (const auto& [file, e] : entries_) uses.push_back(e.used);
    std::nth_element(uses.begin(), uses.begin() + static_cast<std::ptrdiff_t>(uses.size() - keep), uses.end());
    const std::uint64_t oldestKept = uses[uses.size() - keep];
    std::erase_if(entries_, [&](const auto& item) { return item.second.used < oldestKept; });
    changed_ = true;
}

bool AnalysisCache::Save() {
    std::string text(kHeader);
    std::filesystem::path path;
    {
        std::lock_guard lock(mutex_);
        path = FilePath();
        if (path.empty() || !changed_) return true;
        std::vector<const std::pair<const std::string, Entry>*> order;
        order.reserve(entries_.size());
        for (const auto& item : entries_) order.push_back(&item);
        std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->second.used < b->second.used; });
        for (const auto* item : order) {
            const Entry& e = item->second;
            const TrackAnalysis& a = e.analysis;
            WriteNumber(text, e.used);
            text += '\t';
            WriteNumber(text, e.size);
            text += '\t';
            WriteNumber(text, e.mtimeNs);
            text += '\t';
            if (a.loudness)
                WriteNumber(text, *a.loudness);
            else
                text += '-';
            text += '\t';
            WriteNumber(text, a.peak);
            text += a.fromTags ? "\t1\t" : "\t0\t";
            WriteNumber(text, a.lengthMs);
            text += '\t';
            WriteNumber(text, a.audibleStartMs);
            text += '\t';
            WriteNumber(text, a.audibleEndMs);
            text += '\t';
            text += Escape(item->first);
            text += '\n';
        }
        changed_ = false;
    }
    try {
        std::filesystem::create_directories(path.parent_path());
        // A cache can be made again: it need not wait for the disk.
        platform::WriteFileAtomic(path, text, platform::Durability::NoWait);
        return true;
    } catch (const std::exception&) {
        std::lock_guard lock(mutex_);
        changed_ = true;
        return false;
    }
}

}  // namespace playback
