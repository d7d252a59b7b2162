// Handler guards and the boxes of timer steps.
#include "app/handler_guard.h"

#include <QMetaObject>
#include <algorithm>
#include <deque>
#include <vector>

#include "platform/guard.h"
#include "platform/user_interface.h"

namespace app {

namespace {

// Boxes raised in timer steps, waiting to be shown one after the other.
struct TimerBoxes {
    std::deque<platform::DeferredMessage> waiting;
    bool showing = false;
};

TimerBoxes& PendingTimerBoxes() {
    static TimerBoxes boxes;
    return boxes;
}

void ShowTimerBoxes() {
    TimerBoxes& boxes = PendingTimerBoxes();
    // One at a time: a box opened inside another's wait could not be answered first, and boxes
    // that pile up for hours would deepen the stack each time.
    if (boxes.showing) return;
    boxes.showing = true;
    while (!boxes.waiting.empty()) {
        const platform::DeferredMessage next = boxes.waiting.front();
        boxes.waiting.pop_front();
        platform::Guarded([&] { next.Show(); });
    }
    boxes.showing = false;
}

}  // namespace

std::function<void()> Guard(std::function<void()> handler) {
    return [handler = std::move(handler)] { platform::Guarded(handler); };
}

std::function<void()> TimerGuard(QObject* context, std::function<void()> step) {
    return [context, step = std::move(step)] {
        std::vector<platform::DeferredMessage> boxes;
        {
            platform::DeferredMessages defer;
            platform::Guarded(step);
            boxes = defer.Take();
        }
        TimerBoxes& pending = PendingTimerBoxes();
        bool added = false;
        for (platform::DeferredMessage& m : boxes) {
            // The same message again while it still waits (a fault met at every tick) adds nothing.
            if (std::find(pending.waiting.begin(), pending.waiting.end(), m) != pending.waiting.end()) continue;
            pending.waiting.push_back(std::move(m));
            added = true;
        }
        if (added) QMetaObject::invokeMethod(context, &ShowTimerBoxes, Qt::QueuedConnection);
    };
}

void DropTimerBoxes() { PendingTimerBoxes().waiting.clear(); }

}  // namespace app
