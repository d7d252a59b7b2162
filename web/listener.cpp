// The guests' web server on POSIX sockets: an accept thread, at most ten reused workers, and the
// minimal HTTP/1.0 answers (status line, empty line, body, close).
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

constexpr int kListenQueue = 5;
constexpr std::size_t kMaxWorkers = 10;
constexpr auto kHeadTime = std::chrono::seconds(10);
constexpr std::size_t kHeadBytes = 8 * 1024;
constexpr std::size_t kPeekBytes = 511;
// Files go out in pieces this large; small pages leave in a single send with their status line.
constexpr std::size_t kPiece = 64 * 1024;
constexpr std::string_view kOk = "HTTP/1.0 200 OK\r\n\r\n";
constexpr std::string_view kNotFound =
    "HTTP/1.0 404 Not Found\r\n\r\n<p>Party-Server:</p><h1>404 Not Found</h1><br><br>";

bool IsImage(const std::string& ext) { return ext == ".jpg" || ext == ".gif" || ext == ".png"; }

// Stops at the first failure: a peer that went away gets no more and raises no signal.
bool SendAll(int sock, std::string_view data, int flags = 0) {
    while (!data.empty()) {
        const ssize_t sent = ::send(sock, data.data(), data.size(), MSG_NOSIGNAL | flags);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

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
bool SendFileAnswer(int sock, const std::string& path, bool text) {
    FileHandle file(path);
    if (file.get() < 0) return false;
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
        SendAll(sock, out);
        return true;
    }
    if (first < kPiece) {
        if (text) out += "\r\n";
        SendAll(sock, out);
        return true;
    }
    if (!SendAll(sock, out, MSG_MORE)) return true;
    ssize_t more;
    while ((more = ReadUpTo(file.get(), piece.data(), piece.size())) > 0)
        if (!SendAll(sock, std::string_view(piece.data(), static_cast<std::size_t>(more)), MSG_MORE)) return true;
    SendAll(sock, text ? "\r\n" : "");
    return true;
}

void SendNotFound(int sock, const std::string& requestPath) {
    SendAll(sock, std::string(kNotFound) + HtmlEscape(requestPath) + "\r\n");
}

// Reads the request head one CR LF line at a time, within 10 seconds and 8 KiB for the whole
// head. It looks at up to 511 bytes that have arrived and takes only complete lines (up to the
// empty line that ends the head), so a request body stays unread; a bare LF ends no line.
class HeadReader {
public:
    explicit HeadReader(int sock) : sock_(sock), deadline_(std::chrono::steady_clock::now() + kHeadTime) {}

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
            if (consumed_ >= kHeadBytes || std::chrono::steady_clock::now() >= deadline_) return false;
            const std::size_t want = std::min(kPeekBytes, kHeadBytes - consumed_);
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
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline_ - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd wait{sock_, POLLIN, 0};
            const int ready = ::poll(&wait, 1, static_cast<int>(left.count()) + 1);
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
        return true;
    }

    int sock_;
    std::chrono::steady_clock::time_point deadline_;
    std::size_t consumed_ = 0;
    std::string partial_;            // the start of a line whose CR LF has not arrived yet
    std::deque<std::string> ready_;  // complete lines taken with the last look
};

// Request bytes left unread (a POST body) would turn the close into a reset, which can destroy
// the answer on its way; so the peer gets our end first and its rest is read away, briefly.
void ReadAwayTheRest(int sock) {
    char sink[4096];
    if (::recv(sock, sink, 1, MSG_PEEK | MSG_DONTWAIT) > 0) {
        ::shutdown(sock, SHUT_WR);
        std::size_t drained = 0;
        pollfd wait{sock, POLLIN, 0};
        while (drained < 64 * 1024 && ::poll(&wait, 1, 2000) > 0) {
            const ssize_t got = ::recv(sock, sink, sizeof sink, 0);
            if (got <= 0) break;
            drained += static_cast<std::size_t>(got);
        }
    }
}

}  // namespace

struct Listener::State {
    State(WebHost& h, platform::IDispatcher& d) : host(h), ui(d) {}

    WebHost& host;
    platform::IDispatcher& ui;

    mutable std::mutex mutex;
    std::condition_variable workWaits;  // for workers: a connection waits, or the listener closes
    std::condition_variable workerFree;  // for the accept thread: a worker is free, or stop
    // Accepting; listenFd is -1 while stopped.
    int listenFd = -1;
    int wakeFd = -1;
    std::thread acceptor;
    bool stopRequested = false;
    std::uint16_t port = 0;
    // Workers: connections waiting for a worker, connections accepted and not yet closed, and
    // the sockets being served (shut down when the listener is destroyed).
    struct Connection {
        int fd;
        std::string peer;
    };
    std::vector<std::thread> workers;
    std::deque<Connection> waiting;
    std::size_t inProgress = 0;
    std::set<int> serving;
    std::atomic<bool> closing{false};

