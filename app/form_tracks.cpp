// Adding and removing tracks on the main window. (Not written yet.)
#include "app/main_window.h"

namespace app {

void TForm1::ProbeTrack(const QString&) {}
void TForm1::AddTrack(TListView*, const QString&, const QString&) {}
void TForm1::AddFilesDialog(TListView*) {}
void TForm1::RemoveSelected(TListView*) {}
void TForm1::M11Click() {}
void TForm1::pop1Click() {}
void TForm1::pop2Click() {}

}  // namespace app
