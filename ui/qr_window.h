#pragma once
// The join window: the guest address as a QR code big enough to scan from a phone, and as text.
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

namespace ui {

class QrWindow : public QWidget {
    Q_OBJECT
public:
    explicit QrWindow(QWidget* parent = nullptr);

    QLabel* Image_Code = nullptr;
    QLabel* Label_URL = nullptr;  // selectable, for those who would rather type or copy it

    // Shows `url` as code and text; an empty address closes the window (nothing to join).
    void SetAddress(const QString& url);
    QString Address() const { return address_; }

private:
    QString address_;
};

// Runs `click` when the label is clicked with the left button; a drag that selects its text is
// no click.
void OnClick(QLabel* label, std::function<void()> click);

}  // namespace ui
