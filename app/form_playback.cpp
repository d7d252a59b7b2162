// The window's side of queue playback: the transport buttons and the tick delegate to the queue
// player; the position display, the bars, the banner lines and the mode emphasis stay here.
#include <QTime>
#include <algorithm>
#include <array>

#include "app/main_window.h"
#include "app/queue_link.h"
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
using playback::QueuePlayer;
using tracks::siArtist;
using tracks::siTitle;

void TForm1::Button_PlayListClick() {
    // Mid-party the queue is already playing: a second start would put a track on top of it.
    if (AnyDeckBusy()) return;
    SetTimerEnabled(Timer1, true);
    SetTimerEnabled(Timer3, true);
    Player->PlayList();
    UpdateQueueStates();
    ShowWebConfigAndMakePages();
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
    // A track that stopped before its hand-over is followed at this tick: playback goes on.
    if (MediaPlayer1->Mode() == mpStopped && MediaPlayer2->Mode() == mpStopped && !Player->StoppedEarly()) {
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
    // A row that no longer exists leaves the now line naming the track the deck still plays.
    const TListView* q = ListView_soon;
    const int cur = Player->CurIndex, next = Player->NextIndex;
    if (q->ValidIndex(cur)) {
        Form_InfoBox->Label_Now->setText(
            QStringLiteral("\"%1\" (%2)").arg(q->SubItem(cur, siTitle), q->SubItem(cur, siArtist)));
    }
    if (q->ValidIndex(next)) {
        Form_InfoBox->Label_Next->setText(
            QStringLiteral("%1: \"%2\"").arg(Text(u"str_coming_up"), q->SubItem(next, siTitle)));
    } else {
        Form_InfoBox->Label_Next->setText(Text(u"str_coming_up") + QStringLiteral(": "));
    }
}

void TForm1::Button_PauseClick() {
    const auto changes = Player->Pause();
    const std::array bars{ProgressBar1, ProgressBar2};
    for (std::size_t i = 0; i < bars.size(); ++i) {
        if (changes[i] == QueuePlayer::PauseChange::None) continue;
        const bool paused = changes[i] == QueuePlayer::PauseChange::Paused;
        Button_Pause->setText(Text(paused ? u"str_go_on" : u"str_pause"));
        SetBarPaused(bars[i], paused);
    }
    ShowPositions();
}

void TForm1::Button_StopClick() {
    Player->StopPlayback();
    ShowPositions();
}

void TForm1::Button_FFClick() { Player->Forward(); }

void TForm1::Timer1Timer() {
    if (inTick_) return;
    inTick_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inTick_};
    ShowPositions();
    Player->HandOver();
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
    Player->UpdateQueueStates();
    QString caption = Text(u"CB_doblock");
    if (SetRec.number_block > 0 && CheckBox_block_latest->isChecked())
        caption += QStringLiteral(" (%1)").arg(SetRec.number_block);
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
    if (PagesWanted()) {
        MakeHTML();
        MakeGuestPoolHTML();
    }
}

void TForm1::RadioButton_finishClick() { ShowRepeatMode(); }
void TForm1::RadioButton_restartClick() { ShowRepeatMode(); }

}  // namespace app
