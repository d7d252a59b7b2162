#pragma once
// When each timer runs and which guest pages an event rewrites: each decided in one place, as a
// pure function of what happened and how the party stands.
namespace session {

// Timer1 the playback tick, Timer2 guest requests into the queue, Timer3 presets into the queue.
struct TimerPlan {
    bool tick = false, requests = false, presets = false;
    bool operator==(const TimerPlan&) const = default;
};

enum class TimerCause {
    Created,          // all off
    PlayList,         // the tick and the presets start (a running one keeps its interval)
    GuestMode,        // the guest options show their state
    GuestUse,         // "Allow Remote Requests" was ticked or cleared
    PresetUse,        // "Add Preset Tracks" was ticked or cleared
    RequestAdded,     // a guest's request joined the request list
    RequestStep,      // Timer2 fired
    PresetStep,       // Timer3 fired
    BothDecksStopped, // a tick found both decks stopped, and no track left to follow
    PlaybackStopped,  // Stop, or the end of the queue
};

struct TimerFacts {
    bool guestUse = false, guestOffered = false;  // "Allow Remote Requests" ticked; and enabled
    bool presetUse = false;                       // "Add Preset Tracks" ticked
    bool playing = false;                         // a deck plays
    int pool = 0, requests = 0, presets = 0;      // rows of those lists
};

TimerPlan TimersAfter(TimerCause cause, TimerPlan plan, const TimerFacts& facts);

// Why an event may rewrite the guests' pages.
enum PageCause : unsigned {
    kPagesFollow = 1,     // playback or the lists changed: the pages follow while configured or served
    kPresetAdded = 2,     // a preset joined the queue: index.html, whatever the configuration
    kServerStarted = 4,   // guests find the lists as they are now
    kSelectAnswered = 8,  // the pool page shows what the request changed
};

struct PageWrites {
    bool index = false, pool = false;
    bool trackPages = false;  // with the pool page, the page of each of its tracks
    bool operator==(const PageWrites&) const = default;
};

// `configured`: the web configuration is complete; `listening`: the web server runs. While it
// runs, every change of the queue rewrites index.html and the pool page, every change of the
// request list the pool page. A select changes the words of the pool page only: its track pages
// are left for the next event that rewrites the pool page for another reason.
PageWrites PagesFor(unsigned causes, bool configured, bool listening, bool queueMoved, bool requestsMoved);

}  // namespace session
