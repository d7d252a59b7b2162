// The party's state and the end of each event: the one refresh of the status words, the one
// rewrite of the pages, the timers and the controls.
#include "session/party.h"

#include <chrono>
#include <filesystem>
#include <tuple>

#include "platform/ini_file.h"
#include "platform/regular_file.h"
#include "requests/admission.h"
#include "session/party_inner.h"
#include "session/web_link.h"
#include "tracks/playlist_file.h"
#include "playback/track_analyser.h"
#include "tracks/track_adder.h"
#include "web/listener.h"

namespace session {

namespace {

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
        {u"str_loudness", u"Loudness"},
        {u"str_measuring", u"being measured\u2026"},
        {u"str_unmeasured", u"not measured"},
        {u"str_no_loudness", u"too quiet or too short to measure"},
        {u"str_played_at", u"played at"},
    };
    return texts;
}

web::PageRow PageRowOf(const tracks::TrackRow& r) {
    return {r.Status.toStdString(), r.Title.toStdString(), r.Artist.toStdString(), r.Album.toStdString(),
            r.FileName.toStdString()};
}

const char* const kListNames[4] = {"ListView_soon", "ListView_Guest", "ListView_Guest_Pool", "ListView_preselect"};

}  // namespace

Party::Party(playback::DeckFactory decks, platform::IDispatcher& ui, PartyView& view, Options options)
    : options_(std::move(options)), view_(view), ui_(ui) {
    for (size_t i = 0; i < lists_.size(); ++i)
        lists_[i] = std::make_unique<tracks::TrackList>(QString::fromLatin1(kListNames[i]));
    // Rows that join or leave the queue or the requests change what the pool may offer.
    for (auto [list, queue] : {std::pair{&Queue(), true}, std::pair{&Requests(), false}}) {
        const auto moved = [this, queue = queue] {
            poolStale_ = true;
            if (!event_) return;
            (queue ? event_->queueMoved : event_->requestsMoved) = true;
        };
        QObject::connect(list, &tracks::TrackList::RowsInserted, moved);
        QObject::connect(list, &tracks::TrackList::RowsRemoved, moved);
        QObject::connect(list, &tracks::TrackList::Reordered, moved);
    }
    for (auto& list : lists_) QObject::connect(list.get(), &tracks::TrackList::Changed, [this] { listsChanged_ = true; });
    const auto poolMoved = [this] { poolPageStale_ = true; };
    QObject::connect(&Pool(), &tracks::TrackList::RowsInserted, poolMoved);
    QObject::connect(&Pool(), &tracks::TrackList::RowsRemoved, poolMoved);
    QObject::connect(&Pool(), &tracks::TrackList::Reordered, poolMoved);
    // A track joining any list is measured while an option asks for it.
    for (const auto& list : lists_)
        QObject::connect(list.get(), &tracks::TrackList::RowsInserted,
                         [this, l = list.get()](int first, int last) { MeasureRows(*l, first, last); });
    QObject::connect(&Pool(), &tracks::TrackList::RowsChanged, [this](int first, int last) {
        if (poolPageStale_) return;
        for (int i = first; i <= last; ++i) poolPage_[static_cast<size_t>(i)] = PageRowOf(Pool().Row(i));
    });
    texts_.SetAll(DefaultTexts());
    deck1_ = decks();
    deck2_ = decks();
    deck3_ = playback::MakeProbeDeckFor(decks);  // it only measures lengths
    link_ = std::make_unique<QueueLink>(*this);
    player_ = std::make_unique<playback::QueuePlayer>(*deck1_, *deck2_, *link_, *link_);
    adder_ = std::make_unique<tracks::TrackAdder>(
        [this](const QString& path) {
            deck3_->SetFileName(path);
            deck3_->Open();
            const int length = deck3_->Length();
            deck3_->Close();
            return length;
        },
        [this](const QString& path, bool paint) {
            SetPanel(4, Text(u"str_check") + QStringLiteral(": ") + path);
            if (paint) view_.ShowProbing();
        });
    webLink_ = std::make_unique<WebLink>(
        ui, options_.programFolder,
        [this](const QString& host, const QString& time, const QString& path) { return Select(host, time, path); },
        [this](const QStringList& details, const QStringList& log) {
            if (!details.isEmpty()) view_.AddDetails(details);
            if (!log.isEmpty()) view_.AddLog(log);
        });
    listener_ = std::make_unique<web::Listener>(*webLink_, ui);
    // The options the mode panel starts with.
    settings_.RB_finish = settings_.RB_web_first = settings_.RB_preset_1by1 = true;
    Step(ControlStep::Initial);
    ShowGuestMode();
    ShowPresetMode();
    SwitchTimers(TimerCause::Created);
    rng_.seed(static_cast<std::mt19937::result_type>(std::chrono::system_clock::now().time_since_epoch().count()));
    saved_ = SavedNow();
}

