#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QValidator>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "settings/Dlg_Settings.h"
#include "settings/apply_settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"

using namespace settings;

namespace {

using test_support::EnsureApplication;

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
    QString PathOf(const std::string& name) const { return QString::fromStdString((dir_ / name).string()); }
    std::string Slurp(const QString& p) const {
        return platform::ReadBinaryFile(p.toStdString()).value_or("<missing>");
    }
    QString Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return PathOf(name);
    }
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
    rec.FFsec = 8;
    rec.FadeSec = 4;
    rec.number_block = 12;
    rec.HTMLpath = "/srv/web";
    platform::DisplayTexts texts;
    texts.Set(u"str_seconds", u"Sekunden");
    texts.Set(u"CB_doblock", u"Sperren");
    TForm2 g(&rec, &texts);
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

TEST_F(SettingsDialog, SaveWritesSixteenKeysInOrderAsShown) {
    TForm2 f;
    f.TrackBar_Blende->setValue(6);
    f.Edit_FFsec->setText("06");
    f.Edit_PlayList->setText("/lists/queue.lst");
    f.Edit_webList->setText("");
    f.Edit_PresetList->setText(QString::fromUtf16(u"/lists/pr\u00E4set.lst"));
    f.Edit_HTMLpath->setText("/srv/web");
    f.CheckBox_blockLatest->setChecked(true);
    f.TrackBar_blocked->setValue(25);
    f.RadioButton_Repeat->setChecked(true);
    f.CheckBox_webselect->setChecked(true);
    f.RadioButton_web_first->setChecked(true);
    f.RadioButton_preset_random->setChecked(true);

    const QString file = Put("keep.stg", "[Other]\r\nx=1\r\n\r\n[STANDARD]\r\nFADE=2\r\nextra=kept\r\n");
    f.SaveSettingsTo(file);
    EXPECT_EQ(Slurp(file),
              "[Other]\nx=1\n\n[STANDARD]\nFADE=6\nextra=kept\n"
              "ffsec=06\nplayfile=/lists/queue.lst\nwebfile=\npreselectfile=/lists/pr\xC3\xA4set.lst\n"
              "htmlpath=/srv/web\ndoBlock=1\nblocknumber=25\nrb_finish=0\nrb_repeat=1\nwebselect=1\n"
              "rb_web_first=1\nrb_web_mix_preselect=0\npreselect=0\nrb_preset_1by1=0\n"
              "rb_preset_random=1\n");

    const QString fresh = PathOf("fresh.stg");
    f.Edit_FFsec->setText("");
    f.SaveSettingsTo(fresh);
    EXPECT_EQ(Slurp(fresh).substr(0, 27), "[standard]\nfade=6\nffsec=\npl");

    // Loading it back into another dialog restores every control.
    TForm2 g;
    g.LoadSettingsFrom(file);
    EXPECT_EQ(g.TrackBar_Blende->value(), 6);
    EXPECT_EQ(g.Edit_FFsec->text(), "06");
    EXPECT_EQ(g.Edit_PlayList->text(), "/lists/queue.lst");
    EXPECT_EQ(g.Edit_webList->text(), "");
    EXPECT_EQ(g.Edit_PresetList->text(), QString::fromUtf16(u"/lists/pr\u00E4set.lst"));
    EXPECT_EQ(g.Edit_HTMLpath->text(), "/srv/web");
    EXPECT_TRUE(g.CheckBox_blockLatest->isChecked());
    EXPECT_EQ(g.TrackBar_blocked->value(), 25);
    EXPECT_TRUE(g.CheckBox_webselect->isChecked());
    EXPECT_FALSE(g.CheckBox_preset->isChecked());
    EXPECT_EQ(Pairs(g), "212");
}

