// Queue playback, transport and status marking on the main window, driven by test decks whose
// position moves only with the test clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>
#include <QTimerEvent>
#include <functional>
#include <utility>

#include "app/main_window.h"
#include "platform/guard.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "ui/info_box.h"

namespace {

using playback::mpPaused;
using playback::mpPlaying;
using playback::mpStopped;
using playback::TTestDeck;

using test_support::EnsureApplication;

constexpr int kMinute = 60 * 1000;

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        clock = std::make_shared<playback::TTestClock>();
        form = app::CreateWindows(playback::TestDeckFactory(clock));
        q = form->ListView_soon;
    }

    // A queue row for a file that exists, with the deck length registered on the clock.
    QString AddRow(const QString& name, int lengthMs) {
        const QString path = dir.filePath(name);
        if (!QFile::exists(path)) {
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
        clock->SetLength(path, lengthMs);
        tracks::TrackRow row;
        row.Status = QStringLiteral("ready");
        row.Title = QStringLiteral("Title ") + name;
        row.Artist = QStringLiteral("Artist ") + name;
        row.FileName = path;
        q->AppendRow(row);
        return path;
    }

    TTestDeck& Deck(int n) {
        auto* d = n == 1 ? form->MediaPlayer1.get() : form->MediaPlayer2.get();
        return *static_cast<TTestDeck*>(d);
    }

    void Play() { platform::Guarded([&] { form->Button_PlayListClick(); }); }
    void Tick(int ms = 1000) {
        clock->Advance(ms);
        platform::Guarded([&] { form->Timer1Timer(); });
    }
    // Ticks once a second until the predicate holds; false when it never did within the limit.
    template <class P>
    bool TickUntil(P pred, int limit = 20 * 60) {
        for (int i = 0; i < limit; ++i) {
            if (pred()) return true;
            Tick();
        }
        return pred();
    }
    // Sets a box without running its click action.
    static void SetChecked(QAbstractButton* box, bool on) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
    bool Stopped() const { return !form->Timer1->isActive(); }
    // The opens on the two playback decks since the last call, as "deck:file name", in order.
    // Call it after every step: it names the file each deck holds now.
    QStringList NewOpens() {
        QStringList out;
        const QStringList& cmds = clock->Commands();
        for (; seen < cmds.size(); ++seen) {
            if (!cmds[seen].endsWith(QStringLiteral(":Open"))) continue;
            const int id = cmds[seen].section(QLatin1Char(':'), 0, 0).toInt();
            for (int n : {1, 2})
                if (id == Deck(n).Id()) out << QStringLiteral("%1:%2").arg(n).arg(QFileInfo(Deck(n).FileName()).fileName());
        }
        return out;
    }
    // Plays on, a tick a second, until the queue stops or the limit; the opens along the way.
    QStringList PlayOn(int limitTicks) {
        QStringList out = NewOpens();
        for (int i = 0; i < limitTicks && !Stopped(); ++i) {
            Tick();
            out << NewOpens();
        }
        return out;
    }
    qsizetype seen = 0;

    platform::ScopedRecorder rec;
    QTemporaryDir dir;
    std::shared_ptr<playback::TTestClock> clock;
    std::unique_ptr<app::TForm1> form;
    tracks::TListView* q = nullptr;
};

