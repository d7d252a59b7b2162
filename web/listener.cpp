// The guests' web server on POSIX sockets: an accept thread, at most ten reused workers shared
// fairly among guests, and the minimal HTTP/1.0 answers (status line, empty line, body, close).
#include "web/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/text_codec.h"
#include "web/html_text.h"
#include "web/http_path.h"

namespace web {

namespace {

using Clock = std::chrono::steady_clock;

// Room for bursts: while one guest floods, every other guest's connection must still find a place
// instead of being dropped and retried a second later by its phone.
constexpr int kListenQueue = 128;
constexpr std::size_t kMaxWorkers = 10;
// Accepted connections that wait for a worker: beyond the first number the listen queue holds
// the next ones; beyond the second, one address's next connections are closed at once.
constexpr std::size_t kMaxWaiting = 64;
constexpr std::size_t kWaitingPerGuest = 32;
constexpr std::size_t kPeekBytes = 511;
// Files go out in pieces this large; small pages leave in a single send with their status line.
constexpr std::size_t kPiece = 64 * 1024;
constexpr std::string_view kOk = "HTTP/1.0 200 OK\r\n\r\n";
constexpr std::string_view kNotFound =
    "HTTP/1.0 404 Not Found\r\n\r\n<p>Party-Server:</p><h1>404 Not Found</h1><br><br>";

bool IsImage(const std::string& ext) { return ext == ".jpg" || ext == ".gif" || ext == ".png"; }

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 3600 * 1000));
}

// Sends an answer within its deadline, so a guest who reads slowly or not at all loses the rest
// instead of holding the worker. Stops at the first failure: a peer that went away gets no more
// and raises no signal.
class Sender {
public:
    Sender(int sock, Clock::time_point deadline) : sock_(sock), deadline_(deadline) {}
    // The time a worker gives an answer of this size.
    static Clock::time_point DeadlineFor(std::size_t bytes, const ListenerLimits& limits) {
        const auto atRate = std::chrono::milliseconds(bytes * 1000 / std::max<std::size_t>(limits.sendBytesPerSecond, 1));
        return Clock::now() + limits.requestTime + atRate;
    }

    bool Send(std::string_view data, bool more = false) {
        const int flags = MSG_NOSIGNAL | MSG_DONTWAIT | (more ? MSG_MORE : 0);
        while (ok_ && !data.empty()) {
            const ssize_t sent = ::send(sock_, data.data(), data.size(), flags);
            if (sent >= 0) {
                data.remove_prefix(static_cast<std::size_t>(sent));
                continue;
            }
            if (errno == EINTR) continue;
            ok_ = (errno == EAGAIN || errno == EWOULDBLOCK) && WaitWritable();
            if (!ok_) {
                // The close then resets the connection: what still waits in the send buffer is
                // dropped, and the guest sees a broken answer rather than a short one.
                const linger drop{1, 0};
                ::setsockopt(sock_, SOL_SOCKET, SO_LINGER, &drop, sizeof drop);
            }
        }
        return ok_;
    }

private:
    bool WaitWritable() {
        for (;;) {
            const int left = MillisecondsLeft(deadline_);
            if (left <= 0) return false;
            pollfd wait{sock_, POLLOUT, 0};
            const int ready = ::poll(&wait, 1, left);
            if (ready > 0) return true;
            if (ready < 0 && errno != EINTR) return false;
        }
    }

    int sock_;
    Clock::time_point deadline_;
    bool ok_ = true;
};

