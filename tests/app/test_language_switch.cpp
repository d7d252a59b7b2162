// Language files on the real windows: loading at the first showing, missing folders, files and
// keys, the fade unit, every text in every language, and the banner item.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionViewItem>
#include <climits>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <fstream>

#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/ini_file.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_deck.h"
#include "ui/info_box.h"
#include "settings/language_file.h"

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
        settings::SetLanguageFolders({dir.path()});
        clock = std::make_shared<playback::TTestClock>();
    }
    void TearDown() override { settings::SetLanguageFolders({}); }

    std::unique_ptr<app::TForm1> Window() {
        return app::CreateWindows(playback::TestDeckFactory(clock));
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
    EXPECT_EQ(f->Button_FF->text(), "F&orward");

    // A language whose file is missing keeps every caption and leaves no mark; a known one
    // before it loses its mark too.
    Ship("deu");
    f->M38Click();
    const QStringList german = Captions(*f);
    EXPECT_EQ(Marks(*f), QStringList{"M38"});
    f->M37Click();
    EXPECT_EQ(Captions(*f), german);
    EXPECT_TRUE(Marks(*f).isEmpty());
    EXPECT_EQ(f->Party().LanguageCode(), "fra");
}

TEST_F(Language, AnEmptyFileGivesTheDefaultsAndMissingKeysDoNotKeepTheLastLanguage) {
    Write("eng", "");
    auto defaults = Window();
    const QStringList created = Captions(*defaults);
    const QString createdHint = defaults->ListView_soon->toolTip();
    defaults->show();
    EXPECT_EQ(Marks(*defaults), QStringList{"M39"});
    EXPECT_EQ(defaults->Button_FF->text(), "F&orward [0]");
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

// Every text a person can read on the main window, the banner and the settings dialog, list
// rows and hints included, with where it is.
std::vector<std::pair<QString, QString>> EveryText(const app::TForm1& f) {
    std::vector<std::pair<QString, QString>> all;
    const auto add = [&](const QObject* o, const QString& text) {
        if (!text.isEmpty()) all.emplace_back(o->objectName() + " (" + o->metaObject()->className() + ")", text);
    };
    for (const QWidget* window : {static_cast<const QWidget*>(&f), static_cast<const QWidget*>(f.Form_InfoBox),
                                  static_cast<const QWidget*>(f.Form2)}) {
        add(window, window->windowTitle());
        for (const QAction* a : window->findChildren<QAction*>()) add(a, a->text());
        for (const QMenu* m : window->findChildren<QMenu*>()) add(m, m->title());
        for (const QWidget* w : window->findChildren<QWidget*>()) {
            add(w, w->toolTip());
            if (const auto* b = qobject_cast<const QAbstractButton*>(w)) add(b, b->text());
            if (const auto* l = qobject_cast<const QLabel*>(w)) add(l, l->text());
            if (const auto* g = qobject_cast<const QGroupBox*>(w)) add(g, g->title());
            if (const auto* e = qobject_cast<const QLineEdit*>(w)) add(e, e->placeholderText());
        }
        for (const tracks::TListView* l : window->findChildren<tracks::TListView*>()) {
            for (int c = 0; c < 8; ++c) add(l, l->ColumnCaption(c));
            for (int r = 0; r < l->Count(); ++r) add(l, l->Caption(r));
        }
    }
    return all;
}

TEST_F(Language, SwitchingMidPartyRewritesEveryVisibleText) {
    for (const char* code : {"eng", "deu", "fra"}) Ship(code);
    auto f = Window();
    f->show();
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) f->ListView_soon->AppendRow(Track(name));
    f->ListView_Guest_Pool->AppendRow(Track("g.mp3"));
    f->ListView_preselect->AppendRow(Track("p.mp3"));
    settings::TSetRec rec = f->Party().Settings();
    rec.FFsecText = "6";
    rec.number_block = 3;
    rec.CB_block = true;
    f->Party().CloseSettings(rec);
    f->TrackBar_fader->setValue(5);
    f->Form2->TrackBar_Blende->setValue(4);  // the dialog's value labels show their units
    f->Form2->TrackBar_blocked->setValue(3);
    f->pop0Click();
    platform::Guarded([&] { f->Button_PlayListClick(); });
    for (int i = 0; i < 178; ++i) {
        clock->Advance(1000);
        platform::Guarded([&] { f->Timer1Timer(); });
    }
    platform::Guarded([&] { f->Button_PauseClick(); });
    f->M61Click();  // the banner
    f->ListView_soon->SelectRow(2);  // Remove is offered with its title
    f->AddTrack(f->ListView_Guest_Pool, QString::fromStdString((dir / "h.mp3").string()), "File");  // "Check: ..."

    // Words of the English file that the other language says differently.
    const auto values = [&](const char* code) {
        QFile file(QString::fromStdString((dir / "lang" / (std::string(code) + ".lng")).string()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << code;
        QStringList out;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
            if (line.contains('=') && !line.startsWith(';')) out << line.section('=', 1).trimmed().remove('&');
        return out;
    };
    for (const char* code : {"deu", "fra"}) {
        const QStringList theirs = values(code);
        QStringList words;
        for (const QString& word : values("eng"))
            if (word.size() >= 3 && !theirs.contains(word) && !words.contains(word)) words << word;
        ASSERT_GT(words.size(), 50) << code;

        (code == std::string("deu") ? f->M38Click() : f->M37Click());
        for (const auto& [where, text] : EveryText(*f)) {
            if (text == f->Form_InfoBox->windowTitle()) continue;  // a name, in no language
            for (const QString& word : words) {
                const QRegularExpression whole("(^|[^\\w])" + QRegularExpression::escape(word) + "($|[^\\w])");
                EXPECT_FALSE(whole.match(text).hasMatch())
                    << code << ": " << where.toStdString() << " still reads \"" << text.toStdString()
                    << "\" (English \"" << word.toStdString() << "\")";
            }
        }
        // Words that tell a state keep telling it.
        EXPECT_EQ(f->Button_Pause->text(), f->Text(u"str_go_on")) << code << ": paused";
        EXPECT_TRUE(f->CheckBox_block_latest->text().endsWith(" (3)")) << code << ": tracks kept blocked";
        // Qt's own dialogs and boxes speak it too.
        QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Cancel);
        EXPECT_NE(box.button(QMessageBox::Cancel)->text().remove('&'), "Cancel") << code;
    }
    f->M39Click();
    QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), "Cancel") << "English again";
}

