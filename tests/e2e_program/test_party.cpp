// A whole party on the built program: settings loaded through the dialog, the web server, the
// queue played into SDL's disk driver, two guests requesting through Chromium, presets filling
// in. Everything goes through the keyboard, the served pages, the written mix and the screen.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <numbers>
#include <vector>

#include "tests/support/tone.h"

// Allocations that system libraries keep until exit; on X the desktop bus is one of them.
constexpr const char* kSystemLeaks = "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libX11.so\n";
extern "C" const char* __lsan_default_suppressions() { return kSystemLeaks; }

namespace {

constexpr int kRate = 44100;
constexpr int kFade = 2;  // seconds of overlap the settings ask for

struct Track {
    QString name, title;
    double hz, seconds;
    QString path;  // filled when written
};

// Polls until `done` or the deadline; nothing in this test waits for ever.
template <class F>
bool WaitFor(int ms, F done, int stepMs = 200) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QThread::msleep(stepMs);
    }
    return true;
}

// A helper program's output; it is stopped at the deadline.
QString Run(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString Xdo(const QStringList& args) { return Run("xdotool", args, 15000); }

// The X window of a shown window with exactly this title, or empty.
QString ShownWindow(const QString& title) {
    return Xdo({"search", "--onlyvisible", "--name", "^" + QRegularExpression::escape(title) + "$"})
        .section('\n', 0, 0);
}

QString WaitShown(const QString& title, int ms = 30000) {
    QString id;
    WaitFor(ms, [&] { return !(id = ShownWindow(title)).isEmpty(); });
    return id;
}

bool WaitGone(const QString& title, int ms = 15000) {
    return WaitFor(ms, [&] { return ShownWindow(title).isEmpty(); });
}

// Key strokes to a window, as a person types them once the window has the focus (there is no
// window manager here to hand the focus back when a dialog closes).
void Keys(const QString& window, const QStringList& keys) {
    Xdo({"windowfocus", "--sync", window});
    Xdo(QStringList{"key", "--delay", "120"} + keys);
}

void Type(const QString& window, const QString& text) {
    Xdo({"windowfocus", "--sync", window});
    Xdo({"type", "--delay", "15", text});
}

// One GET; the body of an "HTTP/1.0 200 OK" answer, or empty.
std::string HttpGet(uint16_t port, const std::string& target) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string got;
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: guest\r\n\r\n";
        if (::send(s, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
            char buf[65536];
            for (ssize_t n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) got.append(buf, size_t(n));
        }
    }
    ::close(s);
    const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";
    return got.rfind(ok, 0) == 0 ? got.substr(ok.size()) : std::string();
}

uint16_t FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    socklen_t len = sizeof addr;
    ::bind(s, reinterpret_cast<sockaddr*>(&addr), len);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(s);
    return ntohs(addr.sin_port);
}

// What a phone's browser makes of a page: Chromium's DOM after loading it.
QString Chromium(const QString& url, const QString& profile) {
    return Run("chromium",
               {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--window-size=390,844", "--user-data-dir=" + profile, "--dump-dom", url},
               60000);
}

// The target of the first link matching `pattern` (one capture group), HTML escapes undone.
QString Link(const QString& page, const QString& pattern) {
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(page);
    return m.hasMatch() ? QString(m.captured(1)).replace("&amp;", "&") : QString();
}

// A sine tone as an MP3 with an ID3v1 trailer naming it, as a DJ's files carry one.
bool WriteTrack(const Track& t) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* f = sf_open(t.path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> samples(size_t(t.seconds * kRate));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * float(std::sin(2 * std::numbers::pi * t.hz * double(i) / kRate));
    const bool whole = sf_writef_float(f, samples.data(), sf_count_t(samples.size())) == sf_count_t(samples.size());
    sf_close(f);
    QByteArray tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, t.title.size(), t.title.toLatin1());
    tag.replace(33, 5, "Party");
    QFile file(t.path);
    return whole && file.open(QIODevice::Append) && file.write(tag) == 128;
}

bool WriteText(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) >= 0;
}

QString PlaylistOf(const std::vector<const Track*>& tracks) {
    QString out;
    for (size_t i = 0; i < tracks.size(); ++i)
        out += QString(
                   "[%1]\nStatus=ready\nTitle=%2\nArtist=Party\nAlbum=Night\nYear=2026\nTime=00:%3\nSrc=File\n"
                   "FileName=%4\n")
                   .arg(i)
                   .arg(tracks[i]->title)
                   .arg(int(tracks[i]->seconds), 2, 10, QChar('0'))
                   .arg(tracks[i]->path);
    return out;
}

