// A guest joins by scanning: the QR codes of the running listener lead a phone to the pool page.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <future>

#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/user_interface.h"
#include "playback/test_deck.h"
#include "tests/support/qr_decode.h"
#include "tests/support/qt_app.h"
#include "ui/info_box.h"
#include "ui/qr_window.h"
#include "web/listener.h"

namespace {

namespace fs = std::filesystem;

void Click(QWidget* w) {
    const QPointF at = QRectF(w->rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
}

// What a phone gets at `url`, with the window's event loop turning meanwhile; a minute at most.
std::string Fetch(const QUrl& url) {
    auto done = std::async(std::launch::async, [url] {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{AF_INET, htons(quint16(url.port())), {}, {}};
        std::string got;
        if (::inet_pton(AF_INET, url.host().toLatin1().constData(), &addr.sin_addr) == 1 &&
            ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            const std::string request = "GET " + url.path().toStdString() + " HTTP/1.1\r\n\r\n";
            ::send(s, request.data(), request.size(), MSG_NOSIGNAL);
            char buf[65536];
            for (ssize_t n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) got.append(buf, size_t(n));
        }
        ::close(s);
        return got;
    });
    for (int i = 0; i < 60000 && done.wait_for(std::chrono::seconds(0)) != std::future_status::ready; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return done.get();
}

TEST(GuestCode, AGuestScansTheCodeAndReachesThePoolWhileTheListenerRuns) {
    test_support::EnsureApplication();
    if (!test_support::HaveQrDecoder()) GTEST_SKIP() << "no zbarimg";
    platform::ScopedRecorder recorder;
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString() + "/web", music = root / "music";
    fs::create_directories(root / "htdocs" / "tool");
    fs::create_directories(music);
    fs::copy(fs::path(QMM_SOURCE_DIR) / "resources" / "basics", root / "basics");
    std::string tag = "TAG" + std::string(125, '\0');
    tag.replace(3, 12, "Scanned Song");
    std::ofstream(music / "song.mp3", std::ios::binary) << std::string(4096, 'U') << tag;

    const auto clock = std::make_shared<playback::TTestClock>();
    clock->SetDefaultLength(180000);
    auto form = app::CreateWindows(playback::TestDeckFactory(clock));
    form->SetRec.HTMLpath = QString::fromStdString(root.string());
    form->WebPort = 0;
    form->AddTrack(form->ListView_Guest_Pool, QString::fromStdString((music / "song.mp3").string()), "File");
    form->RefreshAllListStates();
    const auto run = [&](void (app::TForm1::*handler)()) { platform::Guarded([&] { (form.get()->*handler)(); }); };

    Click(form->Label_IP);
    EXPECT_EQ(form->Form_QR, nullptr) << "no address to show while stopped";

    run(&app::TForm1::M70Click);
    ASSERT_TRUE(form->TcpServer1->Active());
    if (web::LocalIPAddress() == "No. IP Address") GTEST_SKIP() << "no network address";
    Click(form->Label_IP);
    ASSERT_NE(form->Form_QR, nullptr);
    EXPECT_TRUE(form->Form_QR->isVisible());
    EXPECT_FALSE(form->Form_QR->windowTitle().isEmpty());
    const QString scanned = test_support::DecodeQr(form->Form_QR->grab().toImage());
    EXPECT_EQ(form->Form_QR->Label_URL->text(), scanned);

    // The code names this computer by number (phones rarely resolve its name) and the listener's
    // port, and the page there is the pool with its track.
    const QUrl url(scanned);
    EXPECT_EQ(url.scheme(), "http");
    EXPECT_EQ(url.host().toStdString(), web::LocalIPAddress());
    EXPECT_TRUE(form->Label_IP->text().contains(url.host()));
    EXPECT_EQ(url.port(), form->TcpServer1->Port());
    const std::string page = Fetch(url);
    EXPECT_EQ(page.rfind("HTTP/1.0 200 OK\r\n\r\n", 0), 0u) << page.substr(0, 200);
    EXPECT_NE(page.find("Scanned Song"), std::string::npos);

    // The banner shows the same code when chosen.
    run(&app::TForm1::M61Click);
    form->Form_InfoBox->PopBoxQR->trigger();
    EXPECT_EQ(test_support::DecodeQr(form->Form_InfoBox->grab().toImage()), scanned);

    run(&app::TForm1::M80Click);
    EXPECT_FALSE(form->Form_QR->isVisible());
    EXPECT_EQ(test_support::DecodeQr(form->Form_InfoBox->grab().toImage()), QString());
    Click(form->Label_IP);
    EXPECT_FALSE(form->Form_QR->isVisible()) << "stopped: nothing to join";
    EXPECT_TRUE(recorder->errors.empty());
}

}  // namespace
