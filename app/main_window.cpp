// The main window's components, their layout and what each of them runs.
#include "app/main_window.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QMenuBar>
#include <QShortcut>
#include <QShowEvent>
#include <csignal>
#include <tuple>

#include "app/desktop_link.h"
#include "app/handler_guard.h"
#include "app/now_playing.h"
#include "app/qt_dispatcher.h"
#include "platform/guard.h"
#include "ui/Dlg_Details.h"
#include "ui/Dlg_Settings.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "ui/qr_window.h"
#include "ui/text_emphasis.h"
#include "web/listener.h"

namespace app {

using session::ListId;
using ui::TListView;

const char* const kTitle = "Quorbel Media Mixer";
const char* const kVersionSuffix = " V.8 - 26.05.26";

namespace {

template <class T>
T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// Titles, file names and addresses reach labels: what they hold is shown as it stands, never
// read as markup.
QLabel* MakeLabel(const char* name, QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QAction* MakeAction(const char* name, QObject* parent, bool checkable = false) {
    auto* action = Named(new QAction(parent), name);
    action->setCheckable(checkable);
    return action;
}

}  // namespace

TForm1::TForm1(playback::DeckFactory decks, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    dispatcher_ = std::make_unique<QtDispatcher>();
    session::Party::Options options;
    options.programFolder = QCoreApplication::applicationDirPath();
    session::PartyView& view = *this;
    party_ = std::make_unique<session::Party>(std::move(decks), *dispatcher_, view, options);
    MediaPlayer1 = &party_->Deck(1);
    MediaPlayer2 = &party_->Deck(2);
    MediaPlayer3 = &party_->Deck(3);
    TcpServer1 = &party_->Listener();
    BuildComponents();
    BuildMenus();
    BuildLayout();
    ConnectHandlers();
    // Creation: the title, the English captions, the hints; the other windows follow.
    const QString title = QString::fromUtf8(kTitle);
    setWindowTitle(title);
    M99->setText(title + QString::fromUtf8(kVersionSuffix));
    M99->setEnabled(false);
    M37->setText(QStringLiteral("&Fran\u00e7ais"));
    M38->setText(QStringLiteral("&Deutsch"));
    M39->setText(QStringLiteral("&English"));
    M69->setVisible(false);
    Label_unit1->setText(QStringLiteral("min"));
    Label_unit2->setText(QStringLiteral("min"));
    Button_fadenow->hide();
    M62->setChecked(true);
    ListBox_Log->hide();
    Form2 = new ui::TForm2(party_->Settings(), &party_->Texts(), this);
    Form_InfoBox = new ui::TForm_InfoBox(this);
    Form3 = new ui::TForm3(this);
    connect(Form_InfoBox, &ui::TForm_InfoBox::Closed, this, [this] { M61->setChecked(false); });
    connect(Form_InfoBox->PopBoxRoom, &QAction::triggered, this, [this] { platform::Guarded([this] { M63Click(); }); });
    M63->setText(RoomMenuCaption(party_->Texts()));
    std::vector<settings::LanguageText> defaults;
    for (const settings::LanguageKey& key : settings::LanguageKeys())
        if (key.use != settings::LanguageUse::DisplayText && key.section != u"HINT")
            defaults.push_back({&key, std::u16string(key.key == u"CB_doblock" ? party_->Texts().Get(key.key) : key.def)});
    ApplyCaptions(defaults);
    for (TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect}) {
        list->setToolTip(QStringLiteral("Click Right"));
        const QStringList columns{"Status", "Title", "Artist", "Album", "Year", "Time", "Source", "File"};
        for (int c = 0; c < 8; ++c) list->SetColumnCaption(c, columns[c]);
    }
    Show(false);
    FitTexts();
}

TForm1::~TForm1() {
    desktop_.reset();
    for (QTimer* t : {Timer1, Timer2, Timer3}) t->stop();
    DropTimerBoxes();
    // Workers waiting for this thread are released; the rest finish before the party goes.
    if (auto* d = dynamic_cast<QtDispatcher*>(dispatcher_.get())) d->Close();
    // The views show the party's lists: they go first.
    delete takeCentralWidget();
    party_.reset();
}

void TForm1::BuildComponents() {
    struct ListMade {
        TListView*& view;
        ListId id;
        ui::ListKind kind;
    };
    for (const ListMade& l : {ListMade{ListView_soon, ListId::Queue, ui::ListKind::Queue},
                              ListMade{ListView_Guest, ListId::Requests, ui::ListKind::GuestRequests},
                              ListMade{ListView_Guest_Pool, ListId::Pool, ui::ListKind::GuestPool},
                              ListMade{ListView_preselect, ListId::Presets, ui::ListKind::Presets}}) {
        tracks::TrackList& list = party_->List(l.id);
        l.view = new TListView(list.objectName(), list);
        ui::ApplyListLook(l.view, l.kind, &party_->Texts());
        l.view->setContextMenuPolicy(l.id == ListId::Requests ? Qt::NoContextMenu : Qt::CustomContextMenu);
    }
    queueDelegate_ = ui::DelegateOf(ListView_soon);
    // The queue's rows tell their loudness where the pointer rests, outside the columns.
    ListView_soon->Model()->SetToolTips(
        [party = party_.get()](const tracks::TrackRow& row) { return party->LoudnessText(row.FileName); });

    for (auto [timer, name, ms] : {std::tuple{&Timer1, "Timer1", 1000}, std::tuple{&Timer2, "Timer2", 5000},
                                   std::tuple{&Timer3, "Timer3", 10000}}) {
        *timer = Named(new QTimer(this), name);
        (*timer)->setInterval(ms);
    }
    Label_IP = MakeLabel("Label_IP", this);
    ui::SetTextEmphasis(Label_IP, QColor(128, 0, 128), true);  // purple
    Label_IP->setCursor(Qt::WhatsThisCursor);  // the help cursor: the hint names the address
    Label_IP->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (auto [button, name] : {std::pair{&Button_PlayList, "Button_PlayList"}, std::pair{&Button_Pause, "Button_Pause"},
                                std::pair{&Button_Stop, "Button_Stop"}, std::pair{&Button_FF, "Button_FF"},
                                std::pair{&Button_fadenow, "Button_fadenow"}})
        *button = Named(new QPushButton(this), name);
    Panel1 = new ui::ModePanel(this);
    RadioGroup_Repeat = Panel1->RadioGroup_Repeat;
    CheckBox_block_latest = Panel1->CheckBox_block_latest;
    RadioButton_finish = Panel1->RadioButton_finish;
    RadioButton_restart = Panel1->RadioButton_restart;
    TrackBar_fader = Panel1->TrackBar_fader;
    Label_fadesec = Panel1->Label_fadesec;
    GroupBox_Guest = Panel1->GroupBox_Guest;
    CheckBox_guest_use = Panel1->CheckBox_guest_use;
    RadioButton_web_first = Panel1->RadioButton_web_first;
    RadioButton_web_mix_preselect = Panel1->RadioButton_web_mix_preselect;
    GroupBox_Preset = Panel1->GroupBox_Preset;
    CheckBox_preset_use = Panel1->CheckBox_preset_use;
    RadioButton_preset_1by1 = Panel1->RadioButton_preset_1by1;
    RadioButton_preset_random = Panel1->RadioButton_preset_random;
    ListBox_Log = Panel1->ListBox_Log;
    for (auto [label, name] : {std::pair{&Label_Pos1, "Label_Pos1"}, std::pair{&Label_von1, "Label_von1"},
                               std::pair{&Label_Length1, "Label_Length1"}, std::pair{&Label_unit1, "Label_unit1"},
                               std::pair{&Label_Pos2, "Label_Pos2"}, std::pair{&Label_von2, "Label_von2"},
                               std::pair{&Label_Length2, "Label_Length2"}, std::pair{&Label_unit2, "Label_unit2"}})
        *label = MakeLabel(name, this);
    ProgressBar1 = Named(new QProgressBar(this), "ProgressBar1");
    ProgressBar2 = Named(new QProgressBar(this), "ProgressBar2");
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setTextVisible(false);
    }
    StatusBar1 = Named(statusBar(), "StatusBar1");
    StatusPanels = ui::MakeStatusPanels(StatusBar1);
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    // A null item is a separator; the Settings language items and the Display items are checkable.
    struct Item {
        QAction** action;
        const char* name;
        bool checkable = false;
    };
    const auto menu = [&](QMenu*& m, const char* name, std::initializer_list<Item> items) {
        m = Named(name[0] == 'P' ? new QMenu(this) : bar->addMenu(QString()), name);  // PopupMenu1 is no bar menu
        for (const Item& i : items) {
            if (!i.action) m->addSeparator();
            else m->addAction(*i.action = MakeAction(i.name, this, i.checkable));
        }
    };
    menu(M10, "M10", {{&M11, "M11"}, {nullptr, ""}, {&M19, "M19"}});
    menu(M30, "M30", {{&M31, "M31"}, {nullptr, ""}, {&M37, "M37", true}, {&M38, "M38", true}, {&M39, "M39", true}});
    menu(M60, "M60", {{&M61, "M61", true}, {&M62, "M62", true}, {&M69, "M69", true}, {nullptr, ""}, {&M63, "M63"}});
    bar->addAction(M70 = MakeAction("M70", this, true));
    bar->addAction(M80 = MakeAction("M80", this, true));
    menu(M90, "M90", {{&M99, "M99"}});
    menu(PopupMenu1, "PopupMenu1",
         {{&pop0, "pop0"}, {&pop1, "pop1"}, {&pop2, "pop2"}, {nullptr, ""}, {&pop3, "pop3"}, {&pop4, "pop4"}});
}

