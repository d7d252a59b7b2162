#pragma once
// The pages guests see: index.html, tool/guestpool.html, one page per pool track and the select
// answer, built from the fragments in basics/ and a plain snapshot of the list rows. Qt-free;
// runs on the user-interface thread.
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace web {

// One list row as the pages need it; all text UTF-8, path the row's FileName.
struct PageRow {
    std::string status, title, artist, album, path;
};

// The current display texts the pool page compares a row's status with.
struct StatusWords {
    std::string blocked, chosen;
};

// The language of the guest site: the fragments of basics/<code>/ where that folder has them
// (else those of basics/), and the fixed texts of the generated pages, as HTML. The defaults are
// the site's first texts.
struct SiteTexts {
    std::string code;
    std::string take = "Titel in Spielplan &uuml;bernehmen";  // the request link of a track page
    std::string medium = "Medium";                              // before the album of a track page
    std::string yourChoice = "Gew&auml;hlter Titel:";           // heads the select answer
    std::string recent = "recently played", already = "already chosen";  // marks on the pool page
};

// Where the generator's lines and messages go. log ends in AddLog; message is a plain message box
// ("Header Footer HTML fehlt...", "Nicht gefunden: " + path). An empty message callback shows the
// box through platform::UserInterface().ShowMessage; an empty log callback drops the line.
struct PageSink {
    std::function<void(const std::string&)> log, message;
};

// The web content folder: htmlPath when a folder of that name exists, else the program's
// fallback content (programFolder, then programFolder/../share/quorbel-media-mixer; when that
// folder cannot be written, a per-user copy under $XDG_DATA_HOME/quorbel-media-mixer made on
// first use). Paths UTF-8, without a trailing "/".
std::string WebRoot(const std::string& htmlPath, const std::string& programFolder);

// Writes htdocs/index.html: playhead.txt, one row per queue row (done / now / soon around
// curIndex), foot.txt. While nothing plays no row is "now": the row at curIndex has been played
// (pass -1 before anything was). Missing fragments: the message, and nothing is written.
// A page that cannot be written is a message, once until it can be written again.
void MakeHTML(const std::string& webRoot, const std::vector<PageRow>& queue, int curIndex, bool playing,
              const SiteTexts& site, const PageSink& sink);

// Writes every track page (unless `trackPages` is false) and then htdocs/tool/guestpool.html.
// A missing idxhead.txt or
// idxfoot.txt is a message and the page goes without it; a missing head.txt or foot.txt throws
// platform::Error before anything is written. Pages whose bytes did not change are not
// rewritten. A page that cannot be written is a message, once until it can be written again;
// the other pages are written all the same. A track keeps its page name for as long as the
// pool of this web root holds it, whatever the order of the rows.
void MakeGuestPoolHTML(const std::string& webRoot, const std::vector<PageRow>& pool,
                       const StatusWords& words, const SiteTexts& site, const PageSink& sink, bool trackPages = true);

// The longest page name the file system takes, in bytes.
constexpr std::size_t kMaxPageName = 255;

// The page names of the pool's track pages, row by row, for a pool seen the first time: the
// file name with its extension replaced by ".htm"; a name that an earlier row took gets a
// suffix ("x.htm", "x-2.htm"). Names are cut on a whole UTF-8 character to fit kMaxPageName.
std::vector<std::string> TrackPageNames(const std::vector<PageRow>& pool);

// The same for a pool that changes: names given before stay with their paths.
class TrackPageNamer {
public:
    std::vector<std::string> Names(const std::vector<PageRow>& pool);

private:
    std::unordered_map<std::string, std::string> byPath_;  // the names of the last pool
    std::vector<std::string> lastPaths_, lastNames_;        // that pool's paths in order, and their names
};

// The select answer page. headFound false: the page is "head.txt not found" (the caller then
// leaves status panel 1 alone). word: the display text of the admission's result; reason, when
// not empty, a line (HTML) that tells a refused guest why. Throws platform::Error when
// head.txt is there but foot.txt cannot be read.
struct SelectAnswer {
    std::string page;  // UTF-8
    bool headFound = false;
};
SelectAnswer SelectPage(const std::string& webRoot, const SiteTexts& site, const std::string& title,
                        const std::string& artist, const std::string& word, const std::string& reason = {});

}  // namespace web