// How much wider the caption of `w` (as drawn, without the access key's ampersand) is than the
// room it has; 0 or less when it shows whole. A widget without a caption gives INT_MIN.
int Overflow(const QWidget* w) {
    const QStyle* style = w->style();
    const int text = QFontMetrics(w->font()).horizontalAdvance(
        QString(qobject_cast<const QAbstractButton*>(w) ? static_cast<const QAbstractButton*>(w)->text()
                : qobject_cast<const QLabel*>(w)        ? static_cast<const QLabel*>(w)->text()
                : qobject_cast<const QGroupBox*>(w)     ? static_cast<const QGroupBox*>(w)->title()
                                                        : QString())
            .remove('&'));
    if (text == 0) return INT_MIN;
    if (qobject_cast<const QCheckBox*>(w))
        return text + style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) -
               w->width();
    if (qobject_cast<const QRadioButton*>(w))
        return text + style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) - w->width();
    if (const auto* b = qobject_cast<const QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        return text - style->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
    }
    if (const auto* l = qobject_cast<const QLabel*>(w)) {
        const int indent = l->indent() >= 0 ? l->indent() : l->frameWidth() > 0 ? l->fontMetrics().horizontalAdvance('x') / 2 : 0;
        return text + indent - l->contentsRect().width();
    }
    return text - w->width();  // a group's title
}

