#pragma once
// Settings files (.stg): section "standard" with sixteen keys, and two more of this program's own,
// read into a settings record and written from one.
#include <QString>

#include "settings/settings_record.h"

namespace settings {

// What the file asks for: a missing file, section or key gives the key's default; numbers are
// clamped to what the dialog offers (fade 0..15, blocked tracks 0..100, requests per guest
// 0..99, loudness target -30..-5 LUFS with -14 by default). Both members of an option pair may
// be set, or neither: whoever shows the record decides.
TSetRec LoadSettingsFile(const QString& fileName);

// Writes the sixteen keys in their order, one at a time, then "perguest", "artistapart",
// "leveling", "leveltarget" (with leveling), "crossfade" and "nodeadair" when they are set or the
// file has them already; other keys and sections stay. Throws
// platform::WriteError; keys written before a failure stay in the file.
void SaveSettingsFile(const QString& fileName, const TSetRec& rec);

// The forward-seconds text as the Forward button and the dialog read it: a whole number, or the
// error "'<text>' is not a valid integer value".
int ForwardSecondsOf(const QString& text);

// Caption of the block check box: the word, and the number when blocking is on.
QString BlockCaption(const QString& word, int32_t numberBlock, bool ticked);

}  // namespace settings
