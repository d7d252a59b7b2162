#include "ui/info_box.h"

#include <QCloseEvent>
#include <QResizeEvent>

#include "ui/list_presentation.h"

namespace ui {

TForm_InfoBox::TForm_InfoBox(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form_InfoBox"));
    setWindowTitle(QStringLiteral("Veltrop Info-Box"));
    resize(642, 83);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLightGreen);
    setPalette(pal);
    setAutoFillBackground(true);

    Label_Now = new QLabel(QStringLiteral("*"), this);
    Label_Now->setObjectName(QStringLiteral("Label_Now"));
    Label_Now->setGeometry(0, 0, 642, 83);
    Label_Now->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont nowFont = Label_Now->font();
    nowFont.setPixelSize(33);
    Label_Now->setFont(nowFont);
    QPalette nowPal = Label_Now->palette();
    nowPal.setColor(QPalette::WindowText, kBlue);
    Label_Now->setPalette(nowPal);

    Label_Next = new QLabel(QStringLiteral("*"), this);
    Label_Next->setObjectName(QStringLiteral("Label_Next"));
    Label_Next->move(8, 54);
    QFont nextFont = Label_Next->font();
    nextFont.setPixelSize(20);
    Label_Next->setFont(nextFont);
    Label_Next->adjustSize();
}

void TForm_InfoBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Label_Now->setGeometry(rect());
}

void TForm_InfoBox::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    emit Closed();
}

}  // namespace ui
