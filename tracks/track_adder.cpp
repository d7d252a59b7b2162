// Adding tracks with their details to a list.
#include "tracks/track_adder.h"

#include <QCoreApplication>

#include "platform/scope_exit.h"
#include "tags/ID3v1Tag.h"
#include "tags/ID3v2Frames.h"
#include "tags/ID3v2Tag.h"
#include "tags/MpegInfo.h"
#include "tags/TagStream.h"
#include "tracks/time_format.h"
#include "tracks/track_list.h"

namespace tracks {

namespace {

QString OrNA(const std::u16string& text) {
    return text.empty() ? QStringLiteral("n/a") : QString::fromStdU16String(text);
}

// A field the ID3v1 trailer leaves empty takes the ID3v2 tag's value: taggers in use today
// write ID3v2 only.
QString Field(const std::u16string& v1, const std::u16string& v2) { return OrNA(v1.empty() ? v2 : v1); }

// The year of the ID3v2 tag: TYER, or the year that starts a TDRC time stamp ("2004-05-12"),
// whichever frame the tag carries whatever its version.
QString YearOfV2(const tags::TID3v2Tag& tag) {
    if (!tag.Exists()) return {};
    std::u16string year = tag.Year();
    for (const tags::TID3v2Frame* f : tag.GetAllTextFrames()) {
        if (!year.empty()) break;
        if (f->FrameIDString() == "TYER" || f->FrameIDString() == "TDRC") year = f->GetText();
    }
    return QString::fromStdU16String(year).trimmed().left(4);
}

// How often a quick run of probes brings the window up to date (milliseconds).
constexpr int kRefreshMs = 50;

}  // namespace

TrackAdder::TrackAdder(Measure measure, ShowProbing showProbing)
    : measure_(std::move(measure)),
      showProbing_(std::move(showProbing)),
      id3v1_(std::make_unique<tags::TID3v1Tag>()),
      id3v2_(std::make_unique<tags::TID3v2Tag>()),
      mpeg_(std::make_unique<tags::TMpegInfo>()) {}

TrackAdder::~TrackAdder() = default;

void TrackAdder::Probe(const QString& path) {
    // One open and one window of the file's bytes serve the readers' seeks and reads. Whether
    // the file is there is asked only when it does not open.
    {
        std::error_code failed;
        tags::ReadAheadStream stream(PathOf(path), failed);
        if (failed && !FileExists(path)) return;
        const bool paint = !sincePaint_.isValid() || sincePaint_.elapsed() >= kRefreshMs;
        if (paint) sincePaint_.start();
        showProbing_(path, paint);
        if (failed) tags::ReadAheadStream{PathOf(path)};  // throws why it cannot be opened

        id3v2_->ReadFromStream(stream);
        stream.SetPosition(id3v2_->Exists() ? static_cast<int64_t>(id3v2_->Size()) : 0);
        mpeg_->LoadFromStream(stream);
        // The length the deck measures next, taken while the window still holds the file's start.
        tags::RememberMpegLength(stream);
        id3v1_->ReadFromStream(stream);
    }
    length_ = measure_(path);
}

void TrackAdder::Add(TrackList& list, const QString& path, const QString& source, const QString& ready) {
    if (path == QStringLiteral("-") || list.HoldsFile(path)) return;
    // A path without a file is not probed; it must not inherit the previous file's details.
    id3v1_->Clear();
    id3v2_->Clear();
    length_ = 0;
    Probe(path);

    TrackRow row;
    if (FileExists(path)) row.Status = ready;
    const bool v2 = id3v2_->Exists();
    row.Title = Field(id3v1_->Title(), v2 ? id3v2_->Title() : std::u16string());
    row.Artist = Field(id3v1_->Artist(), v2 ? id3v2_->Artist() : std::u16string());
    row.Album = Field(id3v1_->Album(), v2 ? id3v2_->Album() : std::u16string());
    QString year = QString::fromStdU16String(id3v1_->YearText());
    year.remove(QChar(0));
    if (year.isEmpty()) year = YearOfV2(*id3v2_);
    row.Year = year.isEmpty() ? QStringLiteral("####") : year;
    row.Time = FormatMinSec(length_);
    row.Src = source;
    row.FileName = path;
    list.AppendRow(row);
}

std::vector<QString> TrackAdder::AddBatch(TrackList& list, const std::vector<std::u16string>& files,
                                          const QString& source, const QString& ready) {
    ++batchDepth_;
    const platform::ScopeExit done([this] { --batchDepth_; });
    QElapsedTimer sinceEvents;
    std::vector<QString> failed;
    for (const std::u16string& file : files) {
        // One unplayable file among a hundred must not cost the DJ the other ninety-nine.
        try {
            Add(list, QString::fromStdU16String(file), source, ready);
        } catch (const std::exception& e) {
            failed.push_back(QString::fromUtf8(e.what()));
        }
        // Keep the window drawn and the playback tick running during a long batch; user input
        // waits until the batch is done, so nothing else changes the lists meanwhile.
        if (files.size() > 1 && (!sinceEvents.isValid() || sinceEvents.elapsed() >= kRefreshMs)) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceEvents.start();
        }
    }
    return failed;
}

}  // namespace tracks
