// Settings > Player Mode on the real windows: the modal dialog is answered from inside its own
// event loop, as a DJ would click it.
#include <gtest/gtest.h>

#include <QTimer>
#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "platform/user_interface.h"
#include "playback/test_deck.h"
#include "settings/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "ui/Dlg_Details.h"

namespace {

using settings::TForm2;

class SettingsCommand : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        clock = std::make_shared<playback::TTestClock>();
        clock->SetDefaultLength(180000);  // every file plays for three minutes
        form = app::CreateWindows(playback::TestDeckFactory(clock));
        d = form->Form2;
    }

    // Settings > Player Mode; `inside` runs while the dialog is open, then OK or Cancel closes it.
    void Open(const std::function<void(TForm2&)>& inside, bool confirm = true) {
        bool shown = false;
        QTimer::singleShot(0, d, [&] {
            shown = d->isVisible();
            inside(*d);
            (confirm ? d->Button_OK : d->Button_Cancel)->click();
        });
        form->M31->trigger();
        EXPECT_TRUE(shown);
    }

    QString List(const std::string& name, std::initializer_list<const char*> files) const {
        const auto path = tmp.path() / name;
        std::ofstream out(path);
        int i = 0;
        for (const char* f : files) out << '[' << i++ << "]\nStatus=ready\nTitle=" << f << "\nFileName=" << f << '\n';
        return QString::fromStdString(path.string());
    }

    platform::ScopedRecorder recorder;
    testutil::TempDir tmp;
    std::shared_ptr<playback::TTestClock> clock;
    std::unique_ptr<app::TForm1> form;
    TForm2* d = nullptr;
};

TEST_F(SettingsCommand, FirstOpeningShowsTheWindowAndConfirmingTwiceLoadsTheListsOnce) {
    form->TrackBar_fader->setValue(6);
    form->RadioButton_restart->setChecked(true);
    form->MediaPlayer1->SetFileName(QStringLiteral("/m/playing.mp3"));
    form->MediaPlayer1->Open();
    form->MediaPlayer1->Play();
    const QString queue = List("queue.lst", {"/m/a.mp3", "/m/b.mp3"});
    const QString pool = List("pool.lst", {"/m/g.mp3"});

    Open([&](TForm2& s) {
        EXPECT_EQ(s.TrackBar_Blende->value(), 6);
        EXPECT_EQ(s.Label_fadesec->text(), "6 " + form->Text(u"str_seconds"));
        EXPECT_EQ(s.Label_blocked->text(), "0");  // the bar did not move
        EXPECT_EQ(s.Edit_FFsec->text(), "0");
        EXPECT_TRUE(s.Edit_PlayList->text().isEmpty());
        EXPECT_TRUE(s.RadioButton_Repeat->isChecked());
        EXPECT_FALSE(s.RadioButton_finish->isChecked());
        EXPECT_TRUE(s.RadioButton_web_first->isChecked());
        s.Edit_PlayList->setText(queue);
        s.Edit_webList->setText(pool);
        s.Edit_PresetList->setText(QString::fromStdString((tmp.path() / "missing.lst").string()));
        s.CheckBox_blockLatest->setChecked(true);
        s.TrackBar_blocked->setValue(10);
        s.CheckBox_preset->setChecked(true);
        s.TrackBar_Blende->setValue(4);
    });
    EXPECT_EQ(form->ListView_soon->Count(), 2);
    EXPECT_EQ(form->ListView_Guest_Pool->Count(), 1);
    EXPECT_EQ(form->ListView_preselect->Count(), 0);
    EXPECT_EQ(form->TrackBar_fader->value(), 4);
    EXPECT_TRUE(form->Label_fadesec->text().contains('4'));  // the slider's change action ran
    EXPECT_TRUE(form->CheckBox_block_latest->isChecked());
    EXPECT_EQ(form->CheckBox_block_latest->text(), form->Text(u"CB_doblock") + " (10)");
    EXPECT_TRUE(form->Timer3->isActive());  // the preset box's click action, with a deck playing
    EXPECT_TRUE(form->Button_PlayList->isEnabled());
    EXPECT_TRUE(recorder->errors.empty());

    // A jump length can be typed without loading a settings file first.
    Open([&](TForm2& s) {
        EXPECT_TRUE(s.Edit_FFsec->isEnabled());
        EXPECT_EQ(s.Edit_PlayList->text(), queue);
        s.Edit_FFsec->setText("8");
    });
    EXPECT_EQ(form->ListView_soon->Count(), 2);
    EXPECT_EQ(form->ListView_Guest_Pool->Count(), 1);
    EXPECT_EQ(form->SetRec.FFsec, 8);
    EXPECT_TRUE(form->Button_FF->text().contains("[8]"));
    const QString details = form->Form3->Text();
    for (const char* f : {"a.mp3", "b.mp3", "g.mp3"}) EXPECT_TRUE(details.contains(f)) << f;
}

