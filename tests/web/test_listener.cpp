// The guests' web server over real sockets on 127.0.0.1: the bytes a browser receives, the lines
// the DJ sees, and how it holds up against slow, many and hostile clients.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include "platform/dispatcher.h"
#include "tests/support/temp_dir.h"
#include "web/listener.h"

namespace {

using namespace std::chrono_literals;

// Select answers "<p>taken: PATH</p>", or fails for a path with "fail"; holds selects while asked to.
class FakeHost : public web::WebHost {
public:
    std::string DocumentFolder() override {
        std::lock_guard lock(mutex_);
        return folder;
    }
    std::optional<std::string> Select(const std::string& host, const std::string& time,
                                      const std::string& path) override {
        std::unique_lock lock(mutex_);
        selects.push_back(host + "|" + time + "|" + path);
        ++inSelect;
        changed_.notify_all();
        changed_.wait_for(lock, 30s, [&] { return !hold || released > 0; });
        if (hold) --released;
        --inSelect;
        if (path.find("fail") != std::string::npos) return std::nullopt;
        return "<p>taken: " + path + "</p>";
    }
    void Log(const std::string& line) override { Add(log, line); }
    void Details(const std::string& line) override { Add(details, line); }

    void SetFolder(const std::string& path) {
        std::lock_guard lock(mutex_);
        folder = path;
    }
    void Release(int count) {
        std::lock_guard lock(mutex_);
        released += count;
        changed_.notify_all();
    }
    bool WaitInSelect(int count, std::chrono::milliseconds limit = 20s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return inSelect == count; });
    }
    std::vector<std::string> Take(std::vector<std::string>& lines) {
        std::lock_guard lock(mutex_);
        return std::exchange(lines, {});
    }

    std::string folder;
    bool hold = false;
    std::vector<std::string> selects, log, details;

private:
    void Add(std::vector<std::string>& lines, const std::string& line) {
        std::lock_guard lock(mutex_);
        lines.push_back(line);
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    int inSelect = 0;
    int released = 0;
};

// A connection from 127.0.0.`from`: every address of 127/8 is this machine, so each stands for
// a guest of its own.
int Connect(std::uint16_t port, int from = 1, int receiveBuffer = 0) {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK - 1 + static_cast<std::uint32_t>(from));
    ::bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(sock);
        return -1;
    }
    const timeval limit{30, 0};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return sock;
}

// Everything the server sends until it closes (a reset ends it too).
std::string ReadAll(int sock) {
    std::string got;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(sock, buffer, sizeof buffer, 0)) > 0) got.append(buffer, static_cast<std::size_t>(n));
    ::close(sock);
    return got;
}

// How a guest goes on after its request: it reads the answer, ends its sending side first,
// sends a byte every 100 ms of a body that never ends, or takes 1 KiB every 100 ms through a
// small receive buffer.
enum class Then { Read, HalfClose, Trickle, SipSlowly };

// Sends the pieces with a pause between them, then goes on as `then` says. What arrived until the
// server closed or reset; "<held>" when the server still held the connection after 30 s.
std::string Exchange(std::uint16_t port, const std::vector<std::string>& pieces, Then then = Then::Read) {
    const int sock = Connect(port, 1, then == Then::SipSlowly ? 4096 : 0);
    if (sock < 0) return "<refused>";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(50ms);
        ::send(sock, pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL);
    }
    if (then == Then::HalfClose) ::shutdown(sock, SHUT_WR);
    if (then == Then::Read || then == Then::HalfClose) return ReadAll(sock);
    std::string got;
    char buffer[1024];
    for (int step = 0; step < 300; ++step) {
        std::this_thread::sleep_for(100ms);
        // Once the server has closed, the byte sent gets a reset and the next send fails.
        const bool gone = then == Then::Trickle && ::send(sock, "a", 1, MSG_NOSIGNAL) < 0;
        const ssize_t n = gone ? 0 : ::recv(sock, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            ::close(sock);
            return got;
        }
    }
    ::close(sock);
    return "<held>";
}