void TForm1::BuildLayout() {
    setCentralWidget(ui::LayOutMainWindow(
        {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect,
         {{{Label_Pos1, Label_von1, Label_Length1, Label_unit1}, {Label_Pos2, Label_von2, Label_Length2, Label_unit2}}},
         {ProgressBar1, ProgressBar2},
         {Button_PlayList, Button_Pause, Button_Stop, Button_FF, Button_fadenow},
         Label_IP,
         Panel1}));
    resize(1000, 720);
}

void TForm1::ConnectHandlers() {
    const auto run = [this](void (TForm1::*h)()) { return Guard([this, h] { (this->*h)(); }); };
    for (auto [b, h] : {std::pair{Button_PlayList, &TForm1::Button_PlayListClick},
                        std::pair{Button_Pause, &TForm1::Button_PauseClick}, std::pair{Button_Stop, &TForm1::Button_StopClick},
                        std::pair{Button_FF, &TForm1::Button_FFClick}})
        connect(b, &QPushButton::clicked, this, run(h));
    for (auto [t, h] : {std::pair{Timer1, &TForm1::Timer1Timer}, std::pair{Timer2, &TForm1::Timer2Timer},
                        std::pair{Timer3, &TForm1::Timer3Timer}})
        connect(t, &QTimer::timeout, this, TimerGuard(this, [this, h = h] { (this->*h)(); }));
    connect(TrackBar_fader, &QSlider::valueChanged, this, run(&TForm1::TrackBar_faderChange));
    // Check boxes run their action on every change by hand; the window's own showing of the
    // party's options changes them with their signals blocked.
    for (auto [box, h] : {std::pair{CheckBox_block_latest, &TForm1::CheckBox_block_latestClick},
                          std::pair{CheckBox_guest_use, &TForm1::CheckBox_guest_useClick},
                          std::pair{CheckBox_preset_use, &TForm1::CheckBox_preset_useClick}})
        connect(box, &QCheckBox::toggled, this, run(h));
    // A radio button runs its action when it becomes checked.
    for (auto [rb, h] : {std::pair{RadioButton_finish, &TForm1::RadioButton_finishClick},
                         std::pair{RadioButton_restart, &TForm1::RadioButton_restartClick},
                         std::pair{RadioButton_web_first, &TForm1::RadioButton_web_firstClick},
                         std::pair{RadioButton_web_mix_preselect, &TForm1::RadioButton_web_mix_preselectClick},
                         std::pair{RadioButton_preset_1by1, &TForm1::RadioButton_preset_1by1Click},
                         std::pair{RadioButton_preset_random, &TForm1::RadioButton_preset_randomClick}})
        connect(rb, &QRadioButton::toggled, this, [this, h = h](bool on) {
            if (on) platform::Guarded([this, h] { (this->*h)(); });
        });
    for (auto [a, h] : {std::pair{M11, &TForm1::M11Click}, std::pair{M19, &TForm1::M19Click},
                        std::pair{M31, &TForm1::M31Click}, std::pair{M37, &TForm1::M37Click},
                        std::pair{M38, &TForm1::M38Click}, std::pair{M39, &TForm1::M39Click},
                        std::pair{M61, &TForm1::M61Click}, std::pair{M62, &TForm1::M62Click},
                        std::pair{M69, &TForm1::M69Click}, std::pair{M63, &TForm1::M63Click},
                        std::pair{M70, &TForm1::M70Click},
                        std::pair{M80, &TForm1::M80Click}, std::pair{pop0, &TForm1::pop0Click},
                        std::pair{pop1, &TForm1::pop1Click}, std::pair{pop2, &TForm1::pop2Click},
                        std::pair{pop3, &TForm1::pop3Click}, std::pair{pop4, &TForm1::pop4Click}})
        connect(a, &QAction::triggered, this, [this, a = a, h = h](bool checked) {
            // The handler itself decides the check mark, reading it as it was before the click.
            if (a->isCheckable()) a->setChecked(!checked);
            platform::Guarded([this, h] { (this->*h)(); });
        });
    ui::OnClick(Label_IP, [this] { platform::Guarded([this] { Label_IPClick(); }); });
    connect(ListBox_Log, &QListWidget::itemClicked, this, run(&TForm1::ListBox_LogClick));

    for (TListView* list : {ListView_soon, ListView_Guest_Pool, ListView_preselect}) {
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) { ShowPopup(list, pos); });
        // Shift+F10 opens the context menu as the Menu key does: not every keyboard has that key.
        auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), list, nullptr, nullptr, Qt::WidgetShortcut);
        connect(key, &QShortcut::activated, this, [this, list] {
            const QRect row = list->visualRect(list->currentIndex());
            ShowPopup(list, row.isValid() ? row.bottomLeft() : QPoint(0, 0));
        });
    }
    for (TListView* list : {ListView_Guest_Pool, ListView_preselect})
        connect(list->header(), &QHeaderView::sectionClicked, this,
                [this, list](int column) { platform::Guarded([&] { ListView_ColumnClick(list, column); }); });
    for (TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect}) {
        // The row that lost the selection first, then the one that gained it.
        connect(&list->List(), &tracks::TrackList::SelectionChanged, this, [this, list](int previous, int current) {
            for (int row : {previous, current})
                if (row >= 0) platform::Guarded([&] { ListView_SelectItem(list, row); });
        });
    }
    connect(ListView_soon, &TListView::PointerLeft, this, [this] { DisablePop2(); });
    connect(ListView_Guest_Pool, &TListView::PointerEntered, this, [this] { DisablePop2(); });
    connect(ListView_Guest_Pool, &TListView::PointerLeft, this, [this] { DisablePop2(); });
    connect(ListView_Guest_Pool, &TListView::FocusLost, this, [this](Qt::FocusReason reason) {
        if (reason != Qt::PopupFocusReason) DisablePop2();
    });
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_ || event->spontaneous()) return;
    shownOnce_ = true;
    platform::Guarded([this] { FormShow(); });
}

void TForm1::ShowPopup(TListView* list, const QPoint& pos) {
    PopupList = list;
    PopupMenu1->popup(list->viewport()->mapToGlobal(pos));
}

void TForm1::DisablePop2() {
    // Opening the context menu takes the pointer off the list; that is not a leave.
    if (QApplication::activePopupWidget()) return;
    pop2->setEnabled(false);
}

ListId TForm1::IdOf(const TListView* list) const {
    return list == ListView_Guest ? ListId::Requests
           : list == ListView_Guest_Pool ? ListId::Pool
           : list == ListView_preselect  ? ListId::Presets
                                         : ListId::Queue;
}

void SetUpApplication() {
    // A file size limit (a quota) would kill the program at the first write past it; ignored,
    // the write fails and the save reports it like any other write error.
    std::signal(SIGXFSZ, SIG_IGN);
    // A fixed name, whatever the executable is called. No display name: the platform would append
    // it to the title of every other window ("Details Box — ..."), and the main window carries the
    // program's title itself.
    QApplication::setApplicationName(QStringLiteral("quorbel-media-mixer"));
}

std::unique_ptr<TForm1> CreateWindows(playback::DeckFactory decks) {
    return std::make_unique<TForm1>(std::move(decks));
}

}  // namespace app
