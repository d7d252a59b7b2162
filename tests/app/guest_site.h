#pragma once
// A main window with a guest site in a temporary folder (the shipped fragments), its listener on
// a free port, tagged files for the pool, and clients that fetch while the window's event loop
// runs (the listener hands select requests to it and waits).
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <string>

#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/user_interface.h"
#include "playback/test_deck.h"
#include "settings/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "web/listener.h"

namespace guest_site {

// Runs `work` on a thread of its own while this thread's event loop turns; gives up after a
// minute so a hang fails the test instead of stopping it.
template <class F>
auto Pumped(F work) {
    auto done = std::async(std::launch::async, std::move(work));
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    EXPECT_EQ(done.wait_for(std::chrono::seconds(0)), std::future_status::ready) << "no answer within a minute";
    return done.get();
}

// One raw HTTP request; everything the server sent until it closed.
inline std::string RawGet(uint16_t port, const std::string& target) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string got;
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: guest\r\n\r\n";
        (void)::send(s, request.data(), request.size(), MSG_NOSIGNAL);
        char buf[65536];
        for (ssize_t n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<size_t>(n));
    }
    ::close(s);
    return got;
}

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The request link of a track page, as a browser would follow it (HTML escapes undone).
inline std::string SelectLink(const std::string& trackPage) {
    std::smatch m;
    if (!std::regex_search(trackPage, m, std::regex(R"re(href="(/tool/select\.htm[^"]*)")re"))) return {};
    return std::regex_replace(m[1].str(), std::regex("&amp;"), "&");
}

class GuestSite : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        clock = std::make_shared<playback::TTestClock>();
        clock->SetDefaultLength(180000);
        form = app::CreateWindows(playback::TestDeckFactory(clock));
        root = std::filesystem::path(dir.path().toStdString()) / "web";
        music = std::filesystem::path(dir.path().toStdString()) / "music";
        const std::filesystem::path shipped = std::filesystem::path(QMM_SOURCE_DIR) / "resources";
        std::filesystem::create_directories(music);
        std::filesystem::create_directories(root);
        std::filesystem::copy(shipped / "basics", root / "basics", std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(root / "htdocs" / "tool");
        htdocs = root / "htdocs";
        form->SetRec.HTMLpath = QString::fromStdString(root.string());
        form->WebPort = 0;
    }

    // A file with an ID3v1 trailer, so adding it reads a title and an artist.
    QString Track(const std::string& fileName, const std::string& title, const std::string& artist) {
        const std::filesystem::path p = music / std::filesystem::u8path(fileName);
        std::string tag(128, '\0');
        const auto put = [&](size_t at, const QString& text) {
            const QByteArray bytes = text.toLatin1();
            std::copy(bytes.begin(), bytes.begin() + std::min<qsizetype>(bytes.size(), 30), tag.begin() + at);
        };
        tag.replace(0, 3, "TAG");
        put(3, QString::fromStdString(title));
        put(33, QString::fromStdString(artist));
        put(63, QStringLiteral("Album"));
        std::ofstream(p, std::ios::binary) << std::string(4096, '\x55') << tag;
        return QString::fromStdString(p.string());
    }

    void Run(void (app::TForm1::*handler)()) { platform::Guarded([&] { (form.get()->*handler)(); }); }

    // Probes the files into the guest pool as the context menu would, and writes the pages.
    void FillPool(const QStringList& paths) {
        for (const QString& p : paths) form->AddTrack(form->ListView_Guest_Pool, p, QStringLiteral("File"));
        form->RefreshAllListStates();
        platform::Guarded([&] { form->MakeGuestPoolHTML(); });
    }

    uint16_t StartServer() {
        Run(&app::TForm1::M70Click);
        return form->TcpServer1->Port();
    }

    std::string Get(const std::string& target) {
        const uint16_t port = form->TcpServer1->Port();
        return Pumped([port, target] { return RawGet(port, target); });
    }

    platform::ScopedRecorder recorder;
    QTemporaryDir dir;
    std::filesystem::path root, htdocs, music;
    std::shared_ptr<playback::TTestClock> clock;
    std::unique_ptr<app::TForm1> form;
};

}  // namespace guest_site
