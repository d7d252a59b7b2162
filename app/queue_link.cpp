// The main window as the queue player sees it.
#include "app/queue_link.h"

#include <QPalette>

#include "app/main_window.h"
#include "settings/settings_file.h"
#include "ui/info_box.h"

namespace app {

using tracks::siFileName;

void SetBarPaused(QProgressBar* bar, bool paused) {
    if (paused) {
        QPalette pal = bar->palette();
        pal.setColor(QPalette::Base, Qt::red);
        pal.setColor(QPalette::Window, Qt::red);
        bar->setPalette(pal);
        bar->setAutoFillBackground(true);
    } else {
        bar->setPalette(QPalette());
        bar->setAutoFillBackground(false);
    }
}

int QueueLink::Count() const { return f_.ListView_soon->Count(); }
QString QueueLink::FileName(int row) const { return f_.ListView_soon->SubItem(row, siFileName); }
int QueueLink::SelectedIndex() const { return f_.ListView_soon->SelectedIndex(); }
void QueueLink::SelectRow(int row) { f_.ListView_soon->SelectRow(row); }
void QueueLink::DeleteRow(int row) { f_.ListView_soon->DeleteRow(row); }
void QueueLink::ScrollToLast() { f_.ListView_soon->ScrollToLast(); }
void QueueLink::Repaint() { f_.RepaintQueue(); }

void QueueLink::SetStatus(int row, Status status) {
    const char16_t* key = u"st_ready";
    switch (status) {
        case Status::Running: key = u"st_running"; break;
        case Status::Played: key = u"st_played"; break;
        case Status::Soon: key = u"st_soon"; break;
        case Status::Ready: key = u"st_ready"; break;
        case Status::Blocked: key = u"st_blocked"; break;
    }
    f_.ListView_soon->SetCaption(row, f_.Text(key));
}

bool QueueLink::RepeatList() const { return f_.RadioButton_restart->isChecked(); }
bool QueueLink::PlayListOnce() const { return f_.RadioButton_finish->isChecked(); }
int QueueLink::FadeSeconds() const { return f_.TrackBar_fader->value(); }
bool QueueLink::BlockRecent() const { return f_.CheckBox_block_latest->isChecked(); }
int QueueLink::KeepBefore() const { return f_.SetRec.number_block; }
int QueueLink::ForwardSeconds() const { return settings::ForwardSecondsOf(f_.ForwardSecondsText()); }

void QueueLink::QueueStarted() {
    f_.QueueStartedOnce = true;
    f_.ShowProgress();
    f_.ShowDeckLabels();
    f_.SetStatusPanel(1, f_.Text(u"H25"));
    f_.SetControlState(ControlPhase::Playing);
}

void QueueLink::TrackOpening(const QString& path) { f_.SetStatusPanel(4, path); }
void QueueLink::Note(const QString& line) { f_.AddLog(line); }
void QueueLink::ProgressChanged() { f_.ShowProgress(); }
void QueueLink::PagesChanged() { f_.ShowWebConfigAndMakePages(); }

void QueueLink::PlaybackStopped() {
    f_.ProgressBar1->setValue(0);
    f_.ProgressBar2->setValue(0);
    f_.Button_Pause->setText(f_.Text(u"str_pause"));
    SetBarPaused(f_.ProgressBar1, false);
    SetBarPaused(f_.ProgressBar2, false);
    f_.ShowProgress();
    f_.ShowPositions();

    f_.Form_InfoBox->close();
    f_.RepaintQueue();
    if (f_.PagesWanted()) {
        f_.MakeHTML();
        f_.MakeGuestPoolHTML();
    }
    f_.SetControlState(ControlPhase::Stopped);
    f_.Timer1->stop();
    f_.Timer2->stop();
    f_.Timer3->stop();
    f_.SetStatusPanel(0, QString());
    f_.SetStatusPanel(1, f_.Text(u"H26"));
}

}  // namespace app