TEST_F(SettingsCommand, SavedFileLoadsBackAndCancelKeepsOnlyTheTwoFreeEdits) {
    const QString queue = List("queue.lst", {"/m/a.mp3"});
    const QString file = QString::fromStdString((tmp.path() / "party.stg").string());
    const QString web = QString::fromStdString(tmp.path().string());
    recorder->saveAnswers.push_back(file.toStdU16String());
    recorder->folderAnswers.push_back(web.toStdU16String());
    form->SetStatusPanel(1, "before");

    Open([&](TForm2& s) {
        s.Edit_PlayList->setText(queue);
        s.Edit_FFsec->setText("12");
        s.Edit_HTMLpathDblClick();
        s.CheckBox_blockLatest->setChecked(true);  // ticked, but no number to show
        TForm2::SetRadio(s.RadioButton_finish, false);
        s.Button_Save->click();
    }, false);
    // Cancelled: nothing taken over, but the web check ran and the forward jump reads the edit.
    EXPECT_TRUE(form->SetRec.StdPlayList.isEmpty());
    EXPECT_TRUE(form->SetRec.HTMLpath.isEmpty());
    EXPECT_EQ(form->SetRec.FFsec, 0);
    EXPECT_EQ(form->ListView_soon->Count(), 0);
    EXPECT_TRUE(form->RadioButton_finish->isChecked());
    EXPECT_NE(form->StatusPanel(1), "before");
    EXPECT_EQ(form->ForwardSecondsText(), "12");

    recorder->openAnswers.push_back({file.toStdU16String()});
    Open([&](TForm2& s) {
        EXPECT_EQ(s.Edit_FFsec->text(), "12");
        EXPECT_EQ(s.Edit_HTMLpath->text(), web);
        EXPECT_TRUE(s.Edit_PlayList->text().isEmpty());  // overwritten from the settings in force
        EXPECT_TRUE(s.RadioButton_finish->isChecked());
        s.Button_Load->click();
    });
    EXPECT_EQ(form->ListView_soon->Count(), 1);
    EXPECT_EQ(form->SetRec.HTMLpath, web);
    EXPECT_FALSE(form->RadioButton_finish->isChecked());  // both play-mode keys were false
    EXPECT_FALSE(form->RadioButton_restart->isChecked());
    EXPECT_TRUE(form->CheckBox_block_latest->isChecked());
    EXPECT_EQ(form->CheckBox_block_latest->text(), form->Text(u"CB_doblock"));
    EXPECT_TRUE(recorder->errors.empty());
}

TEST_F(SettingsCommand, AForwardTextThatIsNoNumberStopsAfterTheFade) {
    const QString queue = List("queue.lst", {"/m/a.mp3"});
    form->SetStatusPanel(1, "before");
    Open([&](TForm2& s) {
        s.TrackBar_Blende->setValue(9);
        s.Edit_PlayList->setText(queue);
        s.CheckBox_webselect->setChecked(true);
        s.Edit_FFsec->clear();
    });
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0], u"'' is not a valid integer value");
    EXPECT_EQ(form->SetRec.FadeSec, 9);
    EXPECT_TRUE(form->SetRec.StdPlayList.isEmpty());
    EXPECT_FALSE(form->SetRec.CB_Guest);
    EXPECT_EQ(form->TrackBar_fader->value(), 0);
    EXPECT_EQ(form->ListView_soon->Count(), 0);
    EXPECT_EQ(form->StatusPanel(1), "before");
    EXPECT_FALSE(d->isVisible());
}

}  // namespace