TEST_F(Playback, HandOverStartsTheNextRowAtTheFirstTickInsideTheFadeWindow) {
    const QString a = AddRow("a.mp3", 3 * kMinute);
    const QString b = AddRow("b.mp3", 3 * kMinute);
    AddRow("c.mp3", 3 * kMinute);
    form->TrackBar_fader->setValue(10);
    Play();

    ASSERT_EQ(Deck(1).Mode(), mpPlaying);
    EXPECT_EQ(Deck(1).OpenedFile(), a);
    EXPECT_TRUE(Deck(1).Notify());
    EXPECT_TRUE(Deck(2).Notify());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Web configuration missing"));
    EXPECT_EQ(q->Caption(0), QStringLiteral("running"));
    EXPECT_EQ(form->Player->CurIndex, 0);
    EXPECT_EQ(form->Player->NextIndex, 1);
    EXPECT_FALSE(form->Button_PlayList->isEnabled());
    EXPECT_TRUE(form->Button_Stop->isEnabled());

    for (int s = 1; s <= 170; ++s) Tick();
    EXPECT_EQ(Deck(1).Position(), 170000);
    EXPECT_FALSE(Deck(2).IsOpen()) << "2:50 of 3:00 with 10 s is not yet beyond the window";
    EXPECT_EQ(form->Label_Pos1->text(), QStringLiteral("02:50"));
    EXPECT_EQ(form->Label_Length1->text(), QStringLiteral("03:00"));
    EXPECT_EQ(form->Label_von1->text(), QStringLiteral("of"));
    EXPECT_EQ(form->Label_unit1->text(), QStringLiteral("min"));
    EXPECT_TRUE(form->Label_Pos1->font().bold());
    EXPECT_EQ(form->ProgressBar1->maximum(), 180000);
    EXPECT_EQ(form->ProgressBar1->value(), 170000);
    EXPECT_EQ(form->StatusPanel(0).size(), 8) << "the clock shows while a deck plays";

    Tick();
    EXPECT_EQ(Deck(2).OpenedFile(), b);
    EXPECT_EQ(Deck(2).Mode(), mpPlaying);
    EXPECT_TRUE(Deck(2).Wait());
    EXPECT_EQ(Deck(1).Mode(), mpPlaying) << "the tracks overlap";
    EXPECT_EQ(form->StatusPanel(4), b);
    EXPECT_EQ(q->Caption(0), QStringLiteral("played"));
    EXPECT_EQ(q->Caption(1), QStringLiteral("running"));
    EXPECT_EQ(form->Player->CurIndex, 1);
    EXPECT_EQ(form->Player->NextIndex, 2);
    EXPECT_EQ(q->SelectedIndex(), 2);
    EXPECT_EQ(form->Form_InfoBox->Label_Now->text(), QStringLiteral("\"Title b.mp3\" (Artist b.mp3)"));
    EXPECT_EQ(form->Form_InfoBox->Label_Next->text(), QStringLiteral("Coming up: \"Title c.mp3\""));

    // The old track runs out: its labels go blank while the new deck keeps the display.
    for (int s = 0; s < 10; ++s) Tick();
    EXPECT_EQ(Deck(1).Mode(), mpStopped);
    EXPECT_TRUE(form->Label_Pos1->text().isEmpty());
    EXPECT_FALSE(form->Label_Pos1->font().bold());
    EXPECT_EQ(form->Label_Length1->text(), QString());
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(form->Label_Pos2->text(), QStringLiteral("00:10"));
    EXPECT_TRUE(form->Timer1->isActive());
}

// With no fade no window ever opens: each track ends before its hand-over, and the next one
// follows at that tick instead of the queue ending after its first track.
TEST_F(Playback, WithoutFadeTheRowsPlayBackToBackThenTheQueueStops) {
    AddRow("a.wav", 5000);
    AddRow("b.wav", 5000);
    form->TrackBar_fader->setValue(0);
    Play();
    EXPECT_EQ(PlayOn(30), (QStringList{"1:a.wav", "2:b.wav"}));
    EXPECT_NE(form->ListBox_Log->findItems(QStringLiteral("a.wav"), Qt::MatchContains).size(), 0)
        << "the log tells why b.wav started without a hand-over";
    ASSERT_TRUE(Stopped());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
    EXPECT_TRUE(form->StatusPanel(0).isEmpty());
    EXPECT_TRUE(form->Button_PlayList->isEnabled());
    EXPECT_FALSE(form->Button_Pause->isEnabled());
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_FALSE(form->Timer3->isActive());
}

