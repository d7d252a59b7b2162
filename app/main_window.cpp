#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStyleOptionButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <deque>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/qt_dispatcher.h"
#include "app/queue_link.h"
#include "app/web_bridge.h"
#include "platform/guard.h"
#include "platform/user_interface.h"
#include "ui/Dlg_Settings.h"
#include "tracks/list_ops.h"
#include "tracks/track_adder.h"
#include "ui/Dlg_Details.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "ui/qr_window.h"
#include "ui/text_emphasis.h"
#include "ui/track_list_view.h"
#include "web/listener.h"

namespace app {

using playback::AudioDeck;
using tracks::TListView;

const char* const kTitle = "Quorbel Media Mixer";
const char* const kVersionSuffix = " V.8 - 26.05.26";

namespace {

using tracks::siTitle;

// Every handler runs through the guard: an error shows in a box and the program goes on.
template <class F>
auto Guard(F handler) {
    return [handler]() { platform::Guarded(handler); };
}

// Boxes raised in timer steps, waiting to be shown one after the other.
struct TimerBoxes {
    std::deque<platform::DeferredMessage> waiting;
    bool showing = false;
};

TimerBoxes& PendingTimerBoxes() {
    static TimerBoxes boxes;
    return boxes;
}

void ShowTimerBoxes() {
    TimerBoxes& boxes = PendingTimerBoxes();
    // One at a time: a box opened inside another's wait could not be answered first, and boxes
    // that pile up for hours would deepen the stack each time.
    if (boxes.showing) return;
    boxes.showing = true;
    while (!boxes.waiting.empty()) {
        const platform::DeferredMessage next = boxes.waiting.front();
        boxes.waiting.pop_front();
        platform::Guarded([&] { next.Show(); });
    }
    boxes.showing = false;
}

// A timer step's boxes are shown once the step has returned, from the event loop: a box open
// inside the step would hold its timer, and the queue would stop while it waits for the user.
template <class F>
auto TimerGuard(QObject* context, F handler) {
    return [context, handler]() {
        std::vector<platform::DeferredMessage> boxes;
        {
            platform::DeferredMessages defer;
            platform::Guarded(handler);
            boxes = defer.Take();
        }
        TimerBoxes& pending = PendingTimerBoxes();
        bool added = false;
        for (platform::DeferredMessage& m : boxes) {
            // The same message again while it still waits (a fault met at every tick) adds nothing.
            if (std::find(pending.waiting.begin(), pending.waiting.end(), m) != pending.waiting.end()) continue;
            pending.waiting.push_back(std::move(m));
            added = true;
        }
        if (added) QMetaObject::invokeMethod(context, &ShowTimerBoxes, Qt::QueuedConnection);
    };
}

// A Display menu item: its check mark says whether its window or panel is shown.
void ToggleShown(QAction* item, QWidget* shown) {
    const bool show = !item->isChecked();
    shown->setVisible(show);
    item->setChecked(show);
}

// The mode panel shows a chosen option in bold: its room is kept for the bold caption, so the
// panel neither cuts a caption nor changes width as options are chosen.
template <class Button>
class BoldRoom : public Button {
public:
    using Button::Button;
    // Measured as the button measures itself, with the bold letters; its minimum size hint asks
    // this one.
    QSize sizeHint() const override {
        constexpr bool box = std::is_same_v<Button, QCheckBox>;
        QStyleOptionButton option;
        this->initStyleOption(&option);
        QFont bold = this->font();
        bold.setBold(true);
        const QSize text = QFontMetrics(bold).size(Qt::TextShowMnemonic, this->text());
        const QStyle* style = this->style();
        const int indicator = style->pixelMetric(box ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth,
                                                 &option, this);
        const int indicatorHeight = style->pixelMetric(
            box ? QStyle::PM_IndicatorHeight : QStyle::PM_ExclusiveIndicatorHeight, &option, this);
        const int spacing = style->pixelMetric(
            box ? QStyle::PM_CheckBoxLabelSpacing : QStyle::PM_RadioButtonLabelSpacing, &option, this);
        const QSize contents(text.width() + indicator + spacing, std::max(text.height(), indicatorHeight));
        return style->sizeFromContents(box ? QStyle::CT_CheckBox : QStyle::CT_RadioButton, &option, contents, this);
    }
};

using TCheckBox = BoldRoom<QCheckBox>;

// A radio button the user can only switch on; its partner is switched off in code, so both
// members of a pair may also read unchecked (as a settings file can leave them).
class TRadioButton : public BoldRoom<QRadioButton> {
public:
    using BoldRoom<QRadioButton>::BoldRoom;

protected:
    void nextCheckState() override {
        if (!isChecked()) setChecked(true);
    }
};

const std::vector<std::pair<std::u16string, std::u16string>>& DefaultTexts() {
    static const std::vector<std::pair<std::u16string, std::u16string>> texts = {
        {u"st_ready", u"ready"},
        {u"st_blocked", u"blocked"},
        {u"st_played", u"played"},
        {u"st_running", u"running"},
        {u"st_error", u"error"},
        {u"st_soon", u"soon"},
        {u"st_next", u"next"},
        {u"st_chosen", u"chosen"},
        {u"st_limit", u"too many requests"},
        {u"str_pause", u"&Pause"},
        {u"str_go_on", u"&Go On"},
        {u"str_file", u"File"},
        {u"str_coming_up", u"Coming up"},
        {u"str_check", u""},
        {u"str_forward", u"F&orward"},
        {u"str_of", u"of"},
        {u"LB_fadeover", u"fadeover"},
        {u"LB_fadeunit", u"sec"},
        {u"CB_doblock", u"Block Recent Tracks"},
        {u"str_seconds", u"Seconds"},
        {u"str_tracks", u"Tracks"},
        {u"str_font", u"Font"},
        {u"str_Color", u"Colour"},
        {u"str_big", u"Big"},
        {u"str_normal", u"Normal"},
        {u"str_small", u"Small"},
        {u"str_black", u"Black"},
        {u"str_blue", u"Blue"},
        {u"str_red", u"Red"},
        {u"str_white", u"White"},
        {u"str_qr_code", u"QR code"},
        {u"str_join", u"Join the party"},
        {u"str_remove", u"&Remove"},
        {u"H21", u"Web configuration missing"},
        {u"H22", u"Web server configuration ready"},
        {u"H23", u"Web server running..."},
        {u"H24", u"Web server stopped"},
        {u"H25", u"Media is playing"},
        {u"H26", u"Mediaplayer stopped"},
        {u"H27", u"'%s' is not a valid integer value"},
        {u"web_take", u"Request this track"},
        {u"web_medium", u"Album"},
        {u"web_choice", u"Your request:"},
        {u"web_recent", u"recently played"},
        {u"web_already", u"already chosen"},
        {u"web_why_chosen", u"Another guest has asked for this track already; it plays soon."},
        {u"web_why_yours", u"Your request for this track is waiting already; it plays soon."},
        {u"web_why_blocked", u"This track is in the queue or has just been played."},
        {u"web_why_error", u"This track cannot be requested."},
        {u"web_why_limit", u"You have as many requests waiting as a guest may; ask again once one has played."},
    };
    return texts;
}

constexpr int kMessagePanelWidth = 200;  // status panel 1, at least

// Titles, file names and addresses reach labels: what they hold is shown as it stands, never
// read as markup.
QLabel* MakeLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QAction* MakeAction(const char* name, QObject* parent, bool checkable = false) {
    auto* action = new QAction(parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    return action;
}

}  // namespace

// ---------------------------------------------------------------- creation

TForm1::TForm1(playback::DeckFactory decks, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    MediaPlayer1 = decks();
    MediaPlayer2 = decks();
    MediaPlayer3 = playback::MakeProbeDeckFor(decks);  // it only measures lengths
    playerLink_ = std::make_unique<QueueLink>(*this);
    Player = std::make_unique<playback::QueuePlayer>(*MediaPlayer1, *MediaPlayer2, *playerLink_, *playerLink_);
    Dispatcher = std::make_unique<QtDispatcher>();
    Bridge = std::make_unique<WebBridge>(*this, *Dispatcher);
    TcpServer1 = std::make_unique<web::Listener>(*Bridge, *Dispatcher);
    BuildComponents();
    BuildMenus();
    BuildLayout();
    ConnectHandlers();
    FormCreate();
    // The other windows follow the main window's creation step, which does not reach them.
    Form2 = new ui::TForm2(SetRec, &Texts, this);
    Form_InfoBox = new ui::TForm_InfoBox(this);
    Form3 = new ui::TForm3(this);
    connect(Form_InfoBox, &ui::TForm_InfoBox::Closed, this, [this] { M61->setChecked(false); });
    FitTexts();
}

TForm1::~TForm1() {
    for (QTimer* t : {Timer1, Timer2, Timer3})
        if (t) t->stop();
    // Boxes of this window's timer steps that it can no longer show.
    PendingTimerBoxes().waiting.clear();
    // The lists go after this part of the window; their last rows must not call back into it.
    for (const TListView* list : {ListView_soon, ListView_Guest}) disconnect(&list->List(), nullptr, this, nullptr);
    FormDestroy();
    if (auto* d = dynamic_cast<QtDispatcher*>(Dispatcher.get())) d->Close();
    // Workers waiting for this thread were released above; the rest finish before the widgets go.
    TcpServer1.reset();
}

void TForm1::BuildComponents() {
    ListView_soon = new TListView(QStringLiteral("ListView_soon"));
    ListView_Guest = new TListView(QStringLiteral("ListView_Guest"));
    ListView_Guest_Pool = new TListView(QStringLiteral("ListView_Guest_Pool"));
    ListView_preselect = new TListView(QStringLiteral("ListView_preselect"));
    ui::ApplyListLook(ListView_soon, ui::ListKind::Queue, &Texts);
    ui::ApplyListLook(ListView_Guest, ui::ListKind::GuestRequests, &Texts);
    ui::ApplyListLook(ListView_Guest_Pool, ui::ListKind::GuestPool, &Texts);
    ui::ApplyListLook(ListView_preselect, ui::ListKind::Presets, &Texts);
    queueDelegate_ = ui::DelegateOf(ListView_soon);
    for (TListView* list : {ListView_soon, ListView_Guest_Pool, ListView_preselect})
        list->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView_Guest->setContextMenuPolicy(Qt::NoContextMenu);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer3 = Named(new QTimer(this), "Timer3");
    Timer1->setInterval(1000);
    Timer2->setInterval(5000);
    Timer3->setInterval(10000);

    Label_IP = MakeLabel("Label_IP", this);
    {
        ui::SetTextEmphasis(Label_IP, QColor(128, 0, 128), true);  // purple
        Label_IP->setCursor(Qt::WhatsThisCursor);  // the help cursor: the hint names the address
        Label_IP->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    Button_PlayList = Named(new QPushButton(this), "Button_PlayList");
    Button_Pause = Named(new QPushButton(this), "Button_Pause");
    Button_Stop = Named(new QPushButton(this), "Button_Stop");
    Button_FF = Named(new QPushButton(this), "Button_FF");
    Button_fadenow = Named(new QPushButton(this), "Button_fadenow");
    Button_fadenow->hide();

    auto* panelFrame = Named(new QFrame(this), "Panel1");
    panelFrame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    Panel1 = panelFrame;
    RadioGroup_Repeat = Named(new QGroupBox(Panel1), "RadioGroup_Repeat");
    CheckBox_block_latest = Named<QCheckBox>(new TCheckBox(RadioGroup_Repeat), "CheckBox_block_latest");
    RadioButton_finish = Named<QRadioButton>(new TRadioButton(RadioGroup_Repeat), "RadioButton_finish");
    RadioButton_restart = Named<QRadioButton>(new TRadioButton(RadioGroup_Repeat), "RadioButton_restart");
    TrackBar_fader = Named(new QSlider(Qt::Horizontal, Panel1), "TrackBar_fader");
    TrackBar_fader->setRange(0, 15);
    TrackBar_fader->setPageStep(1);
    TrackBar_fader->setTickPosition(QSlider::TicksBelow);
    TrackBar_fader->setTickInterval(1);
    Label_fadesec = MakeLabel("Label_fadesec", Panel1);
    Label_fadesec->setText(QStringLiteral(" 0 sec fadeover"));
    GroupBox_Guest = Named(new QGroupBox(Panel1), "GroupBox_Guest");
    CheckBox_guest_use = Named<QCheckBox>(new TCheckBox(GroupBox_Guest), "CheckBox_guest_use");
    RadioButton_web_first = Named<QRadioButton>(new TRadioButton(GroupBox_Guest), "RadioButton_web_first");
    RadioButton_web_mix_preselect =
        Named<QRadioButton>(new TRadioButton(GroupBox_Guest), "RadioButton_web_mix_preselect");
    GroupBox_Preset = Named(new QGroupBox(Panel1), "GroupBox_Preset");
    CheckBox_preset_use = Named<QCheckBox>(new TCheckBox(GroupBox_Preset), "CheckBox_preset_use");
    RadioButton_preset_1by1 = Named<QRadioButton>(new TRadioButton(GroupBox_Preset), "RadioButton_preset_1by1");
    RadioButton_preset_random =
        Named<QRadioButton>(new TRadioButton(GroupBox_Preset), "RadioButton_preset_random");
    for (QRadioButton* rb : {RadioButton_finish, RadioButton_restart, RadioButton_web_first,
                             RadioButton_web_mix_preselect, RadioButton_preset_1by1, RadioButton_preset_random})
        rb->setAutoExclusive(false);
    ListBox_Log = Named(new QListWidget(Panel1), "ListBox_Log");
    // One line per item: without this every added line measures all earlier ones, and a party's
    // worth of request lines makes each new one cost milliseconds on the user-interface thread.
    ListBox_Log->setUniformItemSizes(true);

    Label_Pos1 = MakeLabel("Label_Pos1", this);
    Label_von1 = MakeLabel("Label_von1", this);
    Label_Length1 = MakeLabel("Label_Length1", this);
    Label_unit1 = MakeLabel("Label_unit1", this);
    Label_Pos2 = MakeLabel("Label_Pos2", this);
    Label_von2 = MakeLabel("Label_von2", this);
    Label_Length2 = MakeLabel("Label_Length2", this);
    Label_unit2 = MakeLabel("Label_unit2", this);
    ProgressBar1 = Named(new QProgressBar(this), "ProgressBar1");
    ProgressBar2 = Named(new QProgressBar(this), "ProgressBar2");
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    const int widths[5] = {100, kMessagePanelWidth, 100, 100, 50};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The last panel takes what is left, like the last panel of a status bar should.
        if (i < 4)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        StatusBar1->addWidget(panel, i < 4 ? 0 : 1);
        StatusPanels[static_cast<size_t>(i)] = panel;
    }
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    M10 = Named(bar->addMenu(QString()), "M10");
    M11 = MakeAction("M11", this);
    M19 = MakeAction("M19", this);
    M10->addAction(M11);
    M10->addSeparator();
    M10->addAction(M19);

    M30 = Named(bar->addMenu(QString()), "M30");
    M31 = MakeAction("M31", this);
    M37 = MakeAction("M37", this, true);
    M38 = MakeAction("M38", this, true);
    M39 = MakeAction("M39", this, true);
    M30->addAction(M31);
    M30->addSeparator();
    M30->addActions({M37, M38, M39});

    M60 = Named(bar->addMenu(QString()), "M60");
    M61 = MakeAction("M61", this, true);
    M62 = MakeAction("M62", this, true);
    M69 = MakeAction("M69", this, true);
    M60->addActions({M61, M62, M69});

    M70 = MakeAction("M70", this, true);
    M80 = MakeAction("M80", this, true);
    bar->addAction(M70);
    bar->addAction(M80);

    M90 = Named(bar->addMenu(QString()), "M90");
    M99 = MakeAction("M99", this);
    M90->addAction(M99);

    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    pop0 = MakeAction("pop0", this);
    pop1 = MakeAction("pop1", this);
    pop2 = MakeAction("pop2", this);
    pop3 = MakeAction("pop3", this);
    pop4 = MakeAction("pop4", this);
    PopupMenu1->addActions({pop0, pop1, pop2});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({pop3, pop4});
}

void TForm1::BuildLayout() {
    // Queue with the position display and the transport buttons below it.
    auto* queueArea = new QWidget;
    queueArea->setMinimumSize(500, 140);
    auto* queueBox = new QVBoxLayout(queueArea);
    queueBox->setContentsMargins(0, 0, 0, 2);
    queueBox->setSpacing(2);
    queueBox->addWidget(ListView_soon, 1);

    auto* positions = new QGridLayout;
    positions->setContentsMargins(4, 0, 4, 0);
    QLabel* row1[] = {Label_Pos1, Label_von1, Label_Length1, Label_unit1};
    QLabel* row2[] = {Label_Pos2, Label_von2, Label_Length2, Label_unit2};
    for (int c = 0; c < 4; ++c) {
        positions->addWidget(row1[c], 0, c);
        positions->addWidget(row2[c], 1, c);
        row1[c]->setMinimumWidth(c == 1 || c == 3 ? 30 : 45);
        row2[c]->setMinimumWidth(c == 1 || c == 3 ? 30 : 45);
    }
    positions->addWidget(ProgressBar1, 0, 4);
    positions->addWidget(ProgressBar2, 1, 4);
    positions->setColumnStretch(4, 1);
    queueBox->addLayout(positions);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 0, 4, 0);
    for (QPushButton* b : {Button_PlayList, Button_Pause, Button_Stop, Button_FF, Button_fadenow})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(Label_IP);
    queueBox->addLayout(buttons);

