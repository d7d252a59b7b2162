// Guest requests and presets on the main window: the pool's states, admitting a request, and
// the two timers that feed requests and presets into the queue.
#include "app/main_window.h"
#include "requests/feeding.h"
#include "ui/track_list_view.h"

namespace app {

using tracks::TListView;

using tracks::siFileName;

namespace {

// The window's side of a feeding step: probing into the queue, the log and the dice.
class FormFeedTarget : public requests::FeedTarget {
public:
    explicit FormFeedTarget(TForm1& form) : form_(form) {}
    void AddToQueue(const QString& path, const QString& source) override {
        form_.AddTrack(form_.ListView_soon, path, source);
    }
    void Log(const QString& line) override { form_.AddLog(line); }
    int RandomBelow(int n) override { return std::uniform_int_distribution<int>(0, n - 1)(form_.Rng); }

private:
    TForm1& form_;
};

requests::FeedModes ModesOf(const TForm1& f) {
    return {f.CheckBox_guest_use->isChecked(),      f.RadioButton_web_first->isChecked(),
            f.RadioButton_web_mix_preselect->isChecked(), f.CheckBox_preset_use->isChecked(),
            f.RadioButton_preset_1by1->isChecked(), f.RadioButton_preset_random->isChecked(),
            f.SetRec.CB_artist_apart, f.Timer3->isActive()};
}

requests::FeedLists ListsOf(TForm1& f) {
    return {f.ListView_soon->List(), f.ListView_Guest->List(), f.ListView_preselect->List()};
}

}  // namespace

// ---------------------------------------------------------------- pool states and admission

void TForm1::UpdatePoolStates() {
    ListView_Guest_Pool->List().SetCaptions(requests::PoolStates(ListView_Guest_Pool->List(), ListView_soon->List(),
                                                                 ListView_Guest->List(),
                                                                 CheckBox_block_latest->isChecked(), StatusWords()));
}

int TForm1::CheckRequest(const QString& path) const {
    return requests::CheckRequest(ListView_Guest_Pool->List(), path, StatusWords());
}

requests::Admission TForm1::AdmitRequest(const QString& host, const QString& time, const QString& path) {
    requests::Admission a = requests::AdmitRequest(ListView_Guest_Pool->List(), ListView_Guest->List(), host, time, path,
                                                   StatusWords(), SetRec.RequestsPerGuest);
    for (const tracks::TrackRow& r : a.rows) {
        AddGuestRequest(r.Title, r.Artist, r.Status, r.FileName, r.Time, r.Src, r.Year, r.Album);
        RefreshListStates(ListView_Guest_Pool);
        RefreshListStates(ListView_Guest);
        RefreshListStates(ListView_preselect);
    }
    return a;
}

void TForm1::AddGuestRequest(const QString& title, const QString& artist, const QString& status,
                             const QString& path, const QString& time, const QString& host, const QString& year,
                             const QString& album) {
    tracks::TrackRow row;
    row.Status = status;
    row.Title = title;
    row.Artist = artist;
    row.Album = album;
    row.Year = year;
    row.Time = time;
    row.Src = host;
    row.FileName = path;
    ListView_Guest->AppendRow(row);
    ListView_Guest->ScrollToLast();
    if (ListView_Guest->Count() > 0 && CheckBox_guest_use->isChecked()) SetTimerEnabled(Timer2, true);
}

// ---------------------------------------------------------------- feeding the queue

bool TForm1::QueueRunsShort() const { return requests::QueueRunsShort(ListView_soon->Count(), Player->CurIndex); }

void TForm1::Timer2Timer() {
    if (ListView_Guest->Count() == 0) Timer2->stop();
    FeedGuestRequest();
    AddLog(QStringLiteral("Timer 2"));
}

void TForm1::Timer3Timer() {
    if (ListView_preselect->Count() == 0) Timer3->stop();
    AddLog(QStringLiteral("Timer3"));
    InsertPreset();
}

void TForm1::FeedGuestRequest() {
    FormFeedTarget target(*this);
    requests::FeedGuestRequest(ListsOf(*this), ModesOf(*this), Player->CurIndex, PresetDue, Text(u"st_ready"),
                               target);
}

void TForm1::MoveFirstRequest() {
    FormFeedTarget target(*this);
    requests::MoveFirstRequest(ListsOf(*this), target);
}

void TForm1::InsertPreset() {
    FormFeedTarget target(*this);
    if (!requests::InsertPreset(ListsOf(*this), ModesOf(*this), Player->CurIndex, PresetDue, Text(u"st_ready"), target))
        return;
    UpdateQueueStates();
    RefreshListStates(ListView_preselect);
    MakeHTML();
}

QString TForm1::PickRandomPreset(TListView* list) {
    FormFeedTarget target(*this);
    return list ? requests::PickRandomPreset(list->List(), Text(u"st_ready"), target) : QString();
}

}  // namespace app
