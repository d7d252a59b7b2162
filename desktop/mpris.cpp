// MPRIS 2 over Qt D-Bus: the two interfaces as adaptors of one object at /org/mpris/MediaPlayer2,
// PropertiesChanged sent by hand (Qt does not send it for adaptors), commands mapped to buttons.
#include "desktop/mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <unistd.h>

namespace desktop {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.quorbel_media_mixer");

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ False)
    Q_PROPERTY(bool CanRaise READ False)
    Q_PROPERTY(bool HasTrackList READ False)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ None)
    Q_PROPERTY(QStringList SupportedMimeTypes READ None)
public:
    explicit RootAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
    bool False() const { return false; }
    QString Identity() const { return QStringLiteral("Quorbel Media Mixer"); }
    QString DesktopEntry() const { return QStringLiteral("quorbel-media-mixer"); }
    QStringList None() const { return {}; }
public slots:
    // The window is the DJ's: the desktop neither raises nor closes it.
    void Raise() {}
    void Quit() {}
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ One)
    Q_PROPERTY(double MinimumRate READ One)
    Q_PROPERTY(double MaximumRate READ One)
    Q_PROPERTY(double Volume READ One)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ False)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ False)
    Q_PROPERTY(bool CanControl READ True)
public:
    explicit PlayerAdaptor(MprisPlayer* player) : QDBusAbstractAdaptor(player), player_(player) {}
    QString PlaybackStatus() const { return player_->StatusText(); }
    double One() const { return 1.0; }
    QVariantMap Metadata() const { return player_->Metadata(); }
    qlonglong Position() const { return player_->PositionUs(); }
    bool CanGoNext() const { return player_->Buttons().forward; }
    bool CanPlay() const { return player_->Buttons().playList || player_->Buttons().pause; }
    bool CanPause() const { return player_->Buttons().pause; }
    bool False() const { return false; }
    bool True() const { return true; }
public slots:
    void Next() { player_->Next(); }
    void Previous() {}
    void Pause() { player_->Pause(); }
    void PlayPause() { player_->PlayPause(); }
    void Stop() { player_->StopCommand(); }
    void Play() { player_->Play(); }
    // Forward is the only jump the DJ's window has; a desktop cannot seek.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}
signals:
    void Seeked(qlonglong Position);

private:
    MprisPlayer* player_;
};

}  // namespace

MprisPlayer::MprisPlayer(PlayerHost& host, QDBusConnection bus, QObject* parent)
    : QObject(parent), host_(host), bus_(std::move(bus)) {
    if (!bus_.isConnected()) return;
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return;
    for (const QString& name : {kServiceName, kServiceName + QStringLiteral(".instance") + QString::number(::getpid())}) {
        if (bus_.registerService(name)) {
            serviceName_ = name;
            return;
        }
    }
    bus_.unregisterObject(kObjectPath);
}

MprisPlayer::~MprisPlayer() {
    if (!Registered()) return;
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(kObjectPath);
}

void MprisPlayer::SetTrack(const PlayerTrack& track) {
    if (track == track_) return;
    track_ = track;
    ++trackNumber_;
    Changed({{QStringLiteral("Metadata"), Metadata()}});
}

void MprisPlayer::SetStatus(PlaybackStatus status) {
    if (status == status_) return;
    status_ = status;
    Changed({{QStringLiteral("PlaybackStatus"), StatusText()}});
}

void MprisPlayer::SetButtons(const PlayerButtons& buttons) {
    if (buttons == buttons_) return;
    const PlayerButtons before = std::exchange(buttons_, buttons);
    QVariantMap changed;
    const auto note = [&](const char* name, bool was, bool is) {
        if (was != is) changed.insert(QString::fromLatin1(name), is);
    };
    note("CanGoNext", before.forward, buttons.forward);
    note("CanPlay", before.playList || before.pause, buttons.playList || buttons.pause);
    note("CanPause", before.pause, buttons.pause);
    if (!changed.isEmpty()) Changed(changed);
}

void MprisPlayer::Seeked(qint64 positionMs) {
    if (!Registered()) return;
    if (auto* player = findChild<PlayerAdaptor*>()) emit player->Seeked(positionMs * 1000);
}

QVariantMap MprisPlayer::Metadata() const {
    if (track_.fileName.isEmpty()) return {};
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/quorbel/MediaMixer/Track/%1").arg(trackNumber_))));
    // A file without tags still shows by its name, as in the lists.
    m.insert(QStringLiteral("xesam:title"),
             track_.title.isEmpty() ? QFileInfo(track_.fileName).completeBaseName() : track_.title);
    if (!track_.artist.isEmpty()) m.insert(QStringLiteral("xesam:artist"), QStringList{track_.artist});
    if (!track_.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), track_.album);
    if (track_.lengthMs > 0) m.insert(QStringLiteral("mpris:length"), qlonglong(track_.lengthMs * 1000));
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(track_.fileName).toString(QUrl::FullyEncoded));
    return m;
}

QString MprisPlayer::StatusText() const {
    switch (status_) {
        case PlaybackStatus::Playing: return QStringLiteral("Playing");
        case PlaybackStatus::Paused: return QStringLiteral("Paused");
        case PlaybackStatus::Stopped: break;
    }
    return QStringLiteral("Stopped");
}

qint64 MprisPlayer::PositionUs() const {
    return status_ == PlaybackStatus::Stopped ? 0 : host_.PositionMs() * 1000;
}

void MprisPlayer::Changed(const QVariantMap& properties) {
    if (!Registered()) return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << properties << QStringList();
    bus_.send(signal);
}

// A command answers its D-Bus call at once and acts from the event loop, like a click: a
// handler that opens a message box must not hold the desktop's call open.
void MprisPlayer::Later(void (MprisPlayer::*command)()) {
    QMetaObject::invokeMethod(this, [this, command] { (this->*command)(); }, Qt::QueuedConnection);
}

void MprisPlayer::Play() { Later(&MprisPlayer::DoPlay); }
void MprisPlayer::Pause() { Later(&MprisPlayer::DoPause); }
void MprisPlayer::PlayPause() { Later(&MprisPlayer::DoPlayPause); }
void MprisPlayer::StopCommand() { Later(&MprisPlayer::DoStop); }
void MprisPlayer::Next() { Later(&MprisPlayer::DoNext); }

void MprisPlayer::DoPlay() {
    if (status_ == PlaybackStatus::Paused && buttons_.pause) host_.PauseOrGoOn();
    else if (status_ == PlaybackStatus::Stopped && buttons_.playList) host_.PlayList();
}

void MprisPlayer::DoPause() {
    if (status_ == PlaybackStatus::Playing && buttons_.pause) host_.PauseOrGoOn();
}

void MprisPlayer::DoPlayPause() {
    if (status_ == PlaybackStatus::Stopped) DoPlay();
    else if (buttons_.pause) host_.PauseOrGoOn();
}

void MprisPlayer::DoStop() {
    if (status_ != PlaybackStatus::Stopped && buttons_.stop) host_.Stop();
}

void MprisPlayer::DoNext() {
    if (buttons_.forward) host_.Forward();
}

}  // namespace desktop

#include "mpris.moc"
