#pragma once
// The settings: the one record in force, and the copies the settings dialog edits and settings
// files hold. Starts all zero: no defaults are assigned.
#include <QString>
#include <cstdint>

namespace settings {

// The loudness targets the dialog offers, in LUFS.
inline constexpr int32_t kLevelTargetMin = -30, kLevelTargetMax = -5;

struct TSetRec {
    uint8_t FadeSec = 0;
    uint8_t FFsec = 0;
    // The forward-jump seconds as typed or stored ("06" stays "06"); FFsec is its number. A copy
    // the dialog refuses to confirm may hold a text that is no number.
    QString FFsecText = QStringLiteral("0");
    QString StdPlayList;
    QString StdWebList;
    QString StdPresetList;
    int32_t number_block = 0;
    bool RB_finish = false;
    bool RB_restart = false;
    bool CB_block = false;
    bool CB_Guest = false;
    bool RB_web_first = false;
    bool RB_web_mix_preselect = false;
    bool CB_preset = false;
    bool RB_preset_1by1 = false;
    bool RB_preset_random = false;
    QString HTMLpath;
    int32_t RequestsPerGuest = 0;  // requests one guest may have waiting; 0: no limit
    bool CB_artist_apart = false;  // no preset by the artist of the queue's last row
    // The sound of the hand-overs; all off plays and saves as without them.
    bool CB_leveling = false;      // each track brought to LevelTarget
    int32_t LevelTarget = -14;     // LUFS
    bool CB_crossfade = false;     // equal-power fades over the fade seconds
    bool CB_no_dead_air = false;   // hand-overs counted from the audible end, tracks started where sound starts
    bool operator==(const TSetRec&) const = default;
};

}  // namespace settings
