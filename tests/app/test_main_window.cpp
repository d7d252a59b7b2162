// The main window as bound to the party: its components at start, the controls, options and
// timers it shows, selection, the mode panel and the log, driven through the handlers a click
// runs. What the party decides is tested in tests/session; here, that the window shows it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <thread>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "web/web_host.h"
#include "platform/guard.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "ui/Dlg_Details.h"
#include "ui/info_box.h"

namespace {

using app::TForm1;
using playback::TTestDeck;
using tracks::TrackRow;
using ui::TListView;

// One application for the whole test program, made before any test and deleted after the last
// one: deleting it during static destruction, after Qt's own globals are gone, crashes once a
// window has been shown.
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance()) return;
        static int argc = 1;
        static char name[] = "test_app";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

void EnsureApplication() { ASSERT_NE(QApplication::instance(), nullptr); }

TrackRow Row(const QString& file, const QString& status = QStringLiteral("ready"),
             const QString& title = QString()) {
    TrackRow r;
    r.Status = status;
    r.Title = title.isEmpty() ? QStringLiteral("Title ") + file : title;
    r.Artist = QStringLiteral("Artist");
    r.Year = QStringLiteral("2000");
    r.FileName = file;
    return r;
}

QStringList Column(const TListView* list, int column) {
    QStringList out;
    for (const TrackRow& r : list->List().Rows()) out << r.Column(column);
    return out;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        clock = std::make_shared<playback::TTestClock>();
        clock->SetDefaultLength(180000);
        form = app::CreateWindows(playback::TestDeckFactory(clock));
    }

    TTestDeck& Deck(int n) { return *static_cast<TTestDeck*>(n == 1 ? form->MediaPlayer1 : form->MediaPlayer2); }
    void StartDeck(int n, const QString& file = QStringLiteral("/m/a.mp3")) {
        Deck(n).SetFileName(file);
        Deck(n).Open();
        Deck(n).Play();
    }
    void Run(void (TForm1::*handler)()) { platform::Guarded([&] { (form.get()->*handler)(); }); }

    platform::ScopedRecorder recorder;
    std::shared_ptr<playback::TTestClock> clock;
    std::unique_ptr<TForm1> form;
};

