// The player over D-Bus as the desktop meets it: playerctl on a bus of the test's own sees the
// track and its changes and presses the buttons; without a bus nothing happens and nothing is said.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include "desktop/mpris.h"

namespace {

using desktop::PlaybackStatus;

void EnsureCoreApplication() {
    static int argc = 1;
    static char name[] = "qmm-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

struct FakeWindow : desktop::PlayerHost {
    QStringList pressed;
    qint64 position = 0;
    void PlayList() override { pressed << QStringLiteral("Play List"); }
    void PauseOrGoOn() override { pressed << QStringLiteral("Pause"); }
    void Forward() override { pressed << QStringLiteral("Forward"); }
    void Stop() override { pressed << QStringLiteral("Stop"); }
    qint64 PositionMs() const override { return position; }
};

// Events run while `done` is false, for at most 10 s.
template <class Done>
void RunUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class Mpris : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty())
            GTEST_SKIP() << "needs dbus-daemon and playerctl";
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        RunUntil([&] { return daemon_.canReadLine() || daemon_.state() == QProcess::NotRunning; });
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty()) << "no bus";
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, QStringLiteral("test")));
        player_ = std::make_unique<desktop::MprisPlayer>(window_, *bus_);
        ASSERT_TRUE(player_->Registered());
    }
    void TearDown() override {
        player_.reset();
        bus_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("test"));
        daemon_.kill();
        daemon_.waitForFinished();
    }

    QProcess* Playerctl(const QStringList& args) {
        auto* p = new QProcess(&daemon_);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=quorbel_media_mixer")} + args);
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
    std::unique_ptr<QDBusConnection> bus_;
    FakeWindow window_;
    std::unique_ptr<desktop::MprisPlayer> player_;
};

TEST_F(Mpris, PlayerctlSeesTheTrackNowPlayingAndEachNewOne) {
    const QString format = QStringLiteral("{{title}}|{{artist}}|{{album}}|{{mpris:length}}");
    EXPECT_EQ(Ask({QStringLiteral("status")}), QStringLiteral("Stopped"));
    QProcess* follow = Playerctl({QStringLiteral("--follow"), QStringLiteral("metadata"), QStringLiteral("--format"),
                                  QStringLiteral("{{title}}")});
    player_->SetTrack({QStringLiteral("/music/a.mp3"), QStringLiteral("Caf\u00e9 Noir"), QStringLiteral("The Band"),
                       QStringLiteral("Night"), 185000});
    player_->SetStatus(PlaybackStatus::Playing);
    desktop::PlayerButtons playing;  // as the window enables them while a deck plays
    playing.pause = playing.stop = playing.forward = true;
    player_->SetButtons(playing);
    window_.position = 61500;
    EXPECT_EQ(Ask({QStringLiteral("metadata"), QStringLiteral("--format"), format}),
              QStringLiteral("Caf\u00e9 Noir|The Band|Night|185000000"));
    EXPECT_EQ(Ask({QStringLiteral("status")}), QStringLiteral("Playing"));
    EXPECT_NEAR(Ask({QStringLiteral("position")}).toDouble(), 61.5, 0.01);

    // A hand-over to a file without tags: it shows by its name; the follower hears of it.
    player_->SetTrack({QStringLiteral("/music/02 Untitled.mp3"), {}, {}, {}, 0});
    EXPECT_EQ(Ask({QStringLiteral("metadata"), QStringLiteral("--format"), format}), QStringLiteral("02 Untitled|||"));
    QByteArray followed;
    RunUntil([&] { return (followed += follow->readAllStandardOutput()).contains("02 Untitled"); });
    EXPECT_EQ(followed.split('\n').first(), "Caf\xc3\xa9 Noir");
    EXPECT_TRUE(followed.contains("02 Untitled")) << followed.toStdString();
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
        Ask({QString::fromLatin1(c.command)});
        EXPECT_EQ(window_.pressed, c.pressed) << c.command;
    }
}

TEST(MprisWithoutBus, NothingHappensAndNothingIsSaid) {
    EnsureCoreApplication();
    static QStringList said;
    said.clear();
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { said << text; });
    // No session bus at all (and no display to start one for), then a bus that has gone away.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    FakeWindow window;
    for (const QDBusConnection& bus : {QDBusConnection::sessionBus(),
                                       QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                                     QStringLiteral("gone"))}) {
        desktop::MprisPlayer player(window, bus);
        EXPECT_FALSE(player.Registered());
        player.SetTrack({QStringLiteral("/music/a.mp3"), QStringLiteral("A"), {}, {}, 1000});
        player.SetStatus(PlaybackStatus::Playing);
        player.Seeked(500);
        QCoreApplication::processEvents();
    }
    qInstallMessageHandler(before);
    EXPECT_TRUE(said.isEmpty()) << said.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(window.pressed.isEmpty());
}

}  // namespace
