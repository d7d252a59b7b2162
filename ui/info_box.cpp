// The banner window: its two lines, its size and snapping, and its context menu.
#include "ui/info_box.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <cstdlib>

#include "settings/language_file.h"
#include "ui/list_presentation.h"
#include "ui/qr_code.h"

namespace ui {

namespace {

constexpr int kClientWidth = 642;
constexpr int kClientHeight = 83;
constexpr int kSnapReach = 30;

QString Word(const platform::DisplayTexts& texts, std::u16string_view key) {
    return QString::fromStdU16String(texts.Get(key));
}

void Colour(QLabel* label, QPalette::ColorRole role, const QColor& colour) {
    QPalette pal = label->palette();
    pal.setColor(role, colour);
    label->setPalette(pal);
}

// Below these the lines would no longer be read from across the room.
constexpr int kNowMinimumPixels = 18;
constexpr int kNextMinimumPixels = 13;
constexpr int kNextTop = 54;
constexpr int kBottomMargin = 5;  // below the next line, as at the usual size

BannerLine* MakeLine(const char* name, int pixelSize, int minimumPixels, QWidget* parent) {
    auto* label = new BannerLine(QStringLiteral("*"), minimumPixels, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);  // titles come from tags: no markup
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setAutoFillBackground(true);
    Colour(label, QPalette::Window, kLightGreen);
    return label;
}

}  // namespace

BannerLine::BannerLine(const QString& text, int minimumPixels, QWidget* parent)
    : QLabel(text, parent), minimumPixels_(minimumPixels) {}

BannerLine::Shown BannerLine::Fitted() const {
    const int room = contentsRect().width();
    QFont font = this->font();
    const QString whole = text();
    int size = QFontInfo(font).pixelSize();
    int wide = QFontMetrics(font).horizontalAdvance(whole);
    // Shrink in proportion first, then a pixel at a time: widths do not scale exactly.
    if (wide > room && size > minimumPixels_) {
        size = std::max(minimumPixels_, std::min(size - 1, size * room / std::max(1, wide)));
        for (;;) {
            font.setPixelSize(size);
            wide = QFontMetrics(font).horizontalAdvance(whole);
            if (wide <= room || size <= minimumPixels_) break;
            --size;
        }
    }
    if (wide <= room) return {font, whole};
    return {font, QFontMetrics(font).elidedText(whole, Qt::ElideRight, room)};
}

void BannerLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Shown shown = Fitted();
    painter.setFont(shown.font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), shown.text);
}

QPoint SnapToEdges(const QRect& frame, const QRect& area, int reach) {
    QPoint at = frame.topLeft();
    if (std::abs(frame.left() - area.left()) <= reach)
        at.setX(area.left());
    else if (std::abs(frame.right() - area.right()) <= reach)
        at.setX(area.right() - frame.width() + 1);
    if (std::abs(frame.top() - area.top()) <= reach)
        at.setY(area.top());
    else if (std::abs(frame.bottom() - area.bottom()) <= reach)
        at.setY(area.bottom() - frame.height() + 1);
    return at;
}

TForm_InfoBox::TForm_InfoBox(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form_InfoBox"));
    setWindowTitle(QStringLiteral("Veltrop Info-Box"));
    resize(kClientWidth, kClientHeight);
    // The height is fixed, the width free but never narrower than at creation.
    setFixedHeight(kClientHeight);
    setMinimumWidth(kClientWidth);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLightGreen);
    setPalette(pal);
    setAutoFillBackground(true);

    Label_Now = MakeLine("Label_Now", 33, kNowMinimumPixels, this);
    Label_Now->setGeometry(rect());
    Label_Now->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Colour(Label_Now, QPalette::WindowText, kBlue);

    // Made after the now line, so it lies in front of it.
    Label_Next = MakeLine("Label_Next", 20, kNextMinimumPixels, this);
    Label_Next->move(8, kNextTop);
    FitNextLine();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto command = [this](const char* name, void (TForm_InfoBox::*handler)()) {
        auto* action = PopupMenu1->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    PopBox1 = command("PopBox1", &TForm_InfoBox::PopBox1Click);
    PopBox2 = command("PopBox2", &TForm_InfoBox::PopBox2Click);
    PopBox3 = command("PopBox3", &TForm_InfoBox::PopBox3Click);
    PopupMenu1->addSeparator();
    PopBox6 = command("PopBox6", &TForm_InfoBox::PopBox6Click);
    PopBox7 = command("PopBox7", &TForm_InfoBox::PopBox7Click);
    popBox8 = command("popBox8", &TForm_InfoBox::popBox8Click);
    PopBox9 = command("PopBox9", &TForm_InfoBox::PopBox9Click);
    PopupMenu1->addSeparator();
    PopBoxQR = command("PopBoxQR", &TForm_InfoBox::PopBoxQRClick);
    PopBoxQR->setCheckable(true);
    PopBoxQR->setEnabled(false);
    PopBoxRoom = new QAction(PopupMenu1);
    PopBoxRoom->setObjectName(QStringLiteral("PopBoxRoom"));
    PopupMenu1->insertAction(PopBoxQR, PopBoxRoom);

    // In front of both lines.
    Image_QR = new QLabel(this);
    Image_QR->setTextFormat(Qt::PlainText);
    Image_QR->setObjectName(QStringLiteral("Image_QR"));
    Image_QR->hide();
}

