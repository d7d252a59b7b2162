#pragma once
// The main window: the components by their designer names, bound to the party. Each handler
// keeps the name the system knows it by and hands its work to the party; after every event the
// window shows the party as it is.
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "session/party.h"
#include "ui/track_list_view.h"
#include "ui/window_parts.h"

class QDBusConnection;
namespace ui { class TForm2; class TForm_InfoBox; class TForm3; class ListDelegate; class QrWindow; class RoomDisplay; }

namespace app {

class DesktopLink;

extern const char* const kTitle;          // "Quorbel Media Mixer"
extern const char* const kVersionSuffix;  // version V.8 and date 26.05.26

class TForm1 : public QMainWindow, private session::PartyView {
    Q_OBJECT
public:
    // The deck factory makes MediaPlayer1..3 (tests pass the test deck's factory).
    explicit TForm1(playback::DeckFactory decks = playback::MakeRealDeck, QWidget* parent = nullptr);
    ~TForm1() override;

    session::Party& Party() const { return *party_; }
    // Hands work from the web server's threads to the window's.
    platform::IDispatcher& Dispatcher() const { return *dispatcher_; }

    // ---- components, by their designer names ----
    ui::TForm2* Form2 = nullptr;
    ui::TForm_InfoBox* Form_InfoBox = nullptr;
    ui::TForm3* Form3 = nullptr;
    ui::QrWindow* Form_QR = nullptr;  // the guest address to scan; made at the first click on Label_IP
    ui::RoomDisplay* Form_Room = nullptr;  // full screen for the room; made when first opened

    ui::TListView* ListView_soon = nullptr;        // play queue
    ui::TListView* ListView_Guest = nullptr;       // guest requests
    ui::TListView* ListView_Guest_Pool = nullptr;  // guest pool
    ui::TListView* ListView_preselect = nullptr;   // preset pool
    ui::TListView* PopupList = nullptr;            // the list PopupMenu1 was last opened on

    playback::AudioDeck *MediaPlayer1 = nullptr, *MediaPlayer2 = nullptr, *MediaPlayer3 = nullptr;
    web::Listener* TcpServer1 = nullptr;
    QTimer* Timer1 = nullptr;  // 1000 ms playback tick
    QTimer* Timer2 = nullptr;  // 5000 ms guest requests into the queue
    QTimer* Timer3 = nullptr;  // 10000 ms presets into the queue

    QLabel* Label_IP = nullptr;
    QPushButton *Button_PlayList = nullptr, *Button_Pause = nullptr, *Button_Stop = nullptr,
                *Button_FF = nullptr, *Button_fadenow = nullptr;

    ui::ModePanel* Panel1 = nullptr;  // mode panel
    QGroupBox* RadioGroup_Repeat = nullptr;
    QCheckBox* CheckBox_block_latest = nullptr;
    QRadioButton *RadioButton_finish = nullptr, *RadioButton_restart = nullptr;
    QSlider* TrackBar_fader = nullptr;
    QLabel* Label_fadesec = nullptr;
    QGroupBox* GroupBox_Guest = nullptr;
    QCheckBox* CheckBox_guest_use = nullptr;
    QRadioButton *RadioButton_web_first = nullptr, *RadioButton_web_mix_preselect = nullptr;
    QGroupBox* GroupBox_Preset = nullptr;
    QCheckBox* CheckBox_preset_use = nullptr;
    QRadioButton *RadioButton_preset_1by1 = nullptr, *RadioButton_preset_random = nullptr;

    QLabel *Label_Pos1 = nullptr, *Label_von1 = nullptr, *Label_Length1 = nullptr, *Label_unit1 = nullptr;
    QLabel *Label_Pos2 = nullptr, *Label_von2 = nullptr, *Label_Length2 = nullptr, *Label_unit2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr, *ProgressBar2 = nullptr;

    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 5> StatusPanels{};  // widths 100, 200, 100, 100, 50
    QListWidget* ListBox_Log = nullptr;

