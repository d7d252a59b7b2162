// Language files on the real windows: loading at the first showing, missing folders, files and
// keys, the fade unit, the language items' status refresh and preset step, and the banner item.
#include <gtest/gtest.h>

#include <QFile>
#include <fstream>

#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/ini_file.h"
#include "settings/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_deck.h"
#include "ui/info_box.h"
#include "ui/language.h"

namespace {

namespace fs = std::filesystem;

QString Shipped(const char* code, std::u16string_view section, std::u16string_view key) {
    const platform::IniFile file(fs::path(QMM_SOURCE_DIR) / "resources" / "lang" / (std::string(code) + ".lng"));
    return QString::fromStdU16String(file.ReadString(section, key, u""));
}

// Every text a person can read on the windows (status bar aside), in a fixed order. Empty
// texts are left out: showing a window adds nameless actions of the toolkit's own.
QStringList Captions(const app::TForm1& f) {
    QStringList all;
    for (const QAction* a : f.findChildren<QAction*>()) all << a->text();
    for (const QMenu* m : f.findChildren<QMenu*>()) all << m->title();
    for (const QAbstractButton* b : f.findChildren<QAbstractButton*>()) all << b->text();
    for (const QGroupBox* g : f.findChildren<QGroupBox*>()) all << g->title();
    for (const QLabel* l : f.findChildren<QLabel*>())
        if (!qobject_cast<QStatusBar*>(l->parentWidget())) all << l->text();
    for (const tracks::TListView* l : f.findChildren<tracks::TListView*>()) {
        all << l->toolTip();
        for (int c = 0; c < 8; ++c) all << l->ColumnCaption(c);
    }
    all << f.Form2->windowTitle();
    all.removeAll(QString());
    return all;
}

QStringList Marks(const app::TForm1& f) {
    QStringList out;
    for (const QAction* a : {f.M37, f.M38, f.M39})
        if (a->isChecked()) out << a->objectName();
    return out;
}

class Language : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ui::SetLanguageFolders({dir.path()});
        clock = std::make_shared<playback::TTestClock>();
    }
    void TearDown() override { ui::SetLanguageFolders({}); }

    std::unique_ptr<app::TForm1> Window() {
        auto f = app::CreateWindows(playback::TestDeckFactory(clock));
        f->Form2->Edit_FFsec->setText(QStringLiteral("0"));
        return f;
    }
    void Write(const char* code, const std::string& text) {
        fs::create_directories(dir / "lang");
        std::ofstream(dir / "lang" / (std::string(code) + ".lng"), std::ios::binary) << text;
    }
    void Ship(const char* code) {
        fs::create_directories(dir / "lang");
        fs::copy_file(fs::path(QMM_SOURCE_DIR) / "resources" / "lang" / (std::string(code) + ".lng"),
                      dir / "lang" / (std::string(code) + ".lng"), fs::copy_options::overwrite_existing);
    }
    // A track file that exists, as a row.
    tracks::TrackRow Track(const std::string& name, bool exists = true) {
        const fs::path path = dir / name;
        if (exists) std::ofstream(path) << "x";
        clock->SetLength(QString::fromStdString(path.string()), 180000);
        tracks::TrackRow r;
        r.Status = QStringLiteral("ready");
        r.Title = QString::fromStdString(name);
        r.FileName = QString::fromStdString(path.string());
        return r;
    }

    platform::ScopedRecorder rec;
    testutil::TempDir dir;
    std::shared_ptr<playback::TTestClock> clock;
};

TEST_F(Language, WithoutLanguageFilesTheCreationCaptionsStay) {
    auto f = Window();
    const QStringList created = Captions(*f);
    f->show();  // no lang folder at all
    EXPECT_EQ(Captions(*f), created);
    EXPECT_TRUE(Marks(*f).isEmpty());
    EXPECT_EQ(f->Text(u"str_check"), "");
    EXPECT_EQ(f->Button_FF->text(), "&Forward");

    // A language whose file is missing keeps every caption and leaves no mark; a known one
    // before it loses its mark too.
    Ship("deu");
    f->M38Click();
    const QStringList german = Captions(*f);
    EXPECT_EQ(Marks(*f), QStringList{"M38"});
    f->M37Click();
    EXPECT_EQ(Captions(*f), german);
    EXPECT_TRUE(Marks(*f).isEmpty());
    EXPECT_EQ(f->LanguageCode, "fra");
}

TEST_F(Language, AnEmptyFileGivesTheDefaultsAndMissingKeysDoNotKeepTheLastLanguage) {
    Write("eng", "");
    auto defaults = Window();
    const QStringList created = Captions(*defaults);
    const QString createdHint = defaults->ListView_soon->toolTip();
    defaults->show();
    EXPECT_EQ(Marks(*defaults), QStringList{"M39"});
    EXPECT_EQ(defaults->Button_FF->text(), "&Forward [0]");
    EXPECT_NE(defaults->ListView_soon->toolTip(), createdHint);
    EXPECT_NE(Captions(*defaults), created);  // hints, the fade word, the dialog's block label...
    EXPECT_FALSE(defaults->Text(u"str_check").isEmpty());
    EXPECT_FALSE(defaults->Label_fadesec->text().contains(defaults->Form2->Label_fadeunit->text()))
        << "without the key the dialog and the fade label keep different unit words";

    // German first, then a French file that knows only two words.
    Ship("deu");
    Write("fra", "[MENU]\nMP10=&Fichier\n[STRING]\nstr_forward=Avance\n");
    auto f = Window();
    f->show();
    f->M38Click();
    f->M37Click();
    EXPECT_EQ(Marks(*f), QStringList{"M37"});
    EXPECT_EQ(f->M10->title(), "&Fichier");
    EXPECT_EQ(f->Button_FF->text(), "&Avance [0]");
    // Every other text is the English default, not the German word.
    const QStringList expected = Captions(*defaults), actual = Captions(*f);
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected[i] == defaults->M10->title() || expected[i] == defaults->Button_FF->text()) continue;
        EXPECT_EQ(actual[i].toStdString(), expected[i].toStdString());
    }
    // Only the status words carry over.
    EXPECT_EQ(f->Text(u"st_blocked"), Shipped("deu", u"STATUS", u"st_blocked"));
    EXPECT_EQ(f->Text(u"str_go_on"), defaults->Text(u"str_go_on"));
}

