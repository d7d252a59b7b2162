#pragma once
// The details box: request lines and list-loading notices collect in its text area.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWidget>

namespace ui {

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    // The text area keeps its latest lines only: a night of request lines would fill memory.
    static constexpr int kLines = 10000;
    QPlainTextEdit* Memo1 = nullptr;   // text area, only ever appended to
    QListWidget* ListBox1 = nullptr;   // kept for its place in the window; nothing fills it

    // Appends text; a CR LF or LF inside it starts a new line.
    void AddText(const QString& text);
    QString Text() const;
};

}  // namespace ui
