#pragma once
// The settings dialog. (Placeholder until the dialog is written; the members named here stay.)
#include <QDialog>
#include <QLineEdit>

namespace settings {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr) : QDialog(parent), Edit_FFsec(new QLineEdit(this)) {}
    QLineEdit* Edit_FFsec;
};

}  // namespace settings
