// Queue playback, transport and status marking on the main window. (Not written yet.)
#include "app/main_window.h"

namespace app {

int TForm1::NextIndexOf(int) { return -1; }
void TForm1::StartQueue() {}
void TForm1::HandOver() {}
void TForm1::StopPlayback() {}
void TForm1::ShowPositions() {}
void TForm1::ShowProgress() {}
void TForm1::ShowDeckLabels() {}
void TForm1::UpdateQueueStates() {}
void TForm1::ShowRepeatMode() {}
void TForm1::Button_PlayListClick() {}
void TForm1::Button_PauseClick() {}
void TForm1::Button_StopClick() {}
void TForm1::Button_FFClick() {}
void TForm1::Timer1Timer() {}
void TForm1::TrackBar_faderChange() {}
void TForm1::CheckBox_block_latestClick() {}
void TForm1::RadioButton_finishClick() {}
void TForm1::RadioButton_restartClick() {}

}  // namespace app
