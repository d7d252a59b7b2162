#pragma once
// The queue player's view of a queue and of the window's options, as plain fields; what the
// window would show is counted.
#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "playback/queue_player.h"

namespace test_support {

struct FakeQueue : playback::QueueView, playback::QueueSink {
    using St = playback::QueueView::Status;
    using TrackAnalysis = playback::TrackAnalysis;
    std::vector<QString> files;
    std::vector<St> status;
    int selected = -1;
    bool repeat = false, once = true, block = false;
    int fade = 0, keep = 0;
    int started = 0, stopped = 0;
    std::vector<QString> notes;
    bool leveling = false, crossfade = false, noDeadAir = false;
    std::map<QString, TrackAnalysis> analyses;

    int Count() const override { return static_cast<int>(files.size()); }
    QString FileName(int row) const override { return files.at(row); }
    int SelectedIndex() const override { return selected; }
    void SelectRow(int row) override { selected = row; }
    void SetStatus(int row, St s) override { status.at(row) = s; }
    void DeleteRow(int row) override {
        files.erase(files.begin() + row);
        status.erase(status.begin() + row);
    }
    void ScrollToLast() override {}
    void Repaint() override {}
    bool RepeatList() const override { return repeat; }
    bool PlayListOnce() const override { return once; }
    int FadeSeconds() const override { return fade; }
    bool BlockRecent() const override { return block; }
    int KeepBefore() const override { return keep; }
    int ForwardSeconds() const override { return 0; }
    bool Leveling() const override { return leveling; }
    double LevelTargetLufs() const override { return -14; }
    bool Crossfade() const override { return crossfade; }
    bool NoDeadAir() const override { return noDeadAir; }
    std::optional<TrackAnalysis> Analysis(const QString& path) const override {
        const auto it = analyses.find(path);
        return it == analyses.end() ? std::nullopt : std::optional(it->second);
    }
    void QueueStarted() override { ++started; }
    void TrackOpening(const QString&) override {}
    void ProgressChanged() override {}
    void PagesChanged() override {}
    void PlaybackStopped() override { ++stopped; }
    void Note(const QString& line) override { notes.push_back(line); }
};

}  // namespace test_support
