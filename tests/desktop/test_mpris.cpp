// The player over D-Bus as the desktop meets it: playerctl on a bus of the test's own sees the
// track and its changes and presses the buttons; without a bus nothing happens and nothing is said.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include "desktop/mpris.h"
#include "tests/support/qt_app.h"

namespace {

using desktop::PlaybackStatus;

struct FakeWindow : desktop::PlayerHost {
    QStringList pressed;
    qint64 position = 0;
    void PlayList() override { pressed << "Play List"; }
    void PauseOrGoOn() override { pressed << "Pause"; }
    void Forward() override { pressed << "Forward"; }
    void Stop() override { pressed << "Stop"; }
    qint64 PositionMs() const override { return position; }
};

// Events run until `done`, for at most 10 s.
void RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class Mpris : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty() || QStandardPaths::findExecutable("playerctl").isEmpty())
            GTEST_SKIP() << "needs dbus-daemon and playerctl";
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        RunUntil([&] { return daemon_.canReadLine() || daemon_.state() == QProcess::NotRunning; });
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty()) << "no bus";
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());  // for playerctl
        player_ = std::make_unique<desktop::MprisPlayer>(window_, QDBusConnection::connectToBus(address_, "test"));
        ASSERT_TRUE(player_->Registered());
    }
    void TearDown() override {
        player_.reset();
        QDBusConnection::disconnectFromBus("test");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        daemon_.kill();
        daemon_.waitForFinished();
    }

    QProcess* Playerctl(const QStringList& args) {
        auto* p = new QProcess(&daemon_);
        p->start("playerctl", QStringList{"--player=quorbel_media_mixer"} + args);
        return p;
    }
    // Runs playerctl to its end while the player answers; then lets a command it sent act.
    QString Ask(const QStringList& args) {
        QProcess* p = Playerctl(args);
        RunUntil([&] { return p->state() == QProcess::NotRunning; });
        QCoreApplication::processEvents();
        return QString::fromUtf8(p->readAllStandardOutput()).trimmed();
    }

    QProcess daemon_;
    QString address_;
    FakeWindow window_;
    std::unique_ptr<desktop::MprisPlayer> player_;
};

TEST_F(Mpris, PlayerctlSeesTheTrackNowPlayingAndEachNewOne) {
    const QStringList metadata = {"metadata", "--format", "{{title}}|{{artist}}|{{album}}|{{mpris:length}}"};
    EXPECT_EQ(Ask({"status"}), "Stopped");
    QProcess* follow = Playerctl({"--follow", "metadata", "--format", "{{title}}"});
    player_->SetTrack({"/music/a.mp3", "Caf\u00e9 Noir", "The Band", "Night", 185000});
    player_->SetStatus(PlaybackStatus::Playing);
    desktop::PlayerButtons playing;  // as the window enables them while a deck plays
    playing.pause = playing.stop = playing.forward = true;
    player_->SetButtons(playing);
    window_.position = 61500;
    EXPECT_EQ(Ask(metadata), "Caf\u00e9 Noir|The Band|Night|185000000");
    EXPECT_EQ(Ask({"status"}), "Playing");
    EXPECT_NEAR(Ask({"position"}).toDouble(), 61.5, 0.01);

    // A hand-over to a file without tags: it shows by its name; the follower hears of it.
    player_->SetTrack({"/music/02 Untitled.mp3", {}, {}, {}, 0});
    EXPECT_EQ(Ask(metadata), "02 Untitled|||");
    QByteArray followed;
    RunUntil([&] { return (followed += follow->readAllStandardOutput()).contains("02 Untitled"); });
    EXPECT_EQ(followed, "Caf\xc3\xa9 Noir\n02 Untitled\n");
    follow->kill();
    follow->waitForFinished();
}

TEST_F(Mpris, CommandsFromTheDesktopPressOnlyTheButtonsThatApply) {
    desktop::PlayerButtons stopped, playing, paused;
    stopped.playList = true;
    playing.pause = playing.stop = playing.forward = true;
    paused.pause = paused.stop = true;
    struct Case {
        const char* command;
        PlaybackStatus status;
        desktop::PlayerButtons buttons;
        QStringList pressed;
    };
    const Case cases[] = {
        {"play-pause", PlaybackStatus::Stopped, stopped, {"Play List"}},
        {"play-pause", PlaybackStatus::Playing, playing, {"Pause"}},
        {"play-pause", PlaybackStatus::Paused, paused, {"Pause"}},  // the button reads Go On
        {"play", PlaybackStatus::Paused, paused, {"Pause"}},
        {"play", PlaybackStatus::Playing, playing, {}},
        {"play", PlaybackStatus::Stopped, {}, {}},  // an empty queue: Play List is disabled
        {"pause", PlaybackStatus::Playing, playing, {"Pause"}},
        {"pause", PlaybackStatus::Paused, paused, {}},  // pausing twice must not go on
        {"next", PlaybackStatus::Playing, playing, {"Forward"}},
        {"next", PlaybackStatus::Paused, paused, {}},  // Forward moves only a playing deck
        {"stop", PlaybackStatus::Paused, paused, {"Stop"}},
        {"stop", PlaybackStatus::Stopped, stopped, {}},
    };
    for (const Case& c : cases) {
        player_->SetStatus(c.status);
        SCOPED_TRACE(std::string(c.command) + " while " + player_->StatusText().toStdString());
        player_->SetButtons(c.buttons);
        window_.pressed.clear();
        Ask({c.command});
        EXPECT_EQ(window_.pressed, c.pressed) << c.command;
    }
}

TEST(MprisWithoutBus, NothingHappensAndNothingIsSaid) {
    test_support::EnsureApplication();
    static QStringList said;
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { said << text; });
    // No session bus at all (and no display to start one for), then a bus that has gone away.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    FakeWindow window;
    for (const QDBusConnection& bus :
         {QDBusConnection::sessionBus(), QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "gone")}) {
        desktop::MprisPlayer player(window, bus);
        EXPECT_FALSE(player.Registered());
        player.SetTrack({"/music/a.mp3", "A", {}, {}, 1000});
        player.SetStatus(PlaybackStatus::Playing);
        player.Seeked(500);
        QCoreApplication::processEvents();
    }
    qInstallMessageHandler(before);
    EXPECT_TRUE(said.isEmpty()) << said.join('\n').toStdString();
}

}  // namespace