TEST_F(Language, AFileWithTheFadeUnitGivesBothPlacesTheSameWord) {
    Write("eng", "[LABEL]\nLB_fadeunit=Sek\nLB_fadeover=Blende\n");
    auto f = Window();
    f->TrackBar_fader->setValue(7);
    f->show();
    EXPECT_EQ(f->Form2->Label_fadeunit->text(), "Sek");
    EXPECT_EQ(f->Label_fadesec->text(), " 7 Sek Blende") << "rewritten at once, not at the next slider move";
}

TEST_F(Language, SwitchingRewritesTheStatusWordsOfAllListsAndRunsOnePresetStep) {
    Ship("deu");
    auto f = Window();
    f->ListView_soon->AppendRow(Track("queued.mp3"));
    f->ListView_Guest_Pool->AppendRow(Track("queued.mp3"));
    f->ListView_Guest_Pool->AppendRow(Track("free.mp3"));
    f->ListView_Guest->AppendRow(Track("asked.mp3"));
    f->ListView_preselect->AppendRow(Track("asked.mp3"));
    f->ListView_preselect->AppendRow(Track("first.mp3"));
    f->ListView_preselect->AppendRow(Track("second.mp3"));
    f->ListView_preselect->AppendRow(Track("gone.mp3", false));
    f->SetControlState(app::ControlPhase::ListsChanged);
    f->CheckBox_preset_use->setChecked(true);
    f->M38Click();

    const QString blocked = Shipped("deu", u"STATUS", u"st_blocked"), ready = Shipped("deu", u"STATUS", u"st_ready");
    const QString chosen = Shipped("deu", u"STATUS", u"st_chosen"), error = Shipped("deu", u"STATUS", u"st_error");
    EXPECT_EQ(f->ListView_Guest_Pool->Caption(0), blocked);
    EXPECT_EQ(f->ListView_Guest_Pool->Caption(1), ready);
    EXPECT_EQ(f->ListView_Guest->Caption(0), chosen);
    EXPECT_EQ(f->ListView_preselect->Caption(0), chosen);
    EXPECT_EQ(f->ListView_preselect->Caption(f->ListView_preselect->Count() - 1), error);
    EXPECT_EQ(f->ListView_soon->Caption(0), blocked);
    // One preset step: the first ready preset joins the short queue, the second waits.
    ASSERT_EQ(f->ListView_soon->Count(), 2);
    EXPECT_TRUE(f->ListView_soon->Row(1).FileName.endsWith("first.mp3"));
    EXPECT_EQ(f->ListView_soon->ColumnCaption(2), Shipped("deu", u"TABLE", u"C2"));
}

TEST_F(Language, BannerItemShowsStarsHidesOnStopAndTakesNewMenuWordsOnlyWhenUsed) {
    Ship("eng");
    Ship("deu");
    auto f = Window();
    f->show();
    ui::TForm_InfoBox* banner = f->Form_InfoBox;
    f->M61Click();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(f->M61->isChecked());
    EXPECT_EQ(banner->Label_Now->text(), "*");
    EXPECT_EQ(banner->Label_Next->text(), "*");
    const QString english = banner->PopBox1->text();
    EXPECT_TRUE(english.startsWith(f->Text(u"str_font"))) << english.toStdString();

    f->M38Click();
    EXPECT_EQ(banner->PopBox1->text(), english) << "old words until the item is used again";

    f->ListView_soon->AppendRow(Track("a.mp3"));
    f->ListView_soon->AppendRow(Track("b.mp3"));
    f->SetControlState(app::ControlPhase::ListsChanged);
    platform::Guarded([&] { f->Button_PlayListClick(); });
    clock->Advance(1000);
    platform::Guarded([&] { f->Timer1Timer(); });
    const QString now = banner->Label_Now->text(), next = banner->Label_Next->text();
    EXPECT_TRUE(next.startsWith(Shipped("deu", u"STRING", u"str_coming_up"))) << next.toStdString();
    platform::Guarded([&] { f->Button_StopClick(); });
    EXPECT_FALSE(banner->isVisible());
    EXPECT_FALSE(f->M61->isChecked());

    f->M61Click();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(f->M61->isChecked());
    EXPECT_EQ(banner->Label_Now->text(), now);
    EXPECT_EQ(banner->Label_Next->text(), next);
    EXPECT_TRUE(banner->PopBox1->text().startsWith(Shipped("deu", u"STRING", u"str_font")));
    EXPECT_NE(banner->PopBox1->text(), english);
    // Closing by its box clears the mark too.
    banner->close();
    EXPECT_FALSE(f->M61->isChecked());
}

}  // namespace
