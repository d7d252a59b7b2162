#pragma once
// The settings dialog: it edits a copy of the settings record (fade and forward-jump seconds,
// recent-track blocking, the standard list files, the web content folder, the three mode
// choices), which is confirmed or thrown away whole; settings files are loaded into it and saved
// from it.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>

#include <optional>
#include <vector>

#include "platform/display_texts.h"
#include "platform/user_interface.h"
#include "settings/language_file.h"
#include "settings/settings_record.h"

namespace ui {

using settings::TSetRec;

// The dialogs' choices.
platform::FileDialogOptions SaveSettingsDialog();  // "Save Settings", ".stg"
platform::FileDialogOptions LoadSettingsDialog();  // "Load Settings", ".stg"
platform::FileDialogOptions ListFileDialog();      // "Config Play List  File", ".lst"

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // `rec` gives the values shown at creation and the folder chooser's start; `texts` the unit
    // words and the block caption; without texts the English words are used. The texts must
    // outlive the dialog.
    explicit TForm2(QWidget* parent = nullptr);
    TForm2(const TSetRec& rec, const platform::DisplayTexts* texts, QWidget* parent = nullptr);

    // Shows `rec` and waits for the user: the record as the dialog holds it once confirmed,
    // nothing once cancelled (the dialog then shows `rec` again).
    std::optional<TSetRec> Edit(const TSetRec& rec);
    // The record as the controls show it; FFsec is 0 when the text is no whole number.
    TSetRec Record() const;
    // Sets every control to `rec`, as a click would: setting one member of an option pair clears
    // the other, clearing one leaves the other; a bar rewrites its label only when it moves.
    void ShowRecord(const TSetRec& rec);

    // ---- controls, by their designer names ----
    QGroupBox* GroupBox_Settings;
    QLabel* Label_blende;
    QSlider* TrackBar_Blende;  // 0..15
    QLabel* Label_fadesec;
    QLabel* Label_numberblocked;
    QSlider* TrackBar_blocked;  // 0..100
    QLabel* Label_blocked;
    QLabel* Label_FFsec;
    QLineEdit* Edit_FFsec;  // the forward-jump seconds in force
    QLabel* Label_fadeunit;

    QGroupBox* GroupBox_PlayLists;
    QLabel* Label_PlayList;
    QLineEdit* Edit_PlayList;  // read-only
    QLabel* Label_webList;
    QLineEdit* Edit_webList;
    QLabel* Label_preselectList;
    QLineEdit* Edit_PresetList;

    QGroupBox* GroupBox_HTML;
    QLabel* Label_HTMLpath;
    QLineEdit* Edit_HTMLpath;  // read-only

    // Beside each path field: opens its chooser, as a double click on the field does. The row's
    // label carries the access key and presses the button.
    QPushButton* Button_BrowsePlayList;
    QPushButton* Button_BrowseWebList;
    QPushButton* Button_BrowsePresetList;
    QPushButton* Button_BrowseHTML;

    QGroupBox* GroupBox_Repeat;
    QCheckBox* CheckBox_blockLatest;
    QRadioButton* RadioButton_finish;
    QRadioButton* RadioButton_Repeat;

    QGroupBox* GroupBox_Guest;
    QCheckBox* CheckBox_webselect;
    QRadioButton* RadioButton_web_first;
    QRadioButton* RadioButton_web_mix_preselect;

    QGroupBox* GroupBox_Preset;
    QCheckBox* CheckBox_preset;
    QRadioButton* RadioButton_preset_1by1;
    QRadioButton* RadioButton_preset_random;

    // Below the web folder, where the dialog has room: the limit of waiting requests a guest
    // may have (0: none) and keeping presets by one artist apart.
    QLabel* Label_perguest;
    QSpinBox* SpinEdit_perguest;  // 0..99
    QCheckBox* CheckBox_artist_apart;

    // Beside them: the sound of the hand-overs.
    QCheckBox* CheckBox_leveling;
    QCheckBox* CheckBox_crossfade;
    QCheckBox* CheckBox_nodeadair;

    QPushButton* Button_Load;
    QPushButton* Button_Save;
    QPushButton* Button_OK;
    QPushButton* Button_Cancel;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel1;  // its one plain text panel

    // ---- settings files (Button_Save, Button_Load) ----
    void SaveSettingsFile();
    void LoadSettingsFile();
    // The record the controls show into a file (throws platform::WriteError), and a file's record
    // into the controls; the edits' hints and the status bar stay.
    void SaveSettingsTo(const QString& fileName);
    void LoadSettingsFrom(const QString& fileName);

    // ---- actions inside the dialog ----
    void TrackBar_BlendeChange();
    void TrackBar_blockedChange();
    void Edit_ListDblClick(QLineEdit* edit);  // Edit_PlayList, Edit_webList, Edit_PresetList
    void Edit_HTMLpathDblClick();
    // Confirms the dialog; forward seconds that are no whole number keep it open with the error
    // in its status bar, every field as it is.
    void Button_OKClick();

    // An error in the status bar, in red; an empty text clears it.
    void ShowError(const QString& text);

    // The captions of the language just read, then ShowLanguage.
    void ApplyLanguage(const std::vector<settings::LanguageText>& texts);
    // After a language change: the value labels that show a unit take the new words, the path
    // hints follow, and the dialog grows when its captions need more room than its usual size.
    void ShowLanguage();

    // Sets one member of an exclusive pair: true clears the other member, false touches nothing
    // else (so both may end up clear). Also right for pairs whose partner is cleared in code.
    static void SetRadio(QRadioButton* button, bool checked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString Word(const char16_t* key, const char16_t* english) const;

    TSetRec shown_;  // the record at the last opening: where the folder chooser starts
    int32_t levelTarget_ = -14;  // no control shows it: the last record shown keeps it
    const platform::DisplayTexts* texts_;
    bool fadeUnitShown_ = false, blockedUnitShown_ = false;  // the bar moved: its label has a unit
};

}  // namespace ui
