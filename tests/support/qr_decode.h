#pragma once
// Reads a QR code back from an image with zbarimg, as a phone's camera app would.
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace test_support {

inline bool HaveQrDecoder() { return !QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty(); }

// The text of the code found in `image`; empty when none is found.
inline QString DecodeQr(const QImage& image) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("code.png"));
    if (!image.save(file)) return {};
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    if (!zbar.waitForFinished(30000) || zbar.exitCode() != 0) return {};
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

}  // namespace test_support
