#pragma once
// The banner window: the track now playing and the one coming up, in large letters.
#include <QLabel>
#include <QWidget>

namespace ui {

class TForm_InfoBox : public QWidget {
    Q_OBJECT
public:
    explicit TForm_InfoBox(QWidget* parent = nullptr);

    QLabel* Label_Now = nullptr;
    QLabel* Label_Next = nullptr;

signals:
    // The window was closed (it is only hidden); the main window clears its menu mark.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;  // the now line fills the window
};

}  // namespace ui
