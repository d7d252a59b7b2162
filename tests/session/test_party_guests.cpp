// Guests at the party: select requests and their answers, the pages each event rewrites, the
// timers that carry requests and presets into the queue, the web server, settings and languages.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>

#include "platform/ini_file.h"
#include "settings/language_file.h"
#include "tests/session/party_fixture.h"
#include "web/listener.h"

namespace session_test {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Guests : public PartyTest {
protected:
    void SetUp() override {
        fs::create_directories(root / "htdocs" / "tool");
        fs::copy(fs::path(QMM_SOURCE_DIR) / "resources" / "basics", root / "basics", fs::copy_options::recursive);
        Confirm([&](settings::TSetRec& r) { r.HTMLpath = QString::fromStdString(root.string()); });
        party.SetWebPort(0);
    }
    void TearDown() override { settings::SetLanguageFolders({}); }

    // A file with an ID3v1 trailer, so adding it reads its title and artist.
    QString Track(const std::string& name, const QString& title, const QString& artist = "Band") {
        std::string tag = "TAG" + std::string(125, '\0');
        tag.replace(3, title.size(), title.toLatin1().toStdString());
        tag.replace(33, artist.size(), artist.toLatin1().toStdString());
        const fs::path path = dir.path() / name;
        std::ofstream(path, std::ios::binary) << std::string(4096, 'U') << tag;
        const QString file = QString::fromStdString(path.string());
        clock->SetLength(file, 180000);
        return file;
    }
    // Probed into the pool as the context menu would.
    void FillPool(const QStringList& paths) {
        for (const QString& p : paths) party.AddTrack(ListId::Pool, p, "File");
        Run([&] { party.ClearList(std::nullopt); });
    }
    std::string Page(const char* name) { return ReadAll(root / "htdocs" / name); }
    std::string Select(const QString& path, const QString& host = "10.0.0.9") {
        std::string page;
        Run([&] { page = party.Select(host, "21:07.45", path); });
        return page;
    }
    // Shipped German words.
    static std::string German(const char16_t* section, const char16_t* key) {
        const platform::IniFile file(fs::path(QMM_SOURCE_DIR) / "resources" / "lang" / "deu.lng");
        return QString::fromStdU16String(file.ReadString(section, key, u"?")).toStdString();
    }
    void Speak(const char* code) {
        settings::SetLanguageFolders({fs::path(QMM_SOURCE_DIR) / "resources"});
        Run([&] { party.SwitchLanguage(code); });
    }