TEST_F(MainWindow, StartsWithEverythingOffAndTheCreationCaptions) {
    for (QPushButton* b : {form->Button_PlayList, form->Button_Pause, form->Button_Stop, form->Button_FF,
                           form->Button_fadenow})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(form->Button_fadenow->isHidden());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->CheckBox_block_latest, form->RadioButton_finish, form->RadioButton_restart,
             form->CheckBox_guest_use, form->RadioButton_web_first, form->RadioButton_web_mix_preselect,
             form->CheckBox_preset_use, form->RadioButton_preset_1by1, form->RadioButton_preset_random})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(form->M70->isEnabled());
    EXPECT_FALSE(form->M80->isEnabled());

    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_EQ(form->Timer2->interval(), 5000);
    EXPECT_EQ(form->Timer3->interval(), 10000);
    EXPECT_EQ(Deck(1).Mode(), playback::mpStopped);
    EXPECT_EQ(Deck(2).Mode(), playback::mpStopped);

    const QStringList columns{"Status", "Title", "Artist", "Album", "Year", "Time", "Source", "File"};
    for (TListView* list : {form->ListView_soon, form->ListView_Guest, form->ListView_Guest_Pool,
                            form->ListView_preselect}) {
        EXPECT_EQ(list->Count(), 0);
        EXPECT_EQ(list->model()->columnCount(), 8);
        for (int c = 0; c < 8; ++c) EXPECT_EQ(list->ColumnCaption(c), columns[c]);
        EXPECT_EQ(list->toolTip(), "Click Right");
        EXPECT_EQ(form->findChild<TListView*>(list->objectName()), list);
    }

    EXPECT_EQ(form->windowTitle(), "Quorbel Media Mixer");
    EXPECT_TRUE(form->M99->text().startsWith("Quorbel Media Mixer"));
    EXPECT_TRUE(form->M99->text().contains("V.8"));
    EXPECT_TRUE(form->M99->text().contains("26.05.26"));
    EXPECT_FALSE(form->M99->isEnabled());
    const std::vector<std::pair<QString, QString>> menus = {
        {form->M10->title(), "&File"},          {form->M11->text(), "Add &Audio File To List"},
        {form->M19->text(), "&E&xit"},          {form->M30->title(), "&Settings"},
        {form->M31->text(), "&Player Mode"},    {form->M37->text(), "&Fran\u00e7ais"},
        {form->M38->text(), "&Deutsch"},        {form->M39->text(), "&English"},
        {form->M60->title(), "&Display"},       {form->M61->text(), "&Banner"},
        {form->M62->text(), "Input &Panel"},    {form->M69->text(), "&Log Window"},
        {form->M70->text(), "&Webserver On"},   {form->M80->text(), "W&ebserver Off"},
        {form->M90->title(), "&Info"},          {form->pop0->text(), "&Clear List"},
        {form->pop1->text(), "&Add Sound Files"}, {form->pop2->text(), "&Remove Sound File"},
        {form->pop3->text(), "&Load Playlist"}, {form->pop4->text(), "&Save Playlist"},
        {form->Button_PlayList->text(), "Play &List"}, {form->Button_Pause->text(), "&Pause"},
        {form->Button_Stop->text(), "S&top"},   {form->Button_FF->text(), "F&orward"},
        {form->Button_fadenow->text(), "Fade &out"},
        {form->RadioButton_finish->text(), "Play List Once"},
        {form->RadioButton_restart->text(), "Repeat List"},
        {form->RadioButton_web_first->text(), "Prefer Web"},
        {form->RadioButton_web_mix_preselect->text(), "Mix Web"},
        {form->RadioButton_preset_1by1->text(), "Play In Order"},
        {form->RadioButton_preset_random->text(), "Play At Random"},
        {form->CheckBox_block_latest->text(), "Block Recent Tracks"},
        {form->CheckBox_guest_use->text(), "Allow Remote Requests"},
        {form->CheckBox_preset_use->text(), "Add Preset Tracks"},
        {form->RadioGroup_Repeat->title(), "Queue Play Mode"},
        {form->GroupBox_Guest->title(), "Guest's Requests"},
        {form->GroupBox_Preset->title(), "Pool Of Presets"},
        {form->Label_von1->text(), "of"}, {form->Label_von2->text(), "of"},
        {form->Label_unit1->text(), "min"}, {form->Label_unit2->text(), "min"},
        {form->Label_IP->text(), ""}};
    for (const auto& [actual, expected] : menus) EXPECT_EQ(actual, expected);
    EXPECT_FALSE(form->M69->isVisible());
    EXPECT_TRUE(form->M62->isChecked());
    // The context menu: three commands, a separator, two commands.
    const QList<QAction*> popup = form->PopupMenu1->actions();
    ASSERT_EQ(popup.size(), 6);
    EXPECT_TRUE(popup[3]->isSeparator());
    EXPECT_EQ(popup[2], form->pop2);
    EXPECT_EQ(form->ListView_Guest->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_EQ(form->ListView_soon->contextMenuPolicy(), Qt::CustomContextMenu);

    EXPECT_TRUE(form->RadioButton_finish->isChecked());
    EXPECT_FALSE(form->RadioButton_restart->isChecked());
    EXPECT_TRUE(form->RadioButton_web_first->isChecked());
    EXPECT_TRUE(form->RadioButton_preset_1by1->isChecked());
    EXPECT_FALSE(form->RadioButton_preset_random->isChecked());
    EXPECT_FALSE(form->CheckBox_guest_use->isChecked());
    EXPECT_FALSE(form->CheckBox_block_latest->isChecked());
    EXPECT_EQ(form->TrackBar_fader->value(), 0);
    EXPECT_EQ(form->TrackBar_fader->maximum(), 15);
    EXPECT_TRUE(form->ListBox_Log->isHidden());

    // Display texts in English; str_check waits for a language file.
    EXPECT_EQ(form->Text(u"st_ready"), "ready");
    EXPECT_EQ(form->Text(u"st_chosen"), "chosen");
    EXPECT_EQ(form->Text(u"str_go_on"), "&Go On");
    EXPECT_EQ(form->Text(u"LB_fadeover"), "fadeover");
    EXPECT_EQ(form->Text(u"H26"), "Mediaplayer stopped");
    EXPECT_TRUE(form->Party().Texts().Has(u"str_check"));
    EXPECT_EQ(form->Text(u"str_check"), "");

    ASSERT_NE(form->StatusBar1, nullptr);
    const int widths[4] = {100, 200, 100, 100};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(form->StatusPanels[static_cast<size_t>(i)]->width(), widths[i]);
    EXPECT_GE(form->StatusPanels[4]->minimumWidth(), 50);
    EXPECT_EQ(form->Party().Player().CurIndex(), 0);
    // The other windows exist, hidden, after the main window.
    ASSERT_NE(form->Form2, nullptr);
    ASSERT_NE(form->Form3, nullptr);
    ASSERT_NE(form->Form_InfoBox, nullptr);
    EXPECT_FALSE(form->Form3->isVisible());
    EXPECT_EQ(form->Form3->windowTitle(), "Details Box");
}

