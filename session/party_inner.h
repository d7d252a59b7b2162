#pragma once
// The party's inner parts: one event, and the queue as the queue player sees it.
#include "session/party.h"
#include "settings/settings_file.h"

namespace session {

// One event of the party, from its first change to the window showing it: what it touched is
// gathered here, and Finish refreshes, rewrites and shows once. An event that ends in an error
// still has the window show the party as the error left it.
class Party::Event {
public:
    explicit Event(Party& party) : party_(party), outer_(party.event_) { party.event_ = &state_; }
    ~Event() {
        if (!finished_) {
            try {
                party_.view_.Show(state_.decks);
            } catch (...) {
            }
        }
        party_.event_ = outer_;
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Finish() {
        finished_ = true;
        party_.Finish();
    }

private:
    Party& party_;
    EventState* outer_;
    EventState state_;
    bool finished_ = false;
};

// The queue's rows and the options in force, as the queue player reads them; what it reports
// lands in the party.
class Party::QueueLink : public playback::QueueView, public playback::QueueSink {
public:
    explicit QueueLink(Party& party) : p_(party) {}

    int Count() const override { return p_.Queue().Count(); }
    QString FileName(int row) const override { return p_.Queue().SubItem(row, tracks::siFileName); }
    int SelectedIndex() const override { return p_.Queue().SelectedIndex(); }
    void SelectRow(int row) override { p_.Queue().SelectRow(row); }
    void DeleteRow(int row) override { p_.Queue().DeleteRow(row); }
    void ScrollToLast() override { p_.Queue().ScrollToLast(); }
    void Repaint() override { p_.MarkQueue(); }
    void SetStatus(int row, Status status) override {
        const char16_t* key = u"st_ready";
        switch (status) {
            case Status::Running: key = u"st_running"; break;
            case Status::Played: key = u"st_played"; break;
            case Status::Soon: key = u"st_soon"; break;
            case Status::Ready: key = u"st_ready"; break;
            case Status::Blocked: key = u"st_blocked"; break;
        }
        p_.MarkRow(p_.Queue(), row, key);
    }
    bool RepeatList() const override { return p_.settings_.RB_restart; }
    bool PlayListOnce() const override { return p_.settings_.RB_finish; }
    int FadeSeconds() const override { return p_.settings_.FadeSec; }
    bool BlockRecent() const override { return p_.settings_.CB_block; }
    int KeepBefore() const override { return p_.settings_.number_block; }
    int ForwardSeconds() const override { return settings::ForwardSecondsOf(p_.settings_.FFsecText); }
    bool Leveling() const override { return p_.settings_.CB_leveling; }
    double LevelTargetLufs() const override { return p_.settings_.LevelTarget; }
    bool Crossfade() const override { return p_.settings_.CB_crossfade; }
    bool NoDeadAir() const override { return p_.settings_.CB_no_dead_air; }
    std::optional<playback::TrackAnalysis> Analysis(const QString& path) const override { return p_.AnalysisOf(path); }

    void QueueStarted() override { p_.QueueStarted(); }
    void TrackOpening(const QString& path) override { p_.SetPanel(4, path); }
    void ProgressChanged() override {
        if (p_.event_) p_.event_->decks = true;
    }
    void PagesChanged() override { p_.ShowWebConfig(); }
    void PlaybackStopped() override { p_.QueueStopped(); }
    void Note(const QString& line) override { p_.Log(line); }

private:
    Party& p_;
};

}  // namespace session
