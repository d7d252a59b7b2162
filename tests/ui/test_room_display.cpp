// The room display as the room sees it: at a TV's and a projector's sizes, in every language and
// with titles far too long, no letter is cut and the code scans; a tick repaints only what moved;
// Esc or a double click closes it; a second screen is chosen when there is one.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>

#include "platform/ini_file.h"
#include "tests/support/qr_decode.h"
#include "tests/support/qt_app.h"
#include "ui/info_box.h"
#include "settings/language_file.h"
#include "ui/room_display.h"

namespace {

ui::RoomTexts Texts(const char* code) {
    const platform::IniFile file(std::filesystem::path(QMM_SOURCE_DIR) / "resources" / "lang" /
                                 (std::string(code) + ".lng"));
    platform::DisplayTexts texts;
    for (const settings::LanguageText& t : settings::ReadLanguage(file, texts)) texts.Set(t.key->key, t.text);
    return ui::RoomTextsFrom(texts);
}

ui::RoomView Party(const QString& title, const char* language, const QString& address) {
    const QString artist = "Ensemble Intercontemporain de la R\u00e9publique";
    ui::RoomView v{ui::RoomTrack{title, artist, false}, 83000, 225000, ui::RoomTrack{title + " (Reprise)", artist, true},
                   {}, address, Texts(language)};
    for (int i = 0; i < 7; ++i) v.later.push_back({QString("%1 %2").arg(i).arg(title), artist, i % 2 == 0});
    return v;
}

QRect InWindow(const QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }

// A letter cut at a line's edge leaves ink on the edge: every pixel of the outermost ring is the
// line's own background.
bool RingIsPlain(const QImage& shot, const QRect& r) {
    const QRgb plain = shot.pixel(r.topLeft());
    for (int x = r.left(); x <= r.right(); ++x)
        if (shot.pixel(x, r.top()) != plain || shot.pixel(x, r.bottom()) != plain) return false;
    for (int y = r.top(); y <= r.bottom(); ++y)
        if (shot.pixel(r.left(), y) != plain || shot.pixel(r.right(), y) != plain) return false;
    return true;
}

TEST(RoomDisplay, NothingIsCutOnATvOrAProjectorInAnyLanguage) {
    test_support::EnsureApplication();
    const QString address = "http://192.168.178.123:7777/";
    const QString titles[] = {"Intro", "Sch\u00f6nes M\u00e4dchen aus Arcadia (Extended Club Mix Featuring Everybody)",
                              QString("\u65e5\u672c\u8a9e\u306e\u3068\u3066\u3082\u9577\u3044\u66f2\u540d ").repeated(6)};
    for (const QSize size : {QSize(1280, 720), QSize(3840, 2160)}) {
        ui::RoomDisplay room;
        room.resize(size);
        room.show();
        for (const char* language : {"eng", "deu", "fra"}) {
            for (const QString& title : titles) {
                for (const QString& joinAt : {address, QString()}) {
                    SCOPED_TRACE(std::to_string(size.width()) + " " + language + " " + title.left(12).toStdString() +
                                 (joinAt.isEmpty() ? " no code" : ""));
                    room.Show(Party(title, language, joinAt));
                    QCoreApplication::processEvents();
                    const QImage shot = room.grab().toImage();
                    std::vector<QRect> taken;
                    for (QWidget* part : room.findChildren<QWidget*>()) {
                        if (!part->isVisible()) continue;
                        const QRect at = InWindow(part);
                        EXPECT_TRUE(room.rect().contains(at)) << part->objectName().toStdString();
                        for (const QRect& other : taken)
                            EXPECT_FALSE(at.intersects(other)) << part->objectName().toStdString();
                        taken.push_back(at);
                        auto* line = qobject_cast<ui::BannerLine*>(part);
                        if (!line) continue;
                        const ui::BannerLine::Shown shown = line->Fitted();
                        const std::string what = (line->objectName() + ": " + line->text()).toStdString();
                        EXPECT_TRUE(shown.text.startsWith(line->text().left(3))) << what;
                        EXPECT_LE(QFontMetrics(shown.font).height(), line->contentsRect().height()) << what;
                        EXPECT_TRUE(RingIsPlain(shot, at)) << what;
                    }
                    EXPECT_EQ(room.Image_QR->isVisible(), !joinAt.isEmpty());
                    if (joinAt.isEmpty()) continue;
                    EXPECT_EQ(room.Label_Address->Fitted().text, address);  // typed by those who cannot scan
                    if (title == titles[1] && test_support::HaveQrDecoder()) {
                        EXPECT_EQ(test_support::DecodeQr(shot.copy(InWindow(room.Image_QR))), address);
                    }
                }
            }
        }
        // Every later row that fits is shown, each guest's request marked.
        EXPECT_TRUE(room.Label_Later[0]->isVisible() && room.Mark_Later[0]->isVisible());
        EXPECT_FALSE(room.Mark_Later[1]->isVisible());
    }
}

// Collects what each part repaints, in window coordinates.
struct PaintLog : QObject {
    QRegion painted;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            auto* w = static_cast<QWidget*>(watched);
            painted += static_cast<QPaintEvent*>(event)->region().translated(w->mapTo(w->window(), QPoint(0, 0)));
        }
        return false;
    }
};

