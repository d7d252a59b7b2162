// The party's sound options: tracks measured in the background as they join a list, the row
// about to play first, and what the queue shows of a track's loudness.
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "playback/analysis_cache.h"
#include "playback/track_analyser.h"
#include "session/party.h"
#include "tracks/track_list.h"

namespace session {

void Party::Measure(const QString& path, bool first) {
    if (path.isEmpty() || analyses_.contains(path)) return;
    if (options_.measure) {
        options_.measure(path, first);
        return;
    }
    MakeAnalyser();
    waiting_.insert(path);
    analyser_->Add(tracks::PathOf(path), first);
}

void Party::MeasurePending() {
    std::vector<QString> names;
    for (QString& path : pending_)
        if (!analyses_.contains(path) && !waiting_.contains(path)) {
            waiting_.insert(path);
            names.push_back(std::move(path));
        }
    pending_.clear();
    if (names.empty()) return;
    MakeAnalyser();
    // A list added again while its tracks wait costs this thread two lookups a row; the names
    // become file paths on the analyser's thread.
    analyser_->Add([names = std::move(names)] {
        std::vector<std::filesystem::path> paths;
        paths.reserve(names.size());
        for (const QString& name : names) paths.push_back(tracks::PathOf(name));
        return paths;
    });
}

void Party::MakeAnalyser() {
    if (!analyser_) {
        const std::filesystem::path folder =
            options_.analysisFolder.empty() ? playback::AnalysisCache::DefaultFolder() : options_.analysisFolder;
        // Results wait here for the user-interface thread, which takes all that arrived in one
        // go: a thousand tracks measured from the cache cost it one pass, not a thousand events.
        struct Arrivals {
            std::mutex mutex;
            std::vector<std::pair<QString, playback::TrackAnalysis>> results;
            bool posted = false;
        };
        auto arrivals = std::make_shared<Arrivals>();
        std::weak_ptr<bool> alive = alive_;
        const auto take = [this, alive, arrivals] {
            std::vector<std::pair<QString, playback::TrackAnalysis>> results;
            {
                std::lock_guard lock(arrivals->mutex);
                results.swap(arrivals->results);
                arrivals->posted = false;
            }
            // The party and the dispatcher both live on this thread, and the analyser is stopped
            // before the party goes: a call that outlives the party finds `alive` gone.
            if (!alive.lock()) return;
            for (const auto& [path, a] : results) TakeAnalysis(path, a);
        };
        analyser_ = std::make_unique<playback::TrackAnalyser>(
            std::make_shared<playback::AnalysisCache>(folder),
            [arrivals, take, &ui = ui_](const std::filesystem::path& file, const playback::TrackAnalysis& a) {
                std::lock_guard lock(arrivals->mutex);
                arrivals->results.emplace_back(QString::fromStdU16String(file.u16string()), a);
                if (arrivals->posted) return;
                arrivals->posted = true;
                ui.Post(take);
            });
    }
}

void Party::MeasureRows(const tracks::TrackList& list, int first, int last) {
    if (!Measuring()) return;
    // A test's recorder hears each at once; the analyser gets them in one go at the event's end.
    for (int i = first; i <= last && i < list.Count(); ++i) {
        const QString path = list.SubItem(i, tracks::siFileName);
        if (options_.measure)
            Measure(path, false);
        else if (!path.isEmpty())
            pending_.push_back(path);
    }
    if (!event_) MeasurePending();
}

void Party::MeasureNextFirst() {
    if (!Measuring()) return;
    const tracks::TrackList& q = Queue();
    int next = AnyDeckBusy() ? player_->NextIndex() : std::max(q.SelectedIndex(), 0);
    if (!q.ValidIndex(next)) return;
    const QString path = q.SubItem(next, tracks::siFileName);
    if (path == measuredFirst_) return;
    measuredFirst_ = path;
    Measure(path, true);
}

void Party::TakeAnalysis(const QString& path, const playback::TrackAnalysis& a) {
    waiting_.remove(path);
    analyses_.insert(path, a);
    if (!a.ok) Log(Text(u"str_loudness") + QStringLiteral(" ") + Text(u"str_unmeasured") + QStringLiteral(": ") +
                   QString::fromStdString(a.error));
}

std::optional<playback::TrackAnalysis> Party::AnalysisOf(const QString& path) const {
    const auto it = analyses_.constFind(path);
    if (it == analyses_.constEnd()) return std::nullopt;
    return *it;
}

QString Party::LoudnessText(const QString& path) const {
    const auto it = analyses_.constFind(path);
    const QString head = Text(u"str_loudness") + QStringLiteral(": ");
    if (it == analyses_.constEnd()) return Measuring() ? head + Text(u"str_measuring") : QString();
    const playback::TrackAnalysis& a = *it;
    if (!a.ok) return head + Text(u"str_unmeasured");
    if (!a.loudness) return head + Text(u"str_no_loudness");
    QString text = head + QStringLiteral("%1 LUFS").arg(*a.loudness, 0, 'f', 1);
    if (a.fromTags) text += QStringLiteral(" (ReplayGain)");
    if (settings_.CB_leveling) {
        const double gain = playback::LevelingGainDb(a, settings_.LevelTarget);
        text += QStringLiteral(", %1 %2%3 dB")
                    .arg(Text(u"str_played_at"), gain > 0.05 ? QStringLiteral("+") : QString())
                    .arg(std::abs(gain) < 0.05 ? 0.0 : gain, 0, 'f', 1);
    }
    return text;
}

}  // namespace session
