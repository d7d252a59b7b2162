#pragma once
// The main window owns everything the other areas share: the four track lists, the decks and
// their queue player, the timers, the display texts and the settings record.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTranslator>
#include <array>
#include <memory>
#include <random>

#include "platform/dispatcher.h"
#include "platform/display_texts.h"
#include "playback/audio_deck.h"
#include "playback/queue_player.h"
#include "requests/admission.h"
#include "settings/settings_record.h"
#include "ui/track_list_view.h"

namespace tracks { class TrackAdder; }
namespace ui { class TForm2; class TForm_InfoBox; class TForm3; class ListDelegate; class QrWindow; }
namespace web { class Listener; }

namespace app {

class QueueLink;
class WebBridge;

extern const char* const kTitle;          // "Quorbel Media Mixer"
extern const char* const kVersionSuffix;  // version V.8 and date 26.05.26

// Which commands the window offers: at creation, with a queue but stopped, while playing, and
// after the lists changed.
enum class ControlPhase { Initial, Stopped, Playing, ListsChanged };

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // The deck factory makes MediaPlayer1..3 (tests pass the test deck's factory).
    explicit TForm1(playback::DeckFactory decks = playback::MakeRealDeck, QWidget* parent = nullptr);
    ~TForm1() override;

    // The other windows, created at the end of the constructor, after the main window.
    ui::TForm2* Form2 = nullptr;
    ui::TForm_InfoBox* Form_InfoBox = nullptr;
    ui::TForm3* Form3 = nullptr;
    ui::QrWindow* Form_QR = nullptr;  // the guest address to scan; made at the first click on Label_IP

    // ---- components, by their designer names ----
    tracks::TListView* ListView_soon = nullptr;        // play queue
    tracks::TListView* ListView_Guest = nullptr;       // guest requests
    tracks::TListView* ListView_Guest_Pool = nullptr;  // guest pool
    tracks::TListView* ListView_preselect = nullptr;   // preset pool

    std::unique_ptr<playback::AudioDeck> MediaPlayer1, MediaPlayer2, MediaPlayer3;
    QTimer* Timer1 = nullptr;  // 1000 ms playback tick
    QTimer* Timer2 = nullptr;  // 5000 ms guest requests into the queue
    QTimer* Timer3 = nullptr;  // 10000 ms presets into the queue

    QLabel* Label_IP = nullptr;
    QPushButton *Button_PlayList = nullptr, *Button_Pause = nullptr, *Button_Stop = nullptr,
                *Button_FF = nullptr, *Button_fadenow = nullptr;

    QWidget* Panel1 = nullptr;  // mode panel
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
    // The log keeps its latest lines only: a night of guest requests would otherwise fill memory.
    int LogLines = 10000;  // tests keep fewer

    QMenu *M10 = nullptr, *M30 = nullptr, *M60 = nullptr, *M90 = nullptr;
    QAction *M11 = nullptr, *M19 = nullptr, *M31 = nullptr, *M37 = nullptr, *M38 = nullptr,
            *M39 = nullptr, *M61 = nullptr, *M62 = nullptr, *M69 = nullptr, *M70 = nullptr,
            *M80 = nullptr, *M99 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *pop0 = nullptr, *pop1 = nullptr, *pop2 = nullptr, *pop3 = nullptr, *pop4 = nullptr;
    tracks::TListView* PopupList = nullptr;  // the list the context menu was last opened on

    // ---- shared state ----
    platform::DisplayTexts Texts;
    QString Text(const char16_t* key) const;  // display text as QString
    settings::TSetRec SetRec;
    std::unique_ptr<tracks::TrackAdder> Adder;  // probes files and adds their rows

    // Queue playback on MediaPlayer1 and MediaPlayer2; it holds the current and next rows.
    std::unique_ptr<playback::QueuePlayer> Player;
    bool PresetDue = false;  // a guest request was moved in "Mix Web" mode; a preset is due
    bool QueueStartedOnce = false;  // Play List has started a track: the current row has been heard
    QString LanguageCode;    // "fra", "deu" or "eng"; empty until the first showing
    std::mt19937 Rng;        // seeded from the clock at creation

    // Hands work from listener threads to the user-interface thread.
    std::unique_ptr<platform::IDispatcher> Dispatcher;
    // The guests' web server and what it reaches of the window; the listener goes first.
    std::unique_ptr<WebBridge> Bridge;
    std::unique_ptr<web::Listener> TcpServer1;
    quint16 WebPort = 7777;  // tests listen on a free port (0)
    QString ServerURL;       // hint of Label_IP while the listener runs
    QString GuestURL;        // the pool page by IP address, for the QR codes; empty while stopped

    // Sort state shared by the guest pool and the preset pool.
    int SortColumn = 0, SortLastColumn = 0, SortDescending = 0;

    // ---- start-up and control states ----
    void FormCreate();
    void FormShow();  // first showing
    void FormDestroy();
    void SetControlState(ControlPhase phase);
    void SetStatusPanel(int panel, const QString& text);
    QString StatusPanel(int panel) const;
    QString ForwardSecondsText() const;  // text of the settings dialog's forward-jump field
    // Switching a timer on that already runs keeps its running interval.
    static void SetTimerEnabled(QTimer* timer, bool on);
    bool AnyDeckPlaying() const;  // deck 1 or deck 2 in mode mpPlaying
    bool AnyDeckBusy() const;     // deck 1 or deck 2 playing or paused