    void AcceptLoop(int listenSock, int wake);
    void WorkerLoop();
    void Serve(int sock, const std::string& peer);
    void PostLines(std::vector<std::string> details, std::vector<std::string> log);
};

void Listener::State::AcceptLoop(int listenSock, int wake) {
    for (;;) {
        {
            // The eleventh connection stays in the listen queue until a worker is free.
            std::unique_lock lock(mutex);
            workerFree.wait(lock, [&] { return stopRequested || inProgress < kMaxWorkers; });
            if (stopRequested) return;
        }
        pollfd waits[2] = {{listenSock, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (waits[1].revents != 0) return;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        const int sock = ::accept4(listenSock, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
        if (sock < 0) {
            // Out of descriptors or memory: breathe instead of spinning, still stoppable.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) ::poll(&waits[1], 1, 100);
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
        {
            std::lock_guard lock(mutex);
            waiting.push_back({sock, text});
            ++inProgress;
            if (workers.size() < inProgress) workers.emplace_back([this] { WorkerLoop(); });
        }
        workWaits.notify_one();
    }
}

void Listener::State::WorkerLoop() {
    for (;;) {
        Connection connection;
        {
            std::unique_lock lock(mutex);
            workWaits.wait(lock, [&] { return closing || !waiting.empty(); });
            if (waiting.empty()) return;
            connection = std::move(waiting.front());
            waiting.pop_front();
            serving.insert(connection.fd);
        }
        try {
            Serve(connection.fd, connection.peer);
        } catch (...) {
            // Whatever went wrong, this connection ends and the worker goes on.
        }
        ReadAwayTheRest(connection.fd);
        {
            // Closed under the lock: its number may be reused at once by the next connection.
            std::lock_guard lock(mutex);
            serving.erase(connection.fd);
            ::close(connection.fd);
            --inProgress;
        }
        workerFree.notify_one();
    }
}

void Listener::State::PostLines(std::vector<std::string> details, std::vector<std::string> log) {
    try {
        ui.Post([&host = host, details = std::move(details), log = std::move(log)] {
            for (const auto& line : details) host.Details(line);
            for (const auto& line : log) host.Log(line);
        });
    } catch (...) {
        // A closing program takes no more lines.
    }
}

void Listener::State::Serve(int sock, const std::string& peer) {
    const timeval sendLimit{10, 0};  // a guest that takes nothing for 10 s is dropped
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    // Room for a whole page, so the worker hands it over at once instead of waiting for the guest.
    const int sendBuffer = 256 * 1024;
    ::setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);

    std::vector<std::string> details;
    std::string path;
    HeadReader reader(sock);
    std::string line = " ";
    while (!line.empty()) {
        if (!reader.ReadLine(line)) {
            details.push_back("--> " + peer + ": no complete request within 10 s and 8 KiB, closed");
            PostLines(std::move(details), {});
            return;
        }
        details.push_back(line);
        if (StartsWith(line, "GET")) {
            path = RequestPath(line);
            details.push_back("--> Path: " + path + " <");
        }
    }
    if (closing) return;

    const auto request = MapRequest(host.DocumentFolder(), path);
    if (!request) {
        PostLines(std::move(details), {"not found: " + path});
        SendNotFound(sock, path);
        return;
    }
    const bool image = IsImage(request->ext);
    const std::string fileLine = "file: " + request->full;

    if (request->select) {
        const std::string time = ReceiveTime(std::chrono::system_clock::now());
        std::optional<std::string> page;
        try {
            // The worker waits for the page: admission, states and pool page belong to the
            // user-interface thread.
            ui.RunBlocking([&] {
                for (const auto& detail : details) host.Details(detail);
                host.Log(request->name);
                page = host.Select(peer, time, request->selected);
                if (page && !image) host.Log(fileLine);
            });
        } catch (...) {
            page.reset();
        }
        if (!page) return;  // the handling failed: no answer
        if (image)
            SendNotFound(sock, path);
        else
            SendAll(sock, std::string(kOk) + *page + "\r\n");
        return;
    }

    if (image) {
        PostLines(std::move(details), {request->name});
        if (!SendFileAnswer(sock, request->full, false)) SendNotFound(sock, path);
        return;
    }
    PostLines(std::move(details), {request->name, fileLine});
    if (!SendFileAnswer(sock, request->full, true)) SendAll(sock, std::string(kOk) + "\r\n");
}

Listener::Listener(WebHost& host, platform::IDispatcher& ui) : state_(std::make_unique<State>(host, ui)) {}

Listener::~Listener() {
    Stop();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
        for (const auto& connection : state_->waiting) ::close(connection.fd);
        state_->inProgress -= state_->waiting.size();
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
    const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