    fs::path root = dir.path() / "web";
};

TEST_F(Guests, ASelectIsAdmittedByThePoolsWordAndAnsweredWithItsTrack) {
    const QString halo = Track("Beyonc\xc3\xa9 - Halo.mp3", "Halo", "Beyonc\u00e9"), crush = Track("crush.mp3", "Crush");
    FillPool({halo, crush});
    std::string answer = Select(halo);
    EXPECT_NE(answer.find("Halo"), std::string::npos) << answer;
    EXPECT_NE(answer.find("<TD>ready</TD>"), std::string::npos) << answer;
    ASSERT_EQ(party.Requests().Count(), 1);
    EXPECT_EQ(party.Requests().Row(0), (TrackRow{"chosen", "Halo", "Beyonc\u00e9", "n/a", "####", "21:07.45", "10.0.0.9", halo}))
        << "the request reads chosen once the event is over";
    EXPECT_EQ(party.Pool().Caption(0), "chosen");
    EXPECT_EQ(party.Panel(1), "Gew\u00e4hlt: Halo");
    EXPECT_NE(Page("tool/guestpool.html").find("already chosen"), std::string::npos);

    // Refused: the guest learns which track and why, and nothing changes.
    answer = Select(halo);
    EXPECT_NE(answer.find("<TD>chosen</TD>"), std::string::npos);
    EXPECT_NE(answer.find(party.Text(u"web_why_yours").toStdString()), std::string::npos) << "a double tap";
    answer = Select(halo, "10.0.0.8");
    EXPECT_NE(answer.find(party.Text(u"web_why_chosen").toStdString()), std::string::npos) << "another guest";
    answer = Select(QString::fromStdString((dir.path() / "elsewhere.mp3").string()));
    EXPECT_NE(answer.find("elsewhere"), std::string::npos) << "named by its file";
    EXPECT_NE(answer.find("<TD>error</TD>"), std::string::npos);
    EXPECT_EQ(party.Requests().Count(), 1);
    EXPECT_EQ(party.Panel(1), "Gew\u00e4hlt: ");

    // A fragment gone: no answer, the admission stands, the error is shown.
    party.Requests().ClearRows();
    fs::remove(root / "basics" / "foot.txt");
    EXPECT_THROW(party.Select("10.0.0.9", "21:08.00", crush), std::exception);
    EXPECT_EQ(party.Requests().Count(), 1);
}

// One select is one event: each list's words are written once, the pool page once, and the
// window is told once.
TEST_F(Guests, OneSelectRefreshesOnceAndShowsOnce) {
    QStringList pool;
    for (int i = 0; i < 20; ++i) pool << Track("t" + std::to_string(i) + ".mp3", "T" + QString::number(i));
    FillPool(pool);
    for (int i = 0; i < 5; ++i) party.Requests().AppendRow(Row(pool[i]));
    party.Presets().AppendRows({Row(pool[10]), Row(pool[11])});
    Run([&] { party.ClearList(std::nullopt); });
    int poolChanges = 0, requestChanges = 0, presetChanges = 0;
    QObject::connect(&party.Pool(), &tracks::TrackList::RowsChanged, [&] { ++poolChanges; });
    QObject::connect(&party.Requests(), &tracks::TrackList::RowsChanged, [&] { ++requestChanges; });
    QObject::connect(&party.Presets(), &tracks::TrackList::RowsChanged, [&] { ++presetChanges; });
    const int shows = view.shows;
    const std::string index = Page("index.html");
    Select(pool[15]);
    EXPECT_EQ(view.shows, shows + 1);
    EXPECT_EQ(poolChanges, 1);
    EXPECT_EQ(requestChanges, 1);
    EXPECT_LE(presetChanges, 1);
    EXPECT_EQ(Page("index.html"), index) << "the queue did not change";
}

TEST_F(Guests, AGuestAtTheLimitIsRefusedUntilARequestMoves) {
    const QString a = Track("a.mp3", "A"), b = Track("b.mp3", "B"), c = Track("c.mp3", "C");
    FillPool({a, b, c});
    Speak("deu");
    const std::string word = "<TD>" + German(u"STATUS", u"st_limit") + "</TD>";
    Confirm([](settings::TSetRec& r) { r.RequestsPerGuest = 1; });
    const auto refused = [&](const char* host, const QString& path) {
        return Select(path, host).find(word) != std::string::npos;
    };
    EXPECT_FALSE(refused("10.0.0.5", a));
    EXPECT_TRUE(refused("10.0.0.5", b));
    EXPECT_FALSE(refused("10.0.0.5", a)) << "a chosen track keeps its own reason";
    EXPECT_FALSE(refused("10.0.0.6", b));
    Run([&] { party.SetGuestUse(true); });
    Run([&] { party.RequestStep(); });  // the empty queue runs short: a moves in
    EXPECT_FALSE(refused("10.0.0.5", c));
    EXPECT_EQ(party.Requests().Count(), 2);
    EXPECT_EQ(party.Queue().Count(), 1);
}

TEST_F(Guests, TimersCarryRequestsAndPresetsIntoThePlayingQueue) {
    const QString q1 = Track("q1.mp3", "Q1"), g1 = Track("g1.mp3", "G1"), g2 = Track("g2.mp3", "G2");
    const QString p1 = Track("p1.mp3", "P1");
    party.AddTrack(ListId::Queue, q1, "File");
    party.AddTrack(ListId::Presets, p1, "File");
    FillPool({g1, g2});
    Select(g1);
    EXPECT_FALSE(party.Timers().requests) << "remote requests are not allowed yet";
    Run([&] { party.ClearList(std::nullopt); });  // the option boxes follow the lists
    Run([&] { party.SelectWebMix(); });
    Run([&] { party.SetGuestUse(true); });
    Run([&] { party.SetPresetUse(true); });
    party.SetFade(5);
    Run([&] { party.PlayList(); });
    EXPECT_TRUE(party.Timers().requests && party.Timers().presets);
    const auto queue = [&] {
        QString out;
        for (const TrackRow& r : party.Queue().Rows()) out += r.Title + "<" + r.Src + " ";
        return out.toStdString();
    };
    // Mix Web: the request, then the preset, then nothing while two rows follow the current one.
    Run([&] { party.RequestStep(); });
    Run([&] { party.PresetStep(); });
    Select(g2, "10.0.0.8");
    Run([&] { party.RequestStep(); });
    EXPECT_EQ(queue(), "Q1<File G1<10.0.0.9 P1<DJ + ");
    EXPECT_NE(Page("index.html").find("P1"), std::string::npos) << "the preset step writes index.html";
    for (const char* line : {"Timer 2", "Timer3", "inserted preselect file:"}) EXPECT_TRUE(view.log.contains(line)) << line;

    // The request plays when its turn comes, and the next one follows it into the queue.
    for (int i = 0; i < 600 && party.Deck(2).FileName() != g1; ++i) Tick();
    EXPECT_EQ(party.Deck(2).FileName(), g1);
    Run([&] { party.RequestStep(); });
    EXPECT_EQ(queue(), "Q1<File G1<10.0.0.9 P1<DJ + G2<10.0.0.8 ");

    // Empty lists switch their timers off at the next step; a new request switches Timer2 on.
    Run([&] { party.RequestStep(); });
    Run([&] { party.PresetStep(); });
    EXPECT_FALSE(party.Timers().requests || party.Timers().presets);
    party.AddTrack(ListId::Pool, q1, "File");
    Select(q1, "10.0.0.7");
    EXPECT_TRUE(party.Timers().requests);
    EXPECT_TRUE(boxes->errors.empty() && boxes->messages.empty());
}

// While the listener runs, the pool's words and the guests' pages follow every change of the
// queue, also before the configuration is complete, and they speak the program's language.
TEST_F(Guests, PoolAndPagesFollowTheQueueWhileTheServerRuns) {
    const QString a = Track("a.mp3", "Alpha"), b = Track("b.mp3", "Beta");
    FillPool({a, b});
    Speak("deu");
    Run([&] { party.SetBlockRecent(true); });
    Run([&] { party.StartWebServer(); });
    ASSERT_TRUE(party.Web().running);
    EXPECT_FALSE(party.WebConfigComplete()) << "lists and folder are not all configured";
    const auto marked = [&](const std::string& word, const std::string& page) {
        return Page("tool/guestpool.html").find("\">" + word + "</span><a href=\"/" + page) != std::string::npos;
    };
    // The DJ queues a track: the pool blocks it and its page says so, in German.
    boxes->openAnswers.push_back({a.toStdU16String()});
    Run([&] { party.AddAudioFile(); });
    EXPECT_EQ(party.Pool().Caption(0), party.Text(u"st_blocked"));
    EXPECT_TRUE(marked(German(u"WEB", u"web_recent"), "a.htm"));
    EXPECT_NE(Page("tool/guestpool.html").find("lang=\"de\""), std::string::npos);
    const std::string answer = Select(a);
    for (const std::string& part : {std::string("Alpha"), German(u"WEB", u"web_why_blocked"), German(u"STATUS", u"st_blocked")})
        EXPECT_NE(answer.find(part), std::string::npos) << part << "\n" << answer;
    // While it plays it is "now" on the guests' page; once stopped, no row is.
    Run([&] { party.PlayList(); });
    EXPECT_NE(Page("index.html").find("class=\"now\"><TD>\"Alpha"), std::string::npos);
    Run([&] { party.Stop(); });
    EXPECT_EQ(Page("index.html").find("class=\"now\""), std::string::npos);
    // The DJ clears the queue: the track can be requested again, at once.
    Run([&] { party.ClearList(ListId::Queue); });
    EXPECT_EQ(party.Pool().Caption(0), party.Text(u"st_ready"));
    EXPECT_FALSE(marked(German(u"WEB", u"web_recent"), "a.htm"));
    // English: the whole site changes with the program.
    Speak("eng");
    EXPECT_NE(Page("tool/guestpool.html").find("lang=\"en\""), std::string::npos);
    EXPECT_EQ(Page("b.htm").find(German(u"WEB", u"web_take")), std::string::npos);
    EXPECT_TRUE(boxes->errors.empty() && boxes->messages.empty());
    Run([&] { party.StopWebServer(); });
    EXPECT_FALSE(party.Web().running || party.Listener().Active());
    EXPECT_TRUE(party.Web().label.isEmpty());
    EXPECT_TRUE(party.ControlStates().webOn && !party.ControlStates().webOff);
    EXPECT_EQ(party.Panel(1), party.Text(u"H24"));
}

TEST_F(Guests, ConfigurationDecidesWhetherTheBlockOptionRewritesThePoolPage) {
    const QString track = Track("q.mp3", "Queued");
    FillPool({track});
    party.AddTrack(ListId::Queue, track, "File");
    Run([&] { party.SetBlockRecent(true); });
    EXPECT_EQ(party.Pool().Caption(0), "blocked");
    EXPECT_EQ(Page("tool/guestpool.html").find("recently played"), std::string::npos);
    Confirm([&](settings::TSetRec& r) { r.StdPlayList = r.StdWebList = r.StdPresetList = track; });
    EXPECT_TRUE(party.WebConfigComplete());
    EXPECT_TRUE(party.ControlStates().webOn && !party.ControlStates().webOff);
    Run([&] { party.SetBlockRecent(false); });
    Run([&] { party.SetBlockRecent(true); });
    EXPECT_NE(Page("tool/guestpool.html").find("recently played"), std::string::npos);
    Run([&] { party.StartWebServer(); });
    Confirm([&](settings::TSetRec& r) { r.HTMLpath = QString::fromStdString((root / "gone").string()); });
    EXPECT_FALSE(party.WebConfigComplete());
    EXPECT_TRUE(!party.ControlStates().webOn && party.ControlStates().webOff) << "a running server can always be stopped";
    Run([&] { party.StopWebServer(); });
}

TEST_F(Guests, AServerThatCannotStartSaysSoAndOffersTheStartAgain) {
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{AF_INET, 0, {INADDR_ANY}, {}};
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&addr), len) | ::listen(taken, 1), 0);
    ::getsockname(taken, reinterpret_cast<sockaddr*>(&addr), &len);
    party.SetWebPort(ntohs(addr.sin_port));
    Run([&] { party.StartWebServer(); });
    ::close(taken);
    EXPECT_EQ(boxes->errors.size(), 1u);
    EXPECT_FALSE(party.Listener().Active());
    EXPECT_TRUE(party.ControlStates().webOn && !party.ControlStates().webOff);
    EXPECT_TRUE(party.Web().tried && !party.Web().running && party.Web().label.isEmpty());
    EXPECT_EQ(party.Panel(1), party.Text(u"H24"));
}

