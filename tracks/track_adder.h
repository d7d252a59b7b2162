#pragma once
// Adding tracks to a list: the probe of one file (tags, MPEG figures, measured length) and the
// batch of files a dialog chose, which keeps the window drawn and is never entered twice.
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tags {
class TID3v1Tag;
class TID3v2Tag;
class TMpegInfo;
}  // namespace tags

namespace tracks {

class TrackList;

class TrackAdder {
public:
    // The length of a file in milliseconds; throws when the file cannot be played. The deck that
    // measures lives in an area above this one.
    using Measure = std::function<int(const QString& path)>;
    // Names the file being probed; `paint` asks for the name to be drawn now, which a quick run
    // of probes does at most every 50 ms (repainting costs more than a probe).
    using ShowProbing = std::function<void(const QString& path, bool paint)>;

    TrackAdder(Measure measure, ShowProbing showProbing);
    ~TrackAdder();
    TrackAdder(const TrackAdder&) = delete;
    TrackAdder& operator=(const TrackAdder&) = delete;

    // Reads the tags and the length of a file; a path without a file is not probed.
    void Probe(const QString& path);
    // Appends the row of `path` unless it is "-" or the list holds it already; `ready` is the
    // status of a row whose file exists.
    void Add(TrackList& list, const QString& path, const QString& source, const QString& ready);
    // Adds the files in order. Between files, pending events other than user input run (at most
    // every 50 ms). A file that cannot be added is passed over: the messages of all such files
    // come back, in order.
    std::vector<QString> AddBatch(TrackList& list, const std::vector<std::u16string>& files, const QString& source,
                                  const QString& ready);
    // True while a batch runs: commands and timer steps that change the lists must wait for its end.
    bool Busy() const { return batchDepth_ > 0; }

    // What the last probe read.
    const tags::TID3v1Tag& ID3v1() const { return *id3v1_; }
    const tags::TID3v2Tag& ID3v2() const { return *id3v2_; }
    const tags::TMpegInfo& Mpeg() const { return *mpeg_; }
    int Length() const { return length_; }  // milliseconds

private:
    Measure measure_;
    ShowProbing showProbing_;
    std::unique_ptr<tags::TID3v1Tag> id3v1_;
    std::unique_ptr<tags::TID3v2Tag> id3v2_;
    std::unique_ptr<tags::TMpegInfo> mpeg_;
    int length_ = 0;
    int batchDepth_ = 0;
    QElapsedTimer sincePaint_;
};

}  // namespace tracks
