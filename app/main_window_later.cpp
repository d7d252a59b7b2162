// The settings command, the language files and the banner command.
#include "app/main_window.h"
#include "ui/info_box.h"

namespace app {

void TForm1::M31Click() {}
void TForm1::LoadLanguage(const QString&) {}
void TForm1::M37Click() {}
void TForm1::M38Click() {}
void TForm1::M39Click() {}

void TForm1::M61Click() {
    if (M61->isChecked()) {
        if (Form_InfoBox) Form_InfoBox->hide();
        M61->setChecked(false);
    } else {
        if (Form_InfoBox) Form_InfoBox->show();
        M61->setChecked(true);
    }
}

}  // namespace app
