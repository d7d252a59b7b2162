// Page generation: fragments from basics/, generated pages into htdocs/.
#include "web/pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/errors.h"
#include "platform/regular_file.h"
#include "platform/text_codec.h"
#include "platform/user_folders.h"
#include "platform/user_interface.h"
#include "web/html_text.h"

namespace web {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCrLf = "\r\n";

void Log(const PageSink& sink, const std::string& line) {
    if (sink.log) sink.log(line);
}

void Message(const PageSink& sink, const std::string& text) {
    if (sink.message) {
        sink.message(text);
    } else {
        platform::UserInterface().ShowMessage(platform::Utf8ToU16(text));
    }
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string out = folder;
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

bool FolderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

// basics/<code>/name when the site's language has its own, else basics/name.
std::string Fragment(const std::string& basics, const SiteTexts& site, std::string_view name) {
    const bool plainCode = !site.code.empty() && site.code.find_first_of("/\\.") == std::string::npos;
    if (plainCode) {
        const std::string own = Join(Join(basics, site.code), name);
        if (platform::IsRegularFile(own)) return own;
    }
    return Join(basics, name);
}

// A fragment's whole content as UTF-8, whatever encoding the maintainer saved it in.
std::string ReadFragment(const std::string& path) {
    const auto text = platform::ReadTextFile(fs::path(path));
    if (!text) throw platform::Error("Cannot read " + path);
    return platform::U16ToUtf8(*text);
}

// Calls f(line) for every line; CR LF, LF and a lone CR end a line, and a last line needs no end.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
}

std::string LineByLine(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 64);
    ForEachLine(text, [&](std::string_view line) {
        out += line;
        out += kCrLf;
    });
    return out;
}

std::string LinesJoined(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachLine(text, [&](std::string_view line) { out += line; });
    return out;
}

