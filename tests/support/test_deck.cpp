#include "tests/support/test_deck.h"

#include <algorithm>
#include <stdexcept>

namespace playback {

void TTestClock::Advance(int ms) {
    if (ms < 0) throw std::invalid_argument("the test clock cannot go back");
    now_ += ms;
}

void TTestClock::SetLength(const QString& path, int ms) {
    if (ms < 0) throw std::invalid_argument("a length cannot be negative");
    unplayable_.remove(path);
    audible_.remove(path);
    lengths_.insert(path, ms);
}

void TTestClock::SetUnplayable(const QString& path, const QString& message) {
    lengths_.remove(path);
    unplayable_.insert(path, message.isEmpty() ? QStringLiteral("Cannot play %1").arg(path) : message);
}

void TTestClock::Forget(const QString& path) {
    lengths_.remove(path);
    unplayable_.remove(path);
}

int TTestClock::LengthOf(const QString& path) const {
    if (auto bad = unplayable_.constFind(path); bad != unplayable_.constEnd())
        throw DeckError(bad->toStdString());
    if (auto it = lengths_.constFind(path); it != lengths_.constEnd()) return *it;
    if (defaultLength_) return *defaultLength_;
    throw DeckError(QStringLiteral("File not found: %1").arg(path).toStdString());
}

TTestDeck::TTestDeck(std::shared_ptr<TTestClock> clock) : clock_(std::move(clock)) {
    id_ = ++clock_->decksMade_;
}

void TTestDeck::Record(const char* command) {
    clock_->commands_.append(QStringLiteral("%1:%2").arg(id_).arg(QLatin1String(command)));
}

int TTestDeck::End() const { return silentAt_ ? std::min(*silentAt_, audible_) : audible_; }

bool TTestDeck::Running() const {
    return open_ && mode_ == mpPlaying && base_ + (clock_->Now() - startedAt_) < End();
}

void TTestDeck::Open() {
    Record("Open");
    Release();
    const int length = clock_->LengthOf(fileName_);  // throws; the deck stays closed
    open_ = true;
    openedFile_ = fileName_;
    length_ = length;
    audible_ = std::min(length, clock_->audible_.value(fileName_, length));
    base_ = 0;
    mode_ = mpStopped;
}

void TTestDeck::Play() {
    Record("Play");
    if (!open_) return;
    base_ = Position();
    if (silentAt_ && base_ >= *silentAt_) {  // faded out: goes on from there at full level
        silentAt_.reset();
        fadeOutMs_ = 0;
    }
    startedAt_ = clock_->Now();
    mode_ = mpPlaying;
}

void TTestDeck::Pause() {
    Record("Pause");
    if (!Running()) return;
    base_ = Position();
    mode_ = mpPaused;
}

void TTestDeck::Stop() {
    Record("Stop");
    if (!open_) return;
    base_ = Position();
    mode_ = mpStopped;
    silentAt_.reset();
    fadeInMs_ = fadeOutMs_ = 0;
}

void TTestDeck::SetGain(double dB) {
    Record("SetGain");
    gainDb_ = dB;
}

void TTestDeck::FadeIn(int ms) {
    Record("FadeIn");
    if (!open_) return;
    fadeInMs_ = std::max(ms, 0);
    if (Running() && silentAt_) {  // a fade-out under way turns back up
        silentAt_.reset();
        fadeOutMs_ = 0;
    }
}

void TTestDeck::FadeOut(int ms) {
    Record("FadeOut");
    if (!open_) return;
    if (ms <= 0 || !Running()) {
        base_ = Position();
        mode_ = mpStopped;
        silentAt_.reset();
        fadeInMs_ = fadeOutMs_ = 0;
        return;
    }
    fadeOutMs_ = ms;
    silentAt_ = Position() + ms;
}

void TTestDeck::Close() {
    Record("Close");
    Release();
}

void TTestDeck::Release() {
    gainDb_ = 0;
    fadeInMs_ = fadeOutMs_ = 0;
    silentAt_.reset();
    open_ = false;
    mode_ = mpStopped;
    length_ = 0;
    audible_ = 0;
    base_ = 0;
}

TMPModes TTestDeck::Mode() const {
    if (!open_) return mpStopped;
    if (mode_ == mpPlaying && !Running()) return mpStopped;  // reached the end
    return mode_;
}

int TTestDeck::Position() const {
    if (!open_) return 0;
    if (mode_ != mpPlaying) return base_;
    const std::int64_t pos = base_ + (clock_->Now() - startedAt_);
    return static_cast<int>(std::min<std::int64_t>(pos, End()));
}

void TTestDeck::SetPosition(int ms) {
    Record("SetPosition");
    if (!open_) return;
    const int fadeLeft = silentAt_ ? *silentAt_ - Position() : 0;
    base_ = std::clamp(ms, 0, length_);
    if (silentAt_) silentAt_ = base_ + fadeLeft;  // a fade under way goes on from the new place
    mode_ = mpStopped;
}

DeckFactory TestDeckFactory(std::shared_ptr<TTestClock> clock) {
    return [clock]() -> std::unique_ptr<AudioDeck> { return std::make_unique<TTestDeck>(clock); };
}

}  // namespace playback
