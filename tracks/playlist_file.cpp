#include "tracks/playlist_file.h"

#include <QSet>
#include <system_error>

#include "platform/ini_file.h"
#include "platform/text_codec.h"

namespace tracks {

namespace {

const char16_t* const kKeys[8] = {u"Status", u"Title", u"Artist", u"Album",
                                  u"Year",   u"Time",  u"Src",    u"FileName"};
constexpr std::u16string_view kMissing = u"-";

platform::FileDialogOptions PlayListDialog(const char16_t* title) {
    platform::FileDialogOptions o;
    o.title = title;
    o.filter = u"Play List (*.lst)|*.lst|All Files (*.*)|*.*";
    o.defaultExt = u".lst";
    return o;
}

}  // namespace

platform::FileDialogOptions OpenPlayListDialog1() {
    return PlayListDialog(u"Open Play List");
}

platform::FileDialogOptions SaveListDialog1() {
    return PlayListDialog(u"Save Play List");
}

QString FileNamePart(const QString& path) {
    // A colon is an ordinary character in a name here ("Track 01: Intro.mp3").
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

void LVfromFile(TrackList& LV, const QString& FileName, const LineSink& addLog,
                const LineSink& addDetails) {
    addLog(QStringLiteral("Reading title list"));
    const platform::IniFile ini(PathOf(FileName));
    const int n = ini.SectionCount();

    // A set stands in for searching the list once per row, which would be quadratic.
    QSet<QString> present;
    present.reserve(LV.Count() + n);
    for (const TrackRow& r : LV.Rows()) present.insert(r.FileName);

    const std::vector<std::u16string_view> keys(std::begin(kKeys), std::end(kKeys));
    std::vector<TrackRow> rows;
    rows.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        // One lookup of the section for all eight keys.
        const auto values = ini.ReadStrings(QString::number(i).toStdU16String(), keys, kMissing);
        const QString fn = QString::fromStdU16String(values[7]);
        if (fn == QStringView(kMissing.data(), kMissing.size()) || present.contains(fn)) {
            addDetails(QString::fromUtf16(u"Doppelt oder ung\u00FCltig: \r\n") + FileNamePart(fn));
            continue;
        }
        TrackRow row;
        for (int c = 0; c < 7; ++c) {
            QString& field = c == 0 ? row.Status : row.SubItem(c - 1);
            field = QString::fromStdU16String(values[static_cast<size_t>(c)]);
        }
        row.FileName = fn;
        present.insert(fn);
        rows.push_back(std::move(row));
    }
    if (!rows.empty()) {
        LV.AppendRows(rows);
    }
}

void LVtoFile(const TrackList& LV, const QString& FileName) {
    const auto path = PathOf(FileName);
    const int count = LV.Count();
    if (count == 0) {
        std::error_code ec;
        const auto status = std::filesystem::symlink_status(path, ec);
        if (std::filesystem::is_directory(status) ||
            (std::filesystem::exists(status) && !std::filesystem::remove(path, ec))) {
            throw platform::UnableToWrite(path.string());
        }
        return;
    }
    platform::IniWriter writer;
    for (int i = 0; i < count; ++i) {
        const TrackRow& row = LV.Row(i);
        writer.Section(QString::number(i).toStdU16String());
        for (int c = 0; c < 8; ++c) {
            writer.Key(kKeys[c], row.Column(c).toStdU16String());
        }
    }
    writer.Save(path);
}

}  // namespace tracks
