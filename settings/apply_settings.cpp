// The copy steps of the settings command and the command itself.
#include "settings/apply_settings.h"

#include <limits>
#include <tuple>

#include "platform/errors.h"
#include "platform/regular_file.h"
#include "platform/text_codec.h"

namespace settings {

int ForwardSecondsOf(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
        throw platform::Error(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    return static_cast<int>(v);
}

void SettingsFromMainWindow(const MainWindowControls& w, TSetRec& rec) {
    rec.FadeSec = static_cast<uint8_t>(w.TrackBar_fader->value());
    rec.RB_finish = w.RadioButton_finish->isChecked();
    rec.RB_restart = w.RadioButton_restart->isChecked();
    rec.CB_block = w.CheckBox_block_latest->isChecked();
    rec.CB_Guest = w.CheckBox_guest_use->isChecked();
    rec.RB_web_first = w.RadioButton_web_first->isChecked();
    rec.RB_web_mix_preselect = w.RadioButton_web_mix_preselect->isChecked();
    rec.CB_preset = w.CheckBox_preset_use->isChecked();
    rec.RB_preset_1by1 = w.RadioButton_preset_1by1->isChecked();
    rec.RB_preset_random = w.RadioButton_preset_random->isChecked();
}

void SettingsToDialog(const TSetRec& rec, TForm2& d) {
    // The forward-seconds and web folder edits keep what they hold: only the user and a loaded
    // settings file change them.
    d.TrackBar_Blende->setValue(rec.FadeSec);
    TForm2::SetRadio(d.RadioButton_finish, rec.RB_finish);
    TForm2::SetRadio(d.RadioButton_Repeat, rec.RB_restart);
    d.Edit_PlayList->setText(rec.StdPlayList);
    d.Edit_webList->setText(rec.StdWebList);
    d.Edit_PresetList->setText(rec.StdPresetList);
    d.CheckBox_blockLatest->setChecked(rec.CB_block);
    d.TrackBar_blocked->setValue(rec.number_block);
    d.CheckBox_webselect->setChecked(rec.CB_Guest);
    TForm2::SetRadio(d.RadioButton_web_first, rec.RB_web_first);
    TForm2::SetRadio(d.RadioButton_web_mix_preselect, rec.RB_web_mix_preselect);
    d.CheckBox_preset->setChecked(rec.CB_preset);
    TForm2::SetRadio(d.RadioButton_preset_1by1, rec.RB_preset_1by1);
    TForm2::SetRadio(d.RadioButton_preset_random, rec.RB_preset_random);
    d.SpinEdit_perguest->setValue(rec.RequestsPerGuest);
    d.CheckBox_artist_apart->setChecked(rec.CB_artist_apart);
}

void SettingsFromDialog(const TForm2& d, TSetRec& rec) {
    rec.FadeSec = static_cast<uint8_t>(d.TrackBar_Blende->value());
    rec.FFsec = static_cast<uint8_t>(ForwardSecondsOf(d.Edit_FFsec->text()));  // a copy; the edit rules
    rec.RB_finish = d.RadioButton_finish->isChecked();
    rec.RB_restart = d.RadioButton_Repeat->isChecked();
    rec.StdPlayList = d.Edit_PlayList->text();
    rec.StdWebList = d.Edit_webList->text();
    rec.StdPresetList = d.Edit_PresetList->text();
    rec.HTMLpath = d.Edit_HTMLpath->text();
    rec.CB_block = d.CheckBox_blockLatest->isChecked();
    rec.number_block = d.TrackBar_blocked->value();
    rec.CB_Guest = d.CheckBox_webselect->isChecked();
    rec.RB_web_first = d.RadioButton_web_first->isChecked();
    rec.RB_web_mix_preselect = d.RadioButton_web_mix_preselect->isChecked();
    rec.CB_preset = d.CheckBox_preset->isChecked();
    rec.RB_preset_1by1 = d.RadioButton_preset_1by1->isChecked();
    rec.RB_preset_random = d.RadioButton_preset_random->isChecked();
    rec.RequestsPerGuest = d.SpinEdit_perguest->value();
    rec.CB_artist_apart = d.CheckBox_artist_apart->isChecked();
}

QString BlockCaption(const QString& word, int32_t numberBlock, bool ticked) {
    if (numberBlock > 0 && ticked) {
        return word + QStringLiteral(" (%1)").arg(numberBlock);
    }
    return word;
}

void SettingsToMainWindow(const TSetRec& rec, const MainWindowControls& w, MainWindowSteps& steps) {
    w.TrackBar_fader->setValue(rec.FadeSec);
    steps.UpdateForwardCaption();
    w.CheckBox_block_latest->setChecked(rec.CB_block);
    w.CheckBox_block_latest->setText(
        BlockCaption(steps.BlockWord(), rec.number_block, w.CheckBox_block_latest->isChecked()));
    TForm2::SetRadio(w.RadioButton_finish, rec.RB_finish);
    TForm2::SetRadio(w.RadioButton_restart, rec.RB_restart);
    w.CheckBox_guest_use->setChecked(rec.CB_Guest);
    TForm2::SetRadio(w.RadioButton_web_first, rec.RB_web_first);
    TForm2::SetRadio(w.RadioButton_web_mix_preselect, rec.RB_web_mix_preselect);
    w.CheckBox_preset_use->setChecked(rec.CB_preset);
    TForm2::SetRadio(w.RadioButton_preset_1by1, rec.RB_preset_1by1);
    TForm2::SetRadio(w.RadioButton_preset_random, rec.RB_preset_random);
}

void RunSettingsCommand(TForm2& dialog, TSetRec& rec, const MainWindowControls& w,
                        MainWindowSteps& steps, const std::function<bool()>& show) {
    SettingsFromMainWindow(w, rec);
    SettingsToDialog(rec, dialog);
    const TForm2::EditTexts opened = dialog.Edits();
    dialog.ShowError(QString());
    if (!show()) {
        dialog.SetEdits(opened);
    } else {
        const TSetRec before = rec;
        // A forward-seconds text that is no number ends the command here.
        SettingsFromDialog(dialog, rec);
        SettingsToMainWindow(rec, w, steps);
        // The lists are not cleared: loading skips the tracks they hold already.
        const bool playing = steps.Playing();
        const std::tuple<const QString&, const QString&, ui::TListView*> lists[] = {
            {rec.StdPlayList, before.StdPlayList, w.ListView_soon},
            {rec.StdWebList, before.StdWebList, w.ListView_Guest_Pool},
            {rec.StdPresetList, before.StdPresetList, w.ListView_preselect},
        };
        for (const auto& [file, was, list] : lists) {
            if (playing && file == was) continue;
            if (!file.isEmpty() && platform::IsRegularFile(platform::PathFromU16(file.toStdU16String()))) {
                steps.LoadList(list, file);
            }
        }
        steps.ShowModes();
        steps.RefreshListStates();
        steps.ShowListsChanged();
    }
    steps.ShowWebConfig();
}

}  // namespace settings
