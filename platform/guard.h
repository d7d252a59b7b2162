#pragma once
// Every command, event and timer handler runs through Guarded: an exception's text is shown in an
// error box, the rest of the handler is abandoned and the program keeps running.
#include <exception>
#include <utility>

namespace platform {

void ShowException(const std::exception& e);
void ShowUnknownException();

template <class F>
void Guarded(F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowUnknownException();
    }
}

}  // namespace platform
