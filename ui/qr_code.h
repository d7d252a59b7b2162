#pragma once
// QR codes as images: the guest address for phones to scan.
#include <QImage>
#include <QString>

namespace ui {

// The side of the code of `text` in modules, quiet zone included; 0 when the text cannot be
// encoded (too long).
int QrCodeModules(const QString& text);

// The code of `text` (error correction M, a quiet zone of four modules), black on white, each
// module `moduleSize` pixels square so that no scaling blurs the edges. Null when the text
// cannot be encoded.
QImage QrCodeImage(const QString& text, int moduleSize);

// The code with the largest whole module size whose image fits within `side` pixels; the
// module size is at least 1, so a code too large for `side` comes out larger than asked.
QImage QrCodeImageWithin(const QString& text, int side);

}  // namespace ui