using Settings = Guests;

TEST_F(Settings, ConfirmingLoadsTheNamedListsAndTheOptionsActAsClicks) {
    std::ofstream(dir / "queue.lst") << "[0]\nFileName=/m/a.mp3\n[1]\nFileName=/m/b.mp3\n";
    std::ofstream(dir / "pool.lst") << "[0]\nFileName=/m/g.mp3\n";
    Deck(1).SetFileName(File("playing.mp3"));
    Deck(1).Open();
    Deck(1).Play();  // so ticking the preset box starts its timer
    Confirm([&](settings::TSetRec& r) {
        r.StdPlayList = QString::fromStdString((dir / "queue.lst").string());
        r.StdWebList = QString::fromStdString((dir / "pool.lst").string());
        r.StdPresetList = QString::fromStdString((dir / "missing.lst").string());
        r.CB_block = r.CB_preset = true;
        r.number_block = 10;
        r.FFsecText = "8";
    });
    EXPECT_EQ(party.Queue().Count(), 2);
    EXPECT_EQ(party.Pool().Count(), 1);
    EXPECT_TRUE(party.Timers().presets);
    EXPECT_TRUE(party.ControlStates().forward);
    EXPECT_TRUE(boxes->errors.empty());
    // Mid-party a list is loaded again only when its name changed; stopped, every named list is.
    std::ofstream(dir / "more.lst") << "[0]\nFileName=/m/r.mp3\n";
    party.Queue().DeleteRow(1);
    Confirm([](settings::TSetRec&) {});
    EXPECT_EQ(party.Queue().Count(), 1);
    Confirm([&](settings::TSetRec& r) { r.StdPlayList = QString::fromStdString((dir / "more.lst").string()); });
    EXPECT_EQ(party.Queue().Count(), 2);
    Run([&] { party.Stop(); });
    Confirm([&](settings::TSetRec& r) { r.StdPlayList = QString::fromStdString((dir / "queue.lst").string()); });
    EXPECT_EQ(party.Queue().Count(), 3);
    EXPECT_TRUE(view.details.join('\n').contains("a.mp3")) << "a track already there is reported";
    // Cancelled: only the web check runs.
    const settings::TSetRec before = party.Settings();
    Run([&] { party.CloseSettings(std::nullopt); });
    EXPECT_EQ(party.Settings().StdPlayList, before.StdPlayList);
    EXPECT_EQ(party.Panel(1), party.Text(u"H21"));
}