Party::~Party() {
    // Its thread posts results to the party: it ends first.
    analyser_.reset();
    // The listener's workers reach the party until they are gone.
    listener_.reset();
    webLink_.reset();
    adder_.reset();
}

tracks::TrackList& Party::List(ListId id) { return *lists_[static_cast<size_t>(id)]; }

QString Party::Text(const char16_t* key) const { return QString::fromStdU16String(texts_.Get(key)); }

tracks::StatusWords Party::StatusWords() const {
    return {Text(u"st_ready"), Text(u"st_blocked"), Text(u"st_chosen"), Text(u"st_error")};
}

playback::AudioDeck& Party::Deck(int n) { return n == 1 ? *deck1_ : n == 2 ? *deck2_ : *deck3_; }

bool Party::AnyDeckPlaying() const {
    return deck1_->Mode() == playback::mpPlaying || deck2_->Mode() == playback::mpPlaying;
}

bool Party::AnyDeckPaused() const {
    return deck1_->Mode() == playback::mpPaused || deck2_->Mode() == playback::mpPaused;
}

bool Party::AnyDeckBusy() const { return AnyDeckPlaying() || AnyDeckPaused(); }

QString Party::Panel(int panel) const {
    return panel >= 0 && panel < 5 ? panels_[static_cast<size_t>(panel)] : QString();
}

void Party::Log(const QString& line) { view_.AddLog({line}); }

void Party::Notice(const QString& text) {
    Event e(*this);
    Log(text);
    SetPanel(1, text);
    e.Finish();
}

void Party::ShowInPanel(int panel, const QString& text) {
    Event e(*this);
    if (panel >= 0 && panel < 5) SetPanel(panel, text);
    e.Finish();
}

// ---------------------------------------------------------------- controls and timers

ControlFacts Party::Facts() const {
    ControlFacts f;
    f.queue = lists_[0]->Count();
    f.requests = lists_[1]->Count();
    f.pool = lists_[2]->Count();
    f.presets = lists_[3]->Count();
    f.busy = AnyDeckBusy();
    f.listening = listener_ && listener_->Active();
    f.webComplete = WebConfigComplete();
    f.guestUse = settings_.CB_Guest;
    f.presetUse = settings_.CB_preset;
    f.forward = settings_.FFsecText;
    return f;
}

void Party::Step(ControlStep step) { controls_ = ControlsAfter(step, controls_, Facts()); }

void Party::SwitchTimers(TimerCause cause) {
    TimerFacts f;
    f.guestUse = settings_.CB_Guest;
    f.guestOffered = controls_.guestUse;
    f.presetUse = settings_.CB_preset;
    f.playing = AnyDeckPlaying();
    f.pool = lists_[2]->Count();
    f.requests = lists_[1]->Count();
    f.presets = lists_[3]->Count();
    timers_ = TimersAfter(cause, timers_, f);
}

void Party::ShowGuestMode() {
    Step(ControlStep::GuestMode);
    SwitchTimers(TimerCause::GuestMode);
}

void Party::ShowPresetMode() { Step(ControlStep::PresetMode); }

// ---------------------------------------------------------------- the end of an event