void TForm_InfoBox::SetMenuCaptions(const platform::DisplayTexts& texts) {
    const QString font = Word(texts, u"str_font") + QStringLiteral(": ");
    const QString colour = Word(texts, u"str_Color") + QStringLiteral(": ");
    PopBox1->setText(font + Word(texts, u"str_big"));
    PopBox2->setText(font + Word(texts, u"str_normal"));
    PopBox3->setText(font + Word(texts, u"str_small"));
    PopBox6->setText(colour + Word(texts, u"str_white"));
    PopBox7->setText(colour + Word(texts, u"str_red"));
    popBox8->setText(colour + Word(texts, u"str_blue"));
    PopBox9->setText(colour + Word(texts, u"str_black"));
    PopBoxQR->setText(Word(texts, u"str_qr_code"));
    const QString room = Word(texts, u"room_open");
    PopBoxRoom->setText(room.isEmpty() ? QString::fromStdU16String(std::u16string(settings::LanguageDefault(u"room_open"))) : room);
}

void TForm_InfoBox::PopBox1Click() { SetNowPointSize(35); }
void TForm_InfoBox::PopBox2Click() { SetNowPointSize(25); }
void TForm_InfoBox::PopBox3Click() { SetNowPointSize(15); }
void TForm_InfoBox::PopBox6Click() { SetNowColour(Qt::white); }
void TForm_InfoBox::PopBox7Click() { SetNowColour(kRed); }
void TForm_InfoBox::popBox8Click() { SetNowColour(kBlue); }
void TForm_InfoBox::PopBox9Click() { SetNowColour(Qt::black); }
void TForm_InfoBox::PopBoxQRClick() { PlaceCode(); }

void TForm_InfoBox::SetGuestAddress(const QString& url) {
    guestAddress_ = url;
    PopBoxQR->setEnabled(!url.isEmpty());
    // The window's height is fixed, so the code is small; an address of the usual length still
    // gets modules of two pixels, enough for a phone camera.
    Image_QR->setPixmap(url.isEmpty() ? QPixmap() : QPixmap::fromImage(QrCodeImageWithin(url, kClientHeight)));
    PlaceCode();
}

void TForm_InfoBox::PlaceCode() {
    const bool shown = PopBoxQR->isChecked() && !guestAddress_.isEmpty();
    Image_QR->setVisible(shown);
    if (!shown) {
        Label_Now->setGeometry(rect());
        FitNextLine();
        return;
    }
    // The now line centres in what the code leaves free.
    const QSize code = Image_QR->pixmap().size();
    Image_QR->setGeometry(width() - code.width(), (height() - code.height()) / 2, code.width(), code.height());
    Label_Now->setGeometry(0, 0, width() - code.width(), height());
    FitNextLine();
}

void TForm_InfoBox::SetNowPointSize(int points) {
    QFont font = Label_Now->font();
    font.setPointSize(points);
    Label_Now->setFont(font);
    PlaceLines();
}

void TForm_InfoBox::PlaceLines() {
    // The usual size while the now line's letters leave the next line its place; bigger letters
    // push the next line down and the window grows with it.
    const int top = std::max(kNextTop, QFontMetrics(Label_Now->font()).height());
    const int height = std::max(kClientHeight, top + QFontMetrics(Label_Next->font()).height() + kBottomMargin);
    Label_Next->move(8, top);
    setFixedHeight(height);
    PlaceCode();
}

void TForm_InfoBox::SetNowColour(const QColor& colour) { Colour(Label_Now, QPalette::WindowText, colour); }

void TForm_InfoBox::FitNextLine() {
    // As wide as its text, but not past the window's right edge (or the code beside it).
    const int code = Image_QR && !Image_QR->isHidden() ? Image_QR->width() : 0;
    const int room = std::max(0, width() - Label_Next->x() - 8 - code);
    const QSize natural = Label_Next->sizeHint();
    Label_Next->resize(std::min(natural.width(), room), natural.height());
}

bool TForm_InfoBox::event(QEvent* event) {
    // A child outside any layout that changes its text asks its visible parent for a new layout:
    // the next line then grows or shrinks with its text.
    if (event->type() == QEvent::LayoutRequest) FitNextLine();
    return QWidget::event(event);
}

void TForm_InfoBox::showEvent(QShowEvent* event) {
    FitNextLine();  // its text may have changed while the window was hidden
    QWidget::showEvent(event);
}

void TForm_InfoBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceCode();
}

void TForm_InfoBox::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (snapping_ || !isVisible() || !screen()) return;
    const QRect frame = frameGeometry();
    const QPoint to = SnapToEdges(frame, screen()->availableGeometry(), kSnapReach);
    if (to == frame.topLeft()) return;
    snapping_ = true;
    move(to);
    snapping_ = false;
}

void TForm_InfoBox::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu1->popup(event->globalPos());
    event->accept();
}

void TForm_InfoBox::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    emit Closed();
}

}  // namespace ui