    QMenu *M10 = nullptr, *M30 = nullptr, *M60 = nullptr, *M90 = nullptr;
    QAction *M11 = nullptr, *M19 = nullptr, *M31 = nullptr, *M37 = nullptr, *M38 = nullptr,
            *M39 = nullptr, *M61 = nullptr, *M62 = nullptr, *M69 = nullptr, *M70 = nullptr,
            *M80 = nullptr, *M99 = nullptr;
    QAction* M63 = nullptr;  // Display: the room display, behind a separator
    QMenu* PopupMenu1 = nullptr;
    QAction *pop0 = nullptr, *pop1 = nullptr, *pop2 = nullptr, *pop3 = nullptr, *pop4 = nullptr;

    // ---- what the window shows ----
    QString Text(const char16_t* key) const { return party_->Text(key); }
    QString StatusPanel(int panel) const;
    // The log keeps its latest lines only: a night of guest requests would otherwise fill memory.
    void SetLogLimit(int lines) { logLines_ = lines; }
    // Adding a file to a list, and the file dialog's files (File > Add and Add Sound Files run it).
    void AddTrack(ui::TListView* list, const QString& path, const QString& source);
    void AddFilesDialog(ui::TListView* list);

    // ---- handlers, named component plus event; each runs through the handler guard ----
    void FormShow();  // first showing
    void Button_PlayListClick();
    void Button_PauseClick();
    void Button_StopClick();
    void Button_FFClick();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void TrackBar_faderChange();
    void CheckBox_block_latestClick();
    void RadioButton_finishClick();
    void RadioButton_restartClick();
    void CheckBox_guest_useClick();
    void CheckBox_preset_useClick();
    void RadioButton_web_firstClick();
    void RadioButton_web_mix_preselectClick();
    void RadioButton_preset_1by1Click();
    void RadioButton_preset_randomClick();
    void M11Click();
    void M19Click();
    void M31Click();
    void M37Click();
    void M38Click();
    void M39Click();
    void M61Click();
    void M62Click();
    void M69Click();
    void M70Click();
    void M80Click();
    void pop0Click();
    void pop1Click();
    void pop2Click();
    void pop3Click();
    void pop4Click();
    void ListView_ColumnClick(ui::TListView* list, int column);
    void ListView_SelectItem(ui::TListView* list, int row);
    void ListBox_LogClick();
    void Label_IPClick();  // opens the QR code window while the listener runs
    void M63Click();       // the room display, full screen; also from the banner's menu

    // A saved night taken up again (the question at start).
    void ResumeParty(const session::PartySnapshot& saved);
    // The desktop's media keys and player widgets drive the transport from now on.
    void ConnectDesktop(const QDBusConnection& bus);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // ---- the party as the window shows it ----
    void Show(bool decks) override;
    void ShowProbing() override;
    void AddLog(const QStringList& lines) override;
    void AddDetails(const QStringList& lines) override;
    void PlaybackStopped() override;
    void ShowControls();
    void ShowWeb();
    void ShowLanguage(const std::optional<std::vector<settings::LanguageText>>& texts);
    void ApplyCaptions(const std::vector<settings::LanguageText>& texts);
    void FitTexts();
    void ShowRemoveCaption();  // "Remove *<title>*" in the language, while Remove is offered

    void BuildComponents();
    void BuildMenus();
    void BuildLayout();
    void ConnectHandlers();
    void ShowPopup(ui::TListView* list, const QPoint& pos);
    void DisablePop2();
    session::ListId IdOf(const ui::TListView* list) const;

    std::unique_ptr<platform::IDispatcher> dispatcher_;  // hands work from listener threads to this one
    std::unique_ptr<session::Party> party_;
    ui::QtTranslation qtTranslation_;
    QString removeTitle_;  // title of the row Remove is offered for
    QString guestShown_;   // the guest address the QR codes show
    int logLines_ = 10000;
    bool shownOnce_ = false;
    bool forwardCaption_ = false;  // Forward shows its jump length
    ui::ListDelegate* queueDelegate_ = nullptr;
    std::unique_ptr<DesktopLink> desktop_;
    QString roomScreen_;  // the screen the DJ last had the room display on
};

// Program entry's settings of the toolkit application and the process, made before any window.
void SetUpApplication();

// Program entry's window creation: TForm1, then (from its constructor) TForm2, TForm_InfoBox, TForm3.
std::unique_ptr<TForm1> CreateWindows(playback::DeckFactory decks = playback::MakeRealDeck);

}  // namespace app
