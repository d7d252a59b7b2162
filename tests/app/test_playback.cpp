// Playback on the main window: the positions, bars, labels, banner lines and transport the window
// shows as the party plays on test decks, and the tick's timer going on while a box waits.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimerEvent>

#include "app/main_window.h"
#include "platform/guard.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "ui/room_display.h"
#include "app/now_playing.h"

namespace {

using playback::mpPaused;
using playback::mpPlaying;
using playback::mpStopped;

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        form = app::CreateWindows(playback::TestDeckFactory(clock));
    }
    QString AddRow(const QString& name, int lengthMs) {
        const QString path = dir.filePath(name);
        QFile(path).open(QIODevice::WriteOnly);
        clock->SetLength(path, lengthMs);
        tracks::TrackRow row;
        row.Status = "ready";
        row.Title = "Title " + name;
        row.Artist = "Artist " + name;
        row.FileName = path;
        form->ListView_soon->List().AppendRow(row);
        return path;
    }
    playback::AudioDeck& Deck(int n) { return n == 1 ? *form->MediaPlayer1 : *form->MediaPlayer2; }
    void Run(void (app::TForm1::*handler)()) { platform::Guarded([&] { (form.get()->*handler)(); }); }
    void Tick() {
        clock->Advance(1000);
        Run(&app::TForm1::Timer1Timer);
    }

    platform::ScopedRecorder rec;
    QTemporaryDir dir;
    std::shared_ptr<playback::TTestClock> clock = std::make_shared<playback::TTestClock>();
    std::unique_ptr<app::TForm1> form;
};

TEST_F(Playback, TheWindowShowsThePositionsBarsBannerAndTransport) {
    AddRow("a.mp3", 180000);
    AddRow("b.mp3", 180000);
    AddRow("c.mp3", 180000);
    form->TrackBar_fader->setValue(10);
    EXPECT_EQ(form->Label_fadesec->text(), "10 sec fadeover");
    Run(&app::TForm1::Button_PlayListClick);
    EXPECT_TRUE(form->Timer1->isActive() && form->Timer3->isActive());
    EXPECT_FALSE(form->Button_PlayList->isEnabled());
    EXPECT_TRUE(form->Button_Stop->isEnabled());
    EXPECT_EQ(form->Button_FF->text(), "F&orward [0]");
    for (int s = 0; s < 170; ++s) Tick();
    EXPECT_EQ(form->Label_Pos1->text(), "02:50");
    EXPECT_EQ(form->Label_Length1->text(), "03:00");
    EXPECT_EQ(form->Label_von1->text(), "of");
    EXPECT_EQ(form->Label_unit1->text(), "min");
    EXPECT_TRUE(form->Label_Pos1->font().bold());
    EXPECT_EQ(form->ProgressBar1->maximum(), 180000);
    EXPECT_EQ(form->ProgressBar1->value(), 170000);
    EXPECT_EQ(form->StatusPanel(0).size(), 8) << "the clock shows while a deck plays";
    EXPECT_EQ(form->StatusPanel(1), "Web configuration missing");

    Tick();  // the hand-over
    EXPECT_EQ(form->StatusPanel(4), dir.filePath("b.mp3"));
    EXPECT_EQ(form->Form_InfoBox->Label_Now->text(), "\"Title b.mp3\" (Artist b.mp3)");
    EXPECT_EQ(form->Form_InfoBox->Label_Next->text(), "Coming up: \"Title c.mp3\"");
    const ui::QueueMarks marks = ui::DelegateOf(form->ListView_soon)->Marks();
    EXPECT_TRUE(marks.active && marks.current == 1 && marks.next == 2);
    EXPECT_EQ(form->ListView_soon->List().SelectedIndex(), 2);

    // Paused: Go On, red bars, no positions; the old track runs out once going on.
    Run(&app::TForm1::Button_PauseClick);
    EXPECT_EQ(form->Button_Pause->text(), form->Text(u"str_go_on"));
    EXPECT_EQ(form->ProgressBar1->palette().color(QPalette::Base), QColor(Qt::red));
    EXPECT_TRUE(form->Label_Pos1->text().isEmpty());
    Run(&app::TForm1::Button_PauseClick);
    EXPECT_EQ(form->Button_Pause->text(), form->Text(u"str_pause"));
    EXPECT_NE(form->ProgressBar1->palette().color(QPalette::Base), QColor(Qt::red));
    for (int s = 0; s < 10; ++s) Tick();
    EXPECT_EQ(Deck(1).Mode(), mpStopped);
    EXPECT_TRUE(form->Label_Pos1->text().isEmpty());
    EXPECT_FALSE(form->Label_Pos1->font().bold());
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(form->Label_Pos2->text(), "00:10");

    // Stopped: the banner closes, the transport returns, the timers stop.
    Run(&app::TForm1::M61Click);
    Run(&app::TForm1::Button_StopClick);
    EXPECT_FALSE(form->Form_InfoBox->isVisible());
    EXPECT_FALSE(form->M61->isChecked());
    EXPECT_TRUE(form->Button_PlayList->isEnabled());
    EXPECT_FALSE(form->Timer1->isActive() || form->Timer3->isActive());
    EXPECT_EQ(form->StatusPanel(1), "Mediaplayer stopped");
    EXPECT_TRUE(form->StatusPanel(0).isEmpty());
}