void Put(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kOk = "HTTP/1.0 200 OK\r\n\r\n";
std::string Page(const std::string& body) { return kOk + body + "\r\n"; }
std::string NotFound(const std::string& shownPath) { return "404:" + shownPath; }
std::string Get(const std::string& path) { return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

}  // namespace

TEST(Listener, AnswersWhatGuestsAndStrangersSend) {
    testutil::TempDir dir;
    const std::string docs = (dir / "htdocs").string();
    const std::string logo("\x89PNG\r\n\x1a\n\0\0\r\n", 12);
    Put(dir / "htdocs/index.html", "<h1>Party</h1>");
    Put(dir / "htdocs/My Song.htm", "my song");
    Put(dir / "htdocs/Beyonc\xC3\xA9 - Halo.htm", "halo");
    Put(dir / "htdocs/pics/logo.png", logo);
    Put(dir / "htdocs/bom8.htm", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e");
    Put(dir / "htdocs/bom16.htm", std::string("\xFF\xFEG\0r\0\xFC\0\xDF\0e\0", 12));
    std::filesystem::create_directories(dir / "htdocs/tool");
    Put(dir / "secret.htm", "secret");
    Put(dir / "htdocs2/secret.htm", "secret");
    ASSERT_EQ(::mkfifo((dir / "htdocs/pipe.htm").c_str(), 0644), 0);
    std::filesystem::create_symlink(dir / "secret.htm", dir / "htdocs/out.htm");
    std::filesystem::create_symlink(dir / "htdocs2", dir / "htdocs/elsewhere");
    std::filesystem::create_symlink("index.html", dir / "htdocs/home.htm");
    const std::string big(4 << 20, 'x');
    Put(dir / "htdocs/big.htm", big);

    FakeHost host;
    platform::InlineDispatcher ui;
    // Short times, so that the slow guests below are cut off within seconds.
    web::ListenerLimits limits;
    limits.requestTime = 2s;
    limits.sendBytesPerSecond = 2 << 20;
    web::Listener listener(host, ui, limits);
    std::string error;
    ASSERT_TRUE(listener.Start(0, &error)) << error;

    struct Case {
        const char* what;
        std::vector<std::string> pieces;
        std::string expected;          // exact bytes, or NotFound(path the page ends with)
        std::vector<std::string> log = {};  // checked when given; "@" stands for the document folder
        std::string folder = {};       // another document folder for this request
        Then then = Then::Read;
    };
    const std::vector<Case> cases = {
        {"root with header lines", {"GET / HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\n"}, Page("<h1>Party</h1>"),
         {"index.html", "file: @/index.html"}},
        {"blank as %20", {Get("/My%20Song.htm")}, Page("my song")},
        {"UTF-8 name as a browser sends it", {Get("/Beyonc%C3%A9%20-%20Halo.htm")}, Page("halo")},
        {"HTTP inside the path", {Get("/HTTP.html")}, Page("<h1>Party</h1>")},
        {"image present", {Get("/pics/logo.png")}, kOk + logo, {"logo.png"}},
        {"image absent", {Get("/pics/none.png")}, NotFound("/pics/none.png")},
        {"POST with a body", {"POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello"}, Page("<h1>Party</h1>")},
        {"select with %20", {Get("/tool/select.htm/?/music/a%20b.mp3")}, Page("<p>taken: /music/a b.mp3</p>"),
         {"select.htm", "file: @/tool/select.htm/?/music/a b.mp3"}},
        {"select of an accented name with ?", {Get("/tool/select.htm/?/m/Beyonc%C3%A9%3F.mp3")},
         Page("<p>taken: /m/Beyonc\xC3\xA9?.mp3</p>")},
        {"select.htm? without /", {Get("/tool/select.htm?/music/x.mp3")}, Page("")},
        {"query string on a page", {Get("/index.html?x=1")}, Page("<h1>Party</h1>"),
         {"index.html", "file: @/index.html"}},
        {"a shared link's query on /", {Get("/?fbclid=IwAR0%zz")}, Page("<h1>Party</h1>")},
        {"query string on an image", {Get("/pics/logo.png?v=2")}, kOk + logo},
        {"a query climbs nowhere", {Get("/My%20Song.htm?/../../secret.htm")}, Page("my song")},
        {"failing select", {Get("/tool/select.htm/?/music/fail.mp3")}, ""},
        {"a pipe, which must not hold the worker", {Get("/pipe.htm")}, Page("")},
        {"folder", {Get("/tool/")}, Page(""), {"tool", "file: @/tool"}},
        {"text file with a UTF-8 mark", {Get("/bom8.htm")}, Page("Gr\xC3\xBC\xC3\x9F" "e")},
        {"text file with a UTF-16 mark", {Get("/bom16.htm")}, Page("Gr\xC3\xBC\xC3\x9F" "e")},
        {"up and back inside", {Get("/pics/../index.html")}, Page("<h1>Party</h1>")},
        {"up and out", {Get("/../secret.htm")}, NotFound("/../secret.htm"), {"not found: /../secret.htm"}},
        {"up and out deeper", {Get("/pics/../../secret.htm")}, NotFound("/pics/../../secret.htm")},
        {"up and out escaped", {Get("/%2e%2E%2fsecret.htm")}, NotFound("/%2e%2E%2fsecret.htm")},
        {"beside the folder", {Get("2/secret.htm")}, Page("")},
        {"escaped NUL", {Get("/index.html%00.png")}, NotFound("/index.html%00.png")},
        {"broken escapes", {Get("/My%2")}, NotFound("/My%2")},
        {"not hex", {Get("/My%zzSong.htm")}, NotFound("/My%zzSong.htm")},
        {"markup in the path", {Get("/<b>x.png")}, NotFound("/&lt;b&gt;x.png")},
        {"CR and LF in two pieces", {"GET /My%20Song.htm HTTP/1.0\r", "\n\r\n"}, Page("my song")},
        {"bare LF ends no line", {"GET /none.htm HTTP/1.0\n\nGET /My%20Song.htm HTTP/1.0\r\n\r\n"}, Page("")},
        {"peer stops sending before the empty line", {"GET /My%20Song.htm HTTP/1.0\r\n"}, Page("my song"), {},
         {}, Then::HalfClose},
        {"a link out of the folder", {Get("/out.htm")}, NotFound("/out.htm"), {"not found: /out.htm"}},
        {"a linked folder out of the folder", {Get("/elsewhere/secret.htm")}, NotFound("/elsewhere/secret.htm")},
        {"a link within the folder", {Get("/home.htm")}, Page("<h1>Party</h1>")},
        {"a body that never ends", {"POST / HTTP/1.1\r\nContent-Length: 100000\r\n\r\na"}, Page("<h1>Party</h1>"),
         {}, {}, Then::Trickle},
        {"a guest who reads a big file slowly", {Get("/big.htm")}, "cut", {}, {}, Then::SipSlowly},
        {"head over 8 KiB", {"GET / HTTP/1.0\r\nX: " + std::string(9000, 'a') + "\r\n\r\n"}, ""},
        {"missing HTML folder", {Get("/")}, Page(""), {}, (dir / "nowhere").string()},
        {"missing HTML folder, image", {Get("/pics/logo.png")}, NotFound("/pics/logo.png"), {},
         (dir / "nowhere").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host.SetFolder(c.folder.empty() ? docs : c.folder);
        host.Take(host.log);
        const std::string got = Exchange(listener.Port(), c.pieces, c.then);
        if (c.expected == "cut") {
            EXPECT_EQ(got.rfind(kOk, 0), 0u) << got.substr(0, 40);
            EXPECT_LT(got.size(), kOk.size() + big.size()) << "the whole file went to a guest who hardly reads";
        } else if (c.expected.rfind("404:", 0) == 0) {
            EXPECT_EQ(got.rfind("HTTP/1.0 404 Not Found\r\n\r\n", 0), 0u) << got;
            const std::string end = c.expected.substr(4) + "\r\n";
            EXPECT_TRUE(got.size() > end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0) << got;
        } else {
            EXPECT_EQ(got, c.expected);
        }
        if (!c.log.empty()) {
            std::vector<std::string> expected;
            for (auto line : c.log) expected.push_back(std::regex_replace(line, std::regex("@"), docs));
            EXPECT_EQ(host.Take(host.log), expected);
        }
    }

    // The guest's address and the receive time reach the select handling.
    const auto selects = host.Take(host.selects);
    ASSERT_GE(selects.size(), 2u);
    EXPECT_TRUE(std::regex_match(selects[0], std::regex(R"(127\.0\.0\.1\|\d\d:\d\d\.\d\d\|/music/a b\.mp3)")))
        << selects[0];
    // The details box shows the head as received, with the path found in it.
    const auto details = host.Take(host.details);
    for (const std::string line : {"GET / HTTP/1.1", "--> Path: / <", "Host: x", "Accept: */*"})
        EXPECT_NE(std::find(details.begin(), details.end(), line), details.end()) << line;
}

// Each guest stands on an address of its own (127.0.0.2, .3, ...).
TEST(Listener, ServesTenGuestsAtOnceAndOneGuestOnAFewWorkersOnly) {
    testutil::TempDir dir;
    Put(dir / "index.html", "<h1>Party</h1>");
    FakeHost host;
    host.folder = dir.path().string();
    host.hold = true;
    platform::InlineDispatcher ui;
    web::Listener listener(host, ui);
    ASSERT_TRUE(listener.Start(0, nullptr));
    const auto select = [&](int from, int n) {
        const int sock = Connect(listener.Port(), from);
        const std::string request = Get("/tool/select.htm/?/t" + std::to_string(n) + ".mp3");
        ::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
        return ReadAll(sock);
    };

    std::vector<std::string> answers(15);
    std::vector<std::thread> guests;
    for (int i = 0; i < 10; ++i) guests.emplace_back([&, i] { answers[i] = select(2 + i, i); });
    ASSERT_TRUE(host.WaitInSelect(10));  // ten served at the same time

    const int eleventh = Connect(listener.Port(), 12);  // waits for a worker
    ASSERT_GE(eleventh, 0);
    const std::string request = Get("/");
    ::send(eleventh, request.data(), request.size(), MSG_NOSIGNAL);
    pollfd wait{eleventh, POLLIN, 0};
    EXPECT_EQ(::poll(&wait, 1, 500), 0) << "answered although all ten workers are busy";
    host.Release(1);
    EXPECT_EQ(ReadAll(eleventh), Page("<h1>Party</h1>"));
    host.Release(9);
    for (auto& guest : guests) guest.join();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(answers[i].rfind(kOk + "<p>taken: /t", 0), 0u) << answers[i];
    guests.clear();

    // One guest opens five connections at once: three are served, two wait their turn, and
    // another guest is answered meanwhile.
    ASSERT_TRUE(host.WaitInSelect(0));
    for (int i = 10; i < 15; ++i) guests.emplace_back([&, i] { answers[i] = select(20, i); });
    ASSERT_TRUE(host.WaitInSelect(3));
    EXPECT_FALSE(host.WaitInSelect(4, 500ms)) << "one guest holds more than three workers";
    const int other = Connect(listener.Port(), 21);
    ::send(other, request.data(), request.size(), MSG_NOSIGNAL);
    EXPECT_EQ(ReadAll(other), Page("<h1>Party</h1>"));
    host.Release(5);
    for (auto& guest : guests) guest.join();
    for (int i = 10; i < 15; ++i) EXPECT_EQ(answers[i].rfind(kOk + "<p>taken: /t", 0), 0u) << answers[i];
}

TEST(Listener, CutsOffAHeadThatTakesLongerThanTenSeconds) {
    testutil::TempDir dir;
    Put(dir / "index.html", "<h1>Party</h1>");
    FakeHost host;
    host.folder = dir.path().string();
    platform::InlineDispatcher ui;
    web::Listener listener(host, ui);
    ASSERT_TRUE(listener.Start(0, nullptr));

    // A header line every 300 ms: never idle, but the head never ends.
    const int slow = Connect(listener.Port());
    ASSERT_GE(slow, 0);
    const auto begin = std::chrono::steady_clock::now();
    std::string got;
    ::send(slow, "GET / HTTP/1.0\r\n", 16, MSG_NOSIGNAL);
    pollfd wait{slow, POLLIN, 0};
    for (int i = 0; i < 100 && ::poll(&wait, 1, 300) == 0; ++i) {
        ::send(slow, "X: y\r\n", 6, MSG_NOSIGNAL);
        if (i == 3) {
            EXPECT_EQ(Exchange(listener.Port(), {Get("/")}), Page("<h1>Party</h1>"));  // others go on
        }
    }
    EXPECT_EQ(ReadAll(slow), "");
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 9s);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 25s);
}

TEST(Listener, StartsStopsRestartsAndReportsABusyPort) {
    testutil::TempDir dir;
    Put(dir / "index.html", "<h1>Party</h1>");
    FakeHost host;
    host.folder = dir.path().string();
    host.hold = true;
    platform::InlineDispatcher ui;
    auto listener = std::make_unique<web::Listener>(host, ui);
    ASSERT_TRUE(listener->Start(0, nullptr));
    const std::uint16_t port = listener->Port();

    web::Listener second(host, ui);
    std::string error;
    EXPECT_FALSE(second.Start(port, &error));
    EXPECT_NE(error.find(std::to_string(port)), std::string::npos) << error;
    EXPECT_FALSE(second.Active());

    // Stopping closes the door at once; the guest being served still gets the page.
    std::string inFlight;
    std::thread guest([&] { inFlight = Exchange(port, {Get("/tool/select.htm/?/a.mp3")}); });
    ASSERT_TRUE(host.WaitInSelect(1));
    listener->Stop();
    EXPECT_FALSE(listener->Active());
    EXPECT_EQ(Exchange(port, {Get("/")}), "<refused>");
    host.Release(1);
    guest.join();
    EXPECT_EQ(inFlight, Page("<p>taken: /a.mp3</p>"));

    ASSERT_TRUE(listener->Start(port, &error)) << error;
    ASSERT_TRUE(listener->Start(port, &error)) << error;  // a restart on the same port
    EXPECT_EQ(Exchange(port, {Get("/")}), Page("<h1>Party</h1>"));

    // Leaving the program does not wait for a guest that sends nothing.
    const int silent = Connect(port);
    ASSERT_TRUE(silent >= 0);
    std::this_thread::sleep_for(100ms);
    listener.reset();
    EXPECT_EQ(ReadAll(silent), "");
}
