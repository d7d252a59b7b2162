// The party's guests: select requests, feeding the queue from the requests and the presets, the
// web server and the pages it serves.
#include <QFileInfo>

#include "platform/errors.h"
#include "requests/admission.h"
#include "session/party.h"
#include "session/party_inner.h"
#include "session/web_link.h"
#include "tracks/track_adder.h"
#include "web/listener.h"
#include "web/pages.h"

namespace session {

namespace {

std::string U(const QString& s) { return s.toStdString(); }

std::vector<web::PageRow> Snapshot(const tracks::TrackList& list) {
    std::vector<web::PageRow> rows;
    rows.reserve(static_cast<size_t>(list.Count()));
    for (const tracks::TrackRow& r : list.Rows()) rows.push_back({U(r.Status), U(r.Title), U(r.Artist), U(r.Album), U(r.FileName)});
    return rows;
}

// The guest site speaks the program's language: its fragments and its fixed texts.
web::SiteTexts SiteOf(const QString& code, const std::function<QString(const char16_t*)>& text) {
    web::SiteTexts site;
    site.code = U(code);
    site.take = U(text(u"web_take"));
    site.medium = U(text(u"web_medium"));
    site.yourChoice = U(text(u"web_choice"));
    site.recent = U(text(u"web_recent"));
    site.already = U(text(u"web_already"));
    return site;
}

// The party's side of a feeding step: probing into the queue, the log and the dice.
class FeedTarget : public requests::FeedTarget {
public:
    FeedTarget(tracks::TrackAdder& adder, tracks::TrackList& queue, QString ready, std::mt19937& rng,
               std::function<void(const QString&)> log)
        : adder_(adder), queue_(queue), ready_(std::move(ready)), rng_(rng), log_(std::move(log)) {}
    void AddToQueue(const QString& path, const QString& source) override { adder_.Add(queue_, path, source, ready_); }
    void Log(const QString& line) override { log_(line); }
    int RandomBelow(int n) override { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

private:
    tracks::TrackAdder& adder_;
    tracks::TrackList& queue_;
    QString ready_;
    std::mt19937& rng_;
    std::function<void(const QString&)> log_;
};

}  // namespace

// ---------------------------------------------------------------- feeding the queue

requests::FeedModes Party::Modes() const {
    return {settings_.CB_Guest,  settings_.RB_web_first,   settings_.RB_web_mix_preselect, settings_.CB_preset,
            settings_.RB_preset_1by1, settings_.RB_preset_random, settings_.CB_artist_apart, timers_.presets};
}

requests::FeedLists Party::FeedLists() { return {Queue(), Requests(), Presets()}; }

bool Party::InsertPreset() {
    FeedTarget target(*adder_, Queue(), Text(u"st_ready"), rng_, [this](const QString& line) { Log(line); });
    return requests::InsertPreset(FeedLists(), Modes(), player_->CurIndex(), presetDue_, Text(u"st_ready"), target);
}

void Party::RequestStep() {
    // A batch of files is being added: the queue waits for its end.
    if (adder_->Busy()) return;
    Event e(*this);
    SwitchTimers(TimerCause::RequestStep);
    FeedTarget target(*adder_, Queue(), Text(u"st_ready"), rng_, [this](const QString& line) { Log(line); });
    requests::FeedGuestRequest(FeedLists(), Modes(), player_->CurIndex(), presetDue_, Text(u"st_ready"), target);
    Log(QStringLiteral("Timer 2"));
    e.Finish();
}

void Party::PresetStep() {
    if (adder_->Busy()) return;
    Event e(*this);
    SwitchTimers(TimerCause::PresetStep);
    Log(QStringLiteral("Timer3"));
    if (InsertPreset()) {
        event_->refresh |= kQueueStates | kPresetsFiles;
        event_->pages |= kPresetAdded;
    }
    e.Finish();
}

// ---------------------------------------------------------------- select requests

std::string Party::Select(const QString& host, const QString& time, const QString& path) {
    Event e(*this);
    const tracks::StatusWords words = StatusWords();
    // A change of the last moment counts: the request is decided on the words as they are.
    if (poolStale_) {
        Pool().SetCaptions(requests::PoolStates(Pool(), Queue(), Requests(), settings_.CB_block, words));
        poolStale_ = false;
    }
    const requests::Admission a = requests::AdmitRequest(Pool(), Requests(), host, time, path, words,
                                                         settings_.RequestsPerGuest, &event_->files);
    if (!a.rows.empty()) {
        Requests().AppendRows(a.rows);
        Requests().ScrollToLast();
        SwitchTimers(TimerCause::RequestAdded);
        event_->refresh |= kRequestsFiles | kPresetsFiles;
    }
    event_->refresh |= kQueueStates | kPoolWords;
    event_->pages |= kSelectAnswered;
    const QString word = requests::StateWord(a.state, words, Text(u"st_limit"));
    // A refused guest learns which track and why: a second tap on a link taken a moment ago
    // must not look like a lost request.
    QString reason;
    switch (a.state) {
        case requests::rsAdmitted: break;
        case requests::rsChosen: {
            bool mine = false;
            for (const tracks::TrackRow& r : Requests().Rows()) mine = mine || (r.FileName == path && r.Src == host);
            reason = Text(mine ? u"web_why_yours" : u"web_why_chosen");
            break;
        }
        case requests::rsBlocked: reason = Text(u"web_why_blocked"); break;
        case requests::rsLimit: reason = Text(u"web_why_limit"); break;
        default: reason = Text(u"web_why_error"); break;
    }
    // A track the pool does not hold is named by its file (one from Windows separates with a backslash).
    const QString title = a.title.isEmpty() && a.state != requests::rsAdmitted
                              ? QFileInfo(path.section(QLatin1Char('\\'), -1)).completeBaseName()
                              : a.title;
    const web::SiteTexts site = SiteOf(languageCode_, [this](const char16_t* k) { return Text(k); });
    web::SelectAnswer answer = web::SelectPage(U(WebRoot()), site, U(title), U(a.artist), U(word), U(reason));
    if (answer.headFound)
        SetPanel(1, QStringLiteral("Gew\u00e4hlt: ") + (a.state == requests::rsAdmitted ? a.title : QString()));
    // The guest gets the answer even when the pages that follow cannot be made.
    try {
        e.Finish();
    } catch (const std::exception& error) {
        webLink_->Show(QString::fromUtf8(error.what()), true);
    }
    return std::move(answer.page);
}

// ---------------------------------------------------------------- the web server and its pages

web::WebHost& Party::Host() { return *webLink_; }

QString Party::WebRoot() {
    const QString root =
        QString::fromStdString(web::WebRoot(U(settings_.HTMLpath), U(options_.programFolder)));
    webLink_->SetWebRoot(root);
    return root;
}

bool Party::WebConfigComplete() const {
    return tracks::FileExists(settings_.StdPlayList) && tracks::FileExists(settings_.StdWebList) &&
           tracks::FileExists(settings_.StdPresetList) && !settings_.HTMLpath.isEmpty() &&
           QFileInfo(settings_.HTMLpath).isDir();
}

bool Party::CheckWebConfig() {
    WebRoot();  // settings just applied: the listener serves from the new folder at once
    Step(ControlStep::WebCheck);
    return WebConfigComplete();
}

void Party::ShowWebConfig() {
    SetPanel(1, Text(CheckWebConfig() ? u"H22" : u"H21"));
    event_->pages |= kPagesFollow;
}

void Party::MakeHTML() {
    // Before the first Play List the current row has not been heard yet.
    const int current = queueStartedOnce_ ? player_->CurIndex() : -1;
    web::PageSink sink{[this](const std::string& line) { Log(QString::fromStdString(line)); },
                       [this](const std::string& text) { webLink_->Show(QString::fromStdString(text), false); }};
    web::MakeHTML(U(WebRoot()), Snapshot(Queue()), current, AnyDeckBusy(),
                  SiteOf(languageCode_, [this](const char16_t* k) { return Text(k); }), sink);
}

void Party::MakeGuestPoolHTML(bool trackPages) {
    const tracks::StatusWords words = StatusWords();
    web::PageSink sink{[this](const std::string& line) { Log(QString::fromStdString(line)); },
                       [this](const std::string& text) { webLink_->Show(QString::fromStdString(text), false); }};
    if (poolPageStale_) {
        poolPage_ = Snapshot(Pool());
        poolPageStale_ = false;
    }
    web::MakeGuestPoolHTML(U(WebRoot()), poolPage_, {U(words.blocked), U(words.chosen)},
                           SiteOf(languageCode_, [this](const char16_t* k) { return Text(k); }), sink, trackPages);
}

void Party::StartWebServer() {
    Event e(*this);
    WebRoot();  // the listener serves from the folder in force now
    std::string error;
    web_.tried = true;
    if (!listener_->Start(options_.webPort, &error)) {
        // Not running: the menu offers the start again, and the DJ learns why.
        web_ = WebState{};
        web_.tried = true;
        Step(ControlStep::WebStopped);
        SetPanel(1, Text(u"H24"));
        throw platform::Error(error.empty() ? "The web server cannot be started" : error);
    }
    const QString ip = QString::fromStdString(web::LocalIPAddress());
    const QString name = QString::fromStdString(web::LocalComputerName());
    const QString port = QString::number(listener_->Port());
    web_.serverURL = (QStringLiteral("http://") + name + QLatin1Char(':') + port).toLower();
    web_.label = QStringLiteral("Server-IP: ") + ip + QStringLiteral(" : ") + port;
    Log(QStringLiteral("Server-IP: ") + ip);
    // Phones often cannot resolve the computer's name, so the code a guest scans carries the
    // address by number, and leads straight to the pool page.
    const bool known = ip != QStringLiteral("No. IP Address");
    web_.guestURL = known ? QStringLiteral("http://") + ip + QLatin1Char(':') + port + QStringLiteral("/tool/guestpool.html")
                          : QString();
    if (listener_->Active()) {
        web_.running = true;
        Step(ControlStep::WebStarted);
        SetPanel(1, Text(u"H23"));
        // Guests must find the lists as they are now, also before the configuration is complete.
        event_->pages |= kServerStarted;
    }
    e.Finish();
}

void Party::StopWebServer() {
    Event e(*this);
    listener_->Stop();
    if (!listener_->Active()) {
        web_.running = false;
        Step(ControlStep::WebStopped);
        SetPanel(1, Text(u"H24"));
    }
    web_.label.clear();
    web_.serverURL.clear();
    web_.guestURL.clear();
    e.Finish();
}

}  // namespace session