TEST_F(Playback, PlayListOnceEndsAfterTheLastRowAndRepeatStartsOver) {
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"}) AddRow(n, 20000);
    form->TrackBar_fader->setValue(5);
    Play();
    EXPECT_EQ(PlayOn(120), (QStringList{"1:a.mp3", "2:b.mp3", "1:c.mp3"}));
    ASSERT_TRUE(Stopped());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
    EXPECT_EQ(q->Caption(0), QStringLiteral("played"));
    EXPECT_EQ(q->Caption(1), QStringLiteral("played"));
    EXPECT_EQ(q->Caption(2), QStringLiteral("running")) << "the queue's drawing keeps marking the last row";

    // Repeat: after the last row the first one starts again.
    q->SelectRow(0);
    form->RadioButton_restart->setChecked(true);
    Play();
    EXPECT_EQ(PlayOn(50), (QStringList{"1:a.mp3", "2:b.mp3", "1:c.mp3", "2:a.mp3"}));
    EXPECT_FALSE(Stopped());
    EXPECT_EQ(form->Player->CurIndex, 0);
    EXPECT_EQ(form->Player->NextIndex, 1);
}

TEST_F(Playback, OneRowPlaysToItsEndAndTheIdleDeckIsLeftAlone) {
    AddRow("only.wav", 8000);
    form->TrackBar_fader->setValue(3);
    Play();
    EXPECT_EQ(PlayOn(30), QStringList{"1:only.wav"});
    EXPECT_TRUE(Stopped());
    EXPECT_FALSE(Deck(2).IsOpen());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));

    // Repeat with one row replays it on the other deck.
    form->RadioButton_restart->setChecked(true);
    Play();
    EXPECT_EQ(PlayOn(7), (QStringList{"1:only.wav", "2:only.wav"}));
}

TEST_F(Playback, ChoosingTheStartRowAndRepeatedPaths) {
    for (int i = 0; i < 6; ++i) AddRow(QStringLiteral("%1.mp3").arg(i), 10000);
    form->TrackBar_fader->setValue(2);
    q->SelectRow(4);
    Play();
    EXPECT_EQ(PlayOn(60), (QStringList{"1:4.mp3", "2:5.mp3"}));
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(q->Caption(i), QStringLiteral("ready")) << i;

    // A path queued twice: starting the first copy jumps to the second, the rows between are skipped.
    q->ClearRows();
    const QString a = AddRow("a.mp3", 10000);
    AddRow("b.mp3", 10000);
    AddRow("c.mp3", 10000);
    tracks::TrackRow again = q->Row(0);
    q->AppendRow(again);
    AddRow("d.mp3", 10000);
    q->SelectRow(-1);
    Play();
    EXPECT_EQ(PlayOn(60), (QStringList{"1:a.mp3", "2:b.mp3", "1:c.mp3", "2:a.mp3", "1:d.mp3"}));

    q->ClearRows();
    AddRow("b.mp3", 10000);
    q->AppendRow(again);
    AddRow("x.mp3", 10000);
    q->AppendRow(again);
    AddRow("y.mp3", 10000);
    q->SelectRow(-1);
    Play();
    EXPECT_EQ(PlayOn(60), (QStringList{"1:b.mp3", "2:a.mp3", "1:y.mp3"}));
    (void)a;
}

TEST_F(Playback, AMissingStartFileStartsNothingAndTheFirstTickStops) {
    const QString a = AddRow("gone.mp3", 10000);
    QFile::remove(a);
    Play();
    EXPECT_FALSE(Deck(1).IsOpen());
    EXPECT_TRUE(rec->errors.empty());
    EXPECT_TRUE(form->Timer1->isActive());
    Tick();
    EXPECT_TRUE(Stopped());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
}

