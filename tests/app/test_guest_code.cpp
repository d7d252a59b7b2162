// A guest joins by scanning: the codes of the running listener name the pool page by address.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>

#include "tests/support/recording_user_interface.h"
#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/user_interface.h"
#include "tests/support/test_deck.h"
#include "tests/support/qr_decode.h"
#include "tests/support/qt_app.h"
#include "ui/info_box.h"
#include "ui/qr_window.h"
#include "ui/room_display.h"
#include "web/listener.h"

namespace {

void Click(QWidget* w) {
    const QPointF at = QRectF(w->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, {}, {});
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &release);
}

TEST(GuestCode, TheCodeOfTheRunningListenerLeadsToThePoolPage) {
    test_support::EnsureApplication();
    if (!test_support::HaveQrDecoder()) GTEST_SKIP() << "no zbarimg";
    platform::ScopedRecorder recorder;
    QTemporaryDir dir;
    std::filesystem::create_directories(dir.filePath("htdocs/tool").toStdString());
    std::filesystem::copy(QMM_SOURCE_DIR "/resources/basics", dir.filePath("basics").toStdString());
    auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    settings::TSetRec rec = form->Party().Settings();
    rec.HTMLpath = dir.path();
    form->Party().CloseSettings(rec);
    form->Party().SetWebPort(0);
    const auto run = [&](void (app::TForm1::*handler)()) { platform::Guarded([&] { (form.get()->*handler)(); }); };

    Click(form->Label_IP);
    EXPECT_EQ(form->Form_QR, nullptr) << "stopped: nothing to join";
    run(&app::TForm1::M70Click);
    if (web::LocalIPAddress() == "No. IP Address") GTEST_SKIP() << "no network address";
    Click(form->Label_IP);
    ASSERT_TRUE(form->Form_QR && form->Form_QR->isVisible());
    const QString scanned = test_support::DecodeQr(form->Form_QR->grab().toImage());
    EXPECT_EQ(form->Form_QR->Label_URL->text(), scanned);
    EXPECT_GE(form->Form_QR->Image_Code->pixmap().height(), 300) << "to scan at arm's length";
    // By number, since phones rarely resolve the computer's name; at the listener's port; the pool.
    const QUrl url(scanned);
    EXPECT_EQ(url.host().toStdString(), web::LocalIPAddress());
    EXPECT_EQ(url.port(), form->TcpServer1->Port());
    EXPECT_TRUE(QFileInfo(dir.filePath("htdocs") + url.path()).isFile()) << url.path().toStdString();

    // The banner, at its fixed height, once chosen from the end of its menu; its now line beside.
    ui::TForm_InfoBox* banner = form->Form_InfoBox;
    run(&app::TForm1::M61Click);
    EXPECT_EQ(test_support::DecodeQr(banner->grab().toImage()), QString());
    EXPECT_TRUE(banner->PopupMenu1->actions().back() == banner->PopBoxQR && banner->PopBoxQR->isEnabled());
    banner->PopBoxQR->trigger();
    EXPECT_EQ(test_support::DecodeQr(banner->grab().toImage()), scanned);
    EXPECT_LE(banner->Label_Now->geometry().right(), banner->Image_QR->geometry().left());
    // The room display, from beside it, shows the same code; it goes with the listener too.
    banner->PopBoxRoom->trigger();
    ASSERT_TRUE(form->Form_Room && form->Form_Room->isVisible());
    EXPECT_EQ(test_support::DecodeQr(form->Form_Room->grab().toImage()), scanned);

    run(&app::TForm1::M80Click);
    EXPECT_FALSE(form->Form_QR->isVisible());
    EXPECT_EQ(test_support::DecodeQr(banner->grab().toImage()), QString());
    EXPECT_EQ(banner->Label_Now->geometry(), banner->rect());
    EXPECT_EQ(test_support::DecodeQr(form->Form_Room->grab().toImage()), QString());
    Click(form->Label_IP);
    EXPECT_FALSE(form->Form_QR->isVisible());
    EXPECT_TRUE(recorder->errors.empty());
}

}  // namespace
