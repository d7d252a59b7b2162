#pragma once
// What the queue player reaches of the main window: the play queue's rows, the playback options
// and the displays that follow playback.
#include <QProgressBar>

#include "playback/queue_player.h"

namespace app {

class TForm1;

class QueueLink : public playback::QueueView, public playback::QueueSink {
public:
    explicit QueueLink(TForm1& form) : f_(form) {}

    int Count() const override;
    QString FileName(int row) const override;
    int SelectedIndex() const override;
    void SelectRow(int row) override;
    void SetStatus(int row, Status status) override;
    void DeleteRow(int row) override;
    void ScrollToLast() override;
    void Repaint() override;
    bool RepeatList() const override;
    bool PlayListOnce() const override;
    int FadeSeconds() const override;
    bool BlockRecent() const override;
    int KeepBefore() const override;
    int ForwardSeconds() const override;

    void QueueStarted() override;
    void TrackOpening(const QString& path) override;
    void ProgressChanged() override;
    void PagesChanged() override;
    void PlaybackStopped() override;
    void Note(const QString& line) override;

private:
    TForm1& f_;
};

// Red background of a paused deck's bar, or the default one.
void SetBarPaused(QProgressBar* bar, bool paused);

}  // namespace app