TEST(RoomDisplay, ATickRepaintsOnlyWhatMoved) {
    test_support::EnsureApplication();
    ui::RoomDisplay room;
    room.resize(1280, 720);
    room.show();
    const ui::RoomView view = Party("Intro", "eng", "http://10.0.0.2:7777/");
    room.Show(view);
    QCoreApplication::processEvents();
    PaintLog log;
    room.installEventFilter(&log);
    for (QWidget* part : room.findChildren<QWidget*>()) part->installEventFilter(&log);

    ui::RoomView later = view;
    later.positionMs += 1000;
    ui::RoomView handedOver = later;  // the cases follow one another
    handedOver.next->title = "Another";
    struct Case {
        const char* name;
        ui::RoomView view;
        QRegion may;  // where painting is allowed
    };
    const Case cases[] = {
        {"the same view again", view, QRegion()},
        {"one second on", later, QRegion(InWindow(room.Bar_Progress)) + InWindow(room.Label_Time)},
        {"a new next track", handedOver, QRegion(InWindow(room.Label_Next))},
    };
    for (const Case& c : cases) {
        log.painted = QRegion();
        room.Show(c.view);
        QCoreApplication::processEvents();
        EXPECT_TRUE(c.may.united(log.painted) == c.may) << c.name;
        EXPECT_EQ(log.painted.isEmpty(), c.may.isEmpty()) << c.name;
    }
}

TEST(RoomDisplay, EscOrADoubleClickCloses) {
    test_support::EnsureApplication();
    ui::RoomDisplay room;
    int closed = 0;
    QObject::connect(&room, &ui::RoomDisplay::Closed, [&] { ++closed; });
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(9, 9), QPointF(9, 9), Qt::LeftButton, Qt::LeftButton, {});
    for (QEvent* event : std::initializer_list<QEvent*>{&esc, &twice}) {
        room.show();
        QCoreApplication::sendEvent(&room, event);
        EXPECT_FALSE(room.isVisible()) << event->type();
    }
    EXPECT_EQ(closed, 2);
}

TEST(RoomDisplay, OpensOnASecondScreenWhenThereIsOne) {
    struct Case {
        const char* name;
        QStringList screens;
        int primary;
        QString preferred;
        int expected;
    } const cases[] = {
        {"no screen", {}, -1, {}, -1},
        {"the laptop alone", {"eDP-1"}, 0, {}, 0},
        {"a TV beside the laptop", {"eDP-1", "HDMI-1"}, 0, {}, 1},
        {"the TV listed first", {"HDMI-1", "eDP-1"}, 1, {}, 0},
        {"the projector chosen last time", {"eDP-1", "HDMI-1", "DP-2"}, 0, "DP-2", 2},
        {"the chosen one unplugged", {"eDP-1", "HDMI-1"}, 0, "DP-2", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(ui::PickRoomScreen(c.screens, c.primary, c.preferred), c.expected) << c.name;
}

}  // namespace