    guestSplitter_ = Named(new QSplitter(Qt::Horizontal), "Splitter_Guest");
    guestSplitter_->addWidget(ListView_Guest);
    guestSplitter_->addWidget(ListView_Guest_Pool);
    guestSplitter_->setStretchFactor(0, 1);
    guestSplitter_->setStretchFactor(1, 0);
    guestSplitter_->setChildrenCollapsible(false);
    guestSplitter_->setMinimumHeight(140);
    guestSplitter_->setSizes({500, 307});

    ListView_preselect->setMinimumHeight(140);

    mainSplitter_ = Named(new QSplitter(Qt::Vertical), "Splitter_Main");
    mainSplitter_->addWidget(queueArea);
    mainSplitter_->addWidget(guestSplitter_);
    mainSplitter_->addWidget(ListView_preselect);
    mainSplitter_->setHandleWidth(5);
    mainSplitter_->setStyleSheet(QStringLiteral("QSplitter#Splitter_Main::handle { background: rgb(128, 0, 128); }"));
    mainSplitter_->setChildrenCollapsible(false);
    mainSplitter_->setStretchFactor(0, 1);
    mainSplitter_->setStretchFactor(1, 0);
    mainSplitter_->setStretchFactor(2, 0);
    mainSplitter_->setSizes({300, 200, 159});