void Party::Finish() {
    RefreshStates();
    MeasurePending();
    MeasureNextFirst();
    EventState& e = *event_;
    const bool listening = listener_->Active();
    const PageWrites pages = PagesFor(e.pages, e.pages ? WebConfigComplete() : false, listening, e.queueMoved,
                                      e.requestsMoved);
    // The window shows the party even when a page cannot be made; the error is told after.
    struct ShowAtEnd {
        Party& p;
        ~ShowAtEnd() {
            p.NoteChanges();
            p.view_.Show(p.event_->decks);
        }
    } show{*this};
    if (pages.index) MakeHTML();
    if (pages.pool) MakeGuestPoolHTML(pages.trackPages);
}

void Party::RefreshStates() {
    EventState& e = *event_;
    const tracks::StatusWords words = StatusWords();
    // The queue first: trimming changes what the other lists see.
    if (e.refresh & kQueueStates) player_->UpdateQueueStates();
    const std::pair<Refresh, ListId> byFiles[] = {
        {kQueueFiles, ListId::Queue}, {kRequestsFiles, ListId::Requests}, {kPresetsFiles, ListId::Presets}};
    for (const auto& [bit, id] : byFiles)
        if (e.refresh & bit) List(id).SetCaptions(tracks::ListStates(List(id), Queue(), Requests(), words, e.files));
    if (poolStale_ || (e.refresh & (kPoolWords | kPoolFiles))) {
        Pool().SetCaptions(requests::PoolStates(Pool(), Queue(), Requests(), settings_.CB_block, words,
                                                (e.refresh & kPoolFiles) ? &e.files : nullptr));
        poolStale_ = false;
    }
}

void Party::MarkRow(tracks::TrackList& list, int row, const char16_t* key) { list.SetCaption(row, Text(key)); }

// ---------------------------------------------------------------- language

std::optional<std::vector<settings::LanguageText>> Party::LoadLanguage(const QString& code) {
    languageCode_ = code;
    const std::filesystem::path path = settings::LanguageFile(code.toStdU16String());
    languageLoaded_.clear();
    if (path.empty()) return std::nullopt;
    // The words of the last language, to find them where they are shown.
    const QString h2[] = {Text(u"H21"), Text(u"H22"), Text(u"H23"), Text(u"H24"), Text(u"H25"), Text(u"H26")};
    const QString check = Text(u"str_check"), coming = Text(u"str_coming_up");
    std::vector<settings::LanguageText> texts = settings::ReadLanguage(platform::IniFile(path), texts_);
    for (const settings::LanguageText& t : texts)
        if (t.key->use != settings::LanguageUse::Caption) texts_.Set(t.key->key, t.text);
    languageLoaded_ = code;
    // What the panels and the banner were showing in the last language, in the new one.
    const char16_t* keys[] = {u"H21", u"H22", u"H23", u"H24", u"H25", u"H26"};
    for (size_t i = 0; i < 6; ++i)
        if (panels_[1] == h2[i]) {
            SetPanel(1, Text(keys[i]));
            break;
        }
    const QString probing = check + QStringLiteral(": ");
    if (!check.isEmpty() && panels_[4].startsWith(probing))
        SetPanel(4, Text(u"str_check") + QStringLiteral(": ") + panels_[4].mid(probing.size()));
    const QString next = coming + QLatin1Char(':');
    if (banner_.next.startsWith(next)) banner_.next = Text(u"str_coming_up") + banner_.next.mid(next.size() - 1);
    return texts;
}

std::optional<std::vector<settings::LanguageText>> Party::FirstShow() {
    Event e(*this);
    auto texts = LoadLanguage(QStringLiteral("eng"));
    SetPanel(1, Text(u"H21"));
    e.Finish();
    return texts;
}

std::optional<std::vector<settings::LanguageText>> Party::SwitchLanguage(const QString& code) {
    std::optional<std::vector<settings::LanguageText>> texts;
    {
        Event e(*this);
        texts = LoadLanguage(code);
        // Rows show their status in the new words; the guests' site speaks the new language.
        event_->refresh |= kPoolWords | kAllFiles;
        event_->pages |= kPagesFollow;
        e.Finish();
    }
    // Then one preset step, the one the preset timer runs, on the words just written.
    Event e(*this);
    if (InsertPreset()) {
        event_->refresh |= kQueueStates | kPresetsFiles;
        event_->pages |= kPresetAdded;
    }
    e.Finish();
    return texts;
}

