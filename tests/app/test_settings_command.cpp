// Settings > Player Mode on the real windows; the modal dialog is answered from its own event loop.
#include <gtest/gtest.h>

#include <QTimer>
#include <fstream>

#include "app/main_window.h"
#include "settings/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_deck.h"
#include "ui/Dlg_Details.h"

namespace {

using settings::TForm2;

class SettingsCommand : public ::testing::Test {
protected:
    // `inside` runs while the dialog is open, then OK or Cancel closes it.
    void Open(const std::function<void(TForm2&)>& inside, bool confirm = true) {
        TForm2* d = form->Form2;
        QTimer::singleShot(0, d, [&] {
            inside(*d);
            (confirm ? d->Button_OK : d->Button_Cancel)->click();
        });
        form->M31->trigger();
    }
    QString Path(const std::string& name) const { return QString::fromStdString((tmp.path() / name).string()); }
    QString List(const std::string& name, std::initializer_list<const char*> files) const {
        std::ofstream out(tmp.path() / name);
        int i = 0;
        for (const char* f : files) out << '[' << i++ << "]\nTitle=" << f << "\nFileName=" << f << '\n';
        return Path(name);
    }

    bool app_ = (test_support::EnsureApplication(), true);
    platform::ScopedRecorder recorder;
    testutil::TempDir tmp;
    std::shared_ptr<playback::TTestClock> clock = std::make_shared<playback::TTestClock>();
    std::unique_ptr<app::TForm1> form = (clock->SetDefaultLength(180000), app::CreateWindows(playback::TestDeckFactory(clock)));
};

TEST_F(SettingsCommand, FirstOpeningShowsTheWindowAndConfirmingTwiceLoadsTheListsOnce) {
    form->TrackBar_fader->setValue(6);
    form->RadioButton_restart->setChecked(true);
    form->MediaPlayer1->SetFileName("/m/playing.mp3");
    form->MediaPlayer1->Open();
    form->MediaPlayer1->Play();  // so ticking the preset box starts its timer
    const QString queue = List("queue.lst", {"/m/a.mp3", "/m/b.mp3"}), pool = List("pool.lst", {"/m/g.mp3"});
    Open([&](TForm2& s) {
        EXPECT_EQ(s.Label_fadesec->text(), "6 " + form->Text(u"str_seconds"));
        EXPECT_EQ(s.Label_blocked->text(), "0");  // the bar did not move
        EXPECT_TRUE(s.RadioButton_Repeat->isChecked() && !s.RadioButton_finish->isChecked());
        s.Edit_PlayList->setText(queue);
        s.Edit_webList->setText(pool);
        s.Edit_PresetList->setText(Path("missing.lst"));  // skipped without a message
        s.CheckBox_blockLatest->setChecked(true);
        s.TrackBar_blocked->setValue(10);
        s.CheckBox_preset->setChecked(true);
    });
    EXPECT_EQ(form->ListView_soon->Count(), 2);
    EXPECT_EQ(form->ListView_Guest_Pool->Count(), 1);
    EXPECT_EQ(form->CheckBox_block_latest->text(), form->Text(u"CB_doblock") + " (10)");
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_TRUE(recorder->errors.empty());

    // A jump length can be typed without loading a settings file first.
    Open([&](TForm2& s) {
        EXPECT_TRUE(s.Edit_FFsec->isEnabled());
        s.Edit_FFsec->setText("8");
    });
    EXPECT_EQ(form->ListView_soon->Count(), 2);
    EXPECT_TRUE(form->Button_FF->text().contains("[8]"));
    for (const char* f : {"a.mp3", "b.mp3", "g.mp3"}) EXPECT_TRUE(form->Form3->Text().contains(f)) << f;
}

TEST_F(SettingsCommand, NoNumberStopsTheConfirmationCancelKeepsTheFreeEditsASavedFileLoadsBack) {
    const QString queue = List("queue.lst", {"/m/a.mp3"}), file = Path("party.stg"), web = QString::fromStdString(tmp.path().string());
    form->SetStatusPanel(1, "before");
    Open([&](TForm2& s) {
        s.TrackBar_Blende->setValue(9);
        s.Edit_PlayList->setText(queue);
        s.Edit_FFsec->clear();
    });
    EXPECT_EQ(recorder->errors, std::vector<std::u16string>{u"'' is not a valid integer value"});
    EXPECT_EQ(form->SetRec.FadeSec, 9);  // taken over before the failure; nothing after it
    EXPECT_TRUE(form->SetRec.StdPlayList.isEmpty());
    EXPECT_EQ(form->TrackBar_fader->value(), 0);
    EXPECT_EQ(form->StatusPanel(1), "before");  // no web check

    recorder->saveAnswers.push_back(file.toStdU16String());
    recorder->folderAnswers.push_back(web.toStdU16String());
    Open([&](TForm2& s) {
        s.Edit_PlayList->setText(queue);
        s.Edit_FFsec->setText("12");
        s.Edit_HTMLpathDblClick();
        s.CheckBox_blockLatest->setChecked(true);  // ticked, but no number to show
        TForm2::SetRadio(s.RadioButton_finish, false);
        s.Button_Save->click();
    }, false);
    EXPECT_TRUE(form->SetRec.StdPlayList.isEmpty() && form->SetRec.HTMLpath.isEmpty());
    EXPECT_EQ(form->ListView_soon->Count(), 0);
    EXPECT_TRUE(form->RadioButton_finish->isChecked());
    EXPECT_NE(form->StatusPanel(1), "before");  // the web check runs after a cancel too

    recorder->openAnswers.push_back({file.toStdU16String()});
    Open([&](TForm2& s) {
        EXPECT_EQ(s.Edit_FFsec->text(), "12");
        EXPECT_EQ(s.Edit_HTMLpath->text(), web);
        EXPECT_TRUE(s.Edit_PlayList->text().isEmpty());  // overwritten from the settings in force
        s.Button_Load->click();
    });
    EXPECT_EQ(form->ListView_soon->Count(), 1);
    EXPECT_EQ(form->SetRec.HTMLpath, web);
    EXPECT_FALSE(form->RadioButton_finish->isChecked() || form->RadioButton_restart->isChecked());
    EXPECT_EQ(form->CheckBox_block_latest->text(), form->Text(u"CB_doblock"));
}

}  // namespace