TEST_F(MainWindow, FirstShowingSetsTheWebMessage) {
    EXPECT_EQ(form->StatusPanel(1), "");
    form->show();
    EXPECT_EQ(form->StatusPanel(1), "Web configuration missing");
    EXPECT_EQ(form->Party().LanguageCode(), "eng");
    form->Party().ShowInPanel(1, "other");
    form->hide();
    form->show();  // only the first showing
    EXPECT_EQ(form->StatusPanel(1), "other");
}

// The window shows what the party offers and which options are in force, and a click on an option
// reaches the party. Timers run as the party plans them.
TEST_F(MainWindow, ControlsOptionsAndTimersFollowTheParty) {
    const auto shown = [&](const std::string& when) {
        const session::Controls& c = form->Party().ControlStates();
        const std::pair<QWidget*, bool> pairs[] = {
            {form->Button_PlayList, c.playList}, {form->Button_Pause, c.pause}, {form->Button_Stop, c.stop},
            {form->Button_FF, c.forward}, {form->CheckBox_block_latest, c.block}, {form->RadioButton_finish, c.playOnce},
            {form->RadioButton_restart, c.repeat}, {form->CheckBox_guest_use, c.guestUse},
            {form->RadioButton_web_first, c.webFirst}, {form->RadioButton_web_mix_preselect, c.webMix},
            {form->CheckBox_preset_use, c.presetUse}, {form->RadioButton_preset_1by1, c.inOrder},
            {form->RadioButton_preset_random, c.atRandom}};
        for (const auto& [w, on] : pairs) EXPECT_EQ(w->isEnabled(), on) << when << ": " << w->objectName().toStdString();
        EXPECT_EQ(form->M70->isEnabled(), c.webOn) << when;
        EXPECT_EQ(form->Timer2->isActive(), form->Party().Timers().requests) << when;
        EXPECT_EQ(form->Timer3->isActive(), form->Party().Timers().presets) << when;
    };
    shown("at start");
    for (TListView* list : {form->ListView_soon, form->ListView_Guest_Pool, form->ListView_preselect})
        list->List().AppendRow(Row("/m/a.mp3"));
    Run(&TForm1::pop0Click);  // no list under the menu: the controls follow the lists
    shown("lists filled");
    EXPECT_TRUE(form->Button_PlayList->isEnabled());

    // A tick of the guest box reaches the party; a filled pool starts the request timer.
    form->CheckBox_guest_use->setChecked(true);
    EXPECT_TRUE(form->Party().Settings().CB_Guest);
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_TRUE(form->CheckBox_guest_use->font().bold());
    shown("requests allowed");
    // A timer the party keeps on keeps its interval going.
    const int before = form->Timer2->remainingTime();
    form->Party().ShowInPanel(4, "x");
    EXPECT_LE(form->Timer2->remainingTime(), before);

    // A radio button switched on switches its partner off and takes the emphasis; the user cannot
    // switch a selected one off by clicking it again.
    form->CheckBox_preset_use->setChecked(true);
    form->RadioButton_preset_random->setChecked(true);
    EXPECT_FALSE(form->RadioButton_preset_1by1->isChecked());
    EXPECT_TRUE(form->Party().Settings().RB_preset_random && !form->Party().Settings().RB_preset_1by1);
    EXPECT_TRUE(form->RadioButton_preset_random->font().bold());
    EXPECT_FALSE(form->RadioButton_preset_1by1->font().bold());
    form->RadioButton_preset_random->click();
    EXPECT_TRUE(form->RadioButton_preset_random->isChecked());
    shown("presets at random");

    // The header of a pool sorts through the party; the queue's header sorts nothing.
    form->ListView_Guest_Pool->List().AppendRow(Row("/m/b.mp3", "ready", "A title"));
    emit form->ListView_Guest_Pool->header()->sectionClicked(1);
    EXPECT_EQ(Column(form->ListView_Guest_Pool, 1), (QStringList{"A title", "Title /m/a.mp3"}));
    EXPECT_EQ(form->Party().SortColumn(), 1);
    EXPECT_FALSE(form->ListView_soon->header()->sectionsClickable());
}