    // Mode panel on the right; the log sits at its bottom.
    // At least its usual width; wider when a language's captions need it.
    Panel1->setMinimumWidth(213);
    Panel1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* panelBox = new QVBoxLayout(Panel1);
    panelBox->setContentsMargins(4, 4, 4, 4);
    auto* repeatBox = new QVBoxLayout(RadioGroup_Repeat);
    repeatBox->addWidget(CheckBox_block_latest);
    repeatBox->addWidget(RadioButton_finish);
    repeatBox->addWidget(RadioButton_restart);
    panelBox->addWidget(RadioGroup_Repeat);
    panelBox->addWidget(TrackBar_fader);
    panelBox->addWidget(Label_fadesec);
    auto* guestBox = new QVBoxLayout(GroupBox_Guest);
    guestBox->addWidget(CheckBox_guest_use);
    guestBox->addWidget(RadioButton_web_first);
    guestBox->addWidget(RadioButton_web_mix_preselect);
    panelBox->addWidget(GroupBox_Guest);
    auto* presetBox = new QVBoxLayout(GroupBox_Preset);
    presetBox->addWidget(CheckBox_preset_use);
    presetBox->addWidget(RadioButton_preset_1by1);
    presetBox->addWidget(RadioButton_preset_random);
    panelBox->addWidget(GroupBox_Preset);
    panelBox->addStretch(1);
    panelBox->addWidget(ListBox_Log, 1);