// The error box for a track that cannot be opened stays open for several seconds, as it does
// for a DJ who is away: the ticks of the playback timer go on meanwhile, so the next good track
// still starts while the current one plays.
TEST_F(Playback, AnErrorBoxLeftOpenDoesNotStopTheQueue) {
    AddRow("a.mp3", 20000);
    clock->SetUnplayable(AddRow("bad.mp3", 20000), QStringLiteral("unsupported format"));
    const QString c = AddRow("c.mp3", 20000);
    form->TrackBar_fader->setValue(5);
    // A second passes and the running timer fires through its connection; as in Qt's event
    // dispatcher, not while its previous firing is still being handled.
    bool firing = false;
    auto fire = [&] {
        clock->Advance(1000);
        if (firing || !form->Timer1->isActive()) return;
        firing = true;
        QTimerEvent tick(form->Timer1->timerId());
        QCoreApplication::sendEvent(form->Timer1, &tick);
        firing = false;
    };
    int openTicks = 0;
    bool overlapped = false;
    rec->whileOpen = [&](const std::u16string&) {
        for (int i = 0; i < 8; ++i, ++openTicks) {
            fire();
            if (Deck(2).FileName() == c && Deck(2).Mode() == mpPlaying) overlapped = overlapped || Deck(1).Mode() == mpPlaying;
        }
    };
    Run(&app::TForm1::Button_PlayListClick);
    for (int i = 0; i < 60 && form->Timer1->isActive(); ++i) {
        fire();
        QCoreApplication::processEvents();  // where a box raised in a tick gets shown
    }
    EXPECT_EQ(openTicks, 8) << "the box was never shown";
    EXPECT_TRUE(overlapped) << "the next good track did not start while the box was open";
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(Playback, TheModePanelEmphasisesWhatIsChosen) {
    AddRow("a.mp3", 10000);
    form->pop0Click();  // the lists changed: the options are offered
    form->RadioButton_restart->setChecked(true);
    form->CheckBox_block_latest->setChecked(true);
    form->TrackBar_fader->setValue(5);
    EXPECT_EQ(form->Label_fadesec->text(), " 5 sec fadeover");
    EXPECT_TRUE(form->RadioButton_restart->font().bold());
    EXPECT_EQ(form->RadioButton_restart->palette().color(QPalette::WindowText), QColor(0, 128, 128));
    EXPECT_FALSE(form->RadioButton_finish->font().bold());
    EXPECT_TRUE(form->CheckBox_block_latest->font().bold());
    EXPECT_EQ(form->CheckBox_block_latest->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    form->ListView_soon->List().ClearRows();
    form->pop0Click();
    EXPECT_FALSE(form->CheckBox_block_latest->isEnabled());
    EXPECT_FALSE(form->CheckBox_block_latest->font().bold()) << "a disabled option is not emphasised";
}

// The room display from the Display menu, behind a separator after the described items: what
// plays, what comes next with a guest's request marked, following each hand-over and the language.
TEST_F(Playback, TheRoomDisplayFollowsTheQueueFromTheDisplayMenu) {
    AddRow("a.mp3", 30000);
    AddRow("b.mp3", 180000);
    AddRow("c.mp3", 180000);
    form->ListView_soon->List().SetSubItem(2, tracks::siSrc, "192.168.1.20");
    const QList<QAction*> items = form->M60->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items.back(), form->M63);
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());

    Run(&app::TForm1::M63Click);
    ui::RoomDisplay* room = form->Form_Room;
    ASSERT_TRUE(room && room->isVisible());
    EXPECT_TRUE(room->Label_Next->text().contains("Title a.mp3")) << "what Play List starts";
    EXPECT_FALSE(room->Label_Title->isVisible() && room->Label_Title->text().contains("Title"));

    Run(&app::TForm1::Button_PlayListClick);
    EXPECT_TRUE(room->Label_Title->text().contains("Title a.mp3"));
    EXPECT_TRUE(room->Label_Next->text().contains("Title b.mp3"));
    EXPECT_FALSE(room->Mark_Next->isVisible());
    for (int s = 0; s < 30 && !room->Label_Title->text().contains("Title b.mp3"); ++s) Tick();
    EXPECT_TRUE(room->Label_Title->text().contains("Title b.mp3")) << "the hand-over";
    EXPECT_TRUE(room->Label_Next->text().contains("Title c.mp3"));
    EXPECT_TRUE(room->Mark_Next->isVisible()) << "a guest's request";

    const QString heading = room->Label_NowHeading->text();
    Run(&app::TForm1::M38Click);
    EXPECT_NE(room->Label_NowHeading->text(), heading) << "the room speaks the new language";
    EXPECT_NE(form->Form_InfoBox->PopBoxRoom->text(), "");
    EXPECT_EQ(form->M63->text(), form->Form_InfoBox->PopBoxRoom->text());

    // Stopped mid-night: nothing plays, and nothing is promised next.
    Run(&app::TForm1::Button_StopClick);
    EXPECT_FALSE(room->View().now || room->View().next);
}

TEST(NowPlaying, AGuestsRequestIsTheRowWhoseSourceIsAnAddress) {
    const struct {
        const char* src;
        bool request;
    } cases[] = {
        {"192.168.1.20", true}, {"10.0.0.7", true},  {"::1", true},       {"fe80::1c:2b", true},
        {"::ffff:10.0.0.7", true}, {"File", false},   {"Datei", false},    {"Fichier", false},
        {"DJ +", false},          {"", false},       {"1999", false},     {"presets.lst", false},
    };
    for (const auto& c : cases) {
        tracks::TrackRow row;
        row.Src = c.src;
        EXPECT_EQ(app::IsGuestRequest(row), c.request) << c.src;
    }
}

}  // namespace
