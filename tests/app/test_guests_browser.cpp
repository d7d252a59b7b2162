// A phone's browser on the guest site: headless Chromium browses the pool, follows request
// links (a name with an accent, one with a "#") and loads an image, while the window runs.
// Skipped when Chromium is not installed. QMM_SCREENSHOT_DIR keeps the screenshots to look at.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/app/guest_site.h"

namespace {

const char* const kChromium = "/usr/bin/chromium";

class GuestBrowser : public guest_site::GuestSite {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(kChromium)) GTEST_SKIP() << "no Chromium";
        GuestSite::SetUp();
        shots = qEnvironmentVariable("QMM_SCREENSHOT_DIR", dir.filePath("shots"));
        QDir().mkpath(shots);
    }

    // Runs Chromium as a phone would show the page; its standard output.
    QByteArray Chromium(const QStringList& what) {
        QTemporaryDir profile;
        QStringList args{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync",
                         "--hide-scrollbars", "--user-data-dir=" + profile.path(), "--window-size=390,844"};
        args << what;
        return guest_site::Pumped([args] {
            QProcess p;
            p.start(kChromium, args);
            p.waitForFinished(90000);
            return p.readAllStandardOutput();
        });
    }
    std::string Dom(const std::string& path) {
        return Chromium({"--dump-dom", QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QString::fromStdString(path))})
            .toStdString();
    }
    QImage Shot(const std::string& path, const QString& name) {
        const QString file = QDir(shots).filePath(name);
        QFile::remove(file);
        Chromium({"--screenshot=" + file, QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QString::fromStdString(path))});
        return QImage(file);
    }
    static bool Dark(const QColor& c) { return c.red() + c.green() + c.blue() < 150; }

    QString shots;
    uint16_t port = 0;
};

// The href of the link whose text is `text` in a DOM as Chromium dumps it.
std::string LinkTo(const std::string& dom, const std::string& text) {
    std::smatch m;
    const std::regex link("<a href=\"([^\"]+)\"[^>]*>" + std::regex_replace(text, std::regex(R"([#.()])"), R"(\$&)") +
                          "</a>");
    return std::regex_search(dom, m, link) ? std::regex_replace(m[1].str(), std::regex("&amp;"), "&") : std::string();
}

TEST_F(GuestBrowser, APhoneBrowsesThePoolAndRequestsTracks) {
    const QString halo = Track("Beyonc\xc3\xa9 - Halo.mp3", "Halo", "Beyonc\xc3\xa9"),
                  hash = Track("#1 Crush.mp3", "Crush #1", "Garbage"), plain = Track("plain.mp3", "Plain", "Nobody");
    FillPool({halo, hash, plain});
    std::filesystem::create_directories(htdocs / "pics");
    QImage red(1200, 1200, QImage::Format_RGB32);
    red.fill(QColor(230, 20, 20));
    ASSERT_TRUE(red.save(QString::fromStdString((htdocs / "pics" / "red.png").string())));
    port = StartServer();

    const std::string pool = Dom("/tool/guestpool.html");
    for (const char* title : {"Halo", "Crush #1", "Plain"}) EXPECT_FALSE(LinkTo(pool, title).empty()) << title << "\n" << pool;
    const QImage poolShot = Shot("/tool/guestpool.html", "pool.png");
    ASSERT_FALSE(poolShot.isNull());
    EXPECT_EQ(poolShot.width(), 390);
    EXPECT_TRUE(Dark(poolShot.pixelColor(poolShot.width() - 2, poolShot.height() - 2))) << "the page's own style is applied";

    struct Case {
        QString path;
        std::string title;
    } cases[] = {{halo, "Halo"}, {hash, "Crush #1"}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string trackPage = Dom(LinkTo(pool, c.title));
        const std::string select = guest_site::SelectLink(trackPage);
        ASSERT_FALSE(select.empty()) << c.title << "\n" << trackPage;
        if (n == 0) Shot(LinkTo(pool, c.title), "track.png");
        const std::string answer = Dom(select);
        EXPECT_NE(answer.find(c.title), std::string::npos) << answer;
        EXPECT_NE(answer.find(form->Text(u"st_ready").toStdString()), std::string::npos) << answer;
        ASSERT_EQ(form->ListView_Guest->Count(), ++n) << c.title;
        EXPECT_EQ(form->ListView_Guest->SubItem(n - 1, tracks::siFileName), c.path);
        EXPECT_EQ(form->ListView_Guest->SubItem(n - 1, tracks::siSrc), "127.0.0.1");
    }
    // The answer page as the guest sees it, on the site's style.
    const QImage again = Shot(guest_site::SelectLink(Dom(LinkTo(pool, "Plain"))), "select.png");
    ASSERT_FALSE(again.isNull());
    EXPECT_TRUE(Dark(again.pixelColor(2, again.height() - 2)));
    EXPECT_EQ(form->ListView_Guest->Count(), 3);
    EXPECT_NE(Dom("/tool/guestpool.html").find("already chosen"), std::string::npos);

    const QImage image = Shot("/pics/red.png", "image.png");
    ASSERT_FALSE(image.isNull());
    const QColor mid = image.pixelColor(image.width() / 2, image.height() / 2);
    EXPECT_TRUE(mid.red() > 200 && mid.green() < 60 && mid.blue() < 60) << mid.name().toStdString();
    EXPECT_TRUE(recorder->errors.empty() && recorder->messages.empty());
}

}  // namespace
