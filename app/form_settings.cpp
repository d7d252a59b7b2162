// The settings command on the main window: the dialog's copy steps over the window's controls.
#include <QDialog>

#include "app/main_window.h"
#include "settings/Dlg_Settings.h"
#include "settings/apply_settings.h"
#include "tracks/playlist_file.h"
#include "ui/track_list_view.h"

namespace app {

namespace {

class WindowSteps : public settings::MainWindowSteps {
public:
    explicit WindowSteps(TForm1& f) : f_(f) {}
    QString BlockWord() const override { return f_.Text(u"CB_doblock"); }
    void UpdateForwardCaption() override { f_.UpdateForwardCaption(); }
    void LoadList(ui::TListView* list, const QString& fileName) override {
        tracks::LVfromFile(
            list->List(), fileName, [this](const QString& line) { f_.AddLog(line); },
            [this](const QString& text) { f_.AddDetails(text); });
    }
    void ShowModes() override {
        f_.ShowGuestMode();
        f_.ShowRepeatMode();
        f_.ShowPresetMode();
    }
    void RefreshListStates() override { f_.RefreshAllListStates(); }
    void ShowListsChanged() override { f_.SetControlState(ControlPhase::ListsChanged); }
    void ShowWebConfig() override { f_.ShowWebConfigAndMakePages(); }
    bool Playing() const override { return f_.AnyDeckBusy(); }

private:
    TForm1& f_;
};

}  // namespace

void TForm1::M31Click() {
    const settings::MainWindowControls controls{
        TrackBar_fader,      CheckBox_block_latest,   RadioButton_finish,
        RadioButton_restart, CheckBox_guest_use,      RadioButton_web_first,
        RadioButton_web_mix_preselect, CheckBox_preset_use, RadioButton_preset_1by1,
        RadioButton_preset_random, ListView_soon, ListView_Guest_Pool, ListView_preselect};
    WindowSteps steps(*this);
    settings::RunSettingsCommand(*Form2, SetRec, controls, steps,
                                 [this] { return Form2->exec() == QDialog::Accepted; });
}

}  // namespace app
