// Guests through the main window: select requests through the real listener on a free port, the
// web server menu and its failures, and headless Chromium as a phone (skipped without it;
// QMM_SCREENSHOT_DIR keeps its screenshots). What the party decides is tested in tests/session.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/ini_file.h"
#include "platform/user_interface.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "ui/Dlg_Details.h"
#include "settings/language_file.h"
#include "web/listener.h"

namespace {

namespace fs = std::filesystem;

// Runs `work` on a thread of its own while the window's event loop turns (the listener hands
// select requests to it and waits); a minute at most.
template <class F>
auto Pumped(F work) {
    auto done = std::async(std::launch::async, std::move(work));
    for (int i = 0; i < 60000 && done.wait_for(std::chrono::seconds(0)) != std::future_status::ready; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return done.get();
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The href of the link whose text is `text` (HTML escapes undone); with an empty text the
// first request link.
std::string Link(const std::string& page, const std::string& text = {}) {
    std::smatch m;
    const std::string label = std::regex_replace(text, std::regex(R"([#.()])"), R"(\$&)");
    const std::regex re(text.empty() ? R"re(href="(/tool/select\.htm[^"]*)")re"
                                     : "<a href=\"([^\"]+)\"[^>]*>" + label + "</a>");
    return std::regex_search(page, m, re) ? std::regex_replace(m[1].str(), std::regex("&amp;"), "&") : std::string();
}

class Guests : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        clock->SetDefaultLength(180000);
        form = app::CreateWindows(playback::TestDeckFactory(clock));
        fs::create_directories(music);
        fs::create_directories(htdocs / "tool");
        fs::copy(fs::path(QMM_SOURCE_DIR) / "resources" / "basics", root / "basics", fs::copy_options::recursive);
        settings::TSetRec rec = form->Party().Settings();
        rec.HTMLpath = QString::fromStdString(root.string());
        form->Party().CloseSettings(rec);
        form->Party().SetWebPort(0);
    }

    // A file with an ID3v1 trailer, so adding it reads its title and artist.
    QString Track(const std::string& name, const QString& title, const QString& artist = "Band") {
        std::string tag = "TAG" + std::string(125, '\0');
        tag.replace(3, title.size(), title.toLatin1().toStdString());
        tag.replace(33, artist.size(), artist.toLatin1().toStdString());
        std::ofstream(music / name, std::ios::binary) << std::string(4096, 'U') << tag;
        return QString::fromStdString((music / name).string());
    }
    // Probed into the guest pool as the context menu would, and the pages written.
    void FillPool(const QStringList& paths) {
        for (const QString& p : paths) form->AddTrack(form->ListView_Guest_Pool, p, "File");
        form->pop0Click();  // the lists changed
    }
    void Run(void (app::TForm1::*handler)()) { platform::Guarded([&] { (form.get()->*handler)(); }); }
    uint16_t Start() {
        Run(&app::TForm1::M70Click);
        return form->TcpServer1->Port();
    }
    // One raw request; everything the server sent until it closed.
    std::string Get(const std::string& target) {
        return Pumped([port = form->TcpServer1->Port(), target] {
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
            std::string got = "GET " + target + " HTTP/1.1\r\nHost: guest\r\n\r\n";
            if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) got.clear();
            if (!got.empty() && ::send(s, got.data(), got.size(), MSG_NOSIGNAL) > 0) got.clear();
            char buf[65536];
            for (ssize_t n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) got.append(buf, size_t(n));
            ::close(s);
            return got;
        });
    }
    std::string Body(const std::string& target) {
        const std::string answer = Get(target);
        return answer.rfind("HTTP/1.0 200 OK\r\n\r\n", 0) == 0 ? answer.substr(19) : std::string();
    }
    QString Caption(const tracks::TListView* list, int row, int sub) { return list->Row(row).Column(sub + 1); }

    platform::ScopedRecorder recorder;
    QTemporaryDir dir;
    fs::path root = dir.path().toStdString() + "/web", htdocs = root / "htdocs", music = root / "music";
    std::shared_ptr<playback::TTestClock> clock = std::make_shared<playback::TTestClock>();
    std::unique_ptr<app::TForm1> form;
};

TEST_F(Guests, RequestsThroughTheListenerAndTheServerMenu) {
    // A port someone else holds: an error, and the server is not shown as running.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{AF_INET, 0, {INADDR_ANY}, {}};
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&addr), len) | ::listen(taken, 1), 0);
    ::getsockname(taken, reinterpret_cast<sockaddr*>(&addr), &len);
    form->Party().SetWebPort(ntohs(addr.sin_port));
    Run(&app::TForm1::M70Click);
    ::close(taken);
    EXPECT_EQ(recorder->errors.size(), 1u);
    EXPECT_TRUE(form->M70->isEnabled() && !form->M70->isChecked() && !form->M80->isEnabled());
    EXPECT_TRUE(!form->TcpServer1->Active() && form->Label_IP->text().isEmpty());

    const QString halo = Track("Beyonc\xc3\xa9 - Halo.mp3", "Halo", "Beyonc\u00e9");
    const QString crush = Track("#1 Crush.mp3", "Crush #1");
    FillPool({halo, crush});
    fs::remove(htdocs / "tool" / "guestpool.html");
    form->Party().SetWebPort(0);
    const uint16_t port = Start();
    EXPECT_EQ(form->Label_IP->text().left(11), "Server-IP: ");
    EXPECT_TRUE(form->Label_IP->text().endsWith(QString(" : %1").arg(port)));
    EXPECT_TRUE(form->Label_IP->toolTip().startsWith("http://"));
    EXPECT_TRUE(!form->M70->isEnabled() && form->M70->isChecked() && form->M80->isEnabled() && !form->M80->isChecked());
    EXPECT_EQ(form->StatusPanel(1), form->Text(u"H23"));
    form->pop0Click();
    EXPECT_FALSE(form->M70->isEnabled()) << "the running server is not offered again";

    const std::string pool = Body("/tool/guestpool.html");  // written at the start
    for (const QString& path : {halo, crush}) {
        const QString title = form->ListView_Guest_Pool->SubItem(path == halo ? 0 : 1, tracks::siTitle);
        const std::string answer = Body(Link(Body(Link(pool, title.toStdString()))));
        EXPECT_NE(answer.find(title.toStdString()), std::string::npos) << answer;
        EXPECT_NE(answer.find(form->Text(u"st_ready").toStdString()), std::string::npos);
        const int row = form->ListView_Guest->Count() - 1;
        ASSERT_GE(row, 0);
        EXPECT_EQ(form->ListView_Guest->Row(row).FileName, path);
        EXPECT_EQ(form->ListView_Guest->Row(row).Src, "127.0.0.1");
        const QString time = form->ListView_Guest->Row(row).Time;
        EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d\\.\\d\\d$").match(time).hasMatch()) << time.toStdString();
    }
    EXPECT_EQ(form->StatusPanel(1), QString("Gew\u00e4hlt: Crush #1"));
    EXPECT_NE(ReadAll(htdocs / "tool" / "guestpool.html").find("already chosen"), std::string::npos);
    const std::string again = Body(Link(Body(Link(pool, "Halo"))));
    EXPECT_NE(again.find(form->Text(u"st_chosen").toStdString()), std::string::npos);
    EXPECT_EQ(form->ListView_Guest->Count(), 2);
    // Log and details lines come queued, in batches at most every 100 ms.
    for (int i = 0; i < 1000 && form->ListBox_Log->findItems("select.htm", Qt::MatchExactly).size() < 3; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    EXPECT_EQ(form->ListBox_Log->findItems("select.htm", Qt::MatchExactly).size(), 3);
    EXPECT_TRUE(form->Form3->Text().contains("GET /tool/guestpool.html"));

    // A fragment gone: no answer, the admission stands, and the error waits until the worker is free.
    form->Party().Requests().ClearRows();
    form->pop0Click();
    fs::remove(root / "basics" / "foot.txt");
    EXPECT_EQ(Get(Link(Body(Link(pool, "Halo")))), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(form->ListView_Guest->Count(), 1);
    ASSERT_GE(recorder->errors.size(), 2u);
    for (size_t i = 1; i < recorder->errors.size(); ++i)
        EXPECT_NE(recorder->errors[i].find(u"foot.txt"), std::u16string::npos);

    Run(&app::TForm1::M80Click);
    EXPECT_TRUE(!form->TcpServer1->Active() && form->Label_IP->text().isEmpty());
    EXPECT_TRUE(form->M70->isEnabled() && !form->M70->isChecked() && !form->M80->isEnabled() && form->M80->isChecked());
    EXPECT_EQ(form->StatusPanel(1), form->Text(u"H24"));
}

// Chromium, as a phone at 390 px: the styled pool page, the request links of a name with an
// accent and one with a "#", the answer page and an image of the document folder.
TEST_F(Guests, APhoneBrowserBrowsesThePoolAndRequestsTracks) {
    if (!QFileInfo::exists("/usr/bin/chromium")) GTEST_SKIP() << "no Chromium";
    const QString shots = qEnvironmentVariable("QMM_SCREENSHOT_DIR", dir.path());
    FillPool({Track("Beyonc\xc3\xa9 - Halo.mp3", "Halo", "Beyonc\u00e9"), Track("#1 Crush.mp3", "Crush #1")});
    fs::create_directories(htdocs / "pics");
    QImage red(1200, 1200, QImage::Format_RGB32);
    red.fill(QColor(230, 20, 20));
    red.save(QString::fromStdString((htdocs / "pics" / "red.png").string()));
    const QString base = QString("http://127.0.0.1:%1").arg(Start());
    const auto chromium = [&](const QString& what, const std::string& path) {
        QTemporaryDir profile;
        const QStringList args{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                               "--disable-background-networking", "--disable-component-update", "--disable-sync",
                               "--hide-scrollbars", "--window-size=390,844", "--user-data-dir=" + profile.path(), what,
                               base + QString::fromStdString(path)};
        return Pumped([args] {
                   QProcess p;
                   p.start("/usr/bin/chromium", args);
                   p.waitForFinished(90000);
                   return p.readAllStandardOutput();
               }).toStdString();
    };
    const auto shot = [&](const std::string& path, const QString& name) {
        chromium("--screenshot=" + shots + "/" + name, path);
        return QImage(shots + "/" + name);
    };
    const auto dark = [](const QImage& img) {
        const QColor c = img.pixelColor(img.width() / 2, img.height() - 2);
        return !img.isNull() && c.red() + c.green() + c.blue() < 150;
    };

    const std::string pool = chromium("--dump-dom", "/tool/guestpool.html");
    EXPECT_TRUE(dark(shot("/tool/guestpool.html", "pool.png"))) << "the site's own style is applied";
    int n = 0;
    for (const char* title : {"Halo", "Crush #1"}) {
        const std::string answer = chromium("--dump-dom", Link(chromium("--dump-dom", Link(pool, title))));
        EXPECT_NE(answer.find(title), std::string::npos) << answer;
        ASSERT_EQ(form->ListView_Guest->Count(), ++n) << title;
        EXPECT_EQ(form->ListView_Guest->Row(n - 1).Title, title);
    }
    EXPECT_TRUE(dark(shot(Link(pool, "Halo"), "track.png")));
    EXPECT_TRUE(dark(shot(Link(chromium("--dump-dom", Link(pool, "Halo"))), "select.png")));
    const QImage image = shot("/pics/red.png", "image.png");
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(230, 20, 20));
}

}  // namespace
