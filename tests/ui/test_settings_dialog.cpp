// The settings dialog on its own: its controls, how it shows a record, its file buttons and the
// choosers of its path fields.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QValidator>
#include <filesystem>
#include <fstream>

#include "platform/text_codec.h"
#include "settings/settings_file.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "ui/Dlg_Settings.h"

using settings::TSetRec;
using ui::TForm2;

namespace {

using test_support::EnsureApplication;

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
    QString PathOf(const std::string& name) const { return QString::fromStdString((dir_ / name).string()); }
    static void DoubleClick(QWidget* w) {
        QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    testutil::TempDir tmp_;
    const std::filesystem::path& dir_ = tmp_.path();
};

// Which member of each pair is selected: "1", "2" or "-" for none.
std::string Pairs(const TForm2& f) {
    const auto one = [](QRadioButton* a, QRadioButton* b) {
        return std::string(a->isChecked() && b->isChecked() ? "!" : a->isChecked() ? "1" : b->isChecked() ? "2" : "-");
    };
    return one(f.RadioButton_finish, f.RadioButton_Repeat) +
           one(f.RadioButton_web_first, f.RadioButton_web_mix_preselect) +
           one(f.RadioButton_preset_1by1, f.RadioButton_preset_random);
}

}  // namespace

TEST_F(SettingsDialog, CreationShowsControlsCaptionsAndStartValues) {
    TForm2 f;
    EXPECT_EQ(f.size(), QSize(638, 440));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_EQ(f.windowTitle(), "Basic Values");
    EXPECT_EQ(f.TrackBar_Blende->minimum(), 0);
    EXPECT_EQ(f.TrackBar_Blende->maximum(), 15);
    EXPECT_EQ(f.TrackBar_blocked->maximum(), 100);
    EXPECT_EQ(f.TrackBar_blocked->tickInterval(), 5);
    EXPECT_EQ(f.Edit_FFsec->text(), "0");
    EXPECT_EQ(f.Label_fadesec->text(), "0");
    EXPECT_EQ(f.Label_blocked->text(), "0");
    EXPECT_EQ(f.Edit_HTMLpath->text(), "");
    EXPECT_TRUE(f.Edit_PlayList->isReadOnly());
    EXPECT_TRUE(f.Edit_HTMLpath->isReadOnly());
    EXPECT_FALSE(f.Edit_webList->isReadOnly());
    EXPECT_FALSE(f.Edit_PresetList->isReadOnly());
    EXPECT_EQ(f.StatusPanel1->text(), "");

    const std::vector<std::pair<QString, QString>> captions = {
        {f.GroupBox_Settings->title(), "Basic Values"},
        {f.Label_blende->text(), "Fading"},
        {f.Label_numberblocked->text(), "Block Recent Tracks"},
        {f.Label_FFsec->text(), "&Forward Jump [sec]"},
        {f.Label_fadeunit->text(), "seconds"},
        {f.GroupBox_PlayLists->title(), "Playlist Files"},
        {f.Label_PlayList->text(), "&Playlist File"},
        {f.Label_webList->text(), "&Remote Request File"},
        {f.Label_preselectList->text(), "Pr&eselect File"},
        {f.GroupBox_HTML->title(), "HTML Settings"},
        {f.Label_HTMLpath->text(), "&HTML Path"},
        {f.GroupBox_Repeat->title(), "Queue Play Mode"},
        {f.CheckBox_blockLatest->text(), "Block Recent Tracks"},
        {f.RadioButton_finish->text(), "Play List Once"},
        {f.RadioButton_Repeat->text(), "Repeat List"},
        {f.GroupBox_Guest->title(), "Guest's Requests"},
        {f.CheckBox_webselect->text(), "Allow Remote Requests"},
        {f.RadioButton_web_first->text(), "Prefer Web"},
        {f.RadioButton_web_mix_preselect->text(), "Mix Web"},
        {f.GroupBox_Preset->title(), "Pool Of Presets"},
        {f.CheckBox_preset->text(), "Add Preset Tracks"},
        {f.RadioButton_preset_1by1->text(), "Play In Order"},
        {f.RadioButton_preset_random->text(), "Play At Random"},
        {f.Button_Load->text(), "&Load"},
        {f.Button_Save->text(), "&Save"},
        {f.Button_OK->text(), "O&K"},
        {f.Button_Cancel->text(), "&Cancel"},
    };
    for (const auto& [shown, wanted] : captions) {
        EXPECT_EQ(shown, wanted);
    }

    // Typing accepts digits only; code may set any text.
    int pos = 0;
    QString typed = "1a";
    EXPECT_EQ(f.Edit_FFsec->validator()->validate(typed, pos), QValidator::Invalid);
    typed = "06";
    EXPECT_EQ(f.Edit_FFsec->validator()->validate(typed, pos), QValidator::Acceptable);

    TSetRec rec;
    rec.FFsecText = "8";
    rec.FadeSec = 4;
    rec.number_block = 12;
    rec.HTMLpath = "/srv/web";
    platform::DisplayTexts texts;
    texts.Set(u"str_seconds", u"Sekunden");
    texts.Set(u"CB_doblock", u"Sperren");
    TForm2 g(rec, &texts);
    EXPECT_EQ(g.Edit_FFsec->text(), "8");
    EXPECT_EQ(g.Label_fadesec->text(), "4");
    EXPECT_EQ(g.Label_blocked->text(), "12");
    EXPECT_EQ(g.Edit_HTMLpath->text(), "/srv/web");
    EXPECT_EQ(g.CheckBox_blockLatest->text(), "Sperren");
    g.TrackBar_Blende->setValue(6);
    EXPECT_EQ(g.Label_fadesec->text(), "6 Sekunden");
    g.TrackBar_blocked->setValue(200);
    EXPECT_EQ(g.TrackBar_blocked->value(), 100);
    EXPECT_EQ(g.Label_blocked->text(), "100 Tracks");
}

