#pragma once
// The guests' web server: minimal HTTP/1.0, one request per connection, an accept thread and at
// most ten reused workers. Answers files from the host's document folder and hands select
// requests to the user-interface thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/dispatcher.h"
#include "web/web_host.h"

namespace web {

class Listener {
public:
    // Both must outlive the listener. Log, details and select work reaches the host through
    // `ui` only; close the dispatcher (releasing workers that wait in RunBlocking) before
    // destroying the listener on the user-interface thread.
    Listener(WebHost& host, platform::IDispatcher& ui);
    // Stops accepting, lets connections in progress finish and joins every thread.
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Listens on every local IPv4 interface at `port` (0: any free port, for tests), with a
    // listen queue of 5. Starting a running listener restarts it. On failure (port taken, ...)
    // returns false with a message in *error, and the listener is not active.
    bool Start(std::uint16_t port, std::string* error);
    // Closes the listening socket and returns at once; connections being served run to their
    // end on their workers.
    void Stop();
    bool Active() const;
    // The port listened on (the one chosen when Start was given 0); 0 while stopped.
    std::uint16_t Port() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The address guests use: the first IPv4 address of an interface that is up and not loopback,
// else what the host name resolves to, else "No. IP Address".
std::string LocalIPAddress();
// The computer's network name, at most 15 characters.
std::string LocalComputerName();
// A request's receive time in local time, "hh:mm.ss".
std::string ReceiveTime(std::chrono::system_clock::time_point when);

}  // namespace web
