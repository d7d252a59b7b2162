#include "requests/feeding.h"

#include <QStringList>

#include "platform/scope_exit.h"
#include "tracks/list_ops.h"

namespace requests {

using tracks::siFileName;
using tracks::siSrc;

bool QueueRunsShort(int queueCount, int curIndex) { return queueCount - 3 < curIndex; }

void FeedGuestRequest(const FeedLists& lists, const FeedModes& modes, int curIndex, bool& presetDue,
                      const QString& readyWord, FeedTarget& target) {
    if (!QueueRunsShort(lists.queue.Count(), curIndex)) return;
    if (!modes.guestUse || lists.requests.Count() == 0) return;
    if (modes.webFirst) {
        MoveFirstRequest(lists, target);
        presetDue = false;
    } else if (modes.webMix) {
        // A preset that can never come would hold every later request for good.
        if (presetDue && !PresetCanCome(lists, modes, readyWord)) {
            presetDue = false;
            target.Log(QStringLiteral("no preset can be added: the request goes ahead"));
        }
        if (presetDue) return;
        MoveFirstRequest(lists, target);
        presetDue = true;
    }
}

bool PresetCanCome(const FeedLists& lists, const FeedModes& modes, const QString& readyWord) {
    if (!modes.presetUse || !modes.presetStep || !(modes.inOrder || modes.atRandom)) return false;
    for (int i = 0; i < lists.presets.Count(); ++i) {
        if (lists.presets.Caption(i) == readyWord &&
            !tracks::ListHasValue(lists.queue, siFileName, lists.presets.SubItem(i, siFileName)))
            return true;
    }
    return false;
}

void MoveFirstRequest(const FeedLists& lists, FeedTarget& target) {
    if (lists.requests.Count() == 0) return;
    const QString path = lists.requests.SubItem(0, siFileName);
    const QString src = lists.requests.SubItem(0, siSrc);
    if (tracks::ListHasValue(lists.queue, siFileName, path))
        target.Log(QStringLiteral("request dropped, already queued: ") + path);
    // A request whose file cannot be read must not come back on every tick with its error.
    const platform::ScopeExit drop([&] { lists.requests.DeleteRow(0); });
    target.AddToQueue(path, src);
}

bool InsertPreset(const FeedLists& lists, const FeedModes& modes, int curIndex, bool& presetDue,
                  const QString& readyWord, FeedTarget& target) {
    // A request that waits for its turn goes first, in either mode; a due preset takes its turn.
    const bool requestDue =
        modes.guestUse && (modes.webFirst || modes.webMix) && lists.requests.Count() > 0 && !presetDue;
    if (!modes.presetUse || lists.presets.Count() == 0 || requestDue) return false;

    const QString avoid = modes.artistApart && lists.queue.Count() > 0
                              ? lists.queue.SubItem(lists.queue.Count() - 1, tracks::siArtist)
                              : QString();
    QStringList skipped;  // ready presets passed over for their artist
    QString path;
    if (modes.atRandom) path = PickRandomPreset(lists.presets, readyWord, target, avoid, skipped);
    if (modes.inOrder) {
        path.clear();
        skipped.clear();
        QString firstReady;
        for (int i = 0; i < lists.presets.Count(); ++i) {
            if (lists.presets.Caption(i) != readyWord) continue;
            const QString f = lists.presets.SubItem(i, siFileName);
            if (!SameArtist(lists.presets.SubItem(i, tracks::siArtist), avoid)) {
                path = f;
                break;
            }
            if (firstReady.isEmpty()) firstReady = f;
            skipped << f;
        }
        // Only presets by that artist are ready: the first of them after all.
        if (path.isEmpty()) {
            path = firstReady;
            skipped.clear();
        }
    }

    if (QueueRunsShort(lists.queue.Count(), curIndex) && !path.isEmpty() &&
        !tracks::ListHasValue(lists.queue, siFileName, path)) {
        if (!skipped.isEmpty()) {
            target.Log(QStringLiteral("skipped preset by same artist: ") + skipped.front() +
                       (skipped.size() > 1 ? QStringLiteral(" (and %1 more)").arg(skipped.size() - 1) : QString()));
        }
        {
            // A preset that cannot be read leaves the pool too, so its error is shown once.
            const platform::ScopeExit drop([&] { tracks::RemoveRowsByValue(lists.presets, siFileName, path); });
            target.AddToQueue(path, QStringLiteral("DJ +"));
        }
        target.Log(QStringLiteral("inserted preselect file:"));
        target.Log(path);
        if (lists.queue.Count() > 0) lists.queue.ScrollToLast();
        presetDue = false;
    }
    return true;
}

QString PickRandomPreset(const tracks::TrackList& list, const QString& readyWord, FeedTarget& target) {
    QStringList skipped;
    return PickRandomPreset(list, readyWord, target, QString(), skipped);
}

QString PickRandomPreset(const tracks::TrackList& list, const QString& readyWord, FeedTarget& target,
                         const QString& avoidArtist, QStringList& skipped) {
    QStringList ready, same;
    for (int i = 0; i < list.Count(); ++i) {
        if (list.Caption(i) != readyWord) continue;
        const QString f = list.SubItem(i, siFileName);
        (SameArtist(list.SubItem(i, tracks::siArtist), avoidArtist) ? same : ready) << f;
    }
    // Only presets by that artist are ready: the draw is among them after all.
    if (ready.isEmpty()) ready.swap(same);
    skipped << same;
    const int n = static_cast<int>(ready.size());
    if (n == 0) return QString();
    const int k = target.RandomBelow(n);
    target.Log(QStringLiteral("random select[%1/%2]: %3").arg(k + 1).arg(n).arg(ready[k]));
    return ready[k];
}

bool SameArtist(const QString& a, const QString& b) {
    const QString x = a.trimmed();
    return !x.isEmpty() && x.compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

}  // namespace requests
