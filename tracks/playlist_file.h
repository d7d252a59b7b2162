#pragma once
// Playlist files (.lst): one INI section per row, named by the row's index, with the keys
// Status, Title, Artist, Album, Year, Time, Src and FileName.
#include <QString>
#include <functional>

#include "platform/user_interface.h"
#include "tracks/track_list.h"

namespace tracks {

using LineSink = std::function<void(const QString&)>;

// The dialogs' choices: titles "Open Play List" and "Save Play List", default extension ".lst".
platform::FileDialogOptions OpenPlayListDialog1();
platform::FileDialogOptions SaveListDialog1();

// What follows the last "/" or "\" (a path from a Windows playlist).
QString FileNamePart(const QString& path);

// Appends the rows of a playlist file to LV. Rows whose FileName is already in the list (or
// earlier in the file) or missing are skipped and reported through addDetails. A missing file
// appends nothing.
void LVfromFile(TrackList& LV, const QString& FileName, const LineSink& addLog,
                const LineSink& addDetails);

// Writes the list to a playlist file. The new file is written beside the old one and replaces it
// only once it is complete; an empty list removes the file. Throws platform::WriteError.
void LVtoFile(const TrackList& LV, const QString& FileName);

}  // namespace tracks