using Language = Guests;

TEST_F(Language, SwitchingRewritesTheStatusWordsAndRunsOnePresetStep) {
    party.Queue().AppendRow(Row(File("queued.mp3")));
    party.Pool().AppendRows({Row(File("queued.mp3")), Row(File("free.mp3"))});
    party.Requests().AppendRow(Row(File("asked.mp3")));
    party.Presets().AppendRows({Row(File("asked.mp3")), Row(File("first.mp3")), Row(File("second.mp3")),
                                Row(File("gone.mp3", 1000, false))});
    Run([&] { party.ClearList(std::nullopt); });
    Run([&] { party.SetPresetUse(true); });
    party.Texts().Set(u"str_check", u"Check");
    Run([&] { party.ShowInPanel(4, "Check: /m/probed.mp3"); });
    Speak("deu");
    const auto de = [](const char16_t* key) { return QString::fromStdString(German(u"STATUS", key)); };
    EXPECT_EQ(party.Pool().Caption(0), de(u"st_ready")) << "queued, but blocking is off";
    EXPECT_EQ(party.Pool().Caption(1), de(u"st_ready"));
    EXPECT_EQ(party.Requests().Caption(0), de(u"st_chosen"));
    EXPECT_EQ(party.Presets().Caption(0), de(u"st_chosen"));
    EXPECT_EQ(party.Presets().Caption(party.Presets().Count() - 1), de(u"st_error"));
    EXPECT_EQ(party.Queue().Caption(0), de(u"st_blocked"));
    // One preset step: the first ready preset joins the short queue, the second waits.
    EXPECT_EQ(Names(ListId::Queue), (QStringList{"queued.mp3", "first.mp3"}));
    EXPECT_EQ(party.LanguageLoaded(), "deu");
    EXPECT_TRUE(party.Panel(4).startsWith(QString::fromStdString(German(u"STRING", u"str_check")) + ": "))
        << party.Panel(4).toStdString();
    // A language without a file keeps the words; no language reads as loaded.
    settings::SetLanguageFolders({dir.path()});
    Run([&] { party.SwitchLanguage("fra"); });
    EXPECT_EQ(party.LanguageCode(), "fra");
    EXPECT_EQ(party.LanguageLoaded(), "");
    EXPECT_EQ(party.Pool().Caption(1), de(u"st_ready"));
}

}  // namespace
}  // namespace session_test
