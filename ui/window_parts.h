#pragma once
// Parts of the main window that know nothing of the party: the mode panel with its option groups
// and the log, the status bar's panels, a deck's position row, the window's arrangement, and Qt's
// own texts in the language of the windows.
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTranslator>
#include <array>
#include <memory>
#include <vector>

namespace ui {

// The mode panel (Panel1): queue play mode, fade, guest requests and presets, and the log at its
// bottom. Its radio buttons can only be switched on by the user; the code switches partners off,
// so both of a pair may read unchecked. A chosen option shows bold: its room is kept for that.
class ModePanel : public QFrame {
    Q_OBJECT
public:
    explicit ModePanel(QWidget* parent = nullptr);

    QGroupBox* RadioGroup_Repeat;
    QCheckBox* CheckBox_block_latest;
    QRadioButton *RadioButton_finish, *RadioButton_restart;
    QSlider* TrackBar_fader;  // 0..15
    QLabel* Label_fadesec;
    QGroupBox* GroupBox_Guest;
    QCheckBox* CheckBox_guest_use;
    QRadioButton *RadioButton_web_first, *RadioButton_web_mix_preselect;
    QGroupBox* GroupBox_Preset;
    QCheckBox* CheckBox_preset_use;
    QRadioButton *RadioButton_preset_1by1, *RadioButton_preset_random;
    QListWidget* ListBox_Log;
};

// The status bar's five plain text panels, 100, 200, 100, 100 and at least 50 wide.
std::array<QLabel*, 5> MakeStatusPanels(QStatusBar* bar);
// Widens a panel to the longest of `texts`, never below `minimum`.
void FitPanel(QLabel* panel, const QStringList& texts, int minimum);

// One deck's row of the position display: position "of" length "min", and its bar.
struct DeckRow {
    QLabel *pos, *von, *length, *unit;
    QProgressBar* bar;
    // Playing: position and length as "nn:ss" with `of`; paused: the bar red and held; stopped:
    // the bar at 0. The labels are empty while the deck does not play.
    void Show(bool playing, bool paused, int positionMs, int lengthMs, const QString& of) const;
};

// Qt's own dialogs and boxes ("Look in", "Cancel") in the language: "fra" and "deu" load Qt's
// translation, anything else goes back to Qt's English.
class QtTranslation {
public:
    void Install(const QString& code);

private:
    std::unique_ptr<QTranslator> translator_;
};

// A caption by the property that shows it ("text", "title", "toolTip"), on the objects named.
void SetCaption(QObject* root, std::initializer_list<const char*> names, const char* property, const QString& text);

// The main window's arrangement: the queue with both decks' position rows and the transport
// buttons above the guests' lists and the presets, the mode panel at the right.
struct MainParts {
    QWidget *queue, *requests, *pool, *presets;
    std::array<std::array<QLabel*, 4>, 2> positions;  // per deck: position, "of", length, unit
    std::array<QProgressBar*, 2> bars;
    std::vector<QPushButton*> buttons;
    QLabel* address;
    QWidget* panel;
};
QWidget* LayOutMainWindow(const MainParts& p);

}  // namespace ui
