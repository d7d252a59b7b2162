#pragma once
// The room display: what plays now, what comes next and how to join, full screen on a TV or a
// projector, fed by one plain value.
#include <QImage>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

#include "platform/display_texts.h"

class QScreen;

namespace ui {

class BannerLine;

struct RoomTrack {
    QString title, artist;
    bool request = false;  // a guest asked for it
    bool operator==(const RoomTrack&) const = default;
};

// The words it shows, in the active language.
struct RoomTexts {
    QString caption, now, next, later, request, join, nothing;
    bool operator==(const RoomTexts&) const = default;
};
// From the display texts; a word they lack is its English default.
RoomTexts RoomTextsFrom(const platform::DisplayTexts& texts);

struct RoomView {
    std::optional<RoomTrack> now;  // none while nothing plays
    qint64 positionMs = 0, lengthMs = 0;
    std::optional<RoomTrack> next;
    std::vector<RoomTrack> later;  // the queued tracks after the next one, in order
    QString guestAddress;          // empty while guests cannot join
    RoomTexts texts;
    bool operator==(const RoomView&) const = default;
};

// The progress of the track now playing: a bar that repaints only when its filled part moves.
class RoomProgress : public QWidget {
public:
    explicit RoomProgress(QWidget* parent);
    void SetProgress(qint64 positionMs, qint64 lengthMs);
    int FilledPixels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qint64 position_ = 0, length_ = 0;
};

class RoomDisplay : public QWidget {
    Q_OBJECT
public:
    // At most this many tracks after the next one; fewer when the screen has no room for them.
    static constexpr int kLaterRows = 5;

    explicit RoomDisplay(QWidget* parent = nullptr);

    // Shows `view`. Only what differs from the view shown is written, so a tick that moves only
    // the position repaints only the progress.
    void Show(const RoomView& view);
    const RoomView& View() const { return view_; }

    // Full screen on `screen` (the primary one when null).
    void OpenOn(QScreen* screen);

    BannerLine *Label_NowHeading, *Label_Title, *Label_Artist, *Label_Time;
    RoomProgress* Bar_Progress;
    BannerLine *Label_NextHeading, *Label_Next, *Mark_Next, *Label_LaterHeading;
    BannerLine* Label_Later[kLaterRows];
    BannerLine* Mark_Later[kLaterRows];  // the request marks at the rows' right ends
    QLabel* Image_QR;
    BannerLine *Label_Join, *Label_Address;

signals:
    // Closed by Esc, a double click or the window manager; it is only hidden.
    void Closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Write();
    void SetSizes();  // letter sizes follow the window's height
    void Place();
    void PlaceCode(int left, int across);

    RoomView view_;
    QString codeText_;
    int codeSide_ = 0;
    QTimer hideCursor_;  // runs only after the mouse moved
};

// Which of `screens` (by name) the room display opens on: `preferred` while it is there, else
// the first one that is not `primary` (the TV beside the DJ's screen), else the primary one.
// -1 for an empty list.
int PickRoomScreen(const QStringList& screens, int primary, const QString& preferred);
// The same among the screens the system knows now.
QScreen* RoomScreen(const QString& preferred = {});

}  // namespace ui
