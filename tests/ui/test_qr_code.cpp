// QR codes of the guest address: what a phone reads back from the banner's small code.
#include <gtest/gtest.h>

#include "tests/support/qr_decode.h"
#include "ui/qr_code.h"

namespace {

// Pixels per module: going in from the corner, the first dark row is the top edge of a finder
// pattern, seven modules long.
int ModulePixels(const QImage& image) {
    for (int i = 0; i < image.width(); ++i) {
        int run = 0;
        while (i + run < image.width() && qGray(image.pixel(i + run, i)) < 128) ++run;
        if (run) return run / 7;
    }
    return 0;
}

TEST(QrCode, TheLongestAddressStillScansAtTheBannersHeight) {
    if (!test_support::HaveQrDecoder()) GTEST_SKIP() << "no zbarimg";
    for (const char* url :
         {"http://10.0.0.2:7777/tool/guestpool.html", "http://255.255.255.255:65535/tool/guestpool.html"}) {
        const QImage image = ui::QrCodeImageWithin(url, 83);
        EXPECT_LE(image.height(), 83) << url;
        EXPECT_GE(ModulePixels(image), 2) << url << ": a module of one pixel blurs on camera";
        EXPECT_EQ(test_support::DecodeQr(image), url);
    }
}

}  // namespace