    auto* central = new QWidget;
    auto* centralBox = new QHBoxLayout(central);
    centralBox->setContentsMargins(0, 0, 0, 0);
    centralBox->setSpacing(0);
    centralBox->addWidget(mainSplitter_, 1);
    centralBox->addWidget(Panel1);
    setCentralWidget(central);
    resize(1000, 720);
}

void TForm1::ConnectHandlers() {
    auto onClick = [this](QPushButton* b, void (TForm1::*h)()) {
        connect(b, &QPushButton::clicked, this, Guard([this, h] { (this->*h)(); }));
    };
    onClick(Button_PlayList, &TForm1::Button_PlayListClick);
    onClick(Button_Pause, &TForm1::Button_PauseClick);
    onClick(Button_Stop, &TForm1::Button_StopClick);
    onClick(Button_FF, &TForm1::Button_FFClick);

    connect(Timer1, &QTimer::timeout, this, TimerGuard(this, [this] { Timer1Timer(); }));
    connect(Timer2, &QTimer::timeout, this, TimerGuard(this, [this] { Timer2Timer(); }));
    connect(Timer3, &QTimer::timeout, this, TimerGuard(this, [this] { Timer3Timer(); }));
    connect(TrackBar_fader, &QSlider::valueChanged, this, Guard([this] { TrackBar_faderChange(); }));

    // Check boxes run their action on every change, by hand or by code.
    auto onToggle = [this](QCheckBox* box, void (TForm1::*h)()) {
        connect(box, &QCheckBox::toggled, this, Guard([this, h] { (this->*h)(); }));
    };
    onToggle(CheckBox_block_latest, &TForm1::CheckBox_block_latestClick);
    onToggle(CheckBox_guest_use, &TForm1::CheckBox_guest_useClick);
    onToggle(CheckBox_preset_use, &TForm1::CheckBox_preset_useClick);

    // A radio button runs its action when it becomes checked, after its partner went off.
    auto onSelect = [this](QRadioButton* rb, QRadioButton* partner, void (TForm1::*h)()) {
        connect(rb, &QRadioButton::toggled, this, [this, partner, h](bool on) {
            if (!on) return;
            partner->setChecked(false);
            platform::Guarded([this, h] { (this->*h)(); });
        });
    };
    onSelect(RadioButton_finish, RadioButton_restart, &TForm1::RadioButton_finishClick);
    onSelect(RadioButton_restart, RadioButton_finish, &TForm1::RadioButton_restartClick);
    onSelect(RadioButton_web_first, RadioButton_web_mix_preselect, &TForm1::RadioButton_web_firstClick);
    onSelect(RadioButton_web_mix_preselect, RadioButton_web_first, &TForm1::RadioButton_web_mix_preselectClick);
    onSelect(RadioButton_preset_1by1, RadioButton_preset_random, &TForm1::RadioButton_preset_1by1Click);
    onSelect(RadioButton_preset_random, RadioButton_preset_1by1, &TForm1::RadioButton_preset_randomClick);

    auto onMenu = [this](QAction* a, void (TForm1::*h)()) {
        connect(a, &QAction::triggered, this, [this, a, h](bool checked) {
            // The handler itself decides the check mark, reading it as it was before the click.
            if (a->isCheckable()) a->setChecked(!checked);
            platform::Guarded([this, h] { (this->*h)(); });
        });
    };
    onMenu(M11, &TForm1::M11Click);
    onMenu(M19, &TForm1::M19Click);
    onMenu(M31, &TForm1::M31Click);
    onMenu(M37, &TForm1::M37Click);
    onMenu(M38, &TForm1::M38Click);
    onMenu(M39, &TForm1::M39Click);
    onMenu(M61, &TForm1::M61Click);
    onMenu(M62, &TForm1::M62Click);
    onMenu(M69, &TForm1::M69Click);
    onMenu(M70, &TForm1::M70Click);
    onMenu(M80, &TForm1::M80Click);
    ui::OnClick(Label_IP, [this] { platform::Guarded([this] { Label_IPClick(); }); });
    onMenu(pop0, &TForm1::pop0Click);
    onMenu(pop1, &TForm1::pop1Click);
    onMenu(pop2, &TForm1::pop2Click);
    onMenu(pop3, &TForm1::pop3Click);
    onMenu(pop4, &TForm1::pop4Click);

    for (TListView* list : {ListView_soon, ListView_Guest_Pool, ListView_preselect})
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { ShowPopup(list, pos); });
    // Shift+F10 opens the context menu as the Menu key does: not every keyboard has that key.
    for (TListView* list : {ListView_soon, ListView_Guest_Pool, ListView_preselect}) {
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
    connect(ListBox_Log, &QListWidget::itemClicked, this, Guard([this] { ListBox_LogClick(); }));

    // Every change of the queue's or the request list's rows, whoever made it.
    for (auto [list, queue] : {std::pair{ListView_soon, true}, std::pair{ListView_Guest, false}}) {
        const tracks::TrackList* m = &list->List();
        const auto moved = [this, queue = queue] { ListsMoved(queue); };
        connect(m, &tracks::TrackList::RowsInserted, this, moved);
        connect(m, &tracks::TrackList::RowsRemoved, this, moved);
        connect(m, &tracks::TrackList::Reordered, this, moved);
    }
}

void TForm1::ListsMoved(bool queue) {
    poolStale_ = true;
    indexStale_ = indexStale_ || queue;
    if (followPosted_) return;
    followPosted_ = true;
    // Once the event at hand is done: a batch or a trim changes several rows in one go. Boxes
    // wait as a timer step's do, so the queue never waits for the DJ.
    QMetaObject::invokeMethod(this, TimerGuard(this, [this] {
                                  followPosted_ = false;
                                  FollowLists();
                              }),
                              Qt::QueuedConnection);
}

void TForm1::FollowLists() {
    const bool pool = std::exchange(poolStale_, false);
    const bool index = std::exchange(indexStale_, false);
    if (pool) UpdatePoolStates();
    if (!TcpServer1->Active()) return;
    if (index) MakeHTML();
    if (pool) MakeGuestPoolHTML();
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

void TForm1::FormCreate() {
    // 1
    const QString title = QString::fromUtf8(kTitle);
    setWindowTitle(title);
    M99->setText(title + QString::fromUtf8(kVersionSuffix));
    // 2
    Label_von1->setText(QStringLiteral("of"));
    Label_von2->setText(QStringLiteral("of"));
    Label_unit1->setText(QStringLiteral("min"));
    Label_unit2->setText(QStringLiteral("min"));
    Label_IP->clear();
    // 3
    Texts.SetAll(DefaultTexts());
    // 4
    MakeTrackAdder();
    // 5
    M99->setEnabled(false);
    SetControlState(ControlPhase::Initial);
    // 6
    for (AudioDeck* deck : {MediaPlayer1.get(), MediaPlayer2.get()}) {
        deck->SetAutoEnable(false);
        deck->SetEnabledButtons(0);
    }
    // 7
    RadioButton_preset_1by1->setChecked(true);
    M62->setChecked(true);
    CheckBox_guest_use->setChecked(false);
    RadioButton_web_first->setChecked(true);
    ShowGuestMode();
    CheckBox_block_latest->setChecked(false);
    RadioButton_finish->setChecked(true);
    ShowRepeatMode();
    RadioButton_preset_random->setChecked(false);
    RadioButton_preset_1by1->setChecked(true);
    ShowPresetMode();
    // 8
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    // 9
    Rng.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    // 10
    for (TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
        list->setToolTip(QStringLiteral("Click Right"));
    // 11
    ListBox_Log->hide();
    // 12
    static const char* const columns[8] = {"Status", "Title", "Artist", "Album", "Year", "Time", "Source", "File"};
    for (TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
        for (int c = 0; c < 8; ++c) list->SetColumnCaption(c, QString::fromLatin1(columns[c]));
    // 13
    M10->setTitle(QStringLiteral("&File"));
    M11->setText(QStringLiteral("Add &Audio File To List"));
    M19->setText(QStringLiteral("&E&xit"));
    M30->setTitle(QStringLiteral("&Settings"));
    M31->setText(QStringLiteral("&Player Mode"));
    M37->setText(QStringLiteral("&Fran\u00e7ais"));
    M38->setText(QStringLiteral("&Deutsch"));
    M39->setText(QStringLiteral("&English"));
    M60->setTitle(QStringLiteral("&Display"));
    M61->setText(QStringLiteral("&Banner"));
    M62->setText(QStringLiteral("Input &Panel"));
    M69->setText(QStringLiteral("&Log Window"));
    M69->setVisible(false);
    M70->setText(QStringLiteral("&Webserver On"));
    M80->setText(QStringLiteral("W&ebserver Off"));
    M90->setTitle(QStringLiteral("&Info"));
    pop0->setText(QStringLiteral("&Clear List"));
    pop1->setText(QStringLiteral("&Add Sound Files"));
    pop2->setText(QStringLiteral("&Remove Sound File"));
    pop3->setText(QStringLiteral("&Load Playlist"));
    pop4->setText(QStringLiteral("&Save Playlist"));
    // 14
    Button_PlayList->setText(QStringLiteral("Play &List"));
    Button_Pause->setText(QStringLiteral("&Pause"));
    Button_Stop->setText(QStringLiteral("S&top"));  // "&S" is the Settings menu
    Button_FF->setText(QStringLiteral("F&orward"));  // "&F" is the File menu
    Button_fadenow->setText(QStringLiteral("Fade &out"));
    // 15
    RadioButton_finish->setText(QStringLiteral("Play List Once"));
    RadioButton_restart->setText(QStringLiteral("Repeat List"));
    RadioButton_web_first->setText(QStringLiteral("Prefer Web"));
    RadioButton_web_mix_preselect->setText(QStringLiteral("Mix Web"));
    RadioButton_preset_1by1->setText(QStringLiteral("Play In Order"));
    RadioButton_preset_random->setText(QStringLiteral("Play At Random"));
    // 16
    CheckBox_block_latest->setText(Text(u"CB_doblock"));
    CheckBox_guest_use->setText(QStringLiteral("Allow Remote Requests"));
    CheckBox_preset_use->setText(QStringLiteral("Add Preset Tracks"));
    RadioGroup_Repeat->setTitle(QStringLiteral("Queue Play Mode"));
    GroupBox_Guest->setTitle(QStringLiteral("Guest's Requests"));
    GroupBox_Preset->setTitle(QStringLiteral("Pool Of Presets"));
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_ || event->spontaneous()) return;
    shownOnce_ = true;
    platform::Guarded([this] { FormShow(); });
}

void TForm1::FormDestroy() {
    Adder.reset();
}

void TForm1::M19Click() {
    if (MediaPlayer1->Mode() == playback::mpPlaying) MediaPlayer1->Close();
    if (MediaPlayer2->Mode() == playback::mpPlaying) MediaPlayer2->Close();
    close();
}

// ---------------------------------------------------------------- shared state

QString TForm1::Text(const char16_t* key) const { return QString::fromStdU16String(Texts.Get(key)); }

void TForm1::SetStatusPanel(int panel, const QString& text) {
    if (panel >= 0 && panel < 5) StatusPanels[static_cast<size_t>(panel)]->setText(text);
}

QString TForm1::StatusPanel(int panel) const {
    return panel >= 0 && panel < 5 ? StatusPanels[static_cast<size_t>(panel)]->text() : QString();
}

QString TForm1::ForwardSecondsText() const { return SetRec.FFsecText; }

void TForm1::SetTimerEnabled(QTimer* timer, bool on) {
    if (!on)
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

bool TForm1::AnyDeckPlaying() const {
    return MediaPlayer1->Mode() == playback::mpPlaying || MediaPlayer2->Mode() == playback::mpPlaying;
}

bool TForm1::AnyDeckBusy() const {
    for (const AudioDeck* deck : {MediaPlayer1.get(), MediaPlayer2.get()})
        if (deck->Mode() == playback::mpPlaying || deck->Mode() == playback::mpPaused) return true;
    return false;
}

void TForm1::SetControlState(ControlPhase phase) {
    switch (phase) {
        case ControlPhase::Initial:
            for (QWidget* w : std::initializer_list<QWidget*>{
                     Button_PlayList, Button_Pause, Button_Stop, Button_FF, Button_fadenow,
                     CheckBox_block_latest, RadioButton_finish, RadioButton_restart, CheckBox_guest_use,
                     RadioButton_web_first, RadioButton_web_mix_preselect, CheckBox_preset_use,
                     RadioButton_preset_1by1, RadioButton_preset_random})
                w->setEnabled(false);
            M70->setEnabled(false);
            M80->setEnabled(false);
            break;
        case ControlPhase::Stopped:
            if (ListView_soon->Count() == 0) break;
            for (QWidget* w : std::initializer_list<QWidget*>{CheckBox_block_latest, RadioButton_finish,
                                                              RadioButton_restart})
                w->setEnabled(true);
            // Files added mid-party: the transport stays as playing set it.
            if (AnyDeckBusy()) break;
            Button_PlayList->setEnabled(true);
            for (QWidget* w : {Button_Pause, Button_Stop, Button_FF}) w->setEnabled(false);
            break;
        case ControlPhase::Playing:
            Button_PlayList->setEnabled(false);
            Button_Pause->setEnabled(true);
            Button_Stop->setEnabled(true);
            UpdateForwardCaption();
            // A text comparison on purpose: "-5" and "" stay below "0".
            if (ForwardSecondsText() > QStringLiteral("0")) Button_FF->setEnabled(true);
            // "Webserver On" is not offered again while the server runs: it would restart it.
            if (ListView_Guest_Pool->Count() > 0 && !TcpServer1->Active()) M70->setEnabled(true);
            break;
        case ControlPhase::ListsChanged: {
            const bool queue = ListView_soon->Count() > 0;
            for (QWidget* w : std::initializer_list<QWidget*>{RadioButton_finish, RadioButton_restart,
                                                              CheckBox_block_latest})
                w->setEnabled(queue);
            // A second Play List while a deck plays would start another track on top.
            Button_PlayList->setEnabled(queue && !AnyDeckBusy());
            const bool presets = ListView_preselect->Count() > 0;
            for (QWidget* w : {static_cast<QWidget*>(CheckBox_preset_use), static_cast<QWidget*>(RadioButton_preset_1by1),
                               static_cast<QWidget*>(RadioButton_preset_random)})
                w->setEnabled(presets);
            M70->setEnabled(ListView_Guest_Pool->Count() > 0 && !TcpServer1->Active());
            ShowGuestMode();
            // Requests can be allowed as soon as there is something to request; waiting ones keep
            // the option, so a cleared pool does not strand them.
            const bool requests = ListView_Guest_Pool->Count() > 0 || ListView_Guest->Count() > 0;
            for (QWidget* w : {static_cast<QWidget*>(CheckBox_guest_use), static_cast<QWidget*>(RadioButton_web_first),
                               static_cast<QWidget*>(RadioButton_web_mix_preselect)})
                w->setEnabled(requests);
            ShowGuestMode();
            break;
        }
    }
}

// ---------------------------------------------------------------- mode groups

void TForm1::ShowGuestMode() {
    if (CheckBox_guest_use->isChecked() && CheckBox_guest_use->isEnabled()) {
        ui::SetTextEmphasis(CheckBox_guest_use, ui::kBlue, true);
        RadioButton_web_first->setEnabled(true);
        RadioButton_web_mix_preselect->setEnabled(true);
        if (ListView_Guest_Pool->Count() > 0) SetTimerEnabled(Timer2, true);
    } else {
        ui::SetTextEmphasis(CheckBox_guest_use, QColor(), false);
        RadioButton_web_first->setEnabled(false);
        RadioButton_web_mix_preselect->setEnabled(false);
        SetTimerEnabled(Timer2, false);
    }
    const bool first = RadioButton_web_first->isChecked();
    const bool mix = RadioButton_web_mix_preselect->isChecked();
    ui::SetTextEmphasis(RadioButton_web_first, first ? ui::kTeal : QColor(), first);
    ui::SetTextEmphasis(RadioButton_web_mix_preselect, mix ? ui::kTeal : QColor(), mix);
}

void TForm1::ShowPresetMode() {
    const bool use = CheckBox_preset_use->isChecked();
    ui::SetTextEmphasis(CheckBox_preset_use, use ? ui::kBlue : QColor(), use);
    RadioButton_preset_1by1->setEnabled(use);
    RadioButton_preset_random->setEnabled(use);
    const bool inOrder = RadioButton_preset_1by1->isChecked();
    const bool random = RadioButton_preset_random->isChecked();
    ui::SetTextEmphasis(RadioButton_preset_1by1, inOrder ? ui::kTeal : QColor(), inOrder);
    ui::SetTextEmphasis(RadioButton_preset_random, random ? ui::kTeal : QColor(), random);
}

void TForm1::CheckBox_guest_useClick() {
    if (CheckBox_guest_use->isChecked()) SetTimerEnabled(Timer2, AnyDeckPlaying());
    ShowGuestMode();
}

void TForm1::CheckBox_preset_useClick() {
    if (CheckBox_preset_use->isChecked()) SetTimerEnabled(Timer3, AnyDeckPlaying());
    ShowPresetMode();
}

void TForm1::RadioButton_web_firstClick() { ShowGuestMode(); }
void TForm1::RadioButton_web_mix_preselectClick() { ShowGuestMode(); }
void TForm1::RadioButton_preset_1by1Click() { ShowPresetMode(); }
void TForm1::RadioButton_preset_randomClick() { ShowPresetMode(); }

// ---------------------------------------------------------------- lists

bool TForm1::ListHasValue(const TListView* list, int column, const QString& value) const {
    return list && tracks::ListHasValue(list->List(), column, value);
}

void TForm1::RemoveRowsByValue(TListView* list, int column, const QString& value) {
    if (list) tracks::RemoveRowsByValue(list->List(), column, value);
}

void TForm1::RefreshListStates(TListView* list) {
    if (!list) return;
    tracks::FileChecks files;
    list->List().SetCaptions(
        tracks::ListStates(list->List(), ListView_soon->List(), ListView_Guest->List(), StatusWords(), files));
}

tracks::StatusWords TForm1::StatusWords() const {
    return {Text(u"st_ready"), Text(u"st_blocked"), Text(u"st_chosen"), Text(u"st_error")};
}

void TForm1::RefreshAllListStates() {
    for (TListView* list : {ListView_soon, ListView_Guest_Pool, ListView_Guest, ListView_preselect})
        RefreshListStates(list);
}

void TForm1::pop0Click() {
    if (PopupList) PopupList->ClearRows();
    SetControlState(ControlPhase::ListsChanged);
}

void TForm1::RepaintQueue() {
    const auto busy = [](const AudioDeck& d) {
        const playback::TMPModes m = d.Mode();
        return m == playback::mpPlaying || m == playback::mpPaused;
    };
    ui::QueueMarks marks;
    marks.active = busy(*MediaPlayer1) || busy(*MediaPlayer2);
    marks.current = Player->CurIndex;
    marks.next = Player->NextIndex;
    if (marks.active) {
        // What the rows show is what they hold: a saved queue carries these words too.
        ListView_soon->SetCaption(marks.next, Text(u"st_next"));
        ListView_soon->SetCaption(marks.current, Text(u"st_running"));
    }
    if (queueDelegate_) queueDelegate_->SetQueueMarks(marks);
    ListView_soon->viewport()->update();
}

// ---------------------------------------------------------------- presentation and log

void TForm1::AddLog(const QString& line) { AddLogLines({line}); }

void TForm1::AddLogLines(const QStringList& lines) {
    if (lines.isEmpty()) return;
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, lines] { AddLogLines(lines); }, Qt::QueuedConnection);
        return;
    }
    ListBox_Log->addItems(lines);
    // Dropped in batches, so the view does not shift its rows for every new line.
    if (const int excess = ListBox_Log->count() - LogLines; excess > 0 && excess >= LogLines / 10)
        ListBox_Log->model()->removeRows(0, excess);
    ListBox_Log->setCurrentRow(ListBox_Log->count() - 1);
    // Scrolling lays out every line again, which a hidden list would do for nothing at each batch.
    if (ListBox_Log->isVisible()) ListBox_Log->scrollToBottom();
}

void TForm1::AddDetails(const QString& text) { AddDetailsLines({text}); }

void TForm1::AddDetailsLines(const QStringList& lines) {
    if (lines.isEmpty()) return;
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, lines] { AddDetailsLines(lines); }, Qt::QueuedConnection);
        return;
    }
    Form3->AddText(lines.join(QLatin1Char('\n')));
}

