#pragma once
// The party: the four track lists, the settings in force, the decks and their queue player, the
// guests' web server, and every decision of a night between them. Each command, tick and select
// is one event: it changes the lists, then the status words are refreshed once, the pages the
// event calls for are written once, and the window is told once to show the party as it is.
// No widgets here; the window binds its controls to what the party says.
#include <QString>
#include <QStringList>
#include <QHash>
#include <QSet>
#include <QTime>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/display_texts.h"
#include "playback/audio_deck.h"
#include "playback/queue_player.h"
#include "playback/track_analysis.h"
#include "requests/feeding.h"
#include "session/controls.h"
#include "session/party_file.h"
#include "session/plans.h"
#include "settings/language_file.h"
#include "settings/settings_record.h"
#include "tracks/list_ops.h"
#include "tracks/track_list.h"
#include "web/pages.h"

namespace playback { class TrackAnalyser; }
namespace tracks { class TrackAdder; }
namespace web { class Listener; class WebHost; }

namespace session {

class WebLink;

// The four lists by their part in the party.
enum class ListId { Queue, Requests, Pool, Presets };

// What the window shows of the party; everything is called on the user-interface thread.
class PartyView {
public:
    virtual ~PartyView() = default;
    // An event is over: the window shows the party as it is. `decks` when the decks moved (a
    // tick, a transport command): their positions and bars are shown too.
    virtual void Show(bool decks) = 0;
    // A batch names the file it probes now: status panel 4 is drawn at once.
    virtual void ShowProbing() = 0;
    virtual void AddLog(const QStringList& lines) = 0;
    virtual void AddDetails(const QStringList& lines) = 0;
    // Playback stopped: the banner closes.
    virtual void PlaybackStopped() = 0;
};

// The lines of the banner; empty until playback writes them.
struct BannerLines {
    QString now, next;
};

// The web server as the window shows it.
struct WebState {
    bool running = false;
    bool tried = false;  // started at least once, or tried to
    QString label;       // "Server-IP: <address> : <port>", empty while stopped
    QString serverURL;   // the address by the computer's name, while running
    QString guestURL;    // the pool page by address, for the QR codes; empty when guests cannot join
};

class Party {
public:
    struct Options {
        QString programFolder;  // lang/, basics/ and htdocs/ are looked up there first
        std::function<QTime()> clock = [] { return QTime::currentTime(); };
        quint16 webPort = 7777;  // tests listen on a free port (0)
        // Where measurements are kept between runs; empty: the user's cache folder.
        std::filesystem::path analysisFolder;
        // Asks for a track to be measured (`first`: ahead of the others). By default a
        // background analyser, whose results come back through the dispatcher to TakeAnalysis.
        std::function<void(const QString& path, bool first)> measure;
    };

    // The deck factory makes MediaPlayer1..3 (tests pass the test deck's factory); `ui` hands
    // work from the listener's threads to the user-interface thread.
    Party(playback::DeckFactory decks, platform::IDispatcher& ui, PartyView& view, Options options);
    ~Party();
    Party(const Party&) = delete;
    Party& operator=(const Party&) = delete;

    // ---- what the window shows ----
    tracks::TrackList& List(ListId id);
    tracks::TrackList& Queue() { return List(ListId::Queue); }
    tracks::TrackList& Requests() { return List(ListId::Requests); }
    tracks::TrackList& Pool() { return List(ListId::Pool); }
    tracks::TrackList& Presets() { return List(ListId::Presets); }
    const settings::TSetRec& Settings() const { return settings_; }
    platform::DisplayTexts& Texts() { return texts_; }
    QString Text(const char16_t* key) const;
    tracks::StatusWords StatusWords() const;
    playback::AudioDeck& Deck(int n);  // 1 and 2 play, 3 measures
    const playback::QueuePlayer& Player() const { return *player_; }
    bool AnyDeckPlaying() const;
    bool AnyDeckBusy() const;  // a deck plays or is paused
    bool AnyDeckPaused() const;
    const Controls& ControlStates() const { return controls_; }
    const TimerPlan& Timers() const { return timers_; }
    QString Panel(int panel) const;  // status panels 0..4
    const BannerLines& Banner() const { return banner_; }
    const WebState& Web() const { return web_; }
    web::Listener& Listener() { return *listener_; }
    web::WebHost& Host();  // what the listener reaches of the party
    tracks::TrackAdder& Adder() { return *adder_; }
    // "fra", "deu" or "eng" as asked for; the last file loaded (empty when it had none).
    const QString& LanguageCode() const { return languageCode_; }
    const QString& LanguageLoaded() const { return languageLoaded_; }
    bool PresetDue() const { return presetDue_; }
    bool QueueStartedOnce() const { return queueStartedOnce_; }
    // Sort state shared by the guest pool and the preset pool.
    int SortColumn() const { return sortColumn_; }
    int SortLastColumn() const { return sortLastColumn_; }
    bool SortDescending() const { return sortDescending_; }

