// Queue playback on two alternating decks, apart from the window that shows it.
#include "playback/queue_player.h"

#include <algorithm>
#include <cstdint>

#include "platform/regular_file.h"
#include "platform/text_codec.h"

namespace playback {

namespace {

bool IsPlayableFile(const QString& path) {
    return platform::IsFileNotFolder(platform::PathFromU16(path.toStdU16String()));
}

QString NameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

// Trailing silence is cut with a ramp this short: below the audible level nothing is heard of it.
constexpr int kCutMs = 20;

}  // namespace

int QueuePlayer::NextIndexOf(int current) {
    const int count = queue_.Count();
    int n = -1;
    // An empty queue has no next row, whatever the play mode.
    if (count == 0) {
        playOn_ = false;
        return n;
    }
    if (current < count) {
        n = current + 1;
        playOn_ = true;
    }
    if (current > count - 2 && queue_.RepeatList()) {
        n = 0;
        playOn_ = true;
    }
    if (current > count - 2 && queue_.PlayListOnce()) {
        n = count - 1;
        playOn_ = false;
    }
    if (n < 0) playOn_ = false;
    return n;
}

int QueuePlayer::FindQueueIndex(const QString& path) const {
    for (int i = queue_.Count() - 1; i >= 0; --i)
        if (queue_.FileName(i) == path) return i;
    return -1;
}

void QueuePlayer::StartQueue() {
    if (queue_.Count() == 0) return;
    int start = queue_.SelectedIndex();
    if (start < 0) {
        queue_.SelectRow(0);
        start = 0;
    }
    const QString f = queue_.FileName(start);
    if (!IsPlayableFile(f)) return;

    deck1_.SetFileName(f);
    deck1_.SetWait(true);
    deck1_.Open();
    Prepare(deck1_, 0);
    deck1_.Play();
    live_ = &deck1_;
    state_ = State::Playing;
    early_ = 0;

    cur_ = start;
    next_ = NextIndexOf(cur_);
    queue_.SetStatus(start, QueueView::Status::Running);
    sink_.QueueStarted();
}

void QueuePlayer::PlayList() {
    deck1_.SetNotify(true);
    deck2_.SetNotify(true);
    StartQueue();
}

void QueuePlayer::Prepare(AudioDeck& deck, int fadeInMs) {
    const bool leveling = queue_.Leveling(), noDeadAir = queue_.NoDeadAir();
    if (!leveling && !noDeadAir && fadeInMs <= 0) return;
    const std::optional<TrackAnalysis> a = queue_.Analysis(deck.FileName());
    // Open reset the gain: an unmeasured or failed track plays at 0 dB.
    if (leveling) deck.SetGain(a ? LevelingGainDb(*a, queue_.LevelTargetLufs()) : 0.0);
    if (fadeInMs > 0) deck.FadeIn(fadeInMs);
    if (noDeadAir && a && AudibleStartMs(*a) > 0) deck.SetPosition(AudibleStartMs(*a));
}

int QueuePlayer::EndOf(const AudioDeck& deck) const {
    if (!queue_.NoDeadAir()) return deck.Length();
    const std::optional<TrackAnalysis> a = queue_.Analysis(deck.FileName());
    return a ? std::min(AudibleEndMs(*a, deck.Length()), deck.Length()) : deck.Length();
}

void QueuePlayer::CutTrailingSilence(AudioDeck& deck) {
    if (!queue_.NoDeadAir() || deck.Mode() != mpPlaying) return;
    if (&deck == live_ && state_ == State::Playing) return;  // its hand-over comes first
    const int end = EndOf(deck);
    if (end < deck.Length() && deck.Position() >= end) deck.FadeOut(kCutMs);
}

bool QueuePlayer::StoppedEarly(const AudioDeck& deck) const {
    return &deck == live_ && state_ == State::Playing && deck.Mode() == mpStopped;
}

void QueuePlayer::HandOverFrom(AudioDeck& a, AudioDeck& b, int fade, bool scroll) {
    const int end = EndOf(a);
    const bool inWindow = a.Mode() == mpPlaying && a.Position() > end - fade;
    // Past its window without a hand-over, the queue would end here: it goes on instead.
    const bool early = !inWindow && StoppedEarly(a);
    if (!(inWindow || early) || b.Mode() == mpPlaying) return;
    if (early) {
        // A queue whose every row fails to play would be tried round and round for ever.
        if (++early_ > queue_.Count()) {
            sink_.Note(QStringLiteral("No track of the queue could be played: playback stopped"));
            state_ = State::Ending;
            b.Stop();
            return;
        }
    }
    // An index naming no row (the current row was removed or the list cleared) is no track.
    if (ValidIndex(cur_)) queue_.SetStatus(cur_, QueueView::Status::Played);
    cur_ = NextIndexOf(cur_);
    if (cur_ > -1 && playOn_ && ValidIndex(cur_)) {
        if (early)
            sink_.Note(QStringLiteral("Stopped before its hand-over: %1; the next track starts now")
                           .arg(NameOf(a.FileName())));
        b.SetFileName(queue_.FileName(cur_));
        sink_.TrackOpening(b.FileName());
        b.SetWait(true);
        b.Open();
        // The two fades meet where the outgoing track's music ends; a late tick shortens them.
        const int fadeMs = inWindow && queue_.Crossfade() ? std::clamp(end - a.Position(), 0, fade) : 0;
        Prepare(b, fadeMs);
        b.Play();
        if (fadeMs > 0) a.FadeOut(fadeMs);
        live_ = &b;
        state_ = State::Playing;
        cur_ = FindQueueIndex(b.FileName());
        next_ = NextIndexOf(cur_);
        if (scroll && queue_.Count() > 0) queue_.ScrollToLast();
        sink_.ProgressChanged();
        queue_.SelectRow(next_);
        if (ValidIndex(cur_)) queue_.SetStatus(cur_, QueueView::Status::Running);
        sink_.PagesChanged();
    } else {
        state_ = State::Ending;
        b.Stop();
    }
}

void QueuePlayer::HandOver() {
    const int fade = queue_.FadeSeconds() * 1000;
    if (live_ && live_->Mode() == mpPlaying) early_ = 0;
    HandOverFrom(deck1_, deck2_, fade, true);
    HandOverFrom(deck2_, deck1_, fade, false);
    CutTrailingSilence(deck1_);
    CutTrailingSilence(deck2_);
    if (deck1_.Mode() == mpStopped && deck2_.Mode() == mpStopped) StopPlayback();
}

void QueuePlayer::StopPlayback() {
    live_ = nullptr;
    state_ = State::Stopped;
    for (AudioDeck* d : {&deck1_, &deck2_}) {
        const auto mode = d->Mode();
        if (mode == mpPlaying || mode == mpPaused) {
            d->Stop();
            d->Close();
        }
    }
    sink_.PlaybackStopped();
}

std::array<QueuePlayer::PauseChange, 2> QueuePlayer::Pause() {
    std::array<PauseChange, 2> changes{PauseChange::None, PauseChange::None};
    AudioDeck* decks[] = {&deck1_, &deck2_};
    for (int i = 0; i < 2; ++i) {
        const auto mode = decks[i]->Mode();
        if (mode == mpPlaying) {
            decks[i]->Pause();
            changes[i] = PauseChange::Paused;
        } else if (mode == mpPaused) {
            decks[i]->Play();
            changes[i] = PauseChange::Resumed;
        }
    }
    return changes;
}

void QueuePlayer::Forward() {
    for (AudioDeck* d : {&deck1_, &deck2_}) {
        if (d->Mode() != mpPlaying) continue;
        // 64-bit: a huge jump must not wrap around into a backward one.
        const int64_t jump = int64_t{queue_.ForwardSeconds()} * 1000;
        const int64_t pos = d->Position();
        if (pos < int64_t{d->Length()} - (jump + 1000)) {
            d->SetPosition(static_cast<int>(std::clamp<int64_t>(pos + jump, 0, d->Length())));
            d->Play();
        }
    }
}

void QueuePlayer::UpdateQueueStates() {
    const bool blocking = queue_.BlockRecent();
    if (blocking && queue_.Count() > 0 && ValidIndex(cur_)) {
        const QString f = queue_.FileName(cur_);
        if (cur_ > queue_.KeepBefore() && queue_.Count() > 2) {
            queue_.DeleteRow(0);
            cur_ = FindQueueIndex(f);
            next_ = NextIndexOf(cur_);
            queue_.Repaint();
        }
    }
    for (int i = 0; i < queue_.Count(); ++i) {
        if (i > next_) queue_.SetStatus(i, QueueView::Status::Soon);
        if (i < cur_) queue_.SetStatus(i, blocking ? QueueView::Status::Blocked : QueueView::Status::Ready);
    }
}

std::optional<QString> QueuePlayer::CurrentFile() const {
    if (!ValidIndex(cur_)) return std::nullopt;
    return queue_.FileName(cur_);
}

void QueuePlayer::FindCurrentAgain(const std::optional<QString>& file) {
    cur_ = file ? FindQueueIndex(*file) : -1;
    next_ = NextIndexOf(cur_);
    queue_.Repaint();
}

}  // namespace playback