    // ---- lists ----
    bool ListHasValue(const tracks::TListView* list, int column, const QString& value) const;
    void RemoveRowsByValue(tracks::TListView* list, int column, const QString& value);
    void RefreshListStates(tracks::TListView* list);
    void RefreshAllListStates();  // queue, guest pool, guest requests, preset pool
    tracks::StatusWords StatusWords() const;  // as they read now

    // ---- adding tracks, playlists ----
    void AddTrack(tracks::TListView* list, const QString& path, const QString& source);
    void AddFilesDialog(tracks::TListView* list);
    void RemoveSelected(tracks::TListView* list);
    void LoadListDialog(tracks::TListView* list);

    // ---- playback ----
    void ShowPositions();
    void ShowProgress();
    void ShowDeckLabels();
    void UpdateQueueStates();
    void ShowRepeatMode();
    void ShowGuestMode();
    void ShowPresetMode();
    void UpdateForwardCaption();
    void RepaintQueue();  // the queue's drawing marks the current and next rows
    void LoadLanguage(const QString& code);
    // Widths that follow the words of the language: the lists' columns and the status bar's
    // message panel.
    void FitTexts();
    void LoadColumnCaptions(tracks::TListView* list, const QString& code);  // section "TABLE"

    // ---- guest requests and presets ----
    void UpdatePoolStates();
    int CheckRequest(const QString& path) const;
    requests::Admission AdmitRequest(const QString& host, const QString& time, const QString& path);
    void AddGuestRequest(const QString& title, const QString& artist, const QString& status, const QString& path,
                         const QString& time, const QString& host, const QString& year, const QString& album);
    bool QueueRunsShort() const;
    void FeedGuestRequest();
    void MoveFirstRequest();
    void InsertPreset();
    QString PickRandomPreset(tracks::TListView* list);
    // Rows joined or left the queue (queue true) or the request list: the pool's words and, while
    // the listener runs, the guests' pages follow once the event at hand is done.
    void ListsMoved(bool queue);
    // Brings what ListsMoved marked up to date now.
    void FollowLists();
    // The pool's words and its page were just brought up to date by a select request.
    void PoolFollowed() { poolStale_ = false; }

    // ---- web ----
    QString WebRoot();  // also what the listener serves from, until the next call
    bool CheckWebConfig();
    // The four configured paths are there (the settings dialog's fields), without touching the menu.
    bool WebConfigComplete() const;
    // Pages are rewritten at the events that rewrite them: the configuration is complete, or the
    // listener runs and guests read them (from the HTML folder or the fallback folder).
    bool PagesWanted();
    // Status panel 1 tells whether the web configuration is complete; when it is, the pages are
    // rewritten.
    void ShowWebConfigAndMakePages();
    void MakeHTML();
    void MakeGuestPoolHTML();
    std::string HandleSelect(const QString& host, const QString& time, const QString& path);  // UTF-8 page
    void StartWebServer();
    void StopWebServer();

    // ---- presentation and log ----
    void AddLog(const QString& line);
    void AddDetails(const QString& text);  // details box text area
    // Many lines at once, each widget changed once: lines from the web server come in batches.
    void AddLogLines(const QStringList& lines);
    void AddDetailsLines(const QStringList& lines);
    void SortPool(tracks::TListView* list, int column);

    // ---- handlers, named component plus event; each runs through the handler guard ----
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
    void M11Click();
    void M19Click();
    void M31Click();
    void M62Click();
    void M69Click();
    void pop0Click();
    void pop1Click();
    void pop2Click();
    void pop3Click();
    void pop4Click();
    void ListView_ColumnClick(tracks::TListView* list, int column);
    void ListView_SelectItem(tracks::TListView* list, int row);
    void ListBox_LogClick();
    void M37Click();
    void M38Click();
    void M39Click();
    void M61Click();
    void M70Click();
    void M80Click();
    void Label_IPClick();  // opens the QR code window while the listener runs
    void CheckBox_guest_useClick();
    void CheckBox_preset_useClick();
    void RadioButton_web_firstClick();
    void RadioButton_web_mix_preselectClick();
    void RadioButton_preset_1by1Click();
    void RadioButton_preset_randomClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MakeTrackAdder();
    void BuildComponents();
    void BuildMenus();
    void BuildLayout();
    void ConnectHandlers();
    void ShowPopup(tracks::TListView* list, const QPoint& pos);
    void DisablePop2();
    void ShowRemoveCaption();  // "Remove *<title>*" in the language, while Remove is offered
    void InstallQtTranslation(const QString& code);
    void ShowTextsInLanguage(const QHash<QString, QString>& before);

    std::unique_ptr<QueueLink> playerLink_;  // the queue and the displays as Player sees them
    std::unique_ptr<QTranslator> qtTranslator_;  // Qt's own texts in the language; none for English
    QString removeTitle_;  // title of the row Remove is offered for
    bool inTick_ = false;
    bool poolStale_ = false, indexStale_ = false, followPosted_ = false;  // see ListsMoved
    bool shownOnce_ = false;
    ui::ListDelegate* queueDelegate_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;   // queue area | guest lists | preset pool
    QSplitter* guestSplitter_ = nullptr;  // guest requests | guest pool
};

// Program entry's settings of the toolkit application and the process, made before any window.
void SetUpApplication();

// Program entry's window creation: TForm1, then (from its constructor) TForm2, TForm_InfoBox, TForm3.
std::unique_ptr<TForm1> CreateWindows(playback::DeckFactory decks = playback::MakeRealDeck);

}  // namespace app