// A record shows as a click would set it: of a pair set both ways the second member wins, and a
// bar that does not move keeps its bare number. What the controls show reads back as the record.
TEST_F(SettingsDialog, ARecordShowsAsClicksWouldSetItAndReadsBack) {
    TSetRec both;
    both.FadeSec = 15;
    both.FFsecText = "06";
    both.StdPresetList = QString::fromUtf16(u"/lists/pr\u00E4set.lst");
    both.number_block = 0;
    both.RB_finish = both.RB_restart = both.RB_web_first = both.RB_web_mix_preselect = true;
    both.RB_preset_1by1 = both.RB_preset_random = true;
    both.RequestsPerGuest = 3;
    both.CB_artist_apart = true;
    both.CB_leveling = both.CB_crossfade = both.CB_no_dead_air = true;
    both.LevelTarget = -20;
    TForm2 f;
    f.ShowRecord(both);
    EXPECT_EQ(Pairs(f), "222");
    EXPECT_EQ(f.Label_fadesec->text(), "15 Seconds");
    EXPECT_EQ(f.Label_blocked->text(), "0") << "the bar did not move";
    TSetRec shown = f.Record();
    EXPECT_EQ(shown.FFsecText, "06");
    EXPECT_EQ(shown.FFsec, 6);
    EXPECT_EQ(shown.StdPresetList, both.StdPresetList);
    EXPECT_TRUE(shown.RequestsPerGuest == 3 && shown.CB_artist_apart);
    EXPECT_TRUE(shown.CB_leveling && shown.CB_crossfade && shown.CB_no_dead_air);
    EXPECT_EQ(shown.LevelTarget, -20) << "a target the dialog does not show is kept";
    f.ShowRecord(TSetRec());
    EXPECT_EQ(Pairs(f), "---");

    // A text that is no number is shown as it is; the record gets no jump from it.
    TSetRec word;
    word.FFsecText = "ten";
    f.ShowRecord(word);
    EXPECT_EQ(f.Edit_FFsec->text(), "ten");
    EXPECT_EQ(f.Record().FFsec, 0);
}

TEST_F(SettingsDialog, ButtonsUseTheFileDialogsAndShowWriteErrors) {
    platform::ScopedRecorder rec;
    TForm2 f;
    const QString file = PathOf("saved.stg");

    f.Button_Save->click();  // cancelled
    f.Button_Load->click();  // cancelled
    ASSERT_EQ(rec->dialogs.size(), 2u);
    EXPECT_EQ(rec->dialogs[0].title, u"Save Settings");
    EXPECT_EQ(rec->dialogs[1].title, u"Load Settings");
    for (const auto& d : rec->dialogs) {
        EXPECT_EQ(d.filter, u"Settings (*.stg)|*.stg|All Files (*.*)|*.*");
        EXPECT_EQ(d.defaultExt, u".stg");
    }
    EXPECT_FALSE(std::filesystem::exists(file.toStdString()));

    f.TrackBar_Blende->setValue(9);
    rec->saveAnswers.push_back(file.toStdU16String());
    f.Button_Save->click();
    TForm2 g;
    rec->openAnswers.push_back({file.toStdU16String()});
    g.Button_Load->click();
    EXPECT_EQ(g.TrackBar_Blende->value(), 9);
    EXPECT_TRUE(rec->errors.empty());

    // A target that cannot be written: the error names the file.
    const QString folder = PathOf("folder.stg");
    std::filesystem::create_directory(folder.toStdString());
    rec->saveAnswers.push_back(folder.toStdU16String());
    f.Button_Save->click();
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(QString::fromStdU16String(rec->errors[0]), "Unable to write to " + folder);

}