TEST_F(Language, EveryCaptionFitsItsControlInEveryLanguage) {
    for (const char* code : {"eng", "deu", "fra"}) Ship(code);
    auto f = Window();
    f->show();
    QApplication::processEvents();
    // Every list filled, every option chosen and enabled: the mode panel draws them in bold.
    for (tracks::TListView* list : {f->ListView_soon, f->ListView_Guest, f->ListView_Guest_Pool, f->ListView_preselect})
        list->AppendRow(Track("a.mp3"));
    f->pop0Click();
    settings::TSetRec rec = f->Party().Settings();
    rec.number_block = 100;  // the block caption with its number
    f->Party().CloseSettings(rec);
    for (QCheckBox* box : {f->CheckBox_block_latest, f->CheckBox_guest_use, f->CheckBox_preset_use}) box->setChecked(true);
    f->TrackBar_fader->setValue(15);
    f->Form2->TrackBar_Blende->setValue(15);
    f->Form2->TrackBar_blocked->setValue(100);
    f->Form2->show();

    for (void (app::TForm1::*language)() : {&app::TForm1::M39Click, &app::TForm1::M38Click, &app::TForm1::M37Click}) {
        (f.get()->*language)();
        QApplication::processEvents();
        const std::string code = f->Party().LanguageCode().toStdString();
        for (const QWidget* window : {static_cast<const QWidget*>(f.get()), static_cast<const QWidget*>(f->Form2)}) {
            for (const QWidget* w : window->findChildren<QWidget*>()) {
                if (!w->isVisible() || qobject_cast<const QStatusBar*>(w->parentWidget()) || w->inherits("QAbstractItemView") ||
                    w->parentWidget()->inherits("QAbstractItemView"))
                    continue;
                const int over = Overflow(w);
                EXPECT_LE(over, 0) << code << ": " << w->objectName().toStdString() << " (" << w->metaObject()->className()
                                   << ") cuts its caption by " << over << " px";
            }
        }
        // The message panel of the status bar, with each of its messages.
        QLabel* panel = f->StatusPanels[1];
        for (const char16_t* key : {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26"}) {
            panel->setText(f->Text(key));
            EXPECT_LE(Overflow(panel), 0) << code << ": status panel 1 cuts " << panel->text().toStdString();
        }
        // Column captions, and each status word as a row draws it (the current row in bold).
        for (const tracks::TListView* list : f->findChildren<tracks::TListView*>()) {
            const QHeaderView* header = list->header();
            for (int c = 0; c + 1 < header->count(); ++c) {
                if (list->isColumnHidden(c)) continue;
                const int need = QFontMetrics(header->font()).horizontalAdvance(list->ColumnCaption(c)) +
                                 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
                EXPECT_LE(need, header->sectionSize(c))
                    << code << ": " << list->objectName().toStdString() << " cuts " << list->ColumnCaption(c).toStdString();
            }
            QFont bold = list->font();
            bold.setBold(true);
            QStyleOptionViewItem cell;
            cell.initFrom(list->viewport());
            cell.rect = QRect(0, 0, list->columnWidth(0), 20);
            cell.features = QStyleOptionViewItem::HasDisplay;
            cell.font = bold;
            for (const char16_t* key : {u"st_ready", u"st_blocked", u"st_played", u"st_running", u"st_error", u"st_soon",
                                        u"st_next", u"st_chosen"}) {
                cell.text = f->Text(key);
                const QRect room = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &cell, list);
                EXPECT_LE(QFontMetrics(bold).horizontalAdvance(cell.text), room.width())
                    << code << ": " << list->objectName().toStdString() << " cuts " << cell.text.toStdString();
            }
        }
    }
}

TEST_F(Language, BannerItemShowsStarsHidesOnStopAndItsMenuSpeaksTheLanguage) {
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
    EXPECT_TRUE(banner->PopBox1->text().startsWith(Shipped("deu", u"STRING", u"str_font"))) << "at the switch";

    f->ListView_soon->AppendRow(Track("a.mp3"));
    f->ListView_soon->AppendRow(Track("b.mp3"));
    f->pop0Click();
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