// ---------------------------------------------------------------- settings

void Party::CloseSettings(const std::optional<settings::TSetRec>& confirmed) {
    Event e(*this);
    if (confirmed) {
        const settings::TSetRec before = settings_;
        const settings::TSetRec& s = *confirmed;
        // The record in force, its options still as they were: each one that changes runs what
        // a click on it would run, in the order of the mode panel.
        settings_ = s;
        settings_.CB_block = before.CB_block;
        settings_.RB_finish = before.RB_finish;
        settings_.RB_restart = before.RB_restart;
        settings_.CB_Guest = before.CB_Guest;
        settings_.RB_web_first = before.RB_web_first;
        settings_.RB_web_mix_preselect = before.RB_web_mix_preselect;
        settings_.CB_preset = before.CB_preset;
        settings_.RB_preset_1by1 = before.RB_preset_1by1;
        settings_.RB_preset_random = before.RB_preset_random;
        Step(ControlStep::Forward);
        if (s.CB_block != settings_.CB_block) {
            settings_.CB_block = s.CB_block;
            BlockRecentChanged();
        }
        // Setting one member of a pair clears the other; clearing one leaves the other alone.
        const auto pair = [](bool& member, bool& partner, bool want) {
            const bool selected = want && !member;
            member = want;
            if (want) partner = false;
            return selected;
        };
        pair(settings_.RB_finish, settings_.RB_restart, s.RB_finish);
        pair(settings_.RB_restart, settings_.RB_finish, s.RB_restart);
        if (s.CB_Guest != settings_.CB_Guest) {
            settings_.CB_Guest = s.CB_Guest;
            GuestUseChanged();
        }
        if (pair(settings_.RB_web_first, settings_.RB_web_mix_preselect, s.RB_web_first)) ShowGuestMode();
        if (pair(settings_.RB_web_mix_preselect, settings_.RB_web_first, s.RB_web_mix_preselect)) ShowGuestMode();
        if (s.CB_preset != settings_.CB_preset) {
            settings_.CB_preset = s.CB_preset;
            PresetUseChanged();
        }
        if (pair(settings_.RB_preset_1by1, settings_.RB_preset_random, s.RB_preset_1by1)) ShowPresetMode();
        if (pair(settings_.RB_preset_random, settings_.RB_preset_1by1, s.RB_preset_random)) ShowPresetMode();
        // The lists are not cleared: loading skips the tracks they hold already. Mid-party only a
        // renamed list loads: the same file again would bring back played rows and used presets.
        const bool playing = AnyDeckBusy();
        const std::tuple<const QString&, const QString&, ListId> lists[] = {
            {s.StdPlayList, before.StdPlayList, ListId::Queue},
            {s.StdWebList, before.StdWebList, ListId::Pool},
            {s.StdPresetList, before.StdPresetList, ListId::Presets},
        };
        for (const auto& [file, was, id] : lists) {
            if (playing && file == was) continue;
            if (!file.isEmpty() && platform::IsRegularFile(tracks::PathOf(file)))
                tracks::LVfromFile(
                    List(id), file, [this](const QString& line) { Log(line); },
                    [this](const QString& text) { view_.AddDetails({text}); });
        }
        ShowGuestMode();
        ShowPresetMode();
        event_->refresh |= kAllFiles;
        Step(ControlStep::ListsChanged);
        // Measuring switched on: the tracks listed already are measured too, the next one first.
        const bool measuredBefore = before.CB_leveling || before.CB_no_dead_air;
        if (Measuring() && !measuredBefore) {
            measuredFirst_.clear();
            MeasureNextFirst();
            for (const auto& list : lists_) MeasureRows(*list, 0, list->Count() - 1);
        }
    }
    ShowWebConfig();
    e.Finish();
}

}  // namespace session
