#include "ui/Dlg_Details.h"

namespace ui {

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Details Box"));
    resize(643, 311);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 8, 273, 257);
    Memo1->setReadOnly(true);
    Memo1->setMaximumBlockCount(kLines);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(296, 8, 305, 257);
}

void TForm3::AddText(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo1->appendPlainText(lines);
}

QString TForm3::Text() const { return Memo1->toPlainText(); }

}  // namespace ui
