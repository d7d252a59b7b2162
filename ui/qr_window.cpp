// The join window and the click on the address label that opens it.
#include "ui/qr_window.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/qr_code.h"

namespace ui {

namespace {

// At arm's length a phone needs the code about this large on the screen.
constexpr int kMinCodeSide = 300;

class ClickFilter : public QObject {
public:
    ClickFilter(QLabel* label, std::function<void()> click) : QObject(label), label_(label), click_(std::move(click)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !label_->hasSelectedText() &&
            label_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            click_();
        return false;  // the label still selects its text
    }

private:
    QLabel* label_;
    std::function<void()> click_;
};

}  // namespace

QrWindow::QrWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("QrWindow"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);  // the quiet zone blends in, the code stands out
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    Image_Code = new QLabel(this);
    Image_Code->setObjectName(QStringLiteral("Image_Code"));
    Image_Code->setAlignment(Qt::AlignCenter);
    Label_URL = new QLabel(this);
    Label_URL->setObjectName(QStringLiteral("Label_URL"));
    Label_URL->setTextFormat(Qt::PlainText);
    Label_URL->setAlignment(Qt::AlignCenter);
    Label_URL->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = Label_URL->font();
    font.setPointSize(font.pointSize() + 2);
    Label_URL->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Image_Code);
    layout->addWidget(Label_URL);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // as large as the code, no larger
}

void QrWindow::SetAddress(const QString& url) {
    address_ = url;
    if (url.isEmpty()) {
        Image_Code->clear();
        Label_URL->clear();
        close();
        return;
    }
    const int modules = QrCodeModules(url);
    const int moduleSize = modules ? std::max(2, (kMinCodeSide + modules - 1) / modules) : 0;
    Image_Code->setPixmap(QPixmap::fromImage(QrCodeImage(url, moduleSize)));
    Label_URL->setText(url);
}

void OnClick(QLabel* label, std::function<void()> click) {
    label->installEventFilter(new ClickFilter(label, std::move(click)));
}

}  // namespace ui