TEST_F(Playback, AnUnplayableTrackIsSkippedAfterOneMessage) {
    AddRow("a.mp3", 20000);
    const QString bad = AddRow("bad.mp3", 20000);
    clock->SetUnplayable(bad, QStringLiteral("unsupported format"));
    AddRow("c.mp3", 20000);
    form->TrackBar_fader->setValue(5);
    Play();
    EXPECT_EQ(PlayOn(40), (QStringList{"1:a.mp3", "2:bad.mp3", "2:c.mp3"}));
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(rec->errors[0], u"unsupported format");
    EXPECT_EQ(q->Caption(1), QStringLiteral("played"));
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
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
    QStringList opens;
    rec->whileOpen = [&](const std::u16string&) {
        for (int i = 0; i < 8; ++i, ++openTicks) {
            fire();
            opens << NewOpens();
            if (Deck(2).OpenedFile() == c && Deck(2).Mode() == mpPlaying) overlapped = overlapped || Deck(1).Mode() == mpPlaying;
        }
    };
    Play();
    opens << NewOpens();
    for (int i = 0; i < 60 && !Stopped(); ++i) {
        fire();
        opens << NewOpens();
        QCoreApplication::processEvents();  // where a box raised in a tick gets shown
    }
    EXPECT_EQ(openTicks, 8) << "the box was never shown";
    EXPECT_EQ(opens, (QStringList{"1:a.mp3", "2:bad.mp3", "2:c.mp3"}));
    EXPECT_TRUE(overlapped) << "the next good track did not start while the box was open";
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(q->Caption(1), QStringLiteral("played"));
    EXPECT_TRUE(Stopped());
}

TEST_F(Playback, PauseDuringAnOverlapHoldsBothDecksUntilGoOn) {
    AddRow("a.mp3", 20000);
    AddRow("b.mp3", 20000);
    AddRow("c.mp3", 20000);
    form->TrackBar_fader->setValue(8);
    Play();
    ASSERT_TRUE(TickUntil([&] { return Deck(2).Mode() == mpPlaying; }, 30));
    ASSERT_EQ(Deck(1).Mode(), mpPlaying);
    const int pos1 = Deck(1).Position(), pos2 = Deck(2).Position();

    platform::Guarded([&] { form->Button_PauseClick(); });
    EXPECT_EQ(Deck(1).Mode(), mpPaused);
    EXPECT_EQ(Deck(2).Mode(), mpPaused);
    EXPECT_EQ(form->Button_Pause->text(), form->Text(u"str_go_on"));
    EXPECT_EQ(form->ProgressBar1->palette().color(QPalette::Base), QColor(Qt::red));
    EXPECT_TRUE(form->Label_Pos1->text().isEmpty());

    // While paused the ticks go on but nothing moves and nothing is handed over.
    const int bar1 = form->ProgressBar1->value();
    for (int i = 0; i < 30; ++i) Tick();
    EXPECT_EQ(Deck(1).Position(), pos1);
    EXPECT_EQ(Deck(2).Position(), pos2);
    EXPECT_EQ(form->ProgressBar1->value(), bar1);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(form->Label_Pos2->text().isEmpty());
    EXPECT_EQ(form->Player->CurIndex, 1);

    platform::Guarded([&] { form->Button_PauseClick(); });
    EXPECT_EQ(Deck(1).Mode(), mpPlaying);
    EXPECT_EQ(Deck(2).Mode(), mpPlaying);
    EXPECT_EQ(form->Button_Pause->text(), form->Text(u"str_pause"));
    EXPECT_NE(form->ProgressBar1->palette().color(QPalette::Base), QColor(Qt::red));
    Tick();
    EXPECT_EQ(Deck(2).Position(), pos2 + 1000);
}

