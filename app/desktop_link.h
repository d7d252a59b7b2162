#pragma once
// The window as the desktop's player: media keys, the sound menu and playerctl press its
// transport buttons and see what plays.
#include <QElapsedTimer>
#include <memory>

#include "desktop/mpris.h"

namespace app {

class TForm1;

class DesktopLink : public desktop::PlayerHost {
public:
    // On the session bus; without one it stays silent and the window works as before.
    explicit DesktopLink(TForm1& form, QDBusConnection bus = QDBusConnection::sessionBus());
    ~DesktopLink() override;

    // After every event: the track, the status and the buttons as the window shows them.
    void Update();
    const desktop::MprisPlayer& Player() const { return *player_; }

    void PlayList() override;
    void PauseOrGoOn() override;
    void Forward() override;
    void Stop() override;
    qint64 PositionMs() const override;

private:
    TForm1& form_;
    std::unique_ptr<desktop::MprisPlayer> player_;
    // Where the track was at the last update, to tell a jump from playing on.
    QString lastFile_;
    qint64 lastPosition_ = -1;
    bool lastPlaying_ = false;
    QElapsedTimer sinceLast_;
};

}  // namespace app
