#include "app/qt_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>

namespace app {

namespace {
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
QWidget* DialogParent() { return QApplication::activeWindow(); }
}  // namespace

QString ToQtFilter(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (description.isEmpty() && patterns.isEmpty()) continue;
        QStringList list;
        for (QString p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            list << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
        }
        if (list.isEmpty()) list << QStringLiteral("*");
        // Qt reads the patterns from the last parentheses, so the description's own go.
        description.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
        if (description.isEmpty()) description = list.join(QLatin1Char(' '));
        entries << description + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString ToDefaultSuffix(const QString& defaultExt) {
    QString ext = defaultExt.trimmed();
    while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    return ext;
}

void QtUserInterface::ShowError(const std::u16string& text) {
    QMessageBox::critical(DialogParent(), QStringLiteral("Error"), Q(text));
}

void QtUserInterface::ShowMessage(const std::u16string& text) {
    QMessageBox::information(DialogParent(), QApplication::applicationDisplayName(), Q(text));
}

std::vector<std::u16string> QtUserInterface::OpenFiles(const platform::FileDialogOptions& options) {
    QFileDialog dialog(DialogParent(), Q(options.title), Q(options.initialDir), ToQtFilter(Q(options.filter)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Typed names need not exist; the caller decides what to do with them.
    dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(ToDefaultSuffix(Q(options.defaultExt)));
    std::vector<std::u16string> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& f : dialog.selectedFiles()) chosen.push_back(f.toStdU16String());
    return chosen;
}

std::optional<std::u16string> QtUserInterface::SaveFile(const platform::FileDialogOptions& options) {
    QFileDialog dialog(DialogParent(), Q(options.title), Q(options.initialDir), ToQtFilter(Q(options.filter)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(ToDefaultSuffix(Q(options.defaultExt)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdU16String();
}

std::optional<std::u16string> QtUserInterface::ChooseFolder(const std::u16string& title,
                                                            const std::u16string& start) {
    const QString folder = QFileDialog::getExistingDirectory(DialogParent(), Q(title), Q(start));
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdU16String();
}

}  // namespace app
