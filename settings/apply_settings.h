#pragma once
// The copy steps between the main window, the settings record and the settings dialog, and the
// settings command that runs them around the dialog.
#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QString>
#include <functional>

#include "settings/Dlg_Settings.h"
#include "settings/settings_record.h"

// Settings name the lists only to hand them back to the main window.
namespace ui { class TListView; }

namespace settings {

// The main window's controls that settings reach; the main window owns them.
struct MainWindowControls {
    QSlider* TrackBar_fader = nullptr;
    QCheckBox* CheckBox_block_latest = nullptr;
    QRadioButton* RadioButton_finish = nullptr;
    QRadioButton* RadioButton_restart = nullptr;
    QCheckBox* CheckBox_guest_use = nullptr;
    QRadioButton* RadioButton_web_first = nullptr;
    QRadioButton* RadioButton_web_mix_preselect = nullptr;
    QCheckBox* CheckBox_preset_use = nullptr;
    QRadioButton* RadioButton_preset_1by1 = nullptr;
    QRadioButton* RadioButton_preset_random = nullptr;
    ui::TListView* ListView_soon = nullptr;
    ui::TListView* ListView_Guest_Pool = nullptr;
    ui::TListView* ListView_preselect = nullptr;
};

// What the settings command asks of the main window beyond its controls.
class MainWindowSteps {
public:
    virtual ~MainWindowSteps() = default;
    virtual QString BlockWord() const = 0;  // display text CB_doblock
    virtual void UpdateForwardCaption() = 0;
    virtual void LoadList(ui::TListView* list, const QString& fileName) = 0;  // LVfromFile
    virtual void ShowModes() = 0;           // guest, repeat and preset mode, in this order
    virtual void RefreshListStates() = 0;   // queue, guest pool, guest requests, presets
    virtual void ShowListsChanged() = 0;    // the controls' state after the lists changed
    virtual void ShowWebConfig() = 0;       // the web check, its status text and the pages
    virtual bool Playing() const = 0;       // a deck plays or is paused
};

// The four copy steps. Setting a control runs what the user's click would run: check boxes on
// every change, radio buttons when they become selected, track bars when the position moves.
void SettingsFromMainWindow(const MainWindowControls& w, TSetRec& rec);
void SettingsToDialog(const TSetRec& rec, TForm2& dialog);
// Throws platform::Error when the forward seconds are no whole number; FadeSec has been taken
// over by then, nothing else.
void SettingsFromDialog(const TForm2& dialog, TSetRec& rec);
void SettingsToMainWindow(const TSetRec& rec, const MainWindowControls& w, MainWindowSteps& steps);

// Caption of the main window's block check box: the word, and the number when blocking is on.
QString BlockCaption(const QString& word, int32_t numberBlock, bool ticked);

// The forward-seconds text as the Forward button and the dialog read it: a whole number, or the
// error "'<text>' is not a valid integer value".
int ForwardSecondsOf(const QString& text);

// The settings command. `show` shows the dialog modally and says whether it was confirmed; the
// dialog itself refuses to be confirmed with forward seconds that are no whole number. A
// cancelled dialog gets back the texts its edits had when it opened. While a deck plays, only a
// list whose file name was changed is loaded: loading the same file again would bring back
// played rows and used presets.
void RunSettingsCommand(TForm2& dialog, TSetRec& rec, const MainWindowControls& w,
                        MainWindowSteps& steps, const std::function<bool()>& show);

}  // namespace settings
