// Settings > Player Mode on the real windows: the dialog edits a copy of the party's settings;
// the modal dialog is answered from its own event loop.
#include <gtest/gtest.h>

#include <QTimer>
#include <fstream>

#include "app/main_window.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_deck.h"
#include "ui/Dlg_Details.h"
#include "settings/language_file.h"

namespace {

using ui::TForm2;

class SettingsCommand : public ::testing::Test {
protected:
    // `inside` runs while the dialog is open, then OK or Cancel closes it (unless `inside` did).
    void Open(const std::function<void(TForm2&)>& inside, bool confirm = true) {
        TForm2* d = form->Form2;
        QTimer::singleShot(0, d, [&] {
            inside(*d);
            if (d->isVisible()) (confirm ? d->Button_OK : d->Button_Cancel)->click();
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

TEST_F(SettingsCommand, TheDialogShowsTheSettingsInForceAndTheWindowShowsWhatWasConfirmed) {
    form->TrackBar_fader->setValue(6);
    form->RadioButton_restart->setChecked(true);
    const QString queue = List("queue.lst", {"/m/a.mp3", "/m/b.mp3"});
    Open([&](TForm2& s) {
        EXPECT_EQ(s.Label_fadesec->text(), "6 " + form->Text(u"str_seconds"));
        EXPECT_EQ(s.Label_blocked->text(), "0");  // the bar did not move
        EXPECT_TRUE(s.RadioButton_Repeat->isChecked() && !s.RadioButton_finish->isChecked());
        EXPECT_TRUE(s.Edit_FFsec->isEnabled());
        s.Edit_PlayList->setText(queue);
        s.CheckBox_blockLatest->setChecked(true);
        s.TrackBar_blocked->setValue(10);
        s.Edit_FFsec->setText("8");
    });
    EXPECT_EQ(form->ListView_soon->Count(), 2);
    EXPECT_EQ(form->CheckBox_block_latest->text(), form->Text(u"CB_doblock") + " (10)");
    EXPECT_TRUE(form->CheckBox_block_latest->isChecked());
    EXPECT_TRUE(form->Button_FF->text().contains("[8]"));
    EXPECT_TRUE(recorder->errors.empty());
}

TEST_F(SettingsCommand, OkRefusesNoNumberInTheDialogAndCancelRestoresWhatWasThere) {
    settings::SetLanguageFolders({std::filesystem::path(QMM_SOURCE_DIR) / "resources"});
    form->show();
    const QString queue = List("queue.lst", {"/m/a.mp3"}), web = QString::fromStdString(tmp.path().string());
    std::ofstream(tmp.path() / "word.stg") << "[standard]\nffsec=ten\nplayfile=" << queue.toStdString() << "\n";
    form->ListView_soon->AppendRow([] {
        tracks::TrackRow r;
        r.Status = "ready";
        r.FileName = "/m/playing.mp3";
        return r;
    }());
    struct Case {
        void (app::TForm1::*language)();
        const char* ffsec;  // typed; "@" loads word.stg, whose value is no number
        bool playing;
        bool accepted;
    };
    const Case cases[] = {
        {&app::TForm1::M39Click, "", false, false},  {&app::TForm1::M38Click, "@", true, false},
        {&app::TForm1::M37Click, "99999999999", true, false}, {&app::TForm1::M39Click, "8", true, true},
        {&app::TForm1::M38Click, "0", true, true},    {&app::TForm1::M37Click, "12", false, true},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.ffsec) + (c.playing ? ", playing" : ", stopped");
        (form.get()->*c.language)();
        if (c.playing && form->MediaPlayer1->Mode() != playback::mpPlaying) {
            form->MediaPlayer1->SetFileName("/m/playing.mp3");
            form->MediaPlayer1->Open();
            form->MediaPlayer1->Play();
        } else if (!c.playing) {
            form->MediaPlayer1->Close();
        }
        form->ListView_soon->List().SelectRow(0);
        const QString ffBefore = form->Form2->Edit_FFsec->text(), htmlBefore = form->Form2->Edit_HTMLpath->text();
        const QString captionBefore = form->Button_FF->text(), panelBefore = form->StatusPanel(1);
        const bool enabledBefore = form->Button_FF->isEnabled();
        const uint8_t fadeBefore = form->Party().Settings().FadeSec;
        recorder->openAnswers.push_back({Path("word.stg").toStdU16String()});
        recorder->folderAnswers.push_back(web.toStdU16String());
        bool stayed = false;
        QString error;
        Open(
            [&](TForm2& s) {
                s.TrackBar_Blende->setValue(fadeBefore + 1);
                s.Edit_HTMLpathDblClick();
                if (std::string(c.ffsec) == "@")
                    s.Button_Load->click();
                else
                    s.Edit_FFsec->setText(c.ffsec);
                const QString typed = s.Edit_FFsec->text();
                const int fade = s.TrackBar_Blende->value();
                const QString loadedQueue = s.Edit_PlayList->text();
                s.Button_OK->click();
                stayed = s.isVisible();
                error = s.StatusPanel1->text();
                if (!stayed) return;
                // Every field as it was, the error in the dialog's own words.
                EXPECT_EQ(s.Edit_FFsec->text(), typed) << name;
                EXPECT_EQ(s.TrackBar_Blende->value(), fade) << name;
                EXPECT_EQ(s.Edit_PlayList->text(), loadedQueue) << name;
                QString expected = form->Text(u"H27");
                EXPECT_EQ(error, expected.replace("%s", typed)) << name;
            },
            false);
        EXPECT_EQ(stayed, !c.accepted) << name;
        EXPECT_TRUE(recorder->errors.empty()) << name << ": no box after the dialog";
        EXPECT_FALSE(form->Form2->isVisible()) << name;
        if (c.accepted) {
            // Confirmed: the button follows the value at once, mid-party too.
            EXPECT_TRUE(form->Button_FF->text().endsWith(QString(" [%1]").arg(c.ffsec))) << name;
            EXPECT_EQ(form->Button_FF->isEnabled(), c.playing && QString(c.ffsec) > "0") << name;
            EXPECT_EQ(form->Party().Settings().HTMLpath, web) << name;
            continue;
        }
        // Refused, then cancelled: everything as before the dialog opened.
        EXPECT_FALSE(error.isEmpty()) << name;
        EXPECT_EQ(form->Form2->Edit_FFsec->text(), ffBefore) << name;
        EXPECT_EQ(form->Form2->Edit_HTMLpath->text(), htmlBefore) << name;
        EXPECT_EQ(form->Button_FF->text(), captionBefore) << name;
        EXPECT_EQ(form->Button_FF->isEnabled(), enabledBefore) << name;
        EXPECT_EQ(form->Party().Settings().FadeSec, fadeBefore) << name;
        EXPECT_EQ(form->StatusPanel(1), panelBefore) << name;
        EXPECT_EQ(form->ListView_soon->Count(), 1) << name;
    }
    settings::SetLanguageFolders({});
}

TEST_F(SettingsCommand, AFileSavedFromACancelledDialogLoadsBack) {
    const QString queue = List("queue.lst", {"/m/a.mp3"}), file = Path("party.stg"), web = QString::fromStdString(tmp.path().string());
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
    EXPECT_TRUE(form->Party().Settings().StdPlayList.isEmpty() && form->Party().Settings().HTMLpath.isEmpty());
    EXPECT_EQ(form->ListView_soon->Count(), 0);
    EXPECT_TRUE(form->RadioButton_finish->isChecked());

    recorder->openAnswers.push_back({file.toStdU16String()});
    Open([&](TForm2& s) {
        EXPECT_EQ(s.Edit_FFsec->text(), "0") << "the cancel gave back what was there";
        s.Button_Load->click();
        EXPECT_EQ(s.Edit_FFsec->text(), "12");
    });
    EXPECT_EQ(form->ListView_soon->Count(), 1);
    EXPECT_EQ(form->Party().Settings().HTMLpath, web);
    EXPECT_FALSE(form->RadioButton_finish->isChecked() || form->RadioButton_restart->isChecked());
    EXPECT_EQ(form->CheckBox_block_latest->text(), form->Text(u"CB_doblock"));
}

}  // namespace