TEST_F(SettingsDialog, LoadingAppliesDefaultsClampingAndPairRules) {
    TForm2 f;
    f.LoadSettingsFrom(PathOf("missing.stg"));
    EXPECT_EQ(f.TrackBar_Blende->value(), 5);
    EXPECT_EQ(f.Label_fadesec->text(), "5 Seconds");
    EXPECT_EQ(f.Edit_FFsec->text(), "6");
    EXPECT_EQ(f.TrackBar_blocked->value(), 10);
    EXPECT_EQ(f.Label_blocked->text(), "10 Tracks");
    EXPECT_FALSE(f.CheckBox_blockLatest->isChecked());
    EXPECT_EQ(Pairs(f), "121");  // without the web keys: mixed mode

    // Both members true: the later key wins. Hexadecimal, words, out-of-range numbers.
    f.LoadSettingsFrom(Put("a.stg",
                           "[standard]\nfade=20\nffsec=\nblocknumber=-4\ndoBlock=yes\n"
                           "rb_finish=1\nrb_repeat=1\nrb_web_first=1\nrb_web_mix_preselect=1\n"
                           "rb_preset_1by1=1\nrb_preset_random=1\nwebselect=$1F\npreselect=0x0\n"));
    EXPECT_EQ(f.TrackBar_Blende->value(), 15);
    EXPECT_EQ(f.Label_fadesec->text(), "15 Seconds");
    EXPECT_EQ(f.Edit_FFsec->text(), "");
    EXPECT_EQ(f.TrackBar_blocked->value(), 0);
    EXPECT_FALSE(f.CheckBox_blockLatest->isChecked());
    EXPECT_TRUE(f.CheckBox_webselect->isChecked());
    EXPECT_FALSE(f.CheckBox_preset->isChecked());
    EXPECT_EQ(Pairs(f), "222");

    // Both members false: neither selected.
    f.LoadSettingsFrom(Put("b.stg",
                           "[standard]\nfade=0x0A\nblocknumber=$1F\nrb_finish=0\nrb_repeat=0\n"
                           "rb_web_first=0\nrb_web_mix_preselect=0\nrb_preset_1by1=0\nrb_preset_random=0\n"));
    EXPECT_EQ(f.TrackBar_Blende->value(), 10);
    EXPECT_EQ(f.TrackBar_blocked->value(), 31);
    EXPECT_EQ(Pairs(f), "---");

    // An unchanged position leaves the value label as it was.
    TForm2 g;
    g.LoadSettingsFrom(Put("c.stg", "[standard]\nfade=0\nblocknumber=0\n"));
    EXPECT_EQ(g.Label_fadesec->text(), "0");
    EXPECT_EQ(g.Label_blocked->text(), "0");
}

// The second save takes the first back; a file from before means no limit and the option off.
TEST_F(SettingsDialog, RequestsPerGuestAndArtistApartRoundTripAndAFileFromBeforeMeansOff) {
    TForm2 f;
    const QString file = PathOf("fair.stg"), old = Put("old.stg", "[standard]\nfade=3\n");
    for (const int limit : {3, 0}) {
        f.SpinEdit_perguest->setValue(limit);
        f.CheckBox_artist_apart->setChecked(limit > 0);
        f.SaveSettingsTo(file);
        f.LoadSettingsFrom(old);
        EXPECT_TRUE(f.SpinEdit_perguest->value() == 0 && !f.CheckBox_artist_apart->isChecked());
        f.LoadSettingsFrom(file);
        TSetRec rec;
        SettingsFromDialog(f, rec);
        EXPECT_TRUE(rec.RequestsPerGuest == limit && rec.CB_artist_apart == (limit > 0)) << limit;
    }
}

TEST_F(SettingsDialog, WindowsMadeSettingsFileLoads) {
    TForm2 f;
    f.Edit_webList->setToolTip("hint stays");
    f.LoadSettingsFrom(Put("win.stg",
                           "[Standard]\r\n"
                           "FADE = 7\r\n"
                           "FFSec= 12 \r\n"
                           "PlayFile=\"C:\\Musik\\Fr\xFChling.lst\"\r\n"
                           "WebFile =  D:\\web.lst  \r\n"
                           "HtmlPath=C:\\htdocs\r\n"
                           "DoBlock=1\r\n"
                           "RB_Repeat=1\r\n"));
    EXPECT_EQ(f.TrackBar_Blende->value(), 7);
    EXPECT_EQ(f.Edit_FFsec->text(), "12");
    EXPECT_EQ(f.Edit_PlayList->text(), QString::fromUtf16(u"C:\\Musik\\Fr\u00FChling.lst"));
    EXPECT_EQ(f.Edit_webList->text(), "D:\\web.lst");
    EXPECT_EQ(f.Edit_webList->toolTip(), "hint stays");
    EXPECT_EQ(f.Edit_PresetList->text(), "");
    EXPECT_EQ(f.Edit_HTMLpath->text(), "C:\\htdocs");
    EXPECT_TRUE(f.CheckBox_blockLatest->isChecked());
    EXPECT_EQ(Pairs(f), "221");
    EXPECT_EQ(f.StatusPanel1->text(), "");
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

    // Failing part-way (a file size limit, as a full disk would): earlier keys stay.
    const QString partial = PathOf("partial.stg");
    f.Edit_PlayList->setText(QString(200, 'p'));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit low = old;
    low.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    rec->saveAnswers.push_back(partial.toStdU16String());
    f.Button_Save->click();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    ASSERT_EQ(rec->errors.size(), 2u);
    EXPECT_EQ(QString::fromStdU16String(rec->errors[1]), "Unable to write to " + partial);
    EXPECT_EQ(Slurp(partial), "[standard]\nfade=9\nffsec=0\n");
}

TEST_F(SettingsDialog, DoubleClicksChooseListFilesAndFolder) {
    platform::ScopedRecorder rec;
    TSetRec setRec;
    setRec.HTMLpath = "/srv/start";
    TForm2 f(&setRec, nullptr);

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
