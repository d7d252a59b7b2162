// The room display: its lines placed by the window's height, written only when they change.
#include "ui/room_display.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

#include "tracks/time_format.h"
#include "ui/info_box.h"
#include "settings/language_file.h"
#include "ui/qr_code.h"

namespace ui {

namespace {

// Light on dark: a dark room keeps looking at the music, not at a lit rectangle.
const QColor kBackground(16, 20, 24);
const QColor kText(245, 245, 245);
const QColor kHeading(154, 210, 154);  // the banner's green, lit up
const QColor kTrack(64, 70, 78);
const QColor kMarkBackground(255, 176, 0);
constexpr int kCursorRestMs = 3000;

QString Word(const platform::DisplayTexts& texts, std::u16string_view key) {
    const std::u16string word = texts.Get(key);
    return QString::fromStdU16String(word.empty() ? std::u16string(settings::LanguageDefault(key)) : word);
}

QString RowText(const std::optional<RoomTrack>& track) {
    if (!track) return {};
    if (track->artist.isEmpty()) return track->title;
    if (track->title.isEmpty()) return track->artist;
    return track->title + QStringLiteral(" \u2013 ") + track->artist;
}

BannerLine* MakeLine(QWidget* parent, const char* name, const QColor& colour, bool bold = false) {
    auto* line = new BannerLine(QString(), 1, parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setTextFormat(Qt::PlainText);  // titles come from tags: no markup
    line->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks and moves reach the window
    QPalette pal = line->palette();
    pal.setColor(QPalette::WindowText, colour);
    line->setPalette(pal);
    QFont font = line->font();
    font.setBold(bold);
    line->setFont(font);
    return line;
}

BannerLine* MakeMark(QWidget* parent, const char* name) {
    BannerLine* mark = MakeLine(parent, name, Qt::black, true);
    QPalette pal = mark->palette();
    pal.setColor(QPalette::Window, kMarkBackground);
    mark->setPalette(pal);
    mark->setAutoFillBackground(true);
    mark->setAlignment(Qt::AlignCenter);
    mark->hide();
    return mark;
}

// Letters `pixels` high, shrinking to no less than `shrink` percent of that before the end is cut;
// `side` pixels free at the left and right, so the lines of a column start at one edge.
void Size(BannerLine* line, int pixels, int side, int shrink = 60) {
    QFont font = line->font();
    font.setPixelSize(std::max(1, pixels));
    line->setFont(font);
    line->SetMinimumPixels(std::max(1, pixels * shrink / 100));
    const int pad = std::max(2, pixels / 10);  // the letters never touch the line's edges
    line->setContentsMargins(side, pad, side, pad);
}

int LineHeight(const BannerLine* line) {
    const QMargins m = line->contentsMargins();
    return QFontMetrics(line->font()).height() + m.top() + m.bottom();
}

// The mark's natural width: its word with room around it.
int MarkWidth(const BannerLine* mark) {
    const QMargins m = mark->contentsMargins();
    return QFontMetrics(mark->font()).horizontalAdvance(mark->text()) + 2 * (m.left() + m.right());
}

void SetVisible(QWidget* w, bool visible) {
    if (w->isVisibleTo(w->parentWidget()) != visible) w->setVisible(visible);
}

}  // namespace

RoomTexts RoomTextsFrom(const platform::DisplayTexts& texts) {
    return {Word(texts, u"room_title"),   Word(texts, u"room_now"),  Word(texts, u"str_coming_up"),
            Word(texts, u"room_later"),   Word(texts, u"room_request"), Word(texts, u"str_join"),
            Word(texts, u"room_nothing")};
}

RoomProgress::RoomProgress(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Bar_Progress"));
    setAttribute(Qt::WA_OpaquePaintEvent);  // paints every pixel: nothing below is redrawn
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

int RoomProgress::FilledPixels() const {
    if (length_ <= 0) return 0;
    return static_cast<int>(std::clamp<qint64>(position_, 0, length_) * width() / length_);
}

void RoomProgress::SetProgress(qint64 positionMs, qint64 lengthMs) {
    const int before = FilledPixels();
    position_ = positionMs;
    length_ = lengthMs;
    if (FilledPixels() != before) update();
}

void RoomProgress::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int filled = FilledPixels();
    painter.fillRect(QRect(0, 0, filled, height()), kHeading);
    painter.fillRect(QRect(filled, 0, width() - filled, height()), kTrack);
}

RoomDisplay::RoomDisplay(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("RoomDisplay"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);

    Label_NowHeading = MakeLine(this, "Label_NowHeading", kHeading);
    Label_Title = MakeLine(this, "Label_Title", kText, true);
    Label_Artist = MakeLine(this, "Label_Artist", kText);
    Bar_Progress = new RoomProgress(this);
    Label_Time = MakeLine(this, "Label_Time", kText);
    Label_Time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label_NextHeading = MakeLine(this, "Label_NextHeading", kHeading);
    Label_Next = MakeLine(this, "Label_Next", kText);
    Mark_Next = MakeMark(this, "Mark_Next");
    Label_LaterHeading = MakeLine(this, "Label_LaterHeading", kHeading);
    for (int i = 0; i < kLaterRows; ++i) {
        Label_Later[i] = MakeLine(this, "Label_Later", kText);
        Mark_Later[i] = MakeMark(this, "Mark_Later");
    }
    Image_QR = new QLabel(this);
    Image_QR->setObjectName(QStringLiteral("Image_QR"));
    Image_QR->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label_Join = MakeLine(this, "Label_Join", kHeading, true);
    Label_Address = MakeLine(this, "Label_Address", kText);
    Label_Join->setAlignment(Qt::AlignCenter);
    Label_Address->setAlignment(Qt::AlignCenter);

    hideCursor_.setSingleShot(true);
    hideCursor_.setInterval(kCursorRestMs);
    connect(&hideCursor_, &QTimer::timeout, this, [this] { setCursor(Qt::BlankCursor); });

    resize(1280, 720);
    view_.texts = RoomTextsFrom(platform::DisplayTexts());
    Write();
}

void RoomDisplay::Show(const RoomView& view) {
    if (view == view_) return;
    view_ = view;
    Write();
}

// Labels repaint only when their text changes and widgets only when they move, so writing
// every part costs nothing where nothing changed.
void RoomDisplay::Write() {
    const RoomTexts& t = view_.texts;
    setWindowTitle(t.caption);

    Label_NowHeading->setText(t.now);
    Label_Title->setText(view_.now ? view_.now->title : t.nothing);
    Label_Artist->setText(view_.now ? view_.now->artist : QString());
    const bool progress = view_.now && view_.lengthMs > 0;
    Bar_Progress->SetProgress(view_.positionMs, view_.lengthMs);
    Label_Time->setText(progress ? tracks::FormatMinSec(view_.positionMs) + QStringLiteral(" / ") +
                                       tracks::FormatMinSec(view_.lengthMs)
                                 : QString());
    SetVisible(Label_Artist, !Label_Artist->text().isEmpty());
    SetVisible(Bar_Progress, progress);
    SetVisible(Label_Time, progress);

    Label_NextHeading->setText(t.next);
    Label_Next->setText(RowText(view_.next));
    Mark_Next->setText(t.request);
    SetVisible(Label_NextHeading, view_.next.has_value());
    SetVisible(Label_Next, view_.next.has_value());
    Label_LaterHeading->setText(t.later);
    for (int i = 0; i < kLaterRows; ++i) {
        const bool has = i < static_cast<int>(view_.later.size());
        Label_Later[i]->setText(has ? RowText(view_.later[static_cast<size_t>(i)]) : QString());
        Mark_Later[i]->setText(t.request);
    }
    Label_Join->setText(t.join);
    Label_Address->setText(view_.guestAddress);
    Place();
}

void RoomDisplay::SetSizes() {
    const int h = height();
    const int side = std::max(2, h / 240);
    for (BannerLine* heading : {Label_NowHeading, Label_NextHeading, Label_LaterHeading}) Size(heading, h / 24, side);
    Size(Label_Title, h / 9, side, 55);
    Size(Label_Artist, h / 14, side);
    Size(Label_Time, h / 28, side);
    Size(Label_Next, h / 15, side);
    Size(Mark_Next, h / 26, 2 * side, 70);
    for (int i = 0; i < kLaterRows; ++i) {
        Size(Label_Later[i], h / 20, side);
        Size(Mark_Later[i], h / 26, 2 * side, 70);
    }
    Size(Label_Join, h / 20, side);
    Size(Label_Address, h / 26, side, 50);
}

void RoomDisplay::Place() {
    const int w = width(), h = height();
    const int margin = h / 24;
    const bool code = !view_.guestAddress.isEmpty();
    int right = w - margin;
    if (code) {
        const int column = std::min(w * 34 / 100, h * 62 / 100);
        PlaceCode(right - column, column);
        right -= column + margin;
    }
    SetVisible(Image_QR, code);
    SetVisible(Label_Join, code);
    SetVisible(Label_Address, code);

    const int left = margin, across = std::max(1, right - left);
    const int side = Label_Title->contentsMargins().left();  // where the letters start
    int y = margin;
    const auto line = [&](QWidget* widget, int tall) {
        widget->setGeometry(left, y, across, tall);
        y += tall;
    };
    // A track line with its request mark at its right end; the title gives way to the mark.
    const auto track = [&](BannerLine* row, BannerLine* mark, bool request) {
        const int tall = LineHeight(row);
        const int markWidth = request ? std::min(MarkWidth(mark), across / 3) : 0;
        const int gap = request ? tall / 4 : 0;
        row->setGeometry(left, y, across - markWidth - gap, tall);
        const int markHeight = std::min(tall, LineHeight(mark));
        mark->setGeometry(left + across - markWidth, y + (tall - markHeight) / 2, markWidth, markHeight);
        SetVisible(mark, request);
        y += tall;
    };

    line(Label_NowHeading, LineHeight(Label_NowHeading));
    line(Label_Title, LineHeight(Label_Title));
    line(Label_Artist, LineHeight(Label_Artist));
    y += h / 60;
    Bar_Progress->setGeometry(left + side, y, across - 2 * side, std::max(2, h / 80));
    y += Bar_Progress->height();
    line(Label_Time, LineHeight(Label_Time));
    y += h / 40;
    line(Label_NextHeading, LineHeight(Label_NextHeading));
    track(Label_Next, Mark_Next, view_.next && view_.next->request);
    y += h / 40;
    line(Label_LaterHeading, LineHeight(Label_LaterHeading));
    // Only whole rows: a row without room is left out, never cut in half.
    int shown = 0;
    for (int i = 0; i < kLaterRows; ++i) {
        const bool has = i < static_cast<int>(view_.later.size());
        const bool fits = y + LineHeight(Label_Later[i]) <= h - margin;
        const bool show = has && fits;
        if (show) {
            track(Label_Later[i], Mark_Later[i], view_.later[static_cast<size_t>(i)].request);
            ++shown;
        } else {
            SetVisible(Mark_Later[i], false);
        }
        SetVisible(Label_Later[i], show);
    }
    SetVisible(Label_LaterHeading, shown > 0);
}

void RoomDisplay::PlaceCode(int left, int across) {
    const int h = height();
    const int text = LineHeight(Label_Join) + LineHeight(Label_Address);
    const int side = std::max(1, std::min(across, h - 2 * (h / 24) - text));
    if (codeText_ != view_.guestAddress || codeSide_ != side) {
        codeText_ = view_.guestAddress;
        codeSide_ = side;
        Image_QR->setPixmap(QPixmap::fromImage(QrCodeImageWithin(codeText_, side)));
    }
    const QSize image = Image_QR->pixmap().size();
    const int top = (h - image.height() - text) / 2;
    Image_QR->setGeometry(left + (across - image.width()) / 2, top, image.width(), image.height());
    Label_Join->setGeometry(left, top + image.height(), across, LineHeight(Label_Join));
    Label_Address->setGeometry(left, Label_Join->geometry().bottom() + 1, across, LineHeight(Label_Address));
}

void RoomDisplay::OpenOn(QScreen* screen) {
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // A full-screen window moves to another screen only from its normal state.
    if (isFullScreen()) showNormal();
    setScreen(screen);
    setGeometry(screen->geometry());
    showFullScreen();
    raise();
    activateWindow();
    setCursor(Qt::BlankCursor);
}

void RoomDisplay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SetSizes();
    Place();
}

void RoomDisplay::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void RoomDisplay::mouseDoubleClickEvent(QMouseEvent*) { close(); }

void RoomDisplay::mouseMoveEvent(QMouseEvent* event) {
    // The pointer shows while it moves, so the DJ finds the window to double-click, then hides.
    unsetCursor();
    hideCursor_.start();
    QWidget::mouseMoveEvent(event);
}

void RoomDisplay::closeEvent(QCloseEvent* event) {
    hideCursor_.stop();
    QWidget::closeEvent(event);
    emit Closed();
}

int PickRoomScreen(const QStringList& screens, int primary, const QString& preferred) {
    if (screens.isEmpty()) return -1;
    if (!preferred.isEmpty() && screens.contains(preferred)) return static_cast<int>(screens.indexOf(preferred));
    for (int i = 0; i < screens.size(); ++i)
        if (i != primary) return i;
    return 0;
}

QScreen* RoomScreen(const QString& preferred) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QStringList names;
    for (const QScreen* s : screens) names << s->name();
    const int index =
        PickRoomScreen(names, static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen())), preferred);
    return index < 0 ? nullptr : screens[index];
}

}  // namespace ui
