#pragma once
// The banner window: the track now playing and the one coming up, in large letters.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include "platform/display_texts.h"

namespace ui {

// Where a window whose frame is `frame` goes so that each of its edges that came within `reach`
// pixels of an edge of `area` lies on that edge; the top left corner of the frame.
QPoint SnapToEdges(const QRect& frame, const QRect& area, int reach);

// A line of the banner. When its text is wider than the line, the letters shrink to fit, down to
// a size still readable across a room; a text longer still is cut at its end with an ellipsis.
// Its beginning always shows. text() keeps the whole text.
class BannerLine : public QLabel {
    Q_OBJECT
public:
    BannerLine(const QString& text, int minimumPixels, QWidget* parent);

    struct Shown {
        QFont font;
        QString text;
    };
    // What the line draws now, in its present width.
    Shown Fitted() const;
    int MinimumPixels() const { return minimumPixels_; }
    void SetMinimumPixels(int pixels) { minimumPixels_ = pixels; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int minimumPixels_;
};

class TForm_InfoBox : public QWidget {
    Q_OBJECT
public:
    explicit TForm_InfoBox(QWidget* parent = nullptr);

    BannerLine* Label_Now = nullptr;   // fills the window
    BannerLine* Label_Next = nullptr;  // lower left, as large as its text within the window

    QMenu* PopupMenu1 = nullptr;
    QAction *PopBox1 = nullptr, *PopBox2 = nullptr, *PopBox3 = nullptr, *PopBox6 = nullptr,
            *PopBox7 = nullptr, *popBox8 = nullptr, *PopBox9 = nullptr;
    // After the seven, behind a separator: the guest address as a QR code at the right side,
    // for the room to scan. Checkable; usable while there is an address.
    QAction* PopBoxQR = nullptr;
    QAction* PopBoxRoom = nullptr;  // before it: the room display (the main window opens it)
    QLabel* Image_QR = nullptr;

    // The seven commands read "<font word>: <size word>" and "<colour word>: <colour word>".
    void SetMenuCaptions(const platform::DisplayTexts& texts);

    // The commands change only the now line.
    void PopBox1Click();  // big letters
    void PopBox2Click();  // normal letters
    void PopBox3Click();  // small letters
    void PopBox6Click();  // white
    void PopBox7Click();  // red
    void popBox8Click();  // blue
    void PopBox9Click();  // black
    void PopBoxQRClick();  // the QR code on or off

    // The address the QR code carries; empty while guests cannot join (no code then).
    void SetGuestAddress(const QString& url);

signals:
    // The window was closed (it is only hidden); the main window clears its menu mark.
    void Closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void SetNowPointSize(int points);
    void SetNowColour(const QColor& colour);
    // The next line below the now line's letters; the window grows in height for big letters.
    void PlaceLines();
    void FitNextLine();
    void PlaceCode();

    QString guestAddress_;

    bool snapping_ = false;
};

}  // namespace ui
