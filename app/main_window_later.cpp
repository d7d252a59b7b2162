// Web pages, the listener and the feeding timers.
#include "app/main_window.h"

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
void TForm1::M70Click() {}
void TForm1::M80Click() {}

}  // namespace app