// Mid-party, every command that changes a list leaves the transport as playing set it, and
// Play List starts nothing on top of what plays, playing or paused.
TEST_F(Playback, ListCommandsMidPartyLeaveTheTransportAndPlayListStartsNothingMore) {
    AddRow("a.mp3", 3 * kMinute);
    AddRow("b.mp3", 3 * kMinute);
    const QString added = dir.filePath("added.mp3"), list = dir.filePath("list.lst");
    {
        QFile f(added);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QFile l(list);
        ASSERT_TRUE(l.open(QIODevice::WriteOnly));
        l.write(("[0]\nTitle=Listed\nFileName=" + added + "\n").toUtf8());
    }
    clock->SetLength(added, kMinute);
    const auto onList = [&](tracks::TListView* list, void (app::TForm1::*command)()) {
        return [this, list, command] {
            form->PopupList = list;
            platform::Guarded([&] { (form.get()->*command)(); });
        };
    };
    struct Command {
        const char* name;
        std::function<void()> run;
    };
    const Command commands[] = {
        {"File > Add to the queue", [&] { platform::Guarded([&] { form->M11Click(); }); }},
        {"Add Sound Files to the guest pool", onList(form->ListView_Guest_Pool, &app::TForm1::pop1Click)},
        {"Add Sound Files to the presets", onList(form->ListView_preselect, &app::TForm1::pop1Click)},
        {"Load Playlist into the queue", onList(q, &app::TForm1::pop3Click)},
        {"Clear List of the presets", onList(form->ListView_preselect, &app::TForm1::pop0Click)},
        {"Settings > Player Mode, OK",
         [&] {
             QTimer::singleShot(0, form->Form2, [&] { form->Form2->Button_OK->click(); });
             platform::Guarded([&] { form->M31Click(); });
         }},
    };
    for (const bool paused : {false, true}) {
        for (const char* seconds : {"6", "0"}) {
            for (const Command& c : commands) {
                const std::string name = std::string(c.name) + (paused ? ", paused" : ", playing") + ", jump " + seconds;
                form->SetRec.FFsecText = QString::fromLatin1(seconds);
                q->SelectRow(0);
                Play();
                ASSERT_EQ(Deck(1).Mode(), mpPlaying) << name;
                if (paused) platform::Guarded([&] { form->Button_PauseClick(); });
                rec->openAnswers.push_back({added.toStdU16String()});
                rec->openAnswers.push_back({list.toStdU16String()});
                c.run();
                rec->openAnswers.clear();
                EXPECT_FALSE(form->Button_PlayList->isEnabled()) << name;
                EXPECT_TRUE(form->Button_Pause->isEnabled()) << name;
                EXPECT_TRUE(form->Button_Stop->isEnabled()) << name;
                EXPECT_EQ(form->Button_FF->isEnabled(), std::string(seconds) != "0") << name;

                NewOpens();
                Play();  // as a click would, were the button not disabled
                EXPECT_TRUE(NewOpens().isEmpty()) << name << ": a second track started";
                EXPECT_EQ(Deck(1).Mode(), paused ? mpPaused : mpPlaying) << name;
                EXPECT_FALSE(Deck(2).IsOpen()) << name;
                platform::Guarded([&] { form->Button_StopClick(); });
                EXPECT_TRUE(form->Button_PlayList->isEnabled()) << name;
            }
        }
    }
    EXPECT_TRUE(rec->errors.empty()) << QString::fromStdU16String(rec->errors.front()).toStdString();
}

TEST_F(Playback, StopWhilePausedClosesTheDeckAndReturnsToStopped) {
    AddRow("a.mp3", 20000);
    AddRow("b.mp3", 20000);
    Play();
    Tick();
    platform::Guarded([&] { form->Button_PauseClick(); });
    ASSERT_EQ(Deck(1).Mode(), mpPaused);
    platform::Guarded([&] { form->Button_StopClick(); });
    EXPECT_FALSE(Deck(1).IsOpen());
    EXPECT_TRUE(Stopped());
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_EQ(form->Button_Pause->text(), form->Text(u"str_pause"));
    EXPECT_NE(form->ProgressBar1->palette().color(QPalette::Base), QColor(Qt::red));
    EXPECT_TRUE(form->Button_PlayList->isEnabled());
    EXPECT_FALSE(form->Button_Stop->isEnabled());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
    EXPECT_EQ(q->Caption(0), QStringLiteral("running")) << "Stop leaves the captions alone";
}

