// The pages guests get: bytes of the generated files, links that reach their track, failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>

#include "platform/errors.h"
#include "platform/text_codec.h"
#include "tests/support/temp_dir.h"
#include "web/html_text.h"
#include "web/pages.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string Slurp(const fs::path& p) {
    return platform::ReadBinaryFile(p).value_or("<missing>");
}

ino_t Inode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A web root with small fragments; LF line ends in, CR LF out.
struct Site {
    testutil::TempDir dir;
    std::vector<std::string> messages, log;
    web::PageSink sink{[this](const std::string& l) { log.push_back(l); },
                       [this](const std::string& m) { messages.push_back(m); }};
    Site() {
        fs::create_directories(dir / "basics");
        fs::create_directories(dir / "htdocs" / "tool");
        for (const char* f : {"head", "foot", "idxhead", "idxfoot", "playhead"}) {
            Put(dir / "basics" / (std::string(f) + ".txt"),
                std::string("<") + f + ">\n<" + f + "2>\n");
        }
    }
    std::string root() const { return dir.path().string(); }
    fs::path doc(const std::string& name) const { return dir.path() / "htdocs" / name; }
};

const web::StatusWords kWords{"blocked", "chosen"};

}  // namespace

TEST(Pages, BytesOfTheSmallCases) {
    struct Case {
        const char* name;
        std::function<void(Site&)> run;
        std::map<std::string, std::string> files;  // file below htdocs -> bytes
    };
    const std::string trackPage =
        "<head>\r\n<head2>\r\n\t\t<TH class=\"Title\" colspan=\"2\">\"Song\"</TH>\r\n\r\n"
        "\t\t<TR><TD class=\"Artist\">Art</TD><TD>Medium: \"Alb\"</TD></TR>\r\n\r\n"
        "\t\t<TH class=\"button\" colspan=\"2\"><a href=\"/tool/select.htm/?/Music/Song.mp3\">"
        "Titel in Spielplan &uuml;bernehmen</a></TH>\r\n\r\n<foot>\r\n<foot2>\r\n";
    const std::vector<Case> cases = {
        {"queue of five, third playing, playhead made on Windows",
         [](Site& s) {
             Put(s.dir / "basics" / "playhead.txt", "<pl\xE4y>\r\n<x>");
             std::vector<web::PageRow> q;
             for (char c = 'A'; c <= 'E'; ++c) q.push_back({"", std::string(1, c), "a", "", "/x"});
             web::MakeHTML(s.root(), q, 2, true, {}, s.sink);
         },
         {{"index.html",
           "<pl\xC3\xA4y>\r\n<x>\r\n"
           "<TR class=\"done\"><TD>\"A\"</TD><TD>&nbsp;a</TD></TR>\r\n"
           "<TR class=\"done\"><TD>\"B\"</TD><TD>&nbsp;a</TD></TR>\r\n"
           "<TR class=\"now\"><TD>\"C\"</TD><TD>&nbsp;a</TD></TR>\r\n"
           "<TR class=\"soon\"><TD>\"D\"</TD><TD>&nbsp;a</TD></TR>\r\n"
           "<TR class=\"soon\"><TD>\"E\"</TD><TD>&nbsp;a</TD></TR>\r\n<foot>\r\n<foot2>\r\n"}}},
        {"empty pool",
         [](Site& s) { web::MakeGuestPoolHTML(s.root(), {}, kWords, {}, s.sink); },
         {{"tool/guestpool.html", "<idxhead><idxhead2> V 28.11.17<br><idxfoot><idxfoot2>\r\n"}}},
        {"blocked track",
         [](Site& s) {
             web::MakeGuestPoolHTML(
                 s.root(), {{"blocked", "Song", "Art", "Alb", "/Music/Song.mp3"}}, kWords, {}, s.sink);
         },
         {{"tool/guestpool.html",
           "<idxhead><idxhead2> V 28.11.17<br>\r\n\t<TH class=\"tit\" colspan=\"2\">"
           "<span class=\"blocked\">recently played</span><a href=\"/Song.htm\" "
           "target=\"_top\">Song</a>"
           "</TH>\r\n\r\n\t  <TR><TD class=\"Art\">Art</TD><TD class=\"Med\">(Alb)</TD></TR>\r\n"
           "<idxfoot><idxfoot2>\r\n"},
          {"Song.htm", trackPage}}},
        {"refused select, head saved as UTF-16 on Windows",
         [](Site& s) {
             Put(s.dir / "basics" / "head.txt", std::string("\xFF\xFE<\0h\0\xE4\0>\0\r\0\n\0", 14));
             const auto a = web::SelectPage(s.root(), {}, "", "", "chosen");
             EXPECT_TRUE(a.headFound);
             Put(s.doc("answer"), a.page);
         },
         {{"answer",
           "<h\xC3\xA4>\r\n\t\t <TR><TD>Gew&auml;hlter Titel:</TD></TR>\r\n"
           "\t\t <TR><TH colspan=\"2\" class=\"Title\">\"\"</TH></TR>\r\n"
           "\t\t <TR><TH colspan=\"2\" class=\"Artist\"></TH></TR>\r\n"
           "\t\t <TR><TD>chosen</TD></TR>\r\n<foot>\n<foot2>\n"}}},
    };
    for (const Case& c : cases) {
        Site site;
        c.run(site);
        for (const auto& [file, bytes] : c.files) EXPECT_EQ(Slurp(site.doc(file)), bytes) << c.name;
        EXPECT_TRUE(site.messages.empty()) << c.name;
    }
}