// The name part of a path; a path from a Windows playlist separates with "\".
std::string_view FileNamePart(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Names compare without regard to ASCII case, so the pages stay distinct on a FAT stick too.
std::string FoldCase(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Enough of a file's identity to see that someone else replaced or changed it.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0, ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of `path`; with a folder's descriptor, of the name in that folder, which spares the
// walk along the whole path for each of a pool's thousands of pages.
std::optional<FileStamp> StampOf(const std::string& path, int folder = -1, const std::string& name = {}) {
    struct stat st {};
    const int got = folder >= 0 ? ::fstatat(folder, name.c_str(), &st, 0) : ::stat(path.c_str(), &st);
    if (got != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{st.st_dev, st.st_ino, st.st_size,
                     st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                     st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
}

// An open folder for the stamps of the pages in it; none when it cannot be opened.
class OpenFolder {
public:
    explicit OpenFolder(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~OpenFolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// What this process last wrote (or found already in place) at each path: the key the content
// was made from and the file's stamp afterwards. A page whose key and stamp still match is left
// alone without reading it, which keeps a select with thousands of pool tracks cheap.
class WrittenPages {
public:
    // Writes the bytes from make() to path (temporary file + rename) unless the file already
    // holds them. Returns whether it wrote. `folder` and `name`, when given, are where path is.
    template <class Make>
    bool Write(const std::string& path, std::string_view key, Make&& make, int folder = -1,
               const std::string& name = {}) {
        std::lock_guard lock(mutex_);
        const auto stamp = StampOf(path, folder, name);
        const auto it = pages_.find(path);
        const bool known = it != pages_.end() && stamp && it->second.stamp == *stamp;
        if (known && it->second.key == key) return false;
        const std::string bytes = make();
        if (!known && stamp && static_cast<size_t>(stamp->size) == bytes.size()) {
            const auto onDisk = platform::ReadBinaryFile(fs::path(path));
            if (onDisk && *onDisk == bytes) {
                Remember(path, key, *stamp);
                return false;
            }
        }
        platform::WriteFileAtomic(fs::path(path), bytes, platform::Durability::NoWait);
        if (const auto after = StampOf(path)) {
            Remember(path, key, *after);
        } else {
            pages_.erase(path);
        }
        return true;
    }

    // Whether this failure to write `path` is news: true the first time, false again until a
    // write of it succeeded.
    bool FirstFailure(const std::string& path) {
        std::lock_guard lock(mutex_);
        return failed_.insert(path).second;
    }
    void Succeeded(const std::string& path) {
        std::lock_guard lock(mutex_);
        failed_.erase(path);
    }

    // A small number that changes whenever the track pages' fragments do, so it can stand for
    // them in each page's key.
    unsigned long long FragmentsGeneration(const std::string& headFoot) {
        std::lock_guard lock(mutex_);
        if (headFoot != lastHeadFoot_) {
            lastHeadFoot_ = headFoot;
            ++generation_;
        }
        return generation_;
    }

private:
    struct Entry {
        std::string key;
        FileStamp stamp;
    };
    void Remember(const std::string& path, std::string_view key, const FileStamp& stamp) {
        Entry& e = pages_[path];
        e.key.assign(key);
        e.stamp = stamp;
    }

    std::mutex mutex_;
    std::unordered_map<std::string, Entry> pages_;
    std::unordered_set<std::string> failed_;
    std::string lastHeadFoot_;
    unsigned long long generation_ = 0;
};

WrittenPages& Written() {
    static WrittenPages pages;
    return pages;
}

// Writes a page; one that cannot be written is told once (until it can be written again), and
// the caller goes on: one page the disk refuses must not keep the others, or a guest's answer,
// from being made.
template <class Make>
void WriteOrReport(const std::string& path, std::string_view key, Make&& make, const PageSink& sink, int folder = -1,
                   const std::string& name = {}) {
    try {
        Written().Write(path, key, std::forward<Make>(make), folder, name);
        Written().Succeeded(path);
    } catch (const std::exception& e) {
        if (Written().FirstFailure(path)) Message(sink, e.what());
    }
}

void WritePage(const std::string& path, const std::string& bytes, const PageSink& sink) {
    WriteOrReport(path, bytes, [&] { return bytes; }, sink);
}

// The fragments and texts of the track pages, read once per regeneration.
struct TrackFragments {
    std::string head, foot;  // line by line
    std::string take, medium;
    unsigned long long generation = 0;
};

std::string TrackPage(const TrackFragments& f, const PageRow& row) {
    std::string page;
    page.reserve(f.head.size() + f.foot.size() + 256 + row.path.size() * 3);
    page += f.head;
    page += "\t\t<TH class=\"Title\" colspan=\"2\">\"";
    AppendHtmlEscaped(page, row.title);
    page += "\"</TH>\r\n\r\n";
    page += "\t\t<TR><TD class=\"Artist\">";
    AppendHtmlEscaped(page, row.artist);
    page += "</TD><TD>";
    page += f.medium;
    page += ": \"";
    AppendHtmlEscaped(page, row.album);
    page += "\"</TD></TR>\r\n\r\n";
    page += "\t\t<TH class=\"button\" colspan=\"2\"><a href=\"/tool/select.htm/?";
    page += PercentEncodePath(row.path);
    page += "\">";
    page += f.take;
    page += "</a></TH>\r\n\r\n";
    page += f.foot;
    return page;
}

void MakeTrackPage(const std::string& htdocs, int folder, const TrackFragments& f, const PageRow& row,
                   const std::string& pageName, const PageSink& sink) {
    std::string key = std::to_string(f.generation);
    for (const std::string* s : {&row.title, &row.artist, &row.album, &row.path}) {
        key += '\0';
        key += *s;
    }
    WriteOrReport(Join(htdocs, pageName), key, [&] { return TrackPage(f, row); }, sink, folder, pageName);
}

// The longest start of `text` that fits `bytes` and ends on a whole UTF-8 character.
std::string CutToFit(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

constexpr std::string_view kPageSuffix = ".htm";

// The name part of a track page's name: the file name without its extension.
std::string PageStem(std::string_view path) {
    std::string_view name = FileNamePart(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string PageName(std::string_view stem, std::string_view suffix) {
    return CutToFit(stem, kMaxPageName - kPageSuffix.size() - suffix.size()) + std::string(suffix) +
           std::string(kPageSuffix);
}

// The fallback content folder when no HTML path is set: beside the program, or where an
// installed program keeps its shared files.
std::string ShippedContent(const std::string& programFolder) {
    const std::string installed = (fs::path(programFolder) / ".." / "share" / "quorbel-media-mixer")
                                      .lexically_normal()
                                      .string();
    for (const std::string& candidate : {programFolder, installed}) {
        if (FolderExists(Join(candidate, "basics")) || FolderExists(Join(candidate, "htdocs"))) {
            return candidate;
        }
    }
    return programFolder;
}

bool CanWritePages(const std::string& root) {
    const std::string htdocs = Join(root, "htdocs");
    return FolderExists(htdocs) && ::access(htdocs.c_str(), W_OK) == 0 &&
           ::access(Join(htdocs, "tool").c_str(), W_OK) == 0;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string WebRoot(const std::string& htmlPath, const std::string& programFolder) {
    if (FolderExists(htmlPath)) return WithoutTrailingSlash(htmlPath);
    const std::string shipped = WithoutTrailingSlash(ShippedContent(programFolder));
    if (CanWritePages(shipped)) return shipped;
    // An installed program cannot write beside itself: the user gets a copy to generate into.
    const std::string user = platform::UserDataFolder().string();
    if (user.empty()) return shipped;
    std::error_code ec;
    for (const char* part : {"basics", "htdocs"}) {
        const std::string from = Join(shipped, part), to = Join(user, part);
        if (FolderExists(from) && !FolderExists(to)) {
            fs::create_directories(fs::path(to), ec);
            fs::copy(fs::path(from), fs::path(to),
                     fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
        }
    }
    return FolderExists(Join(user, "htdocs")) ? user : shipped;
}

void MakeHTML(const std::string& webRoot, const std::vector<PageRow>& queue, int curIndex, bool playing,
              const SiteTexts& site, const PageSink& sink) {
    Log(sink, "MakeHTML in Path: " + webRoot);
    const std::string basics = Join(webRoot, "basics");
    const std::string headPath = Fragment(basics, site, "playhead.txt"), footPath = Fragment(basics, site, "foot.txt");
    if (!platform::IsRegularFile(headPath) || !platform::IsRegularFile(footPath)) {
        Message(sink, "Header Footer HTML fehlt...");
        return;
    }
    std::string page = LineByLine(ReadFragment(headPath));
    for (size_t i = 0; i < queue.size(); ++i) {
        const long long index = static_cast<long long>(i);
        // A stopped or finished queue plays nothing: its current row is behind the guests.
        const char* cls = index < curIndex ? "done" : index == curIndex ? (playing ? "now" : "done") : "soon";
        page += "<TR class=\"";
        page += cls;
        page += "\"><TD>\"";
        AppendHtmlEscaped(page, queue[i].title);
        page += "\"</TD><TD>&nbsp;";
        AppendHtmlEscaped(page, queue[i].artist);
        page += "</TD></TR>\r\n";
    }
    page += LineByLine(ReadFragment(footPath));
    WritePage(Join(Join(webRoot, "htdocs"), "index.html"), page, sink);
    Log(sink, "Header done");
    Log(sink, "HTML body done");
    Log(sink, "Footer done");
}

std::vector<std::string> TrackPageNames(const std::vector<PageRow>& pool) { return TrackPageNamer().Names(pool); }

std::vector<std::string> TrackPageNamer::Names(const std::vector<PageRow>& pool) {
    // The same tracks in the same order keep their names: nothing to work out again.
    if (pool.size() == lastPaths_.size() &&
        std::equal(pool.begin(), pool.end(), lastPaths_.begin(), [](const PageRow& r, const std::string& p) { return r.path == p; }))
        return lastNames_;
    std::vector<std::string> names(pool.size());
    std::unordered_set<std::string> taken;
    taken.reserve(pool.size() * 2);
    std::unordered_map<std::string, std::string> kept;
    kept.reserve(pool.size());
    // Names given before stay with their tracks, so a guest's older pool page still links each
    // track to its own page after the pool was sorted or grew.
    std::vector<size_t> fresh;
    for (size_t i = 0; i < pool.size(); ++i) {
        const auto it = byPath_.find(pool[i].path);
        if (it != byPath_.end() && !kept.count(pool[i].path) && taken.insert(FoldCase(it->second)).second) {
            names[i] = it->second;
            kept.emplace(pool[i].path, it->second);
        } else {
            fresh.push_back(i);
        }
    }
    // Then every new row whose natural name is still free takes it; only then do the later
    // duplicates pick suffixes, so a suffix never takes another track's own name.
    std::vector<size_t> duplicates;
    for (const size_t i : fresh) {
        std::string name = PageName(PageStem(pool[i].path), {});
        if (taken.insert(FoldCase(name)).second) {
            names[i] = std::move(name);
        } else {
            duplicates.push_back(i);
        }
    }
    // Each stem remembers its next suffix, so a pool of 2,000 "Track01.mp3" stays linear.
    std::unordered_map<std::string, int> nextSuffix;
    for (const size_t i : duplicates) {
        const std::string stem = PageStem(pool[i].path);
        int& n = nextSuffix.try_emplace(FoldCase(stem), 2).first->second;
        for (;; ++n) {
            std::string name = PageName(stem, "-" + std::to_string(n));
            if (taken.insert(FoldCase(name)).second) {
                names[i] = std::move(name);
                ++n;
                break;
            }
        }
    }
    for (size_t i = 0; i < pool.size(); ++i) kept.try_emplace(pool[i].path, names[i]);
    byPath_ = std::move(kept);
    lastPaths_.clear();
    lastPaths_.reserve(pool.size());
    for (const PageRow& r : pool) lastPaths_.push_back(r.path);
    lastNames_ = names;
    return names;
}

namespace {

// The page names of each web root's pool, kept from one regeneration to the next.
std::vector<std::string> RememberedPageNames(const std::string& webRoot, const std::vector<PageRow>& pool) {
    static std::mutex mutex;
    static std::unordered_map<std::string, TrackPageNamer> namers;
    std::lock_guard lock(mutex);
    return namers[webRoot].Names(pool);
}

}  // namespace

void MakeGuestPoolHTML(const std::string& webRoot, const std::vector<PageRow>& pool,
                       const StatusWords& words, const SiteTexts& site, const PageSink& sink, bool trackPages) {
    const std::string basics = Join(webRoot, "basics"), htdocs = Join(webRoot, "htdocs");
    std::string text;
    const std::string idxHead = Fragment(basics, site, "idxhead.txt");
    if (platform::IsRegularFile(idxHead)) {
        text += LinesJoined(ReadFragment(idxHead));
    } else {
        Message(sink, "Nicht gefunden: " + idxHead);
    }
    text += " V 28.11.17<br>";

    const std::vector<std::string> names = RememberedPageNames(webRoot, pool);
    const OpenFolder folder(htdocs);
    std::optional<TrackFragments> fragments;  // read at the first row, as an empty pool needs none
    for (size_t i = 0; i < pool.size(); ++i) {
        const PageRow& row = pool[i];
        text += "\r\n\t<TH class=\"tit\" colspan=\"2\">";
        if (row.status == words.blocked) {
            text += "<span class=\"blocked\">" + site.recent + "</span>";
        } else if (row.status == words.chosen) {
            text += "<span class=\"chosen\">" + site.already + "</span>";
        }
        text += "<a href=\"/";
        text += PercentEncodePath(names[i]);
        text += "\" target=\"_top\">";
        AppendHtmlEscaped(text, row.title);
        text += "</a></TH>\r\n\r\n";
        text += "\t  <TR><TD class=\"Art\">";
        AppendHtmlEscaped(text, row.artist);
        text += "</TD><TD class=\"Med\">(";
        AppendHtmlEscaped(text, row.album);
        text += ")</TD></TR>\r\n";

        if (!trackPages) continue;
        if (!fragments) {
            fragments.emplace();
            fragments->head = LineByLine(ReadFragment(Fragment(basics, site, "head.txt")));
            fragments->foot = LineByLine(ReadFragment(Fragment(basics, site, "foot.txt")));
            fragments->take = site.take;
            fragments->medium = site.medium;
            fragments->generation = Written().FragmentsGeneration(fragments->head + '\0' + fragments->foot + '\0' +
                                                                  site.take + '\0' + site.medium);
        }
        MakeTrackPage(htdocs, folder.fd(), *fragments, row, names[i], sink);
    }

    const std::string idxFoot = Fragment(basics, site, "idxfoot.txt");
    if (platform::IsRegularFile(idxFoot)) {
        text += LinesJoined(ReadFragment(idxFoot));
    } else {
        Message(sink, "Nicht gefunden: " + idxFoot);
    }
    text += kCrLf;
    WritePage(Join(Join(htdocs, "tool"), "guestpool.html"), text, sink);
}

SelectAnswer SelectPage(const std::string& webRoot, const SiteTexts& site, const std::string& title,
                        const std::string& artist, const std::string& word, const std::string& reason) {
    const std::string basics = Join(webRoot, "basics");
    const std::string headPath = Fragment(basics, site, "head.txt");
    if (!platform::IsRegularFile(headPath)) return {"head.txt not found", false};
    std::string page = ReadFragment(headPath);
    page += "\t\t <TR><TD>" + site.yourChoice + "</TD></TR>\r\n";
    page += "\t\t <TR><TH colspan=\"2\" class=\"Title\">\"";
    AppendHtmlEscaped(page, title);
    page += "\"</TH></TR>\r\n";
    page += "\t\t <TR><TH colspan=\"2\" class=\"Artist\">";
    AppendHtmlEscaped(page, artist);
    page += "</TH></TR>\r\n";
    if (!reason.empty()) page += "\t\t <TR><TD class=\"why\">" + reason + "</TD></TR>\r\n";
    page += "\t\t <TR><TD>";
    AppendHtmlEscaped(page, word);
    page += "</TD></TR>\r\n";
    page += ReadFragment(Fragment(basics, site, "foot.txt"));
    return {std::move(page), true};
}

}  // namespace web
