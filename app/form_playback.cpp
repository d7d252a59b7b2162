// Queue playback on two alternating decks, the transport buttons, the position display and the
// status marking of the queue.
#include <QFileInfo>
#include <QPalette>
#include <QTime>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/main_window.h"
#include "platform/errors.h"
#include "tracks/time_format.h"
#include "ui/info_box.h"
#include "ui/list_presentation.h"
#include "ui/text_emphasis.h"

namespace app {

using playback::AudioDeck;
using tracks::TListView;

using playback::mpPaused;
using playback::mpPlaying;
using playback::mpStopped;
using tracks::siArtist;
using tracks::siFileName;
using tracks::siTitle;

namespace {

// Red background of a paused deck's bar, or the default one.
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

// Whole number as the forward-jump field must hold it; anything else is a conversion error.
int ToInt(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    const qlonglong v = t.toLongLong(&ok, 10);
    if (!ok || t.isEmpty() || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw platform::Error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return static_cast<int>(v);
}

bool IsPlayableFile(const QString& path) {
    const QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

}  // namespace

int TForm1::NextIndexOf(int current) {
    const int count = ListView_soon->Count();
    int n = -1;
    // An empty queue has no next row, whatever the play mode.
    if (count == 0) {
        PlayOn = false;
        return n;
    }
    if (current < count) {
        n = current + 1;
        PlayOn = true;
    }
    if (current > count - 2 && RadioButton_restart->isChecked()) {
        n = 0;
        PlayOn = true;
    }
    if (current > count - 2 && RadioButton_finish->isChecked()) {
        n = count - 1;
        PlayOn = false;
    }
    if (n < 0) PlayOn = false;
    return n;
}

void TForm1::StartQueue() {
    TListView* q = ListView_soon;
    if (q->Count() == 0) return;
    int start = q->SelectedIndex();
    if (start < 0) {
        q->SelectRow(0);
        start = 0;
    }
    const QString f = q->SubItem(start, siFileName);
    if (!IsPlayableFile(f)) return;

    MediaPlayer1->SetFileName(f);
    MediaPlayer1->SetWait(true);
    MediaPlayer1->Open();
    MediaPlayer1->Play();

    CurIndex = start;
    NextIndex = NextIndexOf(CurIndex);
    ShowProgress();
    ShowDeckLabels();
    SetStatusPanel(1, Text(u"H25"));
    q->SetCaption(start, Text(u"st_running"));
    SetControlState(ControlPhase::Playing);
}

void TForm1::Button_PlayListClick() {
    SetTimerEnabled(Timer1, true);
    SetTimerEnabled(Timer3, true);
    MediaPlayer1->SetNotify(true);
    MediaPlayer2->SetNotify(true);
    StartQueue();
    UpdateQueueStates();
    ShowWebConfigAndMakePages();
}

void TForm1::HandOver() {
    TListView* q = ListView_soon;
    const int fade = TrackBar_fader->value() * 1000;

    auto pair = [&](AudioDeck& a, AudioDeck& b, bool scroll) {
        if (a.Mode() != mpPlaying || !(a.Position() > a.Length() - fade) || b.Mode() == mpPlaying)
            return;
        // An index naming no row (the current row was removed or the list cleared) is no track.
        if (q->ValidIndex(CurIndex)) q->SetCaption(CurIndex, Text(u"st_played"));
        CurIndex = NextIndexOf(CurIndex);
        if (CurIndex > -1 && PlayOn && q->ValidIndex(CurIndex)) {
            b.SetFileName(q->SubItem(CurIndex, siFileName));
            SetStatusPanel(4, b.FileName());
            b.SetWait(true);
            b.Open();
            b.Play();
            CurIndex = FindQueueIndex(b.FileName());
            NextIndex = NextIndexOf(CurIndex);
            if (scroll && q->Count() > 0) q->ScrollToLast();
            ShowProgress();
            q->SelectRow(NextIndex);
            if (q->ValidIndex(CurIndex)) q->SetCaption(CurIndex, Text(u"st_running"));
            ShowWebConfigAndMakePages();
        } else {
            b.Stop();
        }
    };

    pair(*MediaPlayer1, *MediaPlayer2, true);
    pair(*MediaPlayer2, *MediaPlayer1, false);
    if (MediaPlayer1->Mode() == mpStopped && MediaPlayer2->Mode() == mpStopped) StopPlayback();
}

void TForm1::StopPlayback() {
    ProgressBar1->setValue(0);
    ProgressBar2->setValue(0);
    Button_Pause->setText(Text(u"str_pause"));
    SetBarPaused(ProgressBar1, false);
    SetBarPaused(ProgressBar2, false);

    for (AudioDeck* d : {MediaPlayer1.get(), MediaPlayer2.get()}) {
        const auto mode = d->Mode();
        if (mode == mpPlaying || mode == mpPaused) {
            d->Stop();
            d->Close();
        }
    }
    ShowProgress();
    ShowPositions();

    if (Form_InfoBox) Form_InfoBox->close();
    RepaintQueue();
    if (CheckWebConfig()) {
        MakeHTML();
        MakeGuestPoolHTML();
    }
    SetControlState(ControlPhase::Stopped);
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    SetStatusPanel(0, QString());
    SetStatusPanel(1, Text(u"H26"));
}

void TForm1::ShowPositions() {
    const QString clock = tracks::FormatClock(QTime::currentTime());
    struct Row {
        AudioDeck* deck;
        QLabel *pos, *von, *length, *unit;
    };
    for (const Row& r : {Row{MediaPlayer1.get(), Label_Pos1, Label_von1, Label_Length1, Label_unit1},
                         Row{MediaPlayer2.get(), Label_Pos2, Label_von2, Label_Length2, Label_unit2}}) {
        if (r.deck->Mode() == mpPlaying) {
            r.pos->setText(tracks::FormatMinSec(r.deck->Position()));
            r.length->setText(tracks::FormatMinSec(r.deck->Length()));
            r.von->setText(Text(u"str_of"));
            r.unit->setText(QStringLiteral("min"));
            SetStatusPanel(0, clock);
        } else {
            r.pos->clear();
            r.von->clear();
            r.unit->clear();
            r.length->clear();
        }
    }
    if (MediaPlayer1->Mode() == mpStopped && MediaPlayer2->Mode() == mpStopped) {
        Timer1->stop();
        SetStatusPanel(0, QString());
        Timer2->stop();
        Timer3->stop();
    }
}

void TForm1::ShowProgress() {
    for (auto [deck, bar] : {std::pair{MediaPlayer1.get(), ProgressBar1}, std::pair{MediaPlayer2.get(), ProgressBar2}}) {
        const auto mode = deck->Mode();
        if (mode == mpStopped) {
            bar->setValue(0);
            SetBarPaused(bar, false);
        } else if (mode == mpPlaying) {
            // A zero range would turn the bar into a busy indicator.
            bar->setRange(0, std::max(1, deck->Length()));
            bar->setValue(std::clamp(deck->Position(), 0, bar->maximum()));
        }
    }
}

void TForm1::ShowDeckLabels() {
    struct Row {
        AudioDeck* deck;
        QLabel *pos, *von, *unit;
    };
    for (const Row& r : {Row{MediaPlayer1.get(), Label_Pos1, Label_von1, Label_unit1},
                         Row{MediaPlayer2.get(), Label_Pos2, Label_von2, Label_unit2}}) {
        const bool playing = r.deck->Mode() == mpPlaying;
        ui::SetTextEmphasis(r.pos, playing ? ui::kRed : QColor(), playing);
        if (!playing) {
            r.pos->clear();
            r.von->clear();
            r.unit->clear();
        }
    }
    if (!Form_InfoBox) return;
    // A row that no longer exists leaves the now line naming the track the deck still plays.
    const TListView* q = ListView_soon;
    if (q->ValidIndex(CurIndex)) {
        Form_InfoBox->Label_Now->setText(QStringLiteral("\"%1\" (%2)")
                                             .arg(q->SubItem(CurIndex, siTitle), q->SubItem(CurIndex, siArtist)));
    }
    if (q->ValidIndex(NextIndex)) {
        Form_InfoBox->Label_Next->setText(
            QStringLiteral("%1: \"%2\"").arg(Text(u"str_coming_up"), q->SubItem(NextIndex, siTitle)));
    } else {
        Form_InfoBox->Label_Next->setText(Text(u"str_coming_up") + QStringLiteral(": "));
    }
}

void TForm1::Button_PauseClick() {
    for (auto [deck, bar] : {std::pair{MediaPlayer1.get(), ProgressBar1}, std::pair{MediaPlayer2.get(), ProgressBar2}}) {
        const auto mode = deck->Mode();
        if (mode == mpPlaying) {
            deck->Pause();
            Button_Pause->setText(Text(u"str_go_on"));
            SetBarPaused(bar, true);
        } else if (mode == mpPaused) {
            deck->Play();
            Button_Pause->setText(Text(u"str_pause"));
            SetBarPaused(bar, false);
        }
    }
    ShowPositions();
}

void TForm1::Button_StopClick() {
    StopPlayback();
    ShowPositions();
}

void TForm1::Button_FFClick() {
    for (AudioDeck* d : {MediaPlayer1.get(), MediaPlayer2.get()}) {
        if (d->Mode() != mpPlaying) continue;
        // 64-bit: a huge jump must not wrap around into a backward one.
        const int64_t jump = int64_t{ToInt(ForwardSecondsText())} * 1000;
        const int64_t pos = d->Position();
        if (pos < int64_t{d->Length()} - (jump + 1000)) {
            d->SetPosition(static_cast<int>(std::clamp<int64_t>(pos + jump, 0, d->Length())));
            d->Play();
        }
    }
}

void TForm1::Timer1Timer() {
    if (inTick_) return;
    inTick_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inTick_};
    ShowPositions();
    HandOver();
    ShowProgress();
    ShowDeckLabels();
    RepaintQueue();
}

void TForm1::TrackBar_faderChange() {
    const int v = TrackBar_fader->value();
    Label_fadesec->setText((v >= 0 && v < 10 ? QStringLiteral(" ") : QString()) + QString::number(v) +
                           QLatin1Char(' ') + Text(u"LB_fadeunit") + QLatin1Char(' ') + Text(u"LB_fadeover"));
}

void TForm1::UpdateQueueStates() {
    TListView* q = ListView_soon;
    const bool blocking = CheckBox_block_latest->isChecked();
    if (blocking && q->Count() > 0 && q->ValidIndex(CurIndex)) {
        const QString f = q->SubItem(CurIndex, siFileName);
        if (CurIndex > SetRec.number_block && q->Count() > 2) {
            q->DeleteRow(0);
            CurIndex = FindQueueIndex(f);
            NextIndex = NextIndexOf(CurIndex);
            RepaintQueue();
        }
    }

    const QString soon = Text(u"st_soon"), ready = Text(u"st_ready"), blocked = Text(u"st_blocked");
    for (int i = 0; i < q->Count(); ++i) {
        if (i > NextIndex) q->SetCaption(i, soon);
        if (i < CurIndex) q->SetCaption(i, blocking ? blocked : ready);
    }

    QString caption = Text(u"CB_doblock");
    if (SetRec.number_block > 0 && blocking) caption += QStringLiteral(" (%1)").arg(SetRec.number_block);
    CheckBox_block_latest->setText(caption);
}

void TForm1::ShowRepeatMode() {
    const bool blocking = CheckBox_block_latest->isChecked() && CheckBox_block_latest->isEnabled();
    ui::SetTextEmphasis(CheckBox_block_latest, blocking ? ui::kBlue : QColor(), blocking);
    const bool once = RadioButton_finish->isChecked(), repeat = RadioButton_restart->isChecked();
    ui::SetTextEmphasis(RadioButton_finish, once ? ui::kTeal : QColor(), once);
    ui::SetTextEmphasis(RadioButton_restart, repeat ? ui::kTeal : QColor(), repeat);
}

void TForm1::CheckBox_block_latestClick() {
    UpdateQueueStates();
    ShowRepeatMode();
    UpdatePoolStates();
    if (CheckWebConfig()) {
        MakeHTML();
        MakeGuestPoolHTML();
    }
}

void TForm1::RadioButton_finishClick() { ShowRepeatMode(); }
void TForm1::RadioButton_restartClick() { ShowRepeatMode(); }

}  // namespace app
