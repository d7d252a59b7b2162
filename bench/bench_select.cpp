// A guest's select request against a 2,000-track guest pool, from sending the request to the last
// byte of the answer, over a real socket to the window's listener; the window runs its event
// loop as in the program (test decks, the shipped fragments). Prints median, p95 and the part
// spent on the user-interface thread.
//   bench_select [--flood RATE]   with --flood, other traffic asks for index.html at RATE requests
//                                 a second from another address while the selects run
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "web/listener.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPool = 2000, kRequests = 400;

std::string PercentEncode(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

// Milliseconds from connect to the server's close; the answer's size through `bytes`.
double TimedGet(uint16_t port, const std::string& target, size_t* bytes) {
    const auto t0 = Clock::now();
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A guest of its own: a flood, if any, comes from 127.0.0.1.
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1);
    ::bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from);
    *bytes = 0;
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: bench\r\n\r\n";
        (void)::send(s, request.data(), request.size(), MSG_NOSIGNAL);
        char buf[65536];
        for (ssize_t n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) *bytes += static_cast<size_t>(n);
    }
    ::close(s);
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

struct Stats {
    double median, p95, min, max;
};
Stats Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)], v.front(), v.back()};
}

}  // namespace

// Other traffic while the selects run: 20 threads, each on connections of its own from
// 127.0.0.1, ask for index.html at `rate` requests a second in all, until `stop`.
void Flood(uint16_t port, int rate, const std::atomic<bool>& stop, std::atomic<long>& served) {
    std::vector<std::thread> threads;
    const auto gap = std::chrono::microseconds(20 * 1000000L / std::max(rate, 1));
    for (int t = 0; t < 20; ++t)
        threads.emplace_back([&, t] {
            auto due = Clock::now() + gap * t / 20;
            while (!stop) {
                std::this_thread::sleep_until(due);
                due += gap;
                const int s = ::socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in addr{};
                addr.sin_family = AF_INET;
                addr.sin_port = htons(port);
                addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                    const std::string request = "GET /index.html HTTP/1.1\r\nHost: flood\r\n\r\n";
                    (void)::send(s, request.data(), request.size(), MSG_NOSIGNAL);
                    char buf[65536];
                    while (::recv(s, buf, sizeof buf, 0) > 0) {
                    }
                    ++served;
                }
                ::close(s);
            }
        });
    for (auto& t : threads) t.join();
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int floodRate = argc > 2 && std::strcmp(argv[1], "--flood") == 0 ? std::atoi(argv[2]) : 0;
    QApplication application(argc, argv);
    platform::RecordingUserInterface recorder;
    platform::SetUserInterface(&recorder);

    QTemporaryDir dir;
    const fs::path root = fs::path(dir.path().toStdString()) / "web";
    const fs::path music = fs::path(dir.path().toStdString()) / "music";
    fs::create_directories(root / "htdocs" / "tool");
    fs::create_directories(music);
    fs::copy(fs::path(QCoreApplication::applicationDirPath().toStdString()) / "basics", root / "basics",
             fs::copy_options::recursive);

    auto clock = std::make_shared<playback::TTestClock>();
    clock->SetDefaultLength(180000);
    auto form = app::CreateWindows(playback::TestDeckFactory(clock));
    settings::TSetRec settings = form->Party().Settings();
    settings.HTMLpath = QString::fromStdString(root.string());
    form->Party().CloseSettings(settings);
    form->Party().SetWebPort(0);

    std::vector<tracks::TrackRow> rows;
    std::vector<std::string> paths;
    for (int i = 0; i < kPool; ++i) {
        const fs::path p = music / ("Artist " + std::to_string(i % 97) + " - Track " + std::to_string(i) + ".mp3");
        std::ofstream(p) << "x";
        tracks::TrackRow r;
        r.Status = QStringLiteral("ready");
        r.Title = QStringLiteral("Track %1").arg(i);
        r.Artist = QStringLiteral("Artist %1").arg(i % 97);
        r.Album = QStringLiteral("Album %1").arg(i % 31);
        r.Year = QStringLiteral("2001");
        r.Time = QStringLiteral("03:30");
        r.Src = QStringLiteral("File");
        r.FileName = QString::fromStdString(p.string());
        rows.push_back(r);
        paths.push_back(p.string());
    }
    form->Party().Pool().AppendRows(rows);
    QElapsedTimer pages;  // the server's start writes the pages
    pages.start();
    form->M70Click();
    const qint64 pagesMs = pages.elapsed();
    const uint16_t port = form->TcpServer1->Port();
    std::atomic<bool> floodStop{false};
    std::atomic<long> floodServed{0};
    const auto floodStart = Clock::now();
    std::thread flood;
    if (floodRate > 0) flood = std::thread([&] { Flood(port, floodRate, floodStop, floodServed); });

    // Requests for tracks spread over the pool: each is admitted, so the request list grows.
    std::vector<double> admitted, refused, plain;
    std::thread client([&] {
        size_t bytes = 0;
        for (int i = 0; i < kRequests; ++i) {
            const std::string& p = paths[static_cast<size_t>((i * 7919) % kPool)];
            admitted.push_back(TimedGet(port, "/tool/select.htm/?" + PercentEncode(p), &bytes));
            if (bytes == 0) std::fprintf(stderr, "no answer for %s\n", p.c_str());
        }
        // The same tracks again: refused as already chosen.
        for (int i = 0; i < kRequests; ++i) {
            const std::string& p = paths[static_cast<size_t>((i * 7919) % kPool)];
            refused.push_back(TimedGet(port, "/tool/select.htm/?" + PercentEncode(p), &bytes));
        }
        // The listener alone: a small page served from the document folder.
        for (int i = 0; i < kRequests; ++i) {
            plain.push_back(TimedGet(port, "/index.html", &bytes));
            if (bytes < 100) std::fprintf(stderr, "short answer for index.html: %zu bytes\n", bytes);
        }
        QMetaObject::invokeMethod(&application, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    QApplication::exec();
    client.join();
    if (flood.joinable()) {
        floodStop = true;
        flood.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - floodStart).count();
        std::printf("other traffic during the selects: %ld requests in %.1f s, %.0f a second\n", floodServed.load(),
                    seconds, floodServed.load() / seconds);
    }

    // The user-interface thread's share: the same select handling without the socket.
    // Its CPU time too: on a machine busy with other work the wall clock says little.
    std::vector<double> uiPart, uiCpu;
    const auto cpuMs = [] {
        timespec ts{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    };
    for (int i = 0; i < 100; ++i) {
        const auto t0 = Clock::now();
        const double c0 = cpuMs();
        (void)form->Party().Select("127.0.0.1", "21:07.45",
                                   QString::fromStdString(paths[static_cast<size_t>((i * 13) % kPool)]));
        uiCpu.push_back(cpuMs() - c0);
        uiPart.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }

    std::printf("select request, %d-track guest pool (%d guest requests at the end), ms\n", kPool,
                form->Party().Requests().Count());
    std::printf("%-34s %8s %8s %8s %8s\n", "", "median", "p95", "min", "max");
    const auto line = [](const char* what, const Stats& s) {
        std::printf("%-34s %8.2f %8.2f %8.2f %8.2f\n", what, s.median, s.p95, s.min, s.max);
    };
    line("admitted (socket, send to close)", Summary(admitted));
    line("refused, already chosen (socket)", Summary(refused));
    line("static index.html (socket)", Summary(plain));
    line("UI thread part only (Select)", Summary(uiPart));
    line("  its CPU time", Summary(uiCpu));
    std::printf("the server's start with the first generation of the %d track pages and the pool page: %lld ms\n", kPool,
                static_cast<long long>(pagesMs));
    std::printf("messages shown: %zu, errors: %zu\n", recorder.messages.size(), recorder.errors.size());
    form->M80Click();
    platform::SetUserInterface(nullptr);
    return 0;
}
