#pragma once
// The pages guests see: index.html, tool/guestpool.html, one page per pool track and the select
// answer, built from the fragments in basics/ and a plain snapshot of the list rows. Qt-free;
// runs on the user-interface thread.
#include <functional>
#include <string>
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
// curIndex), foot.txt. Missing fragments: the message, and nothing is written.
// Throws platform::Error when the page cannot be written.
void MakeHTML(const std::string& webRoot, const std::vector<PageRow>& queue, int curIndex,
              const PageSink& sink);

// Writes every track page and then htdocs/tool/guestpool.html. A missing idxhead.txt or
// idxfoot.txt is a message and the page goes without it; a missing head.txt or foot.txt throws
// platform::Error before anything is written. Pages whose bytes did not change are not
// rewritten. Throws platform::Error when a page cannot be written.
void MakeGuestPoolHTML(const std::string& webRoot, const std::vector<PageRow>& pool,
                       const StatusWords& words, const PageSink& sink);

// The page names of the pool's track pages, row by row: the file name with its extension
// replaced by ".htm"; a name that an earlier row took gets a suffix ("x.htm", "x-2.htm").
std::vector<std::string> TrackPageNames(const std::vector<PageRow>& pool);

// The select answer page. headFound false: the page is "head.txt not found" (the caller then
// leaves status panel 1 alone). word: the display text of the admission's result. Throws
// platform::Error when head.txt is there but foot.txt cannot be read.
struct SelectAnswer {
    std::string page;  // UTF-8
    bool headFound = false;
};
SelectAnswer SelectPage(const std::string& webRoot, const std::string& title,
                        const std::string& artist, const std::string& word);

}  // namespace web