TEST_F(Playback, ForwardJumpsOnlyWhenEnoughRemainsAndRejectsANonNumber) {
    AddRow("a.mp3", 3 * kMinute + 5000);
    Play();
    form->SetRec.FFsecText = QStringLiteral("6");
    for (int i = 0; i < 179; ++i) Tick();
    ASSERT_EQ(Deck(1).Position(), 179000);
    platform::Guarded([&] { form->Button_FFClick(); });
    EXPECT_EQ(Deck(1).Position(), 179000) << "6 s remain, 7 are needed";
    EXPECT_EQ(Deck(1).Mode(), mpPlaying);

    platform::Guarded([&] { form->Button_StopClick(); });
    Play();
    for (int i = 0; i < 177; ++i) Tick();
    platform::Guarded([&] { form->Button_FFClick(); });
    EXPECT_EQ(Deck(1).Position(), 183000);
    EXPECT_EQ(Deck(1).Mode(), mpPlaying);

    platform::Guarded([&] { form->Button_StopClick(); });
    Play();
    form->SetRec.FFsecText = QStringLiteral("ten");
    const auto before = clock->Commands().size();
    platform::Guarded([&] { form->Button_FFClick(); });
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(rec->errors[0], u"'ten' is not a valid integer value");
    EXPECT_EQ(clock->Commands().size(), before) << "no deck is moved";
    EXPECT_EQ(Deck(1).Position(), 0);
}

TEST_F(Playback, FadeLabelAndModeEmphasis) {
    form->TrackBar_fader->setValue(5);
    form->TrackBar_faderChange();
    EXPECT_EQ(form->Label_fadesec->text(), QStringLiteral(" 5 sec fadeover"));
    form->TrackBar_fader->setValue(12);
    form->TrackBar_faderChange();
    EXPECT_EQ(form->Label_fadesec->text(), QStringLiteral("12 sec fadeover"));

    AddRow("a.mp3", 10000);
    form->SetControlState(app::ControlPhase::Stopped);
    form->RadioButton_restart->setChecked(true);
    SetChecked(form->CheckBox_block_latest, true);
    form->ShowRepeatMode();
    EXPECT_TRUE(form->RadioButton_restart->font().bold());
    EXPECT_EQ(form->RadioButton_restart->palette().color(QPalette::WindowText), QColor(0, 128, 128));
    EXPECT_FALSE(form->RadioButton_finish->font().bold());
    EXPECT_TRUE(form->CheckBox_block_latest->font().bold());
    EXPECT_EQ(form->CheckBox_block_latest->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    form->CheckBox_block_latest->setEnabled(false);
    form->ShowRepeatMode();
    EXPECT_FALSE(form->CheckBox_block_latest->font().bold()) << "a disabled option is not emphasised";
}

// A test deck that runs a hook when it opens, once.
class HookDeck : public TTestDeck {
public:
    using TTestDeck::TTestDeck;
    std::function<void()> onOpen;
    void Open() override {
        if (auto hook = std::exchange(onOpen, nullptr)) hook();
        TTestDeck::Open();
    }
};

TEST(PlaybackTick, ATickDoesNotStartInsideAnotherTick) {
    EnsureApplication();
    platform::ScopedRecorder rec;
    QTemporaryDir dir;
    auto clock = std::make_shared<playback::TTestClock>();
    auto form = app::CreateWindows([clock]() -> std::unique_ptr<playback::AudioDeck> {
        return std::make_unique<HookDeck>(clock);
    });
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
        const QString path = dir.filePath(n);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        clock->SetLength(path, 10000);
        tracks::TrackRow row;
        row.FileName = path;
        form->ListView_soon->AppendRow(row);
    }
    form->TrackBar_fader->setValue(5);
    form->Button_PlayListClick();
    // The hand-over's Open lets a pending tick in (as a modal message or an event pass would).
    static_cast<HookDeck*>(form->MediaPlayer2.get())->onOpen = [&] { form->Timer1Timer(); };
    for (int i = 0; i < 6; ++i) {
        clock->Advance(1000);
        form->Timer1Timer();
    }
    EXPECT_EQ(form->MediaPlayer2->FileName(), dir.filePath("b.mp3"));
    EXPECT_EQ(form->Player->CurIndex, 1) << "one hand-over, not two";
    EXPECT_EQ(form->MediaPlayer1->FileName(), dir.filePath("a.mp3"));
    EXPECT_EQ(form->MediaPlayer1->Mode(), mpPlaying);
}

