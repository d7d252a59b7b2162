#include "app/qt_user_interface.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

#include "app/main_window.h"

namespace app {

namespace {
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
QWidget* DialogParent() { return QApplication::activeWindow(); }

// An open dialog that hands back what was typed, as written: names that do not exist, and names
// the active filter hides (a ".wav" typed while the MP3 filter shows), which the stock dialog
// refuses or drops. A click on files fills the name field too, so it covers the pointer as well.
class OpenDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    QStringList chosen;

protected:
    void accept() override {
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!edit) {  // a dialog laid out otherwise: its own rules
            chosen = selectedFiles();
            QFileDialog::accept();
            return;
        }
        const QStringList names = TypedFileNames(edit->text(), directory().absolutePath(), defaultSuffix());
        if (names.size() == 1 && QFileInfo(names.first()).isDir()) {  // a typed folder is entered
            setDirectory(names.first());
            edit->clear();
            return;
        }
        chosen.clear();
        for (const QString& name : names)
            if (!QFileInfo(name).isDir()) chosen << name;
        if (!chosen.isEmpty()) QDialog::accept();
    }
};
}  // namespace

QStringList TypedFileNames(const QString& text, const QString& folder, const QString& defaultSuffix) {
    QStringList typed;
    if (!text.contains(QLatin1Char('"'))) {
        if (!text.trimmed().isEmpty()) typed << text;
    } else {
        const QStringList tokens = text.split(QLatin1Char('"'));
        for (qsizetype i = 1; i < tokens.size(); i += 2)  // the odd tokens lie between quotes
            if (!tokens[i].trimmed().isEmpty()) typed << tokens[i];
    }
    QStringList names;
    for (QString name : typed) {
        if (name == QLatin1String("~") || name.startsWith(QLatin1String("~/"))) name = QDir::homePath() + name.mid(1);
        QString path = QDir::cleanPath(QDir(folder).absoluteFilePath(name));
        const QFileInfo info(path);
        if (!defaultSuffix.isEmpty() && !info.isDir() && !info.fileName().contains(QLatin1Char('.')))
            path += QLatin1Char('.') + defaultSuffix;
        names << path;
    }
    return names;
}

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

namespace {

// Messages name files and titles: their text is shown as it stands, never read as markup.
void ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// A question closed by Esc, its close button or the program's end stays unanswered; a plain
// message box without an escape button would refuse to close, and with it the program's quit.
class QuestionBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void closeEvent(QCloseEvent* event) override { QDialog::closeEvent(event); }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) reject();
        else QMessageBox::keyPressEvent(event);
    }
};

}  // namespace

void QtUserInterface::ShowError(const std::u16string& text) {
    ShowBox(QMessageBox::Critical, QStringLiteral("Error"), Q(text));
}

void QtUserInterface::ShowMessage(const std::u16string& text) {
    ShowBox(QMessageBox::Information, QString::fromUtf8(kTitle), Q(text));
}

std::vector<std::u16string> QtUserInterface::OpenFiles(const platform::FileDialogOptions& options) {
    OpenDialog dialog(DialogParent(), Q(options.title), Q(options.initialDir), ToQtFilter(Q(options.filter)));
    // Qt's own dialog, so that typed names reach the caller; a desktop's dialog would refuse them.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any file, so that the Open button takes names that do not exist; several may still be
    // picked with the pointer.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (options.multiSelect) {
        for (const char* view : {"listView", "treeView"})
            if (auto* v = dialog.findChild<QAbstractItemView*>(QString::fromLatin1(view)))
                v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    dialog.setDefaultSuffix(ToDefaultSuffix(Q(options.defaultExt)));
    std::vector<std::u16string> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& f : dialog.chosen) chosen.push_back(f.toStdU16String());
    if (!options.multiSelect && chosen.size() > 1) chosen.resize(1);
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

int QtUserInterface::Choose(const std::u16string& title, const std::u16string& text,
                            const std::vector<std::u16string>& buttons) {
    QuestionBox box(QMessageBox::Question, Q(title), Q(text), QMessageBox::NoButton, DialogParent());
    box.setTextFormat(Qt::PlainText);
    std::vector<QAbstractButton*> made;
    for (const std::u16string& caption : buttons) made.push_back(box.addButton(Q(caption), QMessageBox::AcceptRole));
    if (!made.empty()) box.setDefaultButton(static_cast<QPushButton*>(made.front()));
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i]) return static_cast<int>(i);
    return -1;
}

}  // namespace app