double Strength(const std::vector<float>& mono, size_t from, size_t count, double hz) {
    return test_support::ToneStrength(mono, from, count, hz, kRate);
}

// Whether the screen area shows `text` as a label draws it in the toolkit's default font: its
// dark pixels laid over the area somewhere match the area's dark pixels.
bool ShowsText(const QImage& area, const QString& text) {
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    QImage glyphs(metrics.horizontalAdvance(text) + 8, metrics.height() + 8, QImage::Format_RGB32);
    glyphs.fill(Qt::white);
    {
        QPainter p(&glyphs);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(4, 4 + metrics.ascent(), text);
    }
    const auto dark = [](const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 128; };
    QRect ink;
    for (int y = 0; y < glyphs.height(); ++y)
        for (int x = 0; x < glyphs.width(); ++x)
            if (dark(glyphs, x, y)) ink |= QRect(x, y, 1, 1);
    if (ink.isEmpty()) return false;
    const int allowed = ink.width() * ink.height() / 40;
    for (int oy = 0; oy + ink.height() <= area.height(); ++oy)
        for (int ox = 0; ox + ink.width() <= area.width(); ++ox) {
            int wrong = 0;
            for (int y = 0; y < ink.height() && wrong <= allowed; ++y)
                for (int x = 0; x < ink.width() && wrong <= allowed; ++x)
                    wrong += dark(glyphs, ink.x() + x, ink.y() + y) != dark(area, ox + x, oy + y);
            if (wrong <= allowed) return true;
        }
    return false;
}

class Party : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "chromium"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << "no " << tool;
        // An X server of its own; it names its free display on stdout.
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        ASSERT_TRUE(xvfb.waitForStarted());
        QString display;
        WaitFor(
            20000,
            [&] {
                xvfb.waitForReadyRead(200);
                display += QString::fromLatin1(xvfb.readAllStandardOutput());
                return display.contains('\n');
            },
            0);
        ASSERT_FALSE(display.trimmed().isEmpty()) << "Xvfb named no display";
        qputenv("DISPLAY", (":" + display.trimmed()).toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "test_e2e_program";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);  // for the screen and the font
    }

    void TearDown() override {
        if (HasFailure() && application) Evidence("failure");
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
        application.reset();
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished(5000);
        }
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            xvfb.waitForFinished(5000);
        }
    }

    // The main window's status bar as it is on the screen.
    QImage StatusBarShot() {
        const QString shell = Xdo({"getwindowgeometry", "--shell", mainWindow});
        const auto value = [&](const char* key) {
            return QRegularExpression(QString("%1=(\\d+)").arg(key)).match(shell).captured(1).toInt();
        };
        const int x = value("X"), y = value("Y"), w = value("WIDTH"), h = value("HEIGHT");
        return QGuiApplication::primaryScreen()->grabWindow(0, x, y + h - 40, w, 40).toImage();
    }
    // The whole screen into QMM_SCREENSHOT_DIR, when it is set, for a look after a failure.
    static void Evidence(const QString& name) {
        const QString folder = qEnvironmentVariable("QMM_SCREENSHOT_DIR");
        if (!folder.isEmpty()) QGuiApplication::primaryScreen()->grabWindow(0).save(folder + "/e2e-" + name + ".png");
    }
    bool StatusShows(const QString& text, int ms) {
        return WaitFor(
            ms, [&] { return ShowsText(StatusBarShot(), text); }, 500);
    }

    // The program `binary` with its mix going to `mix`, its server on `port` and its files in
    // `root`; the main window shown.
    void StartProgram(const QString& binary, const QString& root, const QString& mix, uint16_t port) {
        ASSERT_TRUE(WriteText(root + "/leaks.supp", kSystemLeaks));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("SDL_AUDIODRIVER", "disk");
        env.insert("SDL_DISKAUDIOFILE", mix);
        env.insert("QMM_WEB_PORT", QString::number(port));
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("XDG_DATA_HOME", root + "/data");
        env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":suppressions=" + root + "/leaks.supp");
        if (!busAddress.isEmpty()) env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(root);
        program.setProcessChannelMode(QProcess::MergedChannels);
        logFile = root + "/program.log";
        program.setStandardOutputFile(logFile);
        program.start(binary, {});
        ASSERT_TRUE(program.waitForStarted());
        mainWindow = WaitShown("Quorbel Media Mixer");
        ASSERT_FALSE(mainWindow.isEmpty()) << "the main window did not appear\n" << ProgramLog();
    }
    std::string ProgramLog() const {
        QFile f(logFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll().right(3000).toStdString() : std::string();
    }

    // Settings > Player Mode; Load, the file typed into the file dialog; OK.
    void LoadSettings(const QString& settings) {
        Keys(mainWindow, {"alt+s", "p"});
        const QString settingsDialog = WaitShown("Basic Values");
        ASSERT_FALSE(settingsDialog.isEmpty()) << "Settings > Player Mode opened no dialog";
        Keys(settingsDialog, {"alt+l"});
        const QString loadDialog = WaitShown("Load Settings");
        ASSERT_FALSE(loadDialog.isEmpty()) << "Load opened no file dialog";
        Type(loadDialog, settings);
        for (int i = 0; i < 3 && !ShownWindow("Load Settings").isEmpty(); ++i) {
            Keys(loadDialog, {"Return"});  // a completion list may take the first Return
            WaitGone("Load Settings", 3000);
        }
        ASSERT_TRUE(ShownWindow("Load Settings").isEmpty()) << "the typed settings file was not taken";
        Keys(settingsDialog, {"alt+k"});
        ASSERT_TRUE(WaitGone("Basic Values")) << "OK did not close the settings dialog";
    }

    // File > Exit, and the program ends well.
    void Exit() {
        Keys(mainWindow, {"alt+f", "x"});
        ASSERT_TRUE(program.waitForFinished(30000)) << "Exit did not end the program";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << ProgramLog();
    }

    QProcess xvfb;
    std::unique_ptr<QApplication> application;  // gone before its X server
    QProcess program;
    QString mainWindow, logFile;
    QProcess bus;        // a session bus of the test's own, when one is started
    QString busAddress;  // the program and playerctl reach it here
};