// Reads until `size` bytes or the end of the file; -1 on a read error.
ssize_t ReadUpTo(int file, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(file, buffer + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// A regular file opened for reading; anything else (a folder, a pipe that would block the
// worker) counts as absent.
class FileHandle {
public:
    explicit FileHandle(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        struct stat info {};
        if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
        size_ = fd_ >= 0 ? static_cast<std::size_t>(info.st_size) : 0;
    }
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }
    std::size_t size() const { return size_; }

private:
    int fd_;
    std::size_t size_ = 0;
};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// "HTTP/1.0 200 OK", an empty line and the file; a text file also gets the closing CR LF and
// loses its byte-order mark (UTF-16 is sent as UTF-8). False when no file is there.
bool SendFileAnswer(int sock, const std::string& path, bool text, const ListenerLimits& limits) {
    FileHandle file(path);
    if (file.get() < 0) return false;
    Sender sender(sock, Sender::DeadlineFor(file.size(), limits));
    std::string out(kOk);
    // A page usually fits one piece and leaves with its status line in a single send.
    const std::size_t first = std::min<std::size_t>(file.size(), kPiece);
    out.resize(kOk.size() + first);
    const ssize_t got = ReadUpTo(file.get(), out.data() + kOk.size(), first);
    out.resize(kOk.size() + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    const std::string_view start = std::string_view(out).substr(kOk.size());
    const bool utf8Mark = StartsWith(start, "\xEF\xBB\xBF");
    const bool utf16Mark = StartsWith(start, "\xFF\xFE") || StartsWith(start, "\xFE\xFF");
    std::string piece(first == kPiece ? kPiece : 0, '\0');
    if (text && (utf8Mark || utf16Mark)) {
        std::string whole(start);
        ssize_t more;
        while ((more = ReadUpTo(file.get(), piece.data(), piece.size())) > 0)
            whole.append(piece.data(), static_cast<std::size_t>(more));
        out.resize(kOk.size());
        out += utf8Mark ? whole.substr(3) : platform::U16ToUtf8(platform::DecodeTextFile(whole));
        out += "\r\n";
        sender.Send(out);
        return true;
    }
    if (first < kPiece) {
        if (text) out += "\r\n";
        sender.Send(out);
        return true;
    }
    if (!sender.Send(out, true)) return true;
    ssize_t more;
    while ((more = ReadUpTo(file.get(), piece.data(), piece.size())) > 0)
        if (!sender.Send(std::string_view(piece.data(), static_cast<std::size_t>(more)), true)) return true;
    sender.Send(text ? "\r\n" : "");
    return true;
}

// An answer held in memory: a select page, an empty page, the not-found page.
void SendText(int sock, const std::string& answer, const ListenerLimits& limits) {
    Sender(sock, Sender::DeadlineFor(answer.size(), limits)).Send(answer);
}

std::string NotFoundAnswer(const std::string& requestPath) {
    return std::string(kNotFound) + HtmlEscape(requestPath) + "\r\n";
}

// What one request may take of a worker before its answer and after it: one deadline and one
// count of bytes for the head and for what is read away after the answer.
struct Budget {
    Clock::time_point deadline;
    std::size_t headBytes;  // the most the head may take of `bytes`
    std::size_t bytes;      // left to read
};

// Reads the request head one CR LF line at a time, within the budget's time and head size. It
// looks at up to 511 bytes that have arrived and takes only complete lines (up to the empty line
// that ends the head), so a request body stays unread; a bare LF ends no line.
class HeadReader {
public:
    HeadReader(int sock, Budget& budget) : sock_(sock), budget_(budget) {}

    // The next line without its CR LF; at the peer's end (or a failed read) what came so far,
    // usually empty. False when the head is cut off by its time or size limit.
    bool ReadLine(std::string& line) {
        if (!ready_.empty()) {
            line = std::move(ready_.front());
            ready_.pop_front();
            return true;
        }
        char buffer[kPeekBytes];
        for (;;) {
            if (consumed_ >= budget_.headBytes || Clock::now() >= budget_.deadline) return false;
            const std::size_t want = std::min(kPeekBytes, budget_.headBytes - consumed_);
            const ssize_t seen = ::recv(sock_, buffer, want, MSG_PEEK | MSG_DONTWAIT);
            if (seen < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!WaitReadable()) return false;
                continue;
            }
            if (seen < 0 && errno == EINTR) continue;
            if (seen <= 0) {
                line = std::exchange(partial_, {});
                return true;
            }
            const std::string_view view(buffer, static_cast<std::size_t>(seen));
            // A CR that ended the previous piece and an LF that starts this one end the line.
            if (!partial_.empty() && partial_.back() == '\r' && view.front() == '\n') {
                if (!Consume(1)) return Ended(line);
                partial_.pop_back();
                line = std::exchange(partial_, {});
                return true;
            }
            std::size_t taken = 0;
            std::size_t crlf;
            while ((crlf = view.find("\r\n", taken)) != std::string_view::npos) {
                ready_.emplace_back(view.substr(taken, crlf - taken));
                taken = crlf + 2;
                if (ready_.back().empty()) break;  // the head ends here
            }
            if (ready_.empty()) {
                if (!Consume(view.size())) return Ended(line);
                partial_.append(view);
                continue;
            }
            if (!Consume(taken)) {
                ready_.clear();
                return Ended(line);
            }
            line = std::move(partial_) + ready_.front();
            partial_.clear();
            ready_.pop_front();
            return true;
        }
    }

private:
    bool Ended(std::string& line) {
        line = std::exchange(partial_, {});
        return true;
    }

    bool WaitReadable() {
        for (;;) {
            const int left = MillisecondsLeft(budget_.deadline);
            if (left <= 0) return false;
            pollfd wait{sock_, POLLIN, 0};
            const int ready = ::poll(&wait, 1, left);
            if (ready > 0) return true;
            if (ready == 0) continue;  // the loop sees the deadline
            if (errno != EINTR) return true;  // the read reports it
        }
    }

    bool Consume(std::size_t count) {
        char sink[kPeekBytes];
        const ssize_t got = ::recv(sock_, sink, count, MSG_WAITALL);
        if (got <= 0) return false;
        consumed_ += static_cast<std::size_t>(got);
        budget_.bytes -= std::min(budget_.bytes, static_cast<std::size_t>(got));
        return true;
    }

    int sock_;
    Budget& budget_;
    std::size_t consumed_ = 0;
    std::string partial_;            // the start of a line whose CR LF has not arrived yet
    std::deque<std::string> ready_;  // complete lines taken with the last look
};

// Request bytes left unread (a POST body) would turn the close into a reset, which can destroy
// the answer on its way; so the peer gets our end first and its rest is read away, within what
// is left of the request's budget.
void ReadAwayTheRest(int sock, Budget& budget) {
    char sink[4096];
    if (::recv(sock, sink, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) return;
    ::shutdown(sock, SHUT_WR);
    while (budget.bytes > 0) {
        const int left = MillisecondsLeft(budget.deadline);
        if (left <= 0) return;
        pollfd wait{sock, POLLIN, 0};
        const int ready = ::poll(&wait, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return;
        const ssize_t got = ::recv(sock, sink, std::min(sizeof sink, budget.bytes), MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (got <= 0) return;
        budget.bytes -= static_cast<std::size_t>(got);
    }
}

std::string InWords(const ListenerLimits& limits) {
    const auto ms = limits.requestTime.count();
    const std::string time = ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
    return time + " and " + std::to_string(limits.headBytes / 1024) + " KiB";
}

}  // namespace

struct Listener::State {
    State(WebHost& h, platform::IDispatcher& d, ListenerLimits l) : host(h), ui(d), limits(l) {}

    WebHost& host;
    platform::IDispatcher& ui;
    const ListenerLimits limits;

    mutable std::mutex mutex;
    std::condition_variable workWaits;   // for workers: a connection they may take, or the end
    std::condition_variable workerFree;  // for the accept thread: room among the waiting, or stop
    // Accepting; listenFd is -1 while stopped.
    int listenFd = -1;
    int wakeFd = -1;
    std::thread acceptor;
    bool stopRequested = false;
    std::uint16_t port = 0;
    // Workers: connections waiting for a worker, the sockets being served (shut down when the
    // listener is destroyed) and how many of them each guest address holds.
    struct Connection {
        int fd;
        std::string peer;
    };
    std::vector<std::thread> workers;
    std::size_t idle = 0;
    std::deque<Connection> waiting;
    std::set<int> serving;
    std::map<std::string, std::size_t> servedFor;
    std::atomic<bool> closing{false};

    void AcceptLoop(int listenSock, int wake);
    void WorkerLoop();
    void Serve(int sock, const std::string& peer, Budget& budget);
    // Under the lock: the first waiting connection whose guest may have one more worker.
    std::deque<Connection>::iterator NextToServe();
    bool MayServe(const std::string& peer) const;
};

bool Listener::State::MayServe(const std::string& peer) const {
    const auto held = servedFor.find(peer);
    return held == servedFor.end() || held->second < std::max<std::size_t>(limits.workersPerGuest, 1);
}

std::deque<Listener::State::Connection>::iterator Listener::State::NextToServe() {
    return std::find_if(waiting.begin(), waiting.end(), [&](const Connection& c) { return MayServe(c.peer); });
}

void Listener::State::AcceptLoop(int listenSock, int wake) {
    for (;;) {
        {
            std::unique_lock lock(mutex);
            workerFree.wait(lock, [&] { return stopRequested || waiting.size() < kMaxWaiting; });
            if (stopRequested) return;
        }
        pollfd waits[2] = {{listenSock, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (waits[1].revents != 0) return;
        // Every connection that has arrived is taken at once, so each guest's wait their turn here
        // and another guest's are not stuck behind them in the listen queue.
        for (bool room = true; room;) {
            sockaddr_in address{};
            socklen_t length = sizeof address;
            const int sock = ::accept4(listenSock, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
            if (sock < 0) {
                // Out of descriptors or memory: breathe instead of spinning, still stoppable.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                    ::poll(&waits[1], 1, 100);
                break;  // also when nothing more waits
            }
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
            bool refused = false;
            {
                std::lock_guard lock(mutex);
                const auto fromGuest = static_cast<std::size_t>(std::count_if(
                    waiting.begin(), waiting.end(), [&](const Connection& c) { return c.peer == text; }));
                refused = fromGuest >= kWaitingPerGuest;
                if (!refused) {
                    waiting.push_back({sock, text});
                    if (idle == 0 && workers.size() < kMaxWorkers && MayServe(text))
                        workers.emplace_back([this] { WorkerLoop(); });
                }
                room = waiting.size() < kMaxWaiting;
            }
            if (refused) {
                ::close(sock);
                host.Lines({"--> " + std::string(text) + ": too many connections at once, closed"}, {});
                continue;
            }
            workWaits.notify_one();
        }
    }
}

void Listener::State::WorkerLoop() {
    for (;;) {
        Connection connection;
        {
            std::unique_lock lock(mutex);
            ++idle;
            auto next = waiting.end();
            workWaits.wait(lock, [&] {
                if (closing) return true;
                next = NextToServe();
                return next != waiting.end();
            });
            --idle;
            if (closing) return;
            connection = std::move(*next);
            waiting.erase(next);
            serving.insert(connection.fd);
            ++servedFor[connection.peer];
        }
        workerFree.notify_one();
        Budget budget{Clock::now() + limits.requestTime, limits.headBytes,
                      std::max(limits.requestBytes, limits.headBytes)};
        try {
            Serve(connection.fd, connection.peer, budget);
        } catch (...) {
            // Whatever went wrong, this connection ends and the worker goes on.
        }
        ReadAwayTheRest(connection.fd, budget);
        {
            // Closed under the lock: its number may be reused at once by the next connection.
            std::lock_guard lock(mutex);
            serving.erase(connection.fd);
            ::close(connection.fd);
            if (--servedFor[connection.peer] == 0) servedFor.erase(connection.peer);
        }
    }
}

void Listener::State::Serve(int sock, const std::string& peer, Budget& budget) {
    // Room for a whole page, so the worker hands it over at once instead of waiting for the guest.
    const int sendBuffer = 256 * 1024;
    ::setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);

    std::vector<std::string> details;
    std::string path;
    HeadReader reader(sock, budget);
    std::string line = " ";
    while (!line.empty()) {
        if (!reader.ReadLine(line)) {
            details.push_back("--> " + peer + ": no complete request within " + InWords(limits) + ", closed");
            host.Lines(details, {});
            return;
        }
        details.push_back(line);
        if (StartsWith(line, "GET")) {
            path = RequestPath(line);
            details.push_back("--> Path: " + path + " <");
        }
    }
    if (closing) return;

    const std::string folder = host.DocumentFolder();
    auto request = MapRequest(folder, path);
    // A link in the folder may lead anywhere; what it leads to must lie inside too.
    if (request && !request->select && !ResolvesInside(folder, request->full)) request.reset();
    if (!request) {
        host.Lines(details, {"not found: " + path});
        SendText(sock, NotFoundAnswer(path), limits);
        return;
    }
    const bool image = IsImage(request->ext);
    const std::string fileLine = "file: " + request->full;

    if (request->select) {
        const std::string time = ReceiveTime(std::chrono::system_clock::now());
        host.Lines(details, {request->name});
        std::optional<std::string> page;
        try {
            // The worker waits for the page: admission, states and pool page belong to the
            // user-interface thread.
            ui.RunBlocking([&] { page = host.Select(peer, time, request->selected); });
        } catch (...) {
            page.reset();
        }
        if (!page) return;  // the handling failed: no answer
        if (image) {
            SendText(sock, NotFoundAnswer(path), limits);
        } else {
            host.Lines({}, {fileLine});
            SendText(sock, std::string(kOk) + *page + "\r\n", limits);
        }
        return;
    }

    if (image) {
        host.Lines(details, {request->name});
        if (!SendFileAnswer(sock, request->full, false, limits)) SendText(sock, NotFoundAnswer(path), limits);
        return;
    }
    host.Lines(details, {request->name, fileLine});
    if (!SendFileAnswer(sock, request->full, true, limits)) SendText(sock, std::string(kOk) + "\r\n", limits);
}

Listener::Listener(WebHost& host, platform::IDispatcher& ui, ListenerLimits limits)
    : state_(std::make_unique<State>(host, ui, limits)) {}

Listener::~Listener() {
    Stop();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
        for (const auto& connection : state_->waiting) ::close(connection.fd);
        state_->waiting.clear();
        // Wakes workers that wait for a slow guest, so leaving the program does not wait 10 s.
        for (int sock : state_->serving) ::shutdown(sock, SHUT_RDWR);
        workers = std::move(state_->workers);
    }
    state_->workWaits.notify_all();
    for (auto& worker : workers) worker.join();
}

bool Listener::Start(std::uint16_t port, std::string* error) {
    Stop();
    auto fail = [&](int sock, const char* what) {
        const int code = errno;
        if (error)
            *error = "The web server cannot " + std::string(what) + " port " + std::to_string(port) + ": " +
                     std::strerror(code);
        if (sock >= 0) ::close(sock);
        return false;
    };
    const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (sock < 0) return fail(sock, "open a socket for");
    const int on = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return fail(sock, "use");
    if (::listen(sock, kListenQueue) != 0) return fail(sock, "listen on");
    socklen_t length = sizeof address;
    ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
    const int wake = ::eventfd(0, EFD_CLOEXEC);
    if (wake < 0) return fail(sock, "wait for connections on");

    std::lock_guard lock(state_->mutex);
    state_->listenFd = sock;
    state_->wakeFd = wake;
    state_->stopRequested = false;
    state_->port = ntohs(address.sin_port);
    state_->acceptor = std::thread([state = state_.get(), sock, wake] { state->AcceptLoop(sock, wake); });
    return true;
}

void Listener::Stop() {
    std::thread acceptor;
    int sock = -1;
    int wake = -1;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->acceptor.joinable()) return;
        state_->stopRequested = true;
        acceptor = std::move(state_->acceptor);
        sock = std::exchange(state_->listenFd, -1);
        wake = std::exchange(state_->wakeFd, -1);
        state_->port = 0;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    state_->workerFree.notify_all();
    acceptor.join();
    ::close(sock);
    ::close(wake);
}

bool Listener::Active() const {
    std::lock_guard lock(state_->mutex);
    return state_->listenFd >= 0;
}

std::uint16_t Listener::Port() const {
    std::lock_guard lock(state_->mutex);
    return state_->port;
}

std::string LocalIPAddress() {
    char text[INET_ADDRSTRLEN] = {};
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        bool found = false;
        for (const ifaddrs* entry = interfaces; entry && !found; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
            if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            found = ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
        }
        ::freeifaddrs(interfaces);
        if (found) return text;
    }
    // No network interface up: what the host name resolves to, often unreachable for guests.
    char name[257] = {};
    if (::gethostname(name, sizeof name - 1) == 0) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* results = nullptr;
        if (::getaddrinfo(name, nullptr, &hints, &results) == 0) {
            bool found = false;
            if (results && results->ai_addr) {
                const auto* address = reinterpret_cast<const sockaddr_in*>(results->ai_addr);
                found = ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
            }
            ::freeaddrinfo(results);
            if (found) return text;
        }
    }
    return "No. IP Address";
}

std::string LocalComputerName() {
    char name[257] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return std::string(name).substr(0, 15);
}

std::string ReceiveTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d.%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace web
