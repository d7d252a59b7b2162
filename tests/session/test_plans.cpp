// The three decisions the window only shows: which controls are offered, when each timer runs and
// which pages an event rewrites.
#include <gtest/gtest.h>

#include "session/controls.h"
#include "session/plans.h"

namespace {

using session::Controls;
using session::ControlStep;
using session::ControlFacts;

Controls All(bool on) {
    Controls c;
    for (bool* b : {&c.playList, &c.pause, &c.stop, &c.forward, &c.fadeNow, &c.webOn, &c.webOff, &c.block, &c.playOnce,
                    &c.repeat, &c.guestUse, &c.webFirst, &c.webMix, &c.presetUse, &c.inOrder, &c.atRandom})
        *b = on;
    return c;
}

TEST(ControlSteps, EachStepSetsWhatItNamesAndLeavesTheRest) {
    ControlFacts none, queue, busy, lists, guests;
    queue.queue = 1;
    busy = queue;
    busy.busy = true;
    lists.queue = lists.presets = lists.pool = 1;
    guests.requests = 1;
    guests.guestUse = true;
    const auto with = [](Controls c, std::initializer_list<bool Controls::*> on, std::initializer_list<bool Controls::*> off) {
        for (auto m : on) c.*m = true;
        for (auto m : off) c.*m = false;
        return c;
    };
    using C = Controls;
    struct Case {
        const char* what;
        ControlStep step;
        Controls before;
        ControlFacts facts;
        Controls after;
    };
    const Case cases[] = {
        {"initial: everything off", ControlStep::Initial, All(true), lists, All(false)},
        {"stopped with an empty queue changes nothing", ControlStep::Stopped, All(true), none, All(true)},
        {"stopped with a queue", ControlStep::Stopped, All(true), queue, with(All(true), {&C::playList}, {&C::pause, &C::stop, &C::forward})},
        {"files added mid-party leave the transport", ControlStep::Stopped, with(All(false), {&C::pause, &C::stop}, {}),
         busy, with(All(false), {&C::pause, &C::stop, &C::block, &C::playOnce, &C::repeat}, {})},
        {"lists changed: each list's options follow it", ControlStep::ListsChanged, All(false), lists,
         with(All(false), {&C::playList, &C::playOnce, &C::repeat, &C::block, &C::presetUse, &C::inOrder, &C::atRandom,
                           &C::webOn, &C::guestUse}, {})},
        {"lists changed while playing: no second Play List", ControlStep::ListsChanged, All(false), busy,
         with(All(false), {&C::playOnce, &C::repeat, &C::block}, {})},
        {"waiting requests keep the guest option and its modes", ControlStep::ListsChanged, All(false), guests,
         with(All(false), {&C::guestUse, &C::webFirst, &C::webMix}, {})},
        {"playing: Webserver On with a pool", ControlStep::Playing, All(false), lists,
         with(All(false), {&C::pause, &C::stop, &C::webOn}, {})},
        {"guest modes only while the option is ticked and offered", ControlStep::GuestMode, All(true), none,
         with(All(true), {}, {&C::webFirst, &C::webMix})},
        {"web check: start while stopped", ControlStep::WebCheck, All(false), none, with(All(false), {&C::webOn}, {})},
        {"files added, configuration incomplete: no start", ControlStep::FilesAdded, All(false), queue, All(false)},
    };
    for (const Case& c : cases) EXPECT_EQ(ControlsAfter(c.step, c.before, c.facts), c.after) << c.what;

    // Forward compares its text as text: "-5" and "" stay below "0"; only a busy deck offers it.
    for (const auto& [text, enabled] : std::vector<std::pair<QString, bool>>{
             {"0", false}, {"10", true}, {"-5", false}, {"", false}, {"6", true}}) {
        busy.forward = text;
        EXPECT_EQ(ControlsAfter(ControlStep::Playing, All(false), busy).forward, enabled) << text.toStdString();
        EXPECT_EQ(ControlsAfter(ControlStep::Forward, All(false), busy).forward, enabled) << text.toStdString();
        queue.forward = text;
        EXPECT_FALSE(ControlsAfter(ControlStep::Forward, All(true), queue).forward) << text.toStdString();
    }
    // A running server is never offered again, whatever the lists say.
    lists.listening = true;
    EXPECT_FALSE(ControlsAfter(ControlStep::ListsChanged, All(true), lists).webOn);
    EXPECT_FALSE(ControlsAfter(ControlStep::Playing, All(false), lists).webOn);
}

TEST(TimerPlan, EachCauseSwitchesItsTimers) {
    using session::TimerCause;
    using session::TimerPlan;
    const TimerPlan off{}, on{true, true, true}, ticking{true, false, true};
    session::TimerFacts facts;
    facts.pool = facts.requests = facts.presets = 1;
    session::TimerFacts guests = facts;
    guests.guestUse = guests.guestOffered = true;
    session::TimerFacts emptied, withdrawn = guests, presetsPlaying = facts;
    withdrawn.guestOffered = false;
    presetsPlaying.presetUse = presetsPlaying.playing = true;
    struct Case {
        const char* what;
        TimerCause cause;
        TimerPlan before;
        session::TimerFacts facts;
        TimerPlan after;
    };
    const Case cases[] = {
        {"Play List starts the tick and the presets", TimerCause::PlayList, off, facts, ticking},
        {"the guest option off stops the requests", TimerCause::GuestMode, on, facts, ticking},
        {"ticked and offered with a pool: requests run", TimerCause::GuestMode, off, guests, TimerPlan{false, true, false}},
        {"ticked but no longer offered: requests stop", TimerCause::GuestMode, on, withdrawn, ticking},
        {"presets ticked while a deck plays", TimerCause::PresetUse, off, presetsPlaying, TimerPlan{false, false, true}},
        {"presets unticked: their timer goes on", TimerCause::PresetUse, on, facts, on},
        {"ticked while nothing plays: requests wait", TimerCause::GuestUse, on, guests, ticking},
        {"a request with the option ticked", TimerCause::RequestAdded, off, guests, TimerPlan{false, true, false}},
        {"a request with the option off", TimerCause::RequestAdded, off, facts, off},
        {"a step that finds its list empty stops", TimerCause::RequestStep, on, emptied, ticking},
        {"the preset step with presets left goes on", TimerCause::PresetStep, on, facts, on},
        {"both decks stopped", TimerCause::BothDecksStopped, on, facts, off},
    };
    for (const Case& c : cases) EXPECT_EQ(TimersAfter(c.cause, c.before, c.facts), c.after) << c.what;
}

TEST(PagePlan, PagesFollowTheEventWhileConfiguredOrServed) {
    using session::PageWrites;
    struct Case {
        const char* what;
        unsigned causes;
        bool configured, listening, queueMoved, requestsMoved;
        PageWrites writes;
    };
    const Case cases[] = {
        {"neither configured nor served", session::kPagesFollow, false, false, true, true, {false, false, false}},
        {"configured", session::kPagesFollow, true, false, false, false, {true, true, true}},
        {"served, configuration incomplete", session::kPagesFollow, false, true, false, false, {true, true, true}},
        {"a preset added: index.html whatever the configuration", session::kPresetAdded, false, false, false, false,
         {true, false, false}},
        {"a select: the pool page, not its tracks' pages", session::kSelectAnswered, false, true, false, false,
         {false, true, false}},
        {"a select that admits: the request moved", session::kSelectAnswered, false, true, false, true, {false, true, false}},
        {"served: the queue moved", 0, false, true, true, false, {true, true, false}},
        {"not served: moves alone write nothing", 0, true, false, true, true, {false, false, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(session::PagesFor(c.causes, c.configured, c.listening, c.queueMoved, c.requestsMoved), c.writes) << c.what;
}

}  // namespace