// What the written mix holds: which tone sounds in each 50 ms window.
struct Heard {
    std::vector<size_t> order;          // tracks in the order they were first heard
    std::vector<double> seconds;        // how long each track sounded
    std::vector<double> overlaps;       // between each heard track and the one before it
    double silenceAt = -1;              // the first silent moment between first and last sound
};

Heard Listen(const QString& mixFile, const std::vector<Track>& tracks) {
    Heard heard;
    QFile raw(mixFile);
    if (!raw.open(QIODevice::ReadOnly)) return heard;
    const QByteArray bytes = raw.readAll();
    std::vector<float> mono(size_t(bytes.size()) / 4);
    const auto* frames = reinterpret_cast<const int16_t*>(bytes.constData());
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * (frames[2 * i] + frames[2 * i + 1]) / 32767.0f;
    const size_t window = kRate / 20, windows = mono.size() / window;
    std::vector<std::vector<bool>> on(tracks.size(), std::vector<bool>(windows));
    std::vector<int> first(tracks.size(), -1), last(tracks.size(), -1);
    heard.seconds.assign(tracks.size(), 0);
    for (size_t w = 0; w < windows; ++w)
        for (size_t t = 0; t < tracks.size(); ++t)
            if ((on[t][w] = Strength(mono, w * window, window, tracks[t].hz) > 0.05)) {
                if (first[t] < 0) first[t] = int(w);
                last[t] = int(w);
                heard.seconds[t] += 0.05;
            }
    for (size_t t = 0; t < tracks.size(); ++t)
        if (first[t] >= 0) heard.order.push_back(t);
    std::sort(heard.order.begin(), heard.order.end(), [&](size_t a, size_t b) { return first[a] < first[b]; });
    for (size_t i = 1; i < heard.order.size(); ++i) {
        int both = 0;
        for (size_t w = 0; w < windows; ++w) both += on[heard.order[i - 1]][w] && on[heard.order[i]][w];
        heard.overlaps.push_back(both * 0.05);
    }
    if (!heard.order.empty())
        for (int w = first[heard.order.front()]; w <= last[heard.order.back()] && heard.silenceAt < 0; ++w) {
            bool any = false;
            for (size_t t = 0; t < tracks.size(); ++t) any = any || on[t][size_t(w)];
            if (!any) heard.silenceAt = w * 0.05;
        }
    return heard;
}

QStringList Titles(const std::vector<Track>& tracks, const std::vector<size_t>& order) {
    QStringList out;
    for (size_t t : order) out << tracks[t].title;
    return out;
}

// The rows of a now-playing page: "title/class".
QStringList RowsOf(const std::string& page) {
    QStringList rows;
    QRegularExpressionMatchIterator it =
        QRegularExpression("<TR class=\"(\\w+)\"><TD>\"([^\"]*)\"").globalMatch(QString::fromStdString(page));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        rows << m.captured(2) + "/" + m.captured(1);
    }
    return rows;
}

