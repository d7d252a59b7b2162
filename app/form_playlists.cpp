// Playlist commands on the main window. (Not written yet.)
#include "app/main_window.h"

namespace app {

void TForm1::LoadListDialog(TListView*) {}
void TForm1::pop3Click() {}
void TForm1::pop4Click() {}

}  // namespace app