TEST(Pages, ValuesAreEscapedAndLinksReachTheirOwnTrack) {
    Site site;
    // Two albums' "01 Intro.mp3", and a track whose own name is what a suffix would make.
    const std::vector<web::PageRow> pool = {
        {"", "<b>\"A&B\"</b>", "x", "y", "/M/Ä #1%/01 Intro.mp3"},
        {"", "Second", "x", "y", "/M/B/01 Intro.mp3"},
        {"", "Own", "x", "y", "/M/C/01 Intro-2.mp3"},
    };
    web::MakeGuestPoolHTML(site.root(), pool, kWords, {}, site.sink);
    const std::string poolPage = Slurp(site.doc("tool/guestpool.html"));
    EXPECT_NE(poolPage.find("&lt;b&gt;&quot;A&amp;B&quot;&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(poolPage.find("<b>"), std::string::npos);

    const std::vector<std::pair<std::string, std::string>> links = {
        {"01 Intro.htm", "/M/%C3%84%20%231%25/01%20Intro.mp3"},
        {"01 Intro-3.htm", "/M/B/01%20Intro.mp3"},
        {"01 Intro-2.htm", "/M/C/01%20Intro-2.mp3"},
    };
    for (const auto& [page, select] : links) {
        const std::string href = "/" + std::string(page).replace(page.find(' '), 1, "%20");
        EXPECT_NE(poolPage.find("<a href=\"" + href + "\""), std::string::npos) << page;
        EXPECT_NE(Slurp(site.doc(page)).find("href=\"/tool/select.htm/?" + select + "\""),
                  std::string::npos)
            << page;
    }
}

TEST(Pages, OnlyChangedPagesAreRewritten) {
    Site site;
    std::vector<web::PageRow> pool;
    for (int i = 0; i < 4; ++i)
        pool.push_back({"", "T" + std::to_string(i), "a", "b", "/m/" + std::to_string(i) + ".mp3"});
    web::MakeGuestPoolHTML(site.root(), pool, kWords, {}, site.sink);
    std::vector<ino_t> before;
    for (int i = 0; i < 4; ++i) before.push_back(Inode(site.doc(std::to_string(i) + ".htm")));

    pool[1].title = "changed";
    Put(site.doc("2.htm"), "spoilt");  // changed behind the program's back
    web::MakeGuestPoolHTML(site.root(), pool, kWords, {}, site.sink);
    for (int i = 0; i < 4; ++i) {
        const bool rewritten = Inode(site.doc(std::to_string(i) + ".htm")) != before[i];
        EXPECT_EQ(rewritten, i == 1 || i == 2) << i;
    }
    EXPECT_NE(Slurp(site.doc("2.htm")).find("T2"), std::string::npos);
    EXPECT_NE(Slurp(site.doc("1.htm")).find("\"changed\""), std::string::npos);

    // New fragments reach every page.
    Put(site.dir / "basics" / "foot.txt", "<new foot>");
    web::MakeGuestPoolHTML(site.root(), pool, kWords, {}, site.sink);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(Slurp(site.doc(std::to_string(i) + ".htm")).find("<new foot>\r\n"),
                  std::string::npos);
}

TEST(Pages, MissingFragmentsAndFolders) {
    const std::vector<web::PageRow> pool = {{"", "Song", "a", "b", "/m/Song.mp3"}};
    {
        Site site;
        fs::remove(site.dir / "basics" / "playhead.txt");
        web::MakeHTML(site.root(), pool, 0, true, {}, site.sink);
        EXPECT_EQ(site.messages, std::vector<std::string>{"Header Footer HTML fehlt..."});
        EXPECT_FALSE(fs::exists(site.doc("index.html")));
    }
    {
        Site site;
        fs::remove(site.dir / "basics" / "idxhead.txt");
        fs::remove(site.dir / "basics" / "head.txt");
        // The message comes first, then the track page's fragment fails before anything is written.
        EXPECT_THROW(web::MakeGuestPoolHTML(site.root(), pool, kWords, {}, site.sink), platform::Error);
        EXPECT_EQ(site.messages,
                  std::vector<std::string>{"Nicht gefunden: " +
                                           (site.dir / "basics" / "idxhead.txt").string()});
        EXPECT_FALSE(fs::exists(site.doc("Song.htm")));
        EXPECT_FALSE(fs::exists(site.doc("tool/guestpool.html")));
        // An empty pool needs no track fragment.
        web::MakeGuestPoolHTML(site.root(), {}, kWords, {}, site.sink);
        EXPECT_EQ(Slurp(site.doc("tool/guestpool.html")), " V 28.11.17<br><idxfoot><idxfoot2>\r\n");

        const auto answer = web::SelectPage(site.root(), {}, "Song", "a", "ready");
        EXPECT_EQ(answer.page, "head.txt not found");
        EXPECT_FALSE(answer.headFound);
    }
    {
        Site site;
        fs::remove(site.dir / "basics" / "foot.txt");
        EXPECT_THROW(web::SelectPage(site.root(), {}, "Song", "a", "ready"), platform::Error);
    }
    {
        // A page the disk refuses is told once; the other pages are written all the same.
        Site site;
        fs::remove_all(site.dir / "htdocs" / "tool");
        fs::create_directories(site.doc("Song.htm"));
        const std::vector<web::PageRow> two = {pool[0], {"", "Other", "a", "b", "/m/Other.mp3"}};
        for (int i = 0; i < 3; ++i) web::MakeGuestPoolHTML(site.root(), two, kWords, {}, site.sink);
        ASSERT_EQ(site.messages.size(), 2u);
        for (const std::string& m : site.messages) EXPECT_EQ(m.rfind("Unable to write to ", 0), 0u) << m;
        EXPECT_NE(Slurp(site.doc("Other.htm")).find("Other"), std::string::npos);
        fs::create_directories(site.doc("tool"));
        web::MakeGuestPoolHTML(site.root(), two, kWords, {}, site.sink);
        EXPECT_NE(Slurp(site.doc("tool/guestpool.html")).find("Other"), std::string::npos);
        EXPECT_EQ(site.messages.size(), 2u);
    }
}

// Track page names as a guest holding an older pool page relies on them: each link leads to its
// own track whatever happened to the pool since, and every name fits the file system.
TEST(Pages, TrackPageNamesStayWithTheirTracksAndFit) {
    const std::string longStem(250, 'n'), longAccents = [] {
        std::string s;
        for (int i = 0; i < 125; ++i) s += "\xC3\xA9";  // 250 bytes of "é"
        return s;
    }();
    struct Case {
        const char* what;
        std::vector<std::vector<std::string>> pools;  // one regeneration each
        std::vector<std::string> names;               // of the last pool's rows
    };
    const std::vector<Case> cases = {
        {"equal names in two folders", {{"/A/01 Intro.mp3", "/B/01 Intro.mp3"}}, {"01 Intro.htm", "01 Intro-2.htm"}},
        {"names differing in letter case only", {{"/A/x.mp3", "/B/X.mp3"}}, {"x.htm", "X-2.htm"}},
        {"sorted: each keeps its page",
         {{"/A/01 Intro.mp3", "/B/01 Intro.mp3"}, {"/B/01 Intro.mp3", "/A/01 Intro.mp3"}},
         {"01 Intro-2.htm", "01 Intro.htm"}},
        {"a track added before the others moves none", {{"/B/x.mp3"}, {"/A/x.mp3", "/B/x.mp3"}}, {"x-2.htm", "x.htm"}},
        {"a track that left frees its name",
         {{"/A/x.mp3", "/B/x.mp3"}, {"/B/x.mp3"}, {"/C/x.mp3", "/B/x.mp3"}},
         {"x.htm", "x-2.htm"}},
        {"250-character names in two folders",
         {{"/A/" + longStem + ".mp3", "/B/" + longStem + ".mp3"}},
         {longStem + ".htm", longStem.substr(0, 249) + "-2.htm"}},
        {"accented names are cut on a whole character",
         {{"/A/" + longAccents + ".mp3", "/B/" + longAccents + ".mp3"}},
         {longAccents + ".htm", longAccents.substr(0, 248) + "-2.htm"}},
        {"a long name without extension", {{"/A/" + std::string(255, 'x')}}, {std::string(251, 'x') + ".htm"}},
    };
    for (const Case& c : cases) {
        Site site;
        std::vector<web::PageRow> pool;
        for (const auto& paths : c.pools) {
            pool.clear();
            for (const std::string& p : paths) pool.push_back({"", "T" + p.substr(1, 1), "a", "b", p});
            web::MakeGuestPoolHTML(site.root(), pool, kWords, {}, site.sink);
        }
        EXPECT_TRUE(site.messages.empty()) << c.what << ": " << (site.messages.empty() ? "" : site.messages[0]);
        const std::string poolPage = Slurp(site.doc("tool/guestpool.html"));
        ASSERT_EQ(pool.size(), c.names.size()) << c.what;
        for (size_t i = 0; i < pool.size(); ++i) {
            EXPECT_LE(c.names[i].size(), web::kMaxPageName) << c.what;
            const std::string link = "<a href=\"/" + web::PercentEncodePath(c.names[i]) + "\" target=\"_top\">" +
                                     pool[i].title + "</a>";
            EXPECT_NE(poolPage.find(link), std::string::npos) << c.what << ": " << c.names[i];
            EXPECT_NE(Slurp(site.doc(c.names[i])).find("?" + web::PercentEncodePath(pool[i].path) + "\""),
                      std::string::npos)
                << c.what << ": " << c.names[i];
        }
    }
}

TEST(Pages, WebRootFallsBackToTheShippedContent) {
    testutil::TempDir dir;
    const fs::path program = dir / "usr" / "bin",
                   shared = dir / "usr" / "share" / "quorbel-media-mixer";
    fs::create_directories(program);
    fs::create_directories(shared / "htdocs" / "tool");
    fs::create_directories(dir / "mine");
    EXPECT_EQ(web::WebRoot((dir / "mine").string() + "/", program.string()),
              (dir / "mine").string());
    EXPECT_EQ(web::WebRoot((dir / "gone").string(), program.string()), shared.string());
    fs::create_directories(program / "htdocs" / "tool");
    EXPECT_EQ(web::WebRoot("", program.string()), program.string());
}
