// QR codes as images, encoded by libqrencode.
#include "ui/qr_code.h"

#include <qrencode.h>

#include <algorithm>
#include <memory>

namespace ui {

namespace {

constexpr int kQuietZone = 4;  // modules of white around the code, as scanners expect

struct CodeFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};
using Code = std::unique_ptr<QRcode, CodeFree>;

Code Encode(const QString& text) {
    if (text.isEmpty()) return nullptr;
    const QByteArray bytes = text.toUtf8();
    return Code(QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M));
}

}  // namespace

int QrCodeModules(const QString& text) {
    const Code code = Encode(text);
    return code ? code->width + 2 * kQuietZone : 0;
}

QImage QrCodeImage(const QString& text, int moduleSize) {
    const Code code = Encode(text);
    if (!code || moduleSize < 1) return {};
    const int modules = code->width + 2 * kQuietZone;
    QImage image(modules * moduleSize, modules * moduleSize, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if (!(code->data[y * code->width + x] & 1)) continue;  // bit 0: a dark module
            const int top = (y + kQuietZone) * moduleSize, left = (x + kQuietZone) * moduleSize;
            for (int row = top; row < top + moduleSize; ++row)
                std::fill_n(image.scanLine(row) + left, moduleSize, uchar(0));
        }
    }
    return image;
}

QImage QrCodeImageWithin(const QString& text, int side) {
    const int modules = QrCodeModules(text);
    return modules ? QrCodeImage(text, std::max(1, side / modules)) : QImage();
}

}  // namespace ui
