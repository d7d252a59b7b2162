#pragma once
// The player as the desktop sees it over D-Bus (MPRIS 2): media keys, the sound menu and
// playerctl reach the window's transport buttons, and see what plays.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace desktop {

// What the window does for the desktop. Every call comes on the UI thread from the event loop,
// as a click would, never from inside a D-Bus call.
class PlayerHost {
public:
    virtual ~PlayerHost() = default;
    virtual void PlayList() = 0;     // the Play List button
    virtual void PauseOrGoOn() = 0;  // the Pause button, which reads Go On while paused
    virtual void Forward() = 0;      // the Forward button
    virtual void Stop() = 0;         // the Stop button
    virtual qint64 PositionMs() const = 0;  // of the track now playing; 0 when none
};

// The track now playing; an empty file name when none.
struct PlayerTrack {
    QString fileName, title, artist, album;
    qint64 lengthMs = 0;
    bool operator==(const PlayerTrack&) const = default;
};

enum class PlaybackStatus { Stopped, Playing, Paused };

// Which of the buttons the window enables now; a command from the desktop is carried out only
// when its button could be pressed.
struct PlayerButtons {
    bool playList = false;
    bool pause = false;  // Pause or Go On
    bool forward = false;
    bool stop = false;
    bool operator==(const PlayerButtons&) const = default;
};

class MprisPlayer : public QObject {
    Q_OBJECT
public:
    // Registers on `bus`, the session bus unless a test gives its own. Without a bus it does
    // nothing and says nothing.
    explicit MprisPlayer(PlayerHost& host, QDBusConnection bus = QDBusConnection::sessionBus(),
                         QObject* parent = nullptr);
    ~MprisPlayer() override;

    bool Registered() const { return !serviceName_.isEmpty(); }
    // org.mpris.MediaPlayer2.quorbel_media_mixer, or with ".instance<pid>" after it when another
    // program holds that name.
    QString ServiceName() const { return serviceName_; }

    // Each tells the desktop at once when something changed (PropertiesChanged).
    void SetTrack(const PlayerTrack& track);
    void SetStatus(PlaybackStatus status);
    void SetButtons(const PlayerButtons& buttons);
    // The position jumped (Forward): players that show a moving position take it up again.
    void Seeked(qint64 positionMs);

    // What the D-Bus interfaces read and call.
    QVariantMap Metadata() const;
    QString StatusText() const;
    qint64 PositionUs() const;
    const PlayerButtons& Buttons() const { return buttons_; }
    void Play();
    void Pause();
    void PlayPause();
    void StopCommand();
    void Next();

private:
    void Changed(const QVariantMap& properties);
    // Runs `command` from the event loop when the button it presses is enabled then.
    void Later(void (MprisPlayer::*command)());
    void DoPlay();
    void DoPause();
    void DoPlayPause();
    void DoStop();
    void DoNext();

    PlayerHost& host_;
    QDBusConnection bus_;
    QString serviceName_;
    PlayerTrack track_;
    quint64 trackNumber_ = 0;  // a new one for every new track, for its D-Bus id
    PlaybackStatus status_ = PlaybackStatus::Stopped;
    PlayerButtons buttons_;
};

}  // namespace desktop
