// Web pages, the listener, the settings command, the language files and the feeding timers.
#include "app/main_window.h"
#include "ui/info_box.h"

namespace app {

bool TForm1::CheckWebConfig() { return false; }

void TForm1::ShowWebConfigAndMakePages() {
    if (CheckWebConfig()) {
        SetStatusPanel(1, Text(u"H22"));
        MakeHTML();
        MakeGuestPoolHTML();
    } else {
        SetStatusPanel(1, Text(u"H21"));
    }
}
void TForm1::MakeHTML() {}
void TForm1::MakeGuestPoolHTML() {}
void TForm1::UpdatePoolStates() {}
void TForm1::Timer2Timer() {}
void TForm1::Timer3Timer() {}
void TForm1::LoadLanguage(const QString&) {}
void TForm1::M37Click() {}
void TForm1::M38Click() {}
void TForm1::M39Click() {}
void TForm1::M70Click() {}
void TForm1::M80Click() {}

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
