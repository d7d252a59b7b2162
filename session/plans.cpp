// The timer plan and the page plan.
#include "session/plans.h"

namespace session {

TimerPlan TimersAfter(TimerCause cause, TimerPlan t, const TimerFacts& f) {
    switch (cause) {
        case TimerCause::Created:
        case TimerCause::BothDecksStopped:
        case TimerCause::PlaybackStopped:
            return TimerPlan{};
        case TimerCause::PlayList:
            t.tick = t.presets = true;
            break;
        case TimerCause::GuestMode:
            if (!(f.guestUse && f.guestOffered))
                t.requests = false;
            else if (f.pool > 0)
                t.requests = true;
            break;
        case TimerCause::GuestUse:
            if (f.guestUse) t.requests = f.playing;
            break;
        case TimerCause::PresetUse:
            if (f.presetUse) t.presets = f.playing;
            break;
        case TimerCause::RequestAdded:
            if (f.requests > 0 && f.guestUse) t.requests = true;
            break;
        case TimerCause::RequestStep:
            if (f.requests == 0) t.requests = false;
            break;
        case TimerCause::PresetStep:
            if (f.presets == 0) t.presets = false;
            break;
    }
    return t;
}

PageWrites PagesFor(unsigned causes, bool configured, bool listening, bool queueMoved, bool requestsMoved) {
    PageWrites w;
    // A running listener serves its folder whatever the configuration: guests must not read a
    // night-old page there.
    if ((causes & kPagesFollow) && (configured || listening)) w.index = w.pool = true;
    if (causes & kPresetAdded) w.index = true;
    if (causes & kServerStarted) w.index = w.pool = true;
    if (causes & kSelectAnswered) w.pool = true;
    if (listening) {
        w.index = w.index || queueMoved;
        w.pool = w.pool || queueMoved || requestsMoved;
    }
    // The track pages hold no status words: only an event of another kind brings them up to date.
    w.trackPages = w.pool && (causes & ~kSelectAnswered) != 0;
    return w;
}

}  // namespace session