TEST_F(Party, TwoGuestsAndThePresetsFillTheNight) {
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir dir(QDir::tempPath() + "/qmm-party-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    ASSERT_TRUE(QDir(root).mkpath("web/htdocs/tool") && QDir(root).mkpath("music") && QDir(root).mkpath("profile"));
    for (const QString& fragment : QDir(QMM_SOURCE_DIR "/resources/basics").entryList(QDir::Files)) {
        QDir(root).mkpath("web/basics");
        ASSERT_TRUE(QFile::copy(QMM_SOURCE_DIR "/resources/basics/" + fragment, root + "/web/basics/" + fragment));
    }

    // The DJ's queue, the guest pool and the presets. Each track is handed over on the tick after
    // its length less the fade has passed, so the queue's first track lasts long enough for the
    // guests to ask while it plays.
    std::vector<Track> tracks = {
        {"q1", "Queue One", 330, 13.5, {}},  {"q2", "Queue Two", 470, 6.5, {}},  {"q3", "Queue Three", 620, 6.5, {}},
        {"g1", "Guest One", 780, 7.5, {}},   {"g2", "Guest Two", 1140, 7.5, {}}, {"p1", "Preset One", 950, 7.5, {}},
        {"p2", "Preset Two", 1370, 7.5, {}},
    };
    for (Track& t : tracks) {
        t.path = root + "/music/" + t.name + ".mp3";
        ASSERT_TRUE(WriteTrack(t)) << t.name.toStdString();
    }
    const Track &q1 = tracks[0], &q2 = tracks[1], &q3 = tracks[2], &g1 = tracks[3], &g2 = tracks[4], &p1 = tracks[5],
                &p2 = tracks[6];
    ASSERT_TRUE(WriteText(root + "/queue.lst", PlaylistOf({&q1, &q2, &q3})));
    ASSERT_TRUE(WriteText(root + "/pool.lst", PlaylistOf({&g1, &g2})));
    ASSERT_TRUE(WriteText(root + "/presets.lst", PlaylistOf({&p1, &p2})));
    const QString settings = root + "/party.stg";
    ASSERT_TRUE(WriteText(settings, QString("[standard]\nfade=%1\nffsec=6\nplayfile=%2/queue.lst\n"
                                            "webfile=%2/pool.lst\npreselectfile=%2/presets.lst\nhtmlpath=%2/web\n"
                                            "doBlock=0\nblocknumber=10\nrb_finish=1\nrb_repeat=0\nwebselect=1\n"
                                            "rb_web_first=0\nrb_web_mix_preselect=1\npreselect=1\n"
                                            "rb_preset_1by1=1\nrb_preset_random=0\n")
                                        .arg(kFade)
                                        .arg(root)));
    // The program, as built, with its mix going to a file and its server on a port of its own.
    const uint16_t port = FreePort();
    const QString mix = root + "/mix.raw";
    StartProgram(QMM_PROGRAM, root, mix, port);
    if (HasFatalFailure()) return;
    LoadSettings(settings);
    if (HasFatalFailure()) return;

    // "Webserver On": the screen says so, and the pages are served with the lists just loaded.
    Keys(mainWindow, {"alt+w"});
    EXPECT_TRUE(StatusShows("Web server running...", 15000)) << "the status bar does not show the running server";
    std::string index;
    ASSERT_TRUE(WaitFor(15000, [&] { return !(index = HttpGet(port, "/")).empty(); })) << ProgramLog();
    const QString base = QString("http://127.0.0.1:%1").arg(port);
    const QString pool = Chromium(base + "/tool/guestpool.html", root + "/profile");
    QString selectLinks[2];
    for (int i = 0; i < 2; ++i) {
        const Track& g = i == 0 ? g1 : g2;
        const QString page = Link(pool, "<a href=\"([^\"]+)\"[^>]*>" + g.title + "</a>");
        ASSERT_FALSE(page.isEmpty()) << g.title.toStdString() << " is not on the pool page:\n" << pool.toStdString();
        const QString track = Chromium(base + page, root + "/profile");
        selectLinks[i] = Link(track, "href=\"(/tool/select\\.htm[^\"]*)\"");
        ASSERT_FALSE(selectLinks[i].isEmpty()) << "no request link on " << page.toStdString();
    }
    // Nothing plays yet, so no row is marked as playing.
    EXPECT_EQ(RowsOf(index).join(", ").toStdString(), "Queue One/soon, Queue Two/soon, Queue Three/soon");

    // Play List, then the two guests follow the request links of the track pages.
    Keys(mainWindow, {"alt+l"});
    const qint64 started = clock.elapsed();
    for (int i = 0; i < 2; ++i) {
        const Track& g = i == 0 ? g1 : g2;
        const QString answer = Chromium(base + selectLinks[i], root + "/profile");
        EXPECT_TRUE(answer.contains(g.title) && answer.contains(">ready<")) << "not admitted:\n"
                                                                            << answer.toStdString();
        // The pool page marks the track as a waiting request.
        const QString poolNow = QString::fromStdString(HttpGet(port, "/tool/guestpool.html"));
        EXPECT_TRUE(QRegularExpression("already chosen</span><a [^>]*>" + g.title + "<").match(poolNow).hasMatch())
            << g.title.toStdString() << "\n"
            << poolNow.toStdString();
    }
    const qint64 requested = clock.elapsed() - started;

    // Play List Once: the program stops by itself after the last track.
    double total = 0;
    for (const Track& t : tracks) total += t.seconds;
    const int deadline = int(total * 1000) + 30000;
    ASSERT_TRUE(StatusShows("Mediaplayer stopped", deadline)) << "no stop within " << deadline << " ms\n"
                                                              << ProgramLog();
    const qint64 played = clock.elapsed() - started;
    index = HttpGet(port, "/index.html");

    Exit();

    const Heard heard = Listen(mix, tracks);
    for (size_t t = 0; t < tracks.size(); ++t)
        EXPECT_GE(heard.seconds[t], tracks[t].seconds - 0.5) << tracks[t].title.toStdString() << " not played whole";
    ASSERT_FALSE(heard.order.empty()) << "nothing was heard in the mix";
    const QStringList heardOrder = Titles(tracks, heard.order);
    QStringList overlaps;
    for (const double both : heard.overlaps) {
        overlaps << QString::number(both, 'f', 2);
        // The next track starts while the one before still plays: no gap, and no more than the fade.
        EXPECT_GE(both, 0.25) << heardOrder.join(", ").toStdString();
        EXPECT_LE(both, kFade + 0.25) << heardOrder.join(", ").toStdString();
    }
    EXPECT_LT(heard.silenceAt, 0) << "silence at " << heard.silenceAt << " s of the mix";
    RecordProperty("order", heardOrder.join(", ").toStdString());
    RecordProperty("overlaps_s", overlaps.join(" ").toStdString());
    RecordProperty("requests_done_after_play_ms", int(requested));
    RecordProperty("play_to_stop_ms", int(played));
    RecordProperty("whole_run_ms", int(clock.elapsed()));
    std::cout << "order: " << heardOrder.join(", ").toStdString()
              << "\noverlaps (s): " << overlaps.join(" ").toStdString() << "\nrequests done " << requested
              << " ms after Play List; stopped after " << played << " ms; whole run " << clock.elapsed() << " ms\n";

    // The order of feeding: the DJ's queue first; then, Mix Web, a preset between two requests;
    // the requests as they came and the presets in list order. index.html lists what was played,
    // and with the queue at its end nothing is playing.
    ASSERT_EQ(heardOrder.size(), 7) << heardOrder.join(", ").toStdString() << "; the guests asked until " << requested
                                    << " ms after Play List";
    EXPECT_EQ(heardOrder.mid(0, 3), QStringList({q1.title, q2.title, q3.title}));
    const QStringList rest = heardOrder.mid(3);
    EXPECT_LT(rest.indexOf(g1.title), rest.indexOf(g2.title));
    EXPECT_LT(rest.indexOf(p1.title), rest.indexOf(p2.title));
    EXPECT_GT(rest.indexOf(g2.title) - rest.indexOf(g1.title), 1) << "no preset between the requests";
    QStringList expectedRows;
    for (const QString& title : heardOrder) expectedRows << title + "/done";
    EXPECT_EQ(RowsOf(index).join(", ").toStdString(), expectedRows.join(", ").toStdString());
}

// A "Mix Web" night without an HTML folder: the program serves and writes the web content beside
// itself. Three guests ask early, one preset is there: the requests and the preset take turns,
// and once the preset pool has run out the last request still joins. Every requested track is
// heard, and the now-playing page names what plays whenever the music changes.
TEST_F(Party, MixWebWithoutAnHtmlFolderPlaysEveryRequest) {
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir dir(QDir::tempPath() + "/qmm-mixweb-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    // The program with its shipped content beside it, as installed by hand in a folder of its own.
    const QString built = QFileInfo(QMM_PROGRAM).absolutePath();
    const QString binary = root + "/program/quorbel-media-mixer";
    ASSERT_TRUE(QDir(root).mkpath("program") && QDir(root).mkpath("music"));
    ASSERT_TRUE(QFile::copy(QMM_PROGRAM, binary));
    for (const char* part : {"lang", "basics", "htdocs"})
        ASSERT_EQ(::Run("cp", {"-R", built + "/" + part, root + "/program/"}, 15000), "") << part;

    std::vector<Track> tracks = {
        {"q1", "Queue One", 330, 20, {}},   {"q2", "Queue Two", 470, 8, {}},  {"g1", "Guest One", 620, 8, {}},
        {"g2", "Guest Two", 780, 8, {}},    {"g3", "Guest Three", 1140, 8, {}}, {"p1", "Preset One", 950, 8, {}},
    };
    for (Track& t : tracks) {
        t.path = root + "/music/" + t.name + ".mp3";
        ASSERT_TRUE(WriteTrack(t)) << t.name.toStdString();
    }
    const Track &q1 = tracks[0], &q2 = tracks[1], &g1 = tracks[2], &g2 = tracks[3], &g3 = tracks[4], &p1 = tracks[5];
    ASSERT_TRUE(WriteText(root + "/queue.lst", PlaylistOf({&q1, &q2})));
    ASSERT_TRUE(WriteText(root + "/pool.lst", PlaylistOf({&g1, &g2, &g3})));
    ASSERT_TRUE(WriteText(root + "/presets.lst", PlaylistOf({&p1})));
    const QString settings = root + "/night.stg";
    ASSERT_TRUE(WriteText(settings, QString("[standard]\nfade=%1\nffsec=6\nplayfile=%2/queue.lst\n"
                                            "webfile=%2/pool.lst\npreselectfile=%2/presets.lst\nhtmlpath=\n"
                                            "doBlock=0\nblocknumber=10\nrb_finish=1\nrb_repeat=0\nwebselect=1\n"
                                            "rb_web_first=0\nrb_web_mix_preselect=1\npreselect=1\n"
                                            "rb_preset_1by1=1\nrb_preset_random=0\n")
                                        .arg(kFade)
                                        .arg(root)));
    const uint16_t port = FreePort();
    const QString mix = root + "/mix.raw";
    StartProgram(binary, root, mix, port);
    if (HasFatalFailure()) return;
    LoadSettings(settings);
    if (HasFatalFailure()) return;
    Keys(mainWindow, {"alt+w"});
    std::string pool;
    const auto poolServed = [&] {
        return (pool = HttpGet(port, "/tool/guestpool.html")).find("Guest Three") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor(15000, poolServed)) << "no pool page in the program's own web folder\n" << ProgramLog();
    EXPECT_TRUE(QFile::exists(root + "/program/htdocs/tool/guestpool.html"));

    // The three guests ask as the night starts; each is told "ready".
    Keys(mainWindow, {"alt+l"});
    for (const Track* g : {&g1, &g2, &g3}) {
        const QString page = Link(QString::fromStdString(pool), "<a href=\"([^\"]+)\"[^>]*>" + g->title + "</a>");
        ASSERT_FALSE(page.isEmpty()) << g->title.toStdString();
        const QString select =
            Link(QString::fromStdString(HttpGet(port, page.toStdString())), "href=\"(/tool/select\\.htm[^\"]*)\"");
        const std::string answer = HttpGet(port, select.toStdString());
        EXPECT_NE(answer.find(g->title.toStdString()), std::string::npos) << answer;
        EXPECT_NE(answer.find(">ready<"), std::string::npos) << answer;
    }

    // The now-playing page, read while the music plays: the rows it marks "now", in turn.
    QStringList nowSeen;
    double total = 0;
    for (const Track& t : tracks) total += t.seconds;
    const bool stopped = WaitFor(
        int(total * 1000) + 40000,
        [&] {
            const std::string index = HttpGet(port, "/index.html");
            for (const QString& row : RowsOf(index))
                if (row.endsWith("/now") && (nowSeen.isEmpty() || nowSeen.last() != row.section('/', 0, 0)))
                    nowSeen << row.section('/', 0, 0);
            return !program.waitForFinished(0) && ShowsText(StatusBarShot(), "Mediaplayer stopped");
        },
        300);
    ASSERT_TRUE(stopped) << "the night did not end\n" << ProgramLog();
    const std::string lastIndex = HttpGet(port, "/index.html");
    Exit();

    const Heard heard = Listen(mix, tracks);
    const QStringList heardOrder = Titles(tracks, heard.order);
    std::cout << "heard: " << heardOrder.join(", ").toStdString() << "\nnow-playing page: "
              << nowSeen.join(", ").toStdString() << "\nwhole run " << clock.elapsed() << " ms\n";
    RecordProperty("order", heardOrder.join(", ").toStdString());
    for (const Track* g : {&g1, &g2, &g3})
        EXPECT_GE(heard.seconds[size_t(g - tracks.data())], g->seconds - 0.5)
            << g->title.toStdString() << " was requested and not heard whole";
    // Request, preset, request, then the last request although no preset is left.
    EXPECT_EQ(heardOrder.join(", ").toStdString(),
              QStringList({q1.title, q2.title, g1.title, p1.title, g2.title, g3.title}).join(", ").toStdString());
    EXPECT_LT(heard.silenceAt, 0) << "silence at " << heard.silenceAt << " s of the mix";
    EXPECT_EQ(nowSeen.join(", ").toStdString(), heardOrder.join(", ").toStdString())
        << "the now-playing page did not follow the music";
    EXPECT_FALSE(RowsOf(lastIndex).join(",").contains("/now")) << lastIndex;
}

// The titles of a page's links in order, and those marked as waiting requests.
QStringList LinkTitles(const std::string& page, const QString& before = QString()) {
    QStringList out;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QRegularExpression::escape(before) + "<a [^>]*>([^<]+)</a>").globalMatch(QString::fromStdString(page));
    while (it.hasNext()) out << it.next().captured(1);
    return out;
}

// A night killed mid-party comes back. After a hand-over and two guests' requests the program is
// killed with SIGKILL; started again it asks, and after Resume the queue, the waiting requests and
// the pools are as they were, while nothing plays and the server stays off until the DJ starts
// them. Before the kill, the desktop's player sees the hand-over and presses Pause, Go On and
// Forward over a session bus of the test's own.
TEST_F(Party, AKilledNightComesBackOnResumeAndTheDesktopDrivesTheTransport) {
    const bool desktop = !QStandardPaths::findExecutable("dbus-daemon").isEmpty() &&
                         !QStandardPaths::findExecutable("playerctl").isEmpty();
    if (desktop) {
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        WaitFor(10000, [&] { return bus.waitForReadyRead(100) || bus.canReadLine(); }, 0);
        busAddress = QString::fromUtf8(bus.readLine()).trimmed();
        ASSERT_FALSE(busAddress.isEmpty()) << "no session bus";
        qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());  // for playerctl
    }
    const auto player = [](const QStringList& args) {
        return ::Run("playerctl", QStringList{"--player=quorbel_media_mixer"} + args, 15000);
    };
    QTemporaryDir dir(QDir::tempPath() + "/qmm-resume-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    ASSERT_TRUE(QDir(root).mkpath("web/htdocs/tool") && QDir(root).mkpath("web/basics") && QDir(root).mkpath("music"));
    for (const QString& fragment : QDir(QMM_SOURCE_DIR "/resources/basics").entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(QMM_SOURCE_DIR "/resources/basics/" + fragment, root + "/web/basics/" + fragment));
    std::vector<Track> tracks = {
        {"q1", "Queue One", 330, 6, {}},   {"q2", "Queue Two", 470, 40, {}}, {"q3", "Queue Three", 620, 6, {}},
        {"q4", "Queue Four", 700, 6, {}},  {"g1", "Guest One", 780, 6, {}},  {"g2", "Guest Two", 1140, 6, {}},
        {"g3", "Guest Three", 900, 6, {}}, {"p1", "Preset One", 950, 6, {}},
    };
    for (Track& t : tracks) {
        t.path = root + "/music/" + t.name + ".mp3";
        ASSERT_TRUE(WriteTrack(t)) << t.name.toStdString();
    }
    ASSERT_TRUE(WriteText(root + "/queue.lst", PlaylistOf({&tracks[0], &tracks[1], &tracks[2], &tracks[3]})));
    ASSERT_TRUE(WriteText(root + "/pool.lst", PlaylistOf({&tracks[4], &tracks[5], &tracks[6]})));
    ASSERT_TRUE(WriteText(root + "/presets.lst", PlaylistOf({&tracks[7]})));
    const QString settings = root + "/night.stg";
    ASSERT_TRUE(WriteText(settings, QString("[standard]\nfade=%1\nffsec=6\nplayfile=%2/queue.lst\n"
                                            "webfile=%2/pool.lst\npreselectfile=%2/presets.lst\nhtmlpath=%2/web\n"
                                            "doBlock=0\nblocknumber=10\nrb_finish=1\nrb_repeat=0\nwebselect=1\n"
                                            "rb_web_first=1\nrb_web_mix_preselect=0\npreselect=1\n"
                                            "rb_preset_1by1=1\nrb_preset_random=0\n")
                                        .arg(kFade)
                                        .arg(root)));
    const uint16_t port = FreePort();
    StartProgram(QMM_PROGRAM, root, root + "/mix.raw", port);
    if (HasFatalFailure()) return;
    LoadSettings(settings);
    if (HasFatalFailure()) return;
    Keys(mainWindow, {"alt+w"});
    std::string pool;
    ASSERT_TRUE(WaitFor(15000, [&] { return !(pool = HttpGet(port, "/tool/guestpool.html")).empty(); })) << ProgramLog();

    // Play List; two guests ask for a track each while the first one plays.
    Keys(mainWindow, {"alt+l"});
    for (const char* title : {"Guest One", "Guest Three"}) {
        const QString page = Link(QString::fromStdString(pool), QString("<a href=\"([^\"]+)\"[^>]*>%1</a>").arg(title));
        const QString select =
            Link(QString::fromStdString(HttpGet(port, page.toStdString())), "href=\"(/tool/select\\.htm[^\"]*)\"");
        EXPECT_NE(HttpGet(port, select.toStdString()).find(">ready<"), std::string::npos) << title;
    }
    if (desktop) {
        // The desktop sees the hand-over, and its commands press the buttons.
        EXPECT_TRUE(WaitFor(20000, [&] { return player({"metadata", "title"}) == "Queue Two"; }))
            << player({"metadata"}).toStdString();
        const QString line = player({"metadata", "--format", "{{title}} | {{artist}} | {{mpris:length}}"});
        std::cout << "playerctl metadata after the hand-over: " << line.toStdString() << "\n";
        EXPECT_EQ(line, "Queue Two | Party | 40000000");
        player({"pause"});
        EXPECT_TRUE(WaitFor(5000, [&] { return player({"status"}) == "Paused"; }));
        player({"play-pause"});
        EXPECT_TRUE(WaitFor(5000, [&] { return player({"status"}) == "Playing"; }));
        const double before = player({"position"}).toDouble();
        player({"next"});
        double after = 0;
        EXPECT_TRUE(WaitFor(5000, [&] { return (after = player({"position"}).toDouble()) >= before + 5; }))
            << before << " -> " << after << ": Next is Forward, 6 s on";
    } else {
        QThread::msleep(8000);  // past the hand-over
    }
    const std::string index = HttpGet(port, "/index.html");
    pool = HttpGet(port, "/tool/guestpool.html");
    ASSERT_TRUE(RowsOf(index).size() == 4 && RowsOf(index)[1] == "Queue Two/now") << index;
    ASSERT_EQ(LinkTitles(pool, "already chosen</span>"), QStringList({"Guest One", "Guest Three"})) << pool;

    // Killed mid-party, a second after the last change was saved.
    QThread::msleep(2000);
    ::kill(pid_t(program.processId()), SIGKILL);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);

    StartProgram(QMM_PROGRAM, root, root + "/mix2.raw", port);
    if (HasFatalFailure()) return;
    const QString question = WaitShown("Resume the party?");
    ASSERT_FALSE(question.isEmpty()) << "no question at start\n" << ProgramLog();
    Keys(question, {"alt+r"});
    ASSERT_TRUE(WaitGone("Resume the party?"));
    // Nothing plays and the server is off until the DJ starts them.
    QThread::msleep(1000);
    EXPECT_EQ(HttpGet(port, "/index.html"), "");
    if (desktop) {
        EXPECT_EQ(player({"status"}), "Stopped");
    }
    Keys(mainWindow, {"alt+w"});
    std::string resumedIndex;
    ASSERT_TRUE(WaitFor(15000, [&] { return !(resumedIndex = HttpGet(port, "/index.html")).empty(); })) << ProgramLog();
    QStringList titles, resumedTitles;
    for (const QString& row : RowsOf(index)) titles << row.section('/', 0, 0);
    for (const QString& row : RowsOf(resumedIndex)) resumedTitles << row.section('/', 0, 0);
    EXPECT_EQ(resumedTitles, titles) << "the queue";
    std::cout << "queue before the kill: " << RowsOf(index).join(", ").toStdString()
              << "\nqueue after Resume: " << RowsOf(resumedIndex).join(", ").toStdString() << "\n";
    const std::string resumedPool = HttpGet(port, "/tool/guestpool.html");
    EXPECT_EQ(LinkTitles(resumedPool, "already chosen</span>"), LinkTitles(pool, "already chosen</span>"))
        << "the waiting requests";
    EXPECT_EQ(LinkTitles(resumedPool), LinkTitles(pool)) << "the guest pool";
    // The night goes on at the track that was playing.
    Keys(mainWindow, {"alt+l"});
    if (desktop) {
        EXPECT_TRUE(WaitFor(10000, [&] { return player({"metadata", "title"}) == "Queue Two"; }));
    }
    Exit();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
