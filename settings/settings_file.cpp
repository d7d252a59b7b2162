// Settings files and the texts the settings record is shown with.
#include "settings/settings_file.h"

#include <algorithm>
#include <array>
#include <limits>
#include <tuple>

#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"

namespace settings {

namespace {

constexpr char16_t kSection[] = u"standard";
// A value no key can read as: values are trimmed.
constexpr char16_t kAbsent[] = u" ";

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

QString Flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

TSetRec LoadSettingsFile(const QString& fileName) {
    const platform::IniFile ini(platform::PathFromU16(fileName.toStdU16String()));
    const auto text = [&](const char16_t* key, const char16_t* def) { return Q(ini.ReadString(kSection, key, def)); };
    const auto flag = [&](const char16_t* key, bool def) { return ini.ReadBool(kSection, key, def); };
    const auto number = [&](const char16_t* key, int def, int max) {
        return std::clamp(ini.ReadInteger(kSection, key, def), 0, max);
    };
    TSetRec rec;
    rec.FadeSec = static_cast<uint8_t>(number(u"fade", 5, 15));
    rec.FFsecText = text(u"ffsec", u"6");
    try {
        rec.FFsec = static_cast<uint8_t>(ForwardSecondsOf(rec.FFsecText));
    } catch (const platform::Error&) {
        rec.FFsec = 0;  // the dialog refuses the text when it is confirmed
    }
    rec.StdPlayList = text(u"playfile", u"");
    rec.StdWebList = text(u"webfile", u"");
    rec.StdPresetList = text(u"preselectfile", u"");
    rec.HTMLpath = text(u"htmlpath", u"");
    rec.CB_block = flag(u"doBlock", false);
    rec.number_block = number(u"blocknumber", 10, 100);
    rec.RB_finish = flag(u"rb_finish", true);
    rec.RB_restart = flag(u"rb_repeat", false);
    rec.CB_Guest = flag(u"webselect", false);
    rec.RB_web_first = flag(u"rb_web_first", false);
    rec.RB_web_mix_preselect = flag(u"rb_web_mix_preselect", true);
    rec.CB_preset = flag(u"preselect", false);
    rec.RB_preset_1by1 = flag(u"rb_preset_1by1", true);
    rec.RB_preset_random = flag(u"rb_preset_random", false);
    rec.RequestsPerGuest = number(u"perguest", 0, 99);
    rec.CB_artist_apart = flag(u"artistapart", false);
    rec.CB_leveling = flag(u"leveling", false);
    rec.LevelTarget = std::clamp(ini.ReadInteger(kSection, u"leveltarget", -14), kLevelTargetMin, kLevelTargetMax);
    rec.CB_crossfade = flag(u"crossfade", false);
    rec.CB_no_dead_air = flag(u"nodeadair", false);
    return rec;
}

void SaveSettingsFile(const QString& fileName, const TSetRec& rec) {
    const std::array<std::pair<const char16_t*, QString>, 16> values{{
        {u"fade", QString::number(rec.FadeSec)},
        {u"ffsec", rec.FFsecText},
        {u"playfile", rec.StdPlayList},
        {u"webfile", rec.StdWebList},
        {u"preselectfile", rec.StdPresetList},
        {u"htmlpath", rec.HTMLpath},
        {u"doBlock", Flag(rec.CB_block)},
        {u"blocknumber", QString::number(rec.number_block)},
        {u"rb_finish", Flag(rec.RB_finish)},
        {u"rb_repeat", Flag(rec.RB_restart)},
        {u"webselect", Flag(rec.CB_Guest)},
        {u"rb_web_first", Flag(rec.RB_web_first)},
        {u"rb_web_mix_preselect", Flag(rec.RB_web_mix_preselect)},
        {u"preselect", Flag(rec.CB_preset)},
        {u"rb_preset_1by1", Flag(rec.RB_preset_1by1)},
        {u"rb_preset_random", Flag(rec.RB_preset_random)},
    }};
    // One key at a time: a failure leaves the keys written before it in the file.
    platform::IniFile ini(platform::PathFromU16(fileName.toStdU16String()));
    // Switched off, the additions leave a file as it was without them; a value the file holds
    // already is overwritten, so a limit taken back is not read again.
    const auto has = [&](const char16_t* key) { return ini.ReadString(kSection, key, kAbsent) != kAbsent; };
    const std::array<std::tuple<const char16_t*, QString, bool>, 6> additions{{
        {u"perguest", QString::number(rec.RequestsPerGuest), rec.RequestsPerGuest != 0 || has(u"perguest")},
        {u"artistapart", Flag(rec.CB_artist_apart), rec.CB_artist_apart || has(u"artistapart")},
        {u"leveling", Flag(rec.CB_leveling), rec.CB_leveling || has(u"leveling")},
        {u"leveltarget", QString::number(rec.LevelTarget), rec.CB_leveling || has(u"leveltarget")},
        {u"crossfade", Flag(rec.CB_crossfade), rec.CB_crossfade || has(u"crossfade")},
        {u"nodeadair", Flag(rec.CB_no_dead_air), rec.CB_no_dead_air || has(u"nodeadair")},
    }};
    for (const auto& [key, value] : values) ini.WriteString(kSection, key, value.toStdU16String());
    for (const auto& [key, value, write] : additions)
        if (write) ini.WriteString(kSection, key, value.toStdU16String());
}

int ForwardSecondsOf(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
        throw platform::Error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    return static_cast<int>(v);
}

QString BlockCaption(const QString& word, int32_t numberBlock, bool ticked) {
    return numberBlock > 0 && ticked ? word + QStringLiteral(" (%1)").arg(numberBlock) : word;
}

}  // namespace settings
