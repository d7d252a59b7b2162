#pragma once
// What the listener needs from the program: the document folder, the select handling and the
// log and details-box lines. The program implements it; tests use a fake.
#include <optional>
#include <string>
#include <vector>

namespace web {

class WebHost {
public:
    virtual ~WebHost() = default;

    // The folder pages are served from: WebRoot()/htdocs when that folder exists, else
    // WebRoot(); a UTF-8 path. Called on a worker thread for every request, so it must be
    // thread-safe and must not wait for the user-interface thread: keep a copy of the HTML path
    // that the user-interface thread updates whenever the settings are applied.
    virtual std::string DocumentFolder() = 0;

    // Called on the user-interface thread (RunBlocking): HandleSelect, then UpdateQueueStates,
    // UpdatePoolStates and MakeGuestPoolHTML. Returns the answer page as UTF-8 bytes, or
    // nullopt when the handling failed (the connection is then closed without an answer); an
    // exception counts as a failure too. host: the guest's dotted IPv4 address; time: the
    // receive time "hh:mm.ss"; path: the requested track's path, decoded.
    virtual std::optional<std::string> Select(const std::string& host, const std::string& time,
                                              const std::string& path) = 0;

    // Called on any thread, worker threads included, and must not wait for the user-interface
    // thread: lines for the log (AddLog) and the details box, in the order given.
    virtual void Log(const std::string& line) = 0;
    virtual void Details(const std::string& line) = 0;
    // A request's lines at once: the details box's first, then the log's.
    virtual void Lines(const std::vector<std::string>& details, const std::vector<std::string>& log) {
        for (const auto& line : details) Details(line);
        for (const auto& line : log) Log(line);
    }
};

}  // namespace web
