// The party's sound options: tracks measured in the background as they join a list, the row
// about to play first, and what the queue shows of a track's loudness.
#include <cmath>

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
    if (!analyser_) {
        const std::filesystem::path folder =
            options_.analysisFolder.empty() ? playback::AnalysisCache::DefaultFolder() : options_.analysisFolder;
        std::weak_ptr<bool> alive = alive_;
        analyser_ = std::make_unique<playback::TrackAnalyser>(
            std::make_shared<playback::AnalysisCache>(folder),
            [this, alive, &ui = ui_](const std::filesystem::path& file, const playback::TrackAnalysis& a) {
                const QString path = QString::fromStdU16String(file.u16string());
                // The party and the dispatcher both live on the user-interface thread, so the
                // check there is enough: the analyser is stopped before either goes.
                ui.Post([this, alive, path, a] {
                    if (alive.lock()) TakeAnalysis(path, a);
                });
            });
    }
    analyser_->Add(tracks::PathOf(path), first);
}

void Party::MeasureRows(const tracks::TrackList& list, int first, int last) {
    if (!Measuring()) return;
    for (int i = first; i <= last && i < list.Count(); ++i) Measure(list.SubItem(i, tracks::siFileName), false);
    MeasureNextFirst();
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