TEST_F(MainWindow, SelectionPreparesRemove) {
    tracks::TrackList* q = &form->ListView_soon->List();
    q->AppendRows({Row("/a", "ready", "Intro"), Row("/b", "", "Silent"), Row("/c", "soon", "Rock & Roll")});
    q->SelectRow(0);
    EXPECT_TRUE(form->pop2->isEnabled());
    EXPECT_EQ(form->pop2->text(), "&Remove *Intro*");
    q->SelectRow(1);  // empty status
    EXPECT_FALSE(form->pop2->isEnabled());
    q->SelectRow(2);
    EXPECT_TRUE(form->pop2->isEnabled());
    EXPECT_EQ(form->pop2->text(), "&Remove *Rock && Roll*");  // shown as one ampersand

    emit form->ListView_soon->PointerLeft();
    EXPECT_FALSE(form->pop2->isEnabled());

    TListView* pool = form->ListView_Guest_Pool;
    pool->List().AppendRow(Row("/g", "ready", "Guest"));
    pool->List().SelectRow(0);
    EXPECT_TRUE(form->pop2->isEnabled());
    emit pool->PointerEntered();
    EXPECT_FALSE(form->pop2->isEnabled());
    form->ListView_SelectItem(pool, 0);
    emit pool->FocusLost(Qt::PopupFocusReason);  // the context menu opening
    EXPECT_TRUE(form->pop2->isEnabled());
    emit pool->FocusLost(Qt::MouseFocusReason);
    EXPECT_FALSE(form->pop2->isEnabled());

    // The presets and the request list have the same action.
    form->ListView_preselect->List().AppendRow(Row("/p", "blocked", "Preset"));
    form->ListView_preselect->List().SelectRow(0);
    EXPECT_EQ(form->pop2->text(), "&Remove *Preset*");
    form->ListView_Guest->List().AppendRow(Row("/r", "", "Request"));
    form->ListView_Guest->List().SelectRow(0);
    EXPECT_FALSE(form->pop2->isEnabled());
}

TEST_F(MainWindow, ModePanelAndDetailsBoxToggle) {
    form->show();
    QApplication::processEvents();
    const int listWidth = form->ListView_soon->width();
    const QRect panel = form->Panel1->geometry();
    EXPECT_GE(panel.width(), 213);  // wider only where bold captions need it
    EXPECT_EQ(panel.right(), form->centralWidget()->width() - 1);  // on the right edge

    Run(&TForm1::M62Click);
    QApplication::processEvents();
    EXPECT_FALSE(form->M62->isChecked());
    EXPECT_FALSE(form->Panel1->isVisible());
    EXPECT_GE(form->ListView_soon->width(), listWidth + 200);  // the lists take its width

    Run(&TForm1::M62Click);
    QApplication::processEvents();
    EXPECT_TRUE(form->M62->isChecked());
    EXPECT_TRUE(form->Panel1->isVisible());
    EXPECT_EQ(form->Panel1->geometry(), panel);
    EXPECT_EQ(form->ListView_soon->width(), listWidth);

    // A click on the menu item itself toggles once, not twice.
    form->M62->trigger();
    EXPECT_FALSE(form->M62->isChecked());
    EXPECT_TRUE(form->Panel1->isHidden());
    form->M62->trigger();
    EXPECT_TRUE(form->M62->isChecked());

    Run(&TForm1::M69Click);
    EXPECT_TRUE(form->M69->isChecked());
    EXPECT_TRUE(form->Form3->isVisible());
    Run(&TForm1::M69Click);
    EXPECT_FALSE(form->M69->isChecked());
    EXPECT_FALSE(form->Form3->isVisible());
    form->hide();
}