TEST_F(SettingsDialog, DoubleClicksChooseListFilesAndFolder) {
    platform::ScopedRecorder rec;
    TSetRec setRec;
    setRec.HTMLpath = "/srv/start";
    TForm2 f(setRec, nullptr);

    DoubleClick(f.Edit_webList);  // cancelled: nothing changes
    EXPECT_EQ(f.Edit_webList->text(), "");
    rec->openAnswers.push_back({u"/lists/web.lst"});
    DoubleClick(f.Edit_webList);
    rec->openAnswers.push_back({u"/lists/queue.lst"});
    DoubleClick(f.Edit_PlayList);
    ASSERT_EQ(rec->dialogs.size(), 3u);
    EXPECT_EQ(rec->dialogs[0].title, u"Config Play List  File");
    EXPECT_EQ(rec->dialogs[0].filter, u"Play List (*.lst)|*.lst|All Files (*.*)|*.*");
    EXPECT_EQ(rec->dialogs[0].defaultExt, u".lst");
    EXPECT_EQ(f.Edit_webList->text(), "/lists/web.lst");
    EXPECT_EQ(f.Edit_webList->toolTip(), "/lists/web.lst");
    EXPECT_EQ(f.Edit_PlayList->text(), "/lists/queue.lst");
    EXPECT_EQ(f.Edit_PlayList->toolTip(), "/lists/queue.lst");
    EXPECT_EQ(f.StatusPanel1->text(), "/lists/queue.lst");

    DoubleClick(f.Edit_HTMLpath);  // cancelled, then again
    rec->folderAnswers.push_back(u"/srv/web");
    DoubleClick(f.Edit_HTMLpath);
    EXPECT_EQ(rec->folderStarts, (std::vector<std::u16string>{u"/srv/start", u"/srv/start"}));
    EXPECT_EQ(f.Edit_HTMLpath->text(), "/srv/web");
}

TEST_F(SettingsDialog, KeysAndButtonsOpenTheChoosersAsADoubleClickDoes) {
    platform::ScopedRecorder rec;
    TForm2 f;
    struct Case {
        QLineEdit* edit;
        QLabel* label;  // set: its access key's button is pressed instead of a key
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool opens;
    };
    const Case cases[] = {
        {f.Edit_PlayList, nullptr, Qt::Key_F4, Qt::NoModifier, true},
        {f.Edit_webList, nullptr, Qt::Key_Down, Qt::AltModifier, true},
        {f.Edit_PresetList, nullptr, Qt::Key_F4, Qt::NoModifier, true},
        {f.Edit_HTMLpath, nullptr, Qt::Key_Down, Qt::AltModifier, true},
        {f.Edit_PresetList, nullptr, Qt::Key_Down, Qt::NoModifier, false},
        {f.Edit_PlayList, nullptr, Qt::Key_F4, Qt::AltModifier, false},
        {f.Edit_PlayList, f.Label_PlayList, {}, {}, true},
        {f.Edit_webList, f.Label_webList, {}, {}, true},
        {f.Edit_PresetList, f.Label_preselectList, {}, {}, true},
        {f.Edit_HTMLpath, f.Label_HTMLpath, {}, {}, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        rec->openAnswers.push_back({u"/lists/chosen.lst"});
        rec->folderAnswers.push_back(u"/srv/chosen");
        c.edit->clear();
        if (c.label) {
            auto* button = qobject_cast<QPushButton*>(c.label->buddy());
            ASSERT_NE(button, nullptr) << "case " << n;
            EXPECT_FALSE(button->toolTip().isEmpty()) << "case " << n;
            button->click();
        } else {
            QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
            QApplication::sendEvent(c.edit, &press);
        }
        const QString shown = c.edit->text();
        EXPECT_EQ(!shown.isEmpty(), c.opens) << "case " << n;
        EXPECT_TRUE(shown.isEmpty() || shown == (c.edit == f.Edit_HTMLpath ? "/srv/chosen" : "/lists/chosen.lst"))
            << "case " << n << ": " << shown.toStdString();
        rec->openAnswers.clear();
        rec->folderAnswers.clear();
    }
}