void TForm1::ListBox_LogClick() {
    if (const QListWidgetItem* item = ListBox_Log->currentItem()) SetStatusPanel(4, item->text());
}

void TForm1::M61Click() {
    ToggleShown(M61, Form_InfoBox);
    Form_InfoBox->SetMenuCaptions(Texts);
}

void TForm1::M62Click() { ToggleShown(M62, Panel1); }

void TForm1::M69Click() { ToggleShown(M69, Form3); }

void TForm1::ListView_ColumnClick(TListView* list, int column) {
    SortColumn = column;
    SortDescending = column == SortLastColumn ? 1 - SortDescending : 0;
    SortLastColumn = column;
    SortPool(list, column);
}

void TForm1::SortPool(TListView* list, int column) {
    if (list) tracks::SortList(list->List(), column, SortDescending == 1);
}

void TForm1::ListView_SelectItem(TListView* list, int row) {
    if (list && list->ValidIndex(row) && !list->Caption(row).isEmpty()) {
        removeTitle_ = list->SubItem(row, siTitle);
        pop2->setEnabled(true);
        ShowRemoveCaption();
    } else {
        pop2->setEnabled(false);
    }
}

void TForm1::ShowRemoveCaption() {
    if (!pop2->isEnabled()) return;
    QString title = removeTitle_;
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));  // an ampersand in a title is no access key
    pop2->setText(Text(u"str_remove") + QStringLiteral(" *") + title + QStringLiteral("*"));
}

void TForm1::FitTexts() {
    QStringList words;
    for (const char16_t* key : {u"st_ready", u"st_blocked", u"st_played", u"st_running", u"st_error", u"st_soon",
                                u"st_next", u"st_chosen"})
        words << Text(key);
    for (TListView* list : {ListView_soon, ListView_Guest, ListView_Guest_Pool, ListView_preselect})
        ui::FitColumns(list, words);
    // The message panel takes the longest of its messages; the others keep their widths.
    QLabel* panel = StatusPanels[1];
    QLabel measure;  // the panel's frame and font, for the width each message needs
    measure.setFrameStyle(panel->frameStyle());
    measure.setFont(panel->font());
    int width = kMessagePanelWidth;
    for (const char16_t* key : {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26"}) {
        measure.setText(Text(key));
        width = std::max(width, measure.sizeHint().width());
    }
    panel->setFixedWidth(width);
}

// ---------------------------------------------------------------- windows

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
