#pragma once
// Which commands and options the window offers: a pure function from the offer as it stands, a
// step of the party and the party's facts to the next offer. The window only shows the result.
#include <QString>

namespace session {

// Enabled or not, by the designer names of the controls they stand for.
struct Controls {
    bool playList = false;   // Button_PlayList
    bool pause = false;      // Button_Pause
    bool stop = false;       // Button_Stop
    bool forward = false;    // Button_FF
    bool fadeNow = false;    // Button_fadenow
    bool webOn = false;      // M70
    bool webOff = false;     // M80
    bool block = false;      // CheckBox_block_latest
    bool playOnce = false;   // RadioButton_finish
    bool repeat = false;     // RadioButton_restart
    bool guestUse = false;   // CheckBox_guest_use
    bool webFirst = false;   // RadioButton_web_first
    bool webMix = false;     // RadioButton_web_mix_preselect
    bool presetUse = false;  // CheckBox_preset_use
    bool inOrder = false;    // RadioButton_preset_1by1
    bool atRandom = false;   // RadioButton_preset_random
    bool operator==(const Controls&) const = default;
};

// The four control phases, and the other steps that enable or disable controls.
enum class ControlStep {
    Initial,       // phase 0, at creation: everything off
    Stopped,       // phase 1: playback stopped or files added (only with a queue)
    Playing,       // phase 2: the queue started
    ListsChanged,  // phase 3: lists cleared, loaded, added to, settings applied
    GuestMode,     // the guest option group shows its state
    PresetMode,    // the preset option group shows its state
    Forward,       // the forward-jump value or the decks changed
    WebCheck,      // the web configuration was checked
    FilesAdded,    // the file dialog added files: the check's outcome decides Webserver On
    WebStarted,    // the listener runs
    WebStopped,    // the listener was asked to stop, or could not start
};

// What the steps look at.
struct ControlFacts {
    int queue = 0, requests = 0, pool = 0, presets = 0;  // rows of each list
    bool busy = false;                                  // a deck plays or is paused
    bool listening = false;                             // the web server runs
    bool webComplete = false;                           // the web configuration is complete
    bool guestUse = false, presetUse = false;           // the two option boxes are ticked
    QString forward;                                    // the forward-jump text in force
};

// A control a step does not name keeps its state.
Controls ControlsAfter(ControlStep step, Controls before, const ControlFacts& facts);

}  // namespace session