class QueueStates : public Playback {
protected:
    void Fill(int rows) {
        for (int i = 0; i < rows; ++i) AddRow(QStringLiteral("%1.mp3").arg(i), 10000);
    }
    QStringList Captions() const {
        QStringList out;
        for (int i = 0; i < q->Count(); ++i) out << q->Caption(i);
        return out;
    }
};

TEST_F(QueueStates, TrimmingRemovesOneOldRowPerCallDownToTheLimit) {
    Fill(15);
    form->SetRec.number_block = 10;
    SetChecked(form->CheckBox_block_latest, true);
    form->Player->CurIndex = 12;
    form->Player->NextIndex = 13;
    const QString current = q->SubItem(12, tracks::siFileName);
    const QList<int> counts{14, 13, 13, 13, 13}, cur{11, 10, 10, 10, 10};
    for (int call = 0; call < 5; ++call) {
        form->UpdateQueueStates();
        EXPECT_EQ(q->Count(), counts[call]) << call;
        EXPECT_EQ(form->Player->CurIndex, cur[call]) << call;
    }
    EXPECT_EQ(q->SubItem(form->Player->CurIndex, tracks::siFileName), current);
    EXPECT_EQ(q->SubItem(0, tracks::siFileName), dir.filePath("2.mp3"));
    EXPECT_EQ(form->Player->NextIndex, 11);
    const QStringList caps = Captions();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(caps[i], QStringLiteral("blocked")) << i;
    EXPECT_EQ(caps[10], QStringLiteral("ready")) << "the current row keeps its caption";
    EXPECT_EQ(caps[12], QStringLiteral("soon"));
    EXPECT_EQ(form->CheckBox_block_latest->text(), QStringLiteral("Block Recent Tracks (10)"));

    // Limit 0: every call with a current row above 0 removes the first row.
    form->SetRec.number_block = 0;
    form->UpdateQueueStates();
    EXPECT_EQ(q->Count(), 12);
    EXPECT_EQ(form->Player->CurIndex, 9);
    EXPECT_EQ(form->CheckBox_block_latest->text(), QStringLiteral("Block Recent Tracks"));
}

TEST_F(QueueStates, IndicesThatNameNoRowAreNoTrack) {
    Fill(4);
    form->TrackBar_fader->setValue(3);
    q->SelectRow(2);
    Play();
    ASSERT_EQ(form->Player->CurIndex, 2);
    EXPECT_EQ(NewOpens(), QStringList{"1:2.mp3"});

    // The list is cleared while the track plays: nothing names a row any more.
    SetChecked(form->CheckBox_block_latest, true);
    q->ClearRows();
    form->UpdateQueueStates();
    EXPECT_EQ(q->Count(), 0);
    const QString now = form->Form_InfoBox->Label_Now->text();
    EXPECT_EQ(PlayOn(20), QStringList{});
    EXPECT_TRUE(Stopped());
    EXPECT_TRUE(rec->errors.empty());
    EXPECT_EQ(form->Form_InfoBox->Label_Now->text(), now) << "the banner keeps the track that played";

    // Rows gone from under both indices: the next hand-over takes what the rule gives.
    SetChecked(form->CheckBox_block_latest, false);
    Fill(3);
    form->RadioButton_restart->setChecked(true);
    q->SelectRow(1);
    Play();
    q->DeleteRow(2);
    q->DeleteRow(1);
    EXPECT_EQ(PlayOn(10), (QStringList{"1:1.mp3", "2:0.mp3"}));
    EXPECT_EQ(form->Player->CurIndex, 0);
    EXPECT_EQ(q->Caption(0), QStringLiteral("running"));
}

}  // namespace
