#pragma once
// The guards the window's handlers run through: an error shows in a box and the program goes on;
// a timer step's boxes wait until the step has returned.
#include <QObject>
#include <functional>

namespace app {

// Runs a command or event handler; an error is shown at once.
std::function<void()> Guard(std::function<void()> handler);

// Runs a timer step; its boxes are shown once the step has returned, from the event loop of
// `context`: a box open inside the step would hold its timer, and the queue would stop while it
// waits for the user.
std::function<void()> TimerGuard(QObject* context, std::function<void()> step);

// Boxes of timer steps that no window will show any more.
void DropTimerBoxes();

}  // namespace app