TEST_F(MainWindow, LogAndDetails) {
    form->Party().Notice("Timer 2");
    form->Party().Notice("Reading title list");
    ASSERT_EQ(form->ListBox_Log->count(), 2);
    EXPECT_EQ(form->ListBox_Log->currentRow(), 1);
    EXPECT_TRUE(form->ListBox_Log->item(1)->isSelected());
    EXPECT_EQ(form->StatusPanel(1), "Reading title list");

    form->ListBox_Log->setCurrentRow(0);
    Run(&TForm1::ListBox_LogClick);
    EXPECT_EQ(form->StatusPanel(4), "Timer 2");

    // Lines from the web server's threads arrive on the window's thread, in order.
    std::thread worker([&] {
        form->Party().Host().Lines({"Doppelt oder ung\u00fcltig: \r\nx.mp3"}, {"GET /index.html", "served"});
    });
    worker.join();
    for (int i = 0; i < 1000 && form->ListBox_Log->count() < 4; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    ASSERT_EQ(form->ListBox_Log->count(), 4);
    EXPECT_EQ(form->ListBox_Log->item(3)->text(), "served");
    EXPECT_EQ(form->Form3->Text(), "Doppelt oder ung\u00fcltig: \nx.mp3");

    // A long night: the oldest lines go, the newest stays the selected one.
    form->SetLogLimit(100);
    const int lines = 1000;
    for (int i = 0; i < lines; ++i) form->Party().Notice(QString::number(i));
    const int kept = form->ListBox_Log->count();
    EXPECT_GE(kept, 100);
    EXPECT_LT(kept, 110);
    EXPECT_EQ(form->ListBox_Log->item(kept - 1)->text(), QString::number(lines - 1));
    EXPECT_EQ(form->ListBox_Log->item(0)->text(), QString::number(lines - kept));
    EXPECT_EQ(form->ListBox_Log->currentRow(), kept - 1);
}

// A flood of guests while the window is busy: a worker pushes 20,000 log lines and the window's
// thread takes none meanwhile. What waits for the window stays one bounded batch, added in one
// step with a line that counts the dropped ones, and a select handed over next is answered.
TEST_F(MainWindow, AWorkerFloodingTheLogLeavesTheWindowOneBoundedBatch) {
    QListWidget* log = form->ListBox_Log;
    const int before = log->count();
    int inserts = 0;
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    constexpr int kFlood = 20000;
    std::thread worker([&] {
        for (int i = 0; i < kFlood; ++i) form->Party().Host().Lines({"GET / HTTP/1.0"}, {"index.html " + std::to_string(i)});
    });
    worker.join();
    for (int i = 0; i < 1000 && log->count() == before; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    const int added = log->count() - before;
    ASSERT_GT(added, 1);
    EXPECT_LT(added, 1000) << "the window was left every line to take";
    EXPECT_EQ(inserts, 1) << "lines were added one by one";
    EXPECT_EQ(log->item(before)->text(), "index.html 0");
    const QString last = log->item(log->count() - 1)->text();
    EXPECT_TRUE(last.contains(QString::number(kFlood - (added - 1))) && last.contains("dropped")) << last.toStdString();
    EXPECT_LT(form->Form3->Memo1->blockCount(), 1000);

    bool answered = false;
    std::thread guest([&] { form->Dispatcher().RunBlocking([&] { answered = true; }); });
    for (int i = 0; i < 1000 && !answered; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    guest.join();
    EXPECT_TRUE(answered);
}

// Titles, file names and guest addresses are shown as they stand: a title that reads like
// markup shows its brackets, not a green heading.
TEST_F(MainWindow, DataInLabelsAndMessagesShowsAsPlainText) {
    const QString markup = QStringLiteral("<h1 style=\"color:#00ff00\">Gr\u00fcn</h1>");
    const auto greenPixels = [&](QLabel* label) {
        label->setText(markup);
        label->resize(400, 60);
        const QImage image = label->grab().toImage();
        int green = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                green += c.green() > 200 && c.red() < 80 && c.blue() < 80;
            }
        return green;
    };
    const std::vector<std::pair<const char*, QLabel*>> labels = {
        {"status panel 1 (a chosen title)", form->StatusPanels[1]}, {"status panel 4 (a file)", form->StatusPanels[4]},
        {"server address", form->Label_IP},       {"banner, now", form->Form_InfoBox->Label_Now},
        {"banner, next", form->Form_InfoBox->Label_Next}, {"settings status (a list file)", form->Form2->StatusPanel1},
    };
    for (const auto& [what, label] : labels) EXPECT_EQ(greenPixels(label), 0) << what;

    int inBox = -1;  // a message naming such a file
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        if (auto* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) inBox = greenPixels(text);
        box->accept();
    });
    app::QtUserInterface().ShowError(u"Cannot play " + markup.toStdU16String());
    EXPECT_EQ(inBox, 0);
}

TEST_F(MainWindow, ExitClosesOnlyPlayingDecks) {
    StartDeck(1, "/m/a.mp3");
    StartDeck(2, "/m/b.mp3");
    Deck(2).Pause();
    form->show();
    clock->Commands().clear();
    Run(&TForm1::M19Click);
    EXPECT_TRUE(clock->Commands().contains("1:Close"));
    EXPECT_FALSE(clock->Commands().contains("2:Close"));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, HandlerErrorsShowInABox) {
    // A handler that fails (here: Exit with a deck whose close throws) reports and goes on.
    struct Failing : TTestDeck {
        using TTestDeck::TTestDeck;
        playback::TMPModes Mode() const override { return playback::mpPlaying; }
        void Close() override { throw playback::DeckError("device gone"); }
    };
    auto failing = app::CreateWindows([this] { return std::make_unique<Failing>(clock); });
    failing->M19->trigger();
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0], u"device gone");
}

}  // namespace
