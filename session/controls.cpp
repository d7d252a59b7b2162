// The steps that enable and disable the window's controls.
#include "session/controls.h"

namespace session {

Controls ControlsAfter(ControlStep step, Controls c, const ControlFacts& f) {
    // A text comparison on purpose: "-5" and "" stay below "0".
    const bool jump = f.forward > QStringLiteral("0");
    switch (step) {
        case ControlStep::Initial:
            return Controls{};
        case ControlStep::Stopped:
            if (f.queue == 0) break;
            c.block = c.playOnce = c.repeat = true;
            // Files added mid-party: the transport stays as playing set it.
            if (f.busy) break;
            c.playList = true;
            c.pause = c.stop = c.forward = false;
            break;
        case ControlStep::Playing:
            c.playList = false;
            c.pause = c.stop = true;
            c.forward = jump;
            // "Webserver On" is not offered again while the server runs: it would restart it.
            if (f.pool > 0 && !f.listening) c.webOn = true;
            break;
        case ControlStep::ListsChanged: {
            const bool queue = f.queue > 0;
            c.playOnce = c.repeat = c.block = queue;
            // A second Play List while a deck plays would start another track on top.
            c.playList = queue && !f.busy;
            c.presetUse = c.inOrder = c.atRandom = f.presets > 0;
            c.webOn = f.pool > 0 && !f.listening;
            // Requests can be allowed as soon as there is something to request; waiting ones keep
            // the option, so a cleared pool does not strand them.
            c.guestUse = f.pool > 0 || f.requests > 0;
            return ControlsAfter(ControlStep::GuestMode, c, f);
        }
        case ControlStep::GuestMode:
            c.webFirst = c.webMix = f.guestUse && c.guestUse;
            break;
        case ControlStep::PresetMode:
            c.inOrder = c.atRandom = f.presetUse;
            break;
        case ControlStep::Forward:
            // Off while no deck plays; the length itself stays editable, or a zero could never
            // be changed.
            c.forward = f.busy && jump;
            break;
        case ControlStep::WebCheck:
            // A running listener can always be stopped, whether or not the configuration is complete.
            c.webOn = !f.listening;
            c.webOff = f.listening;
            break;
        case ControlStep::FilesAdded:
            c = ControlsAfter(ControlStep::WebCheck, c, f);
            c.webOn = f.webComplete && !f.listening;
            if (f.webComplete && !f.busy) c.playList = true;
            break;
        case ControlStep::WebStarted:
            if (f.listening) {
                c.webOn = false;
                c.webOff = true;
            }
            break;
        case ControlStep::WebStopped:
            if (!f.listening) {
                c.webOn = true;
                c.webOff = false;
            }
            break;
    }
    return c;
}

}  // namespace session
