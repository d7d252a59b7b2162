// The settings command on the main window: the dialog edits a copy of the record in force; a
// confirmed copy becomes the record and reaches the window's controls and lists.
#include <tuple>

#include "app/main_window.h"
#include "platform/regular_file.h"
#include "platform/text_codec.h"
#include "settings/settings_file.h"
#include "tracks/playlist_file.h"
#include "ui/Dlg_Settings.h"

namespace app {

namespace {

// Sets a member of an option pair as a click would, or clears it alone.
void SetRadio(QRadioButton* button, bool checked) { ui::TForm2::SetRadio(button, checked); }

}  // namespace

void TForm1::M31Click() {
    // The record follows the mode panel, whose clicks change the options in force.
    SetRec.FadeSec = static_cast<uint8_t>(TrackBar_fader->value());
    SetRec.RB_finish = RadioButton_finish->isChecked();
    SetRec.RB_restart = RadioButton_restart->isChecked();
    SetRec.CB_block = CheckBox_block_latest->isChecked();
    SetRec.CB_Guest = CheckBox_guest_use->isChecked();
    SetRec.RB_web_first = RadioButton_web_first->isChecked();
    SetRec.RB_web_mix_preselect = RadioButton_web_mix_preselect->isChecked();
    SetRec.CB_preset = CheckBox_preset_use->isChecked();
    SetRec.RB_preset_1by1 = RadioButton_preset_1by1->isChecked();
    SetRec.RB_preset_random = RadioButton_preset_random->isChecked();
    if (const std::optional<settings::TSetRec> confirmed = Form2->Edit(SetRec)) {
        const settings::TSetRec before = SetRec;
        SetRec = *confirmed;
        // Setting a control runs what a click on it would run.
        TrackBar_fader->setValue(SetRec.FadeSec);
        UpdateForwardCaption();
        CheckBox_block_latest->setChecked(SetRec.CB_block);
        CheckBox_block_latest->setText(
            settings::BlockCaption(Text(u"CB_doblock"), SetRec.number_block, CheckBox_block_latest->isChecked()));
        SetRadio(RadioButton_finish, SetRec.RB_finish);
        SetRadio(RadioButton_restart, SetRec.RB_restart);
        CheckBox_guest_use->setChecked(SetRec.CB_Guest);
        SetRadio(RadioButton_web_first, SetRec.RB_web_first);
        SetRadio(RadioButton_web_mix_preselect, SetRec.RB_web_mix_preselect);
        CheckBox_preset_use->setChecked(SetRec.CB_preset);
        SetRadio(RadioButton_preset_1by1, SetRec.RB_preset_1by1);
        SetRadio(RadioButton_preset_random, SetRec.RB_preset_random);
        // The lists are not cleared: loading skips the tracks they hold already. Mid-party only a
        // renamed list loads: the same file again would bring back played rows and used presets.
        const bool playing = AnyDeckBusy();
        const std::tuple<const QString&, const QString&, ui::TListView*> lists[] = {
            {SetRec.StdPlayList, before.StdPlayList, ListView_soon},
            {SetRec.StdWebList, before.StdWebList, ListView_Guest_Pool},
            {SetRec.StdPresetList, before.StdPresetList, ListView_preselect},
        };
        for (const auto& [file, was, list] : lists) {
            if (playing && file == was) continue;
            if (!file.isEmpty() && platform::IsRegularFile(platform::PathFromU16(file.toStdU16String())))
                tracks::LVfromFile(
                    list->List(), file, [this](const QString& line) { AddLog(line); },
                    [this](const QString& text) { AddDetails(text); });
        }
        ShowGuestMode();
        ShowRepeatMode();
        ShowPresetMode();
        RefreshAllListStates();
        SetControlState(ControlPhase::ListsChanged);
    }
    ShowWebConfigAndMakePages();
}

}  // namespace app
