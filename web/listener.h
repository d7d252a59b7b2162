#pragma once
// The guests' web server: minimal HTTP/1.0, one request per connection, an accept thread and at
// most ten reused workers, a few of them at most for any one guest. Answers files from the host's
// document folder and hands select requests to the user-interface thread.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/dispatcher.h"
#include "web/web_host.h"

namespace web {

// How long and how much one client may hold a worker; tests shorten the times.
struct ListenerLimits {
    // A request's head, and what is read away after its answer, within this time from the start
    // of its serving and within these sizes (the head's part of the request's).
    std::chrono::milliseconds requestTime{10000};
    std::size_t headBytes = 8 * 1024;
    std::size_t requestBytes = 64 * 1024;
    // Sending an answer may take requestTime plus its size at this rate, and no longer.
    std::size_t sendBytesPerSecond = 64 * 1024;
    // Workers that connections from one address may hold at once; its others wait their turn.
    std::size_t workersPerGuest = 3;
};

class Listener {
public:
    // Both must outlive the listener. Select work reaches the host through `ui`, lines for the
    // log and the details box go to the host from the listener's threads; close the dispatcher
    // (releasing workers that wait in RunBlocking) before destroying the listener on the
    // user-interface thread.
    Listener(WebHost& host, platform::IDispatcher& ui, ListenerLimits limits = {});
    // Stops accepting, lets connections in progress finish and joins every thread.
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Listens on every local IPv4 interface at `port` (0: any free port, for tests), with a
    // listen queue of 128. Starting a running listener restarts it. On failure (port taken, ...)
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
