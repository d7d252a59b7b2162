#pragma once
// Reads a QR code back from an image with zbarimg, as a phone's camera would; tests skip without it.
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace test_support {

inline bool HaveQrDecoder() { return !QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty(); }

// The text of the code in `image`; empty when none is found.
inline QString DecodeQr(const QImage& image) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("code.png"));
    QProcess zbar;
    if (image.save(file)) zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    if (!zbar.waitForFinished(30000) || zbar.exitCode() != 0) return {};
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

}  // namespace test_support