    // ---- the sound of the hand-overs ----
    // Leveling or no dead air is on: tracks are measured as they join a list.
    bool Measuring() const { return settings_.CB_leveling || settings_.CB_no_dead_air; }
    // A measurement arrived (on the user-interface thread). A track playing already keeps its
    // gain: a jump of several dB in mid-track would be heard.
    void TakeAnalysis(const QString& path, const playback::TrackAnalysis& a);
    std::optional<playback::TrackAnalysis> AnalysisOf(const QString& path) const;
    // The line a row's tooltip shows: its loudness, a mark while it is measured, or nothing.
    QString LoudnessText(const QString& path) const;

    // ---- start-up ----
    // English, and the web message; the texts read, for the window's captions.
    std::optional<std::vector<settings::LanguageText>> FirstShow();
    void SetWebPort(quint16 port) { options_.webPort = port; }

    // ---- the lists ----
    void AddTrack(ListId id, const QString& path, const QString& source);  // probes the file
    void AddFilesDialog(ListId id);
    void AddAudioFile();              // File > Add: the dialog into the queue
    void AddSoundFiles(ListId id);    // context menu: the dialog, then everything refreshed
    void RemoveSelected(ListId id);   // the queue and the presets have removal
    void ClearList(std::optional<ListId> id);  // without a list: the controls follow the lists
    void LoadPlaylist(ListId id);
    void SavePlaylist(ListId id);
    void SortPool(ListId id, int column);  // a header click
    void ShowInPanel(int panel, const QString& text);
    // A notice for the DJ: in the log and in the message panel.
    void Notice(const QString& text);

    // ---- playback ----
    void PlayList();
    void Pause();
    void Stop();
    void Forward();
    void Tick();         // Timer1
    void RequestStep();  // Timer2
    void PresetStep();   // Timer3
    void CloseDecks();   // the playing ones, on Exit

    // ---- the mode panel, as its clicks set it ----
    void SetFade(int seconds);
    void SetBlockRecent(bool on);
    void SelectPlayListOnce();
    void SelectRepeatList();
    void SetGuestUse(bool on);
    void SelectWebFirst();
    void SelectWebMix();
    void SetPresetUse(bool on);
    void SelectInOrder();
    void SelectAtRandom();

    // ---- settings and language ----
    // The settings dialog closed: a confirmed copy becomes the record in force, reaches the
    // options and loads the named lists; either way the web configuration is checked.
    void CloseSettings(const std::optional<settings::TSetRec>& confirmed);
    // Loads a language file into the display texts and brings every status word, page and
    // message up to it; the texts read, for the window's captions (none without a file).
    std::optional<std::vector<settings::LanguageText>> SwitchLanguage(const QString& code);

    // ---- guests ----
    void StartWebServer();
    void StopWebServer();
    // The answer page to a guest's select request (UTF-8).
    std::string Select(const QString& host, const QString& time, const QString& path);
    bool WebConfigComplete() const;
    QString WebRoot();  // also what the listener serves from, until the next call

