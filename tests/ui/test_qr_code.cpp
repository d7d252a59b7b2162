// The guest address as QR codes: what a phone reads back from the images and the banner.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/support/qr_decode.h"
#include "tests/support/qt_app.h"
#include "ui/info_box.h"
#include "ui/qr_code.h"
#include "ui/qr_window.h"

namespace {

// Pixels per module: the finder pattern's dark top edge is seven modules long.
int ModulePixels(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                int run = 0;
                while (x + run < image.width() && qGray(image.pixel(x + run, y)) < 128) ++run;
                return run / 7;
            }
    return 0;
}

bool OnlyBlackAndWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const int g = qGray(image.pixel(x, y)); g != 0 && g != 255) return false;
    return true;
}

TEST(QrCode, ImagesDecodeToTheAddressAtWindowAndBannerSize) {
    struct Case {
        const char* url;
        int side;      // what the image must fit in, or at least fill
        bool within;   // fit within side (the banner), else at least side (the window)
        int minModule;
    } const cases[] = {
        {"http://10.0.0.2:7777/tool/guestpool.html", 300, false, 2},
        {"http://192.168.178.100:7777/tool/guestpool.html", 300, false, 2},
        {"http://10.0.0.2:7777/tool/guestpool.html", 83, true, 2},
        {"http://192.168.178.100:65535/tool/guestpool.html", 83, true, 2},
        {"http://255.255.255.255:65535/tool/guestpool.html", 300, false, 2},
    };
    for (const Case& c : cases) {
        const QString url = QString::fromUtf8(c.url);
        SCOPED_TRACE(c.url);
        const int modules = ui::QrCodeModules(url);
        ASSERT_GT(modules, 0);
        const QImage image = c.within ? ui::QrCodeImageWithin(url, c.side)
                                      : ui::QrCodeImage(url, (c.side + modules - 1) / modules);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), image.height());
        if (c.within) {
            EXPECT_LE(image.height(), c.side);
        } else {
            EXPECT_GE(image.height(), c.side);
        }
        EXPECT_GE(ModulePixels(image), c.minModule);
        EXPECT_TRUE(OnlyBlackAndWhite(image)) << "whole modules, no blur";
        EXPECT_EQ(qGray(image.pixel(0, 0)), 255);
        EXPECT_EQ(qGray(image.pixel(image.width() - 1, image.height() - 1)), 255);
        if (test_support::HaveQrDecoder()) {
            EXPECT_EQ(test_support::DecodeQr(image), url);
        }
    }
    // Too long for any code: no image rather than a wrong one.
    const QString huge(8000, QLatin1Char('x'));
    EXPECT_EQ(ui::QrCodeModules(huge), 0);
    EXPECT_TRUE(ui::QrCodeImageWithin(huge, 83).isNull());
    EXPECT_TRUE(ui::QrCodeImage(QString(), 4).isNull());
}

TEST(QrCode, BannerShowsTheCodeBesideItsLinesOnlyWhenChosenAndWhileThereIsAnAddress) {
    test_support::EnsureApplication();
    if (!test_support::HaveQrDecoder()) GTEST_SKIP() << "no zbarimg";
    const QString url = QStringLiteral("http://192.168.1.23:7777/tool/guestpool.html");
    ui::TForm_InfoBox banner;
    banner.Label_Now->setText(QStringLiteral("\"Title\" (Artist)"));
    banner.show();
    const QList<QAction*> items = banner.PopupMenu1->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items.back(), banner.PopBoxQR) << "after the seven";
    EXPECT_TRUE(items.at(items.size() - 2)->isSeparator()) << "and apart from them";
    EXPECT_EQ(items.at(items.size() - 3), banner.PopBox9);
    EXPECT_FALSE(banner.PopBoxQR->isEnabled()) << "no address yet";

    banner.SetGuestAddress(url);
    EXPECT_TRUE(banner.PopBoxQR->isEnabled());
    EXPECT_EQ(test_support::DecodeQr(banner.grab().toImage()), QString()) << "not chosen yet";
    EXPECT_EQ(banner.Label_Now->geometry(), banner.rect());

    banner.PopBoxQR->trigger();
    const QImage shot = banner.grab().toImage();
    EXPECT_EQ(test_support::DecodeQr(shot), url);
    EXPECT_EQ(shot.height(), 83) << "the banner keeps its height";
    EXPECT_LE(banner.Label_Now->geometry().right(), banner.Image_QR->geometry().left())
        << "the now line stays beside the code";
    EXPECT_EQ(banner.Image_QR->geometry().right(), banner.rect().right());
    banner.resize(900, 83);
    EXPECT_EQ(banner.Image_QR->geometry().right(), 899);
    EXPECT_EQ(test_support::DecodeQr(banner.grab().toImage()), url);

    banner.SetGuestAddress({});  // the listener stopped
    EXPECT_EQ(test_support::DecodeQr(banner.grab().toImage()), QString());
    EXPECT_EQ(banner.Label_Now->geometry(), banner.rect());
    EXPECT_FALSE(banner.PopBoxQR->isEnabled());
    banner.PopBoxQR->setEnabled(true);
    banner.PopBoxQR->trigger();  // off again
    banner.SetGuestAddress(url);
    EXPECT_EQ(test_support::DecodeQr(banner.grab().toImage()), QString()) << "switched off stays off";
}

TEST(QrCode, JoinWindowShowsAScannableCodeAndTheAddressAsText) {
    test_support::EnsureApplication();
    const QString url = QStringLiteral("http://172.16.0.9:7777/tool/guestpool.html");
    ui::QrWindow window;
    window.SetAddress(url);
    window.show();
    EXPECT_GE(window.Image_Code->pixmap().height(), 300) << "big enough for arm's length";
    EXPECT_EQ(window.Label_URL->text(), url);
    EXPECT_TRUE(window.Label_URL->textInteractionFlags() & Qt::TextSelectableByMouse);
    if (test_support::HaveQrDecoder()) {
        EXPECT_EQ(test_support::DecodeQr(window.grab().toImage()), url);
    }
    window.SetAddress({});
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