    // ---- the saved party ----
    PartySnapshot SavedParty() const;
    // Takes a saved night up again: its language, settings, lists with their words and current
    // row. Nothing starts playing and the web server stays off until the DJ starts them; the
    // texts read, for the window's captions (none when the language stays).
    std::optional<std::vector<settings::LanguageText>> Resume(const PartySnapshot& saved);
    // Called at the end of each event that changed what a snapshot holds.
    void SetChangeHandler(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    class QueueLink;
    class Event;
    // What an event's one refresh recomputes, besides the pool's words after any change of the
    // queue or the requests.
    enum Refresh : unsigned {
        kQueueStates = 1,    // the queue: trimming and the words around the current row
        kQueueFiles = 2,     // the queue, the requests, the presets: by files and lists
        kRequestsFiles = 4,
        kPresetsFiles = 8,
        kPoolWords = 16,     // the pool's words
        kPoolFiles = 32,     // the pool's words, missing files in error
        kAllFiles = kQueueFiles | kRequestsFiles | kPresetsFiles | kPoolFiles,
    };

    // ---- the end of each event: the one refresh, the one page rewrite, the window ----
    void Finish();
    void NoteChanges();
    void RefreshStates();
    void MarkRow(tracks::TrackList& list, int row, const char16_t* key);  // a queue mark
    void Step(ControlStep step);
    ControlFacts Facts() const;
    void SwitchTimers(TimerCause cause);
    void SetPanel(int panel, const QString& text) { panels_[static_cast<size_t>(panel)] = text; }
    void Log(const QString& line);

    // ---- steps inside events ----
    void ShowGuestMode();
    void ShowPresetMode();
    void BlockRecentChanged();
    void GuestUseChanged();
    void PresetUseChanged();
    void QueueStarted();
    void QueueStopped();
    void ShowDeckLines();
    void MarkQueue();
    QStringList AddFiles(ListId id);  // the messages of the files that could not be added
    void ShowFailures(const QStringList& failed);
    bool CheckWebConfig();
    void ShowWebConfig();
    void MakeHTML();
    void MakeGuestPoolHTML(bool trackPages);
    bool InsertPreset();
    std::optional<std::vector<settings::LanguageText>> LoadLanguage(const QString& code);
    requests::FeedModes Modes() const;
    void Measure(const QString& path, bool first);
    void MeasureRows(const tracks::TrackList& list, int first, int last);
    void MeasureNextFirst();  // the row about to play goes ahead of the rest
    void MeasurePending();    // the rows gathered during an event, to the analyser at once
    void MakeAnalyser();
    requests::FeedLists FeedLists();

    Options options_;
    PartyView& view_;
    platform::IDispatcher& ui_;
    std::array<std::unique_ptr<tracks::TrackList>, 4> lists_;
    settings::TSetRec settings_;
    platform::DisplayTexts texts_;
    std::unique_ptr<playback::AudioDeck> deck1_, deck2_, deck3_;
    std::unique_ptr<QueueLink> link_;
    std::unique_ptr<playback::QueuePlayer> player_;
    std::unique_ptr<tracks::TrackAdder> adder_;
    std::unique_ptr<WebLink> webLink_;
    std::unique_ptr<web::Listener> listener_;
    std::unique_ptr<playback::TrackAnalyser> analyser_;  // made when first needed
    QHash<QString, playback::TrackAnalysis> analyses_;
    QString measuredFirst_;  // the last path put ahead of the rest
    std::vector<QString> pending_;  // rows that joined a list during the event under way
    QSet<QString> waiting_;         // handed to the analyser, no answer yet: not handed again
    // Results posted from the analyser's thread are dropped once the party is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::mt19937 rng_;

    Controls controls_;
    TimerPlan timers_;
    std::array<QString, 5> panels_;
    BannerLines banner_;
    WebState web_;
    QString languageCode_, languageLoaded_;
    bool presetDue_ = false;         // a request moved in "Mix Web": a preset is due
    bool queueStartedOnce_ = false;  // Play List has started a track: the current row has been heard
    int sortColumn_ = 0, sortLastColumn_ = 0;
    bool sortDescending_ = false;

    // The event under way; a batch of files lets a tick run inside a command, as an event of
    // its own.
    struct EventState {
        unsigned refresh = 0, pages = 0;
        bool decks = false;          // the decks moved: the window shows their positions
        bool queueMoved = false;     // the queue's rows came, went or moved
        bool requestsMoved = false;  // the request list's rows came, went or moved
        tracks::FileChecks files;    // each file asked about once
    };
    EventState* event_ = nullptr;
    bool inTick_ = false;
    bool poolStale_ = false;  // the queue or the requests changed since the pool's words
    // The pool's rows as its page is made of them, kept from one page to the next: a select
    // changes a few words of thousands of rows.
    std::vector<web::PageRow> poolPage_;
    bool poolPageStale_ = true;
    // What a snapshot holds besides the lists, as the last event left it.
    std::function<void()> changed_;
    bool listsChanged_ = false;
    struct Saved {
        int current = -1;
        settings::TSetRec settings;
        QString language;
        bool web = false;
        bool operator==(const Saved&) const = default;
    } saved_;
    Saved SavedNow() const;
};

}  // namespace session
