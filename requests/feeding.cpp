#include "requests/feeding.h"

#include <QStringList>

#include "platform/scope_exit.h"
#include "tracks/list_ops.h"

namespace requests {

using tracks::siFileName;
using tracks::siSrc;

bool QueueRunsShort(int queueCount, int curIndex) { return queueCount - 3 < curIndex; }

void FeedGuestRequest(const FeedLists& lists, const FeedModes& modes, int curIndex, bool& presetDue,
                      FeedTarget& target) {
    if (!QueueRunsShort(lists.queue.Count(), curIndex)) return;
    if (!modes.guestUse || lists.requests.Count() == 0) return;
    if (modes.webFirst) {
        MoveFirstRequest(lists, target);
        presetDue = false;
    } else if (modes.webMix && !presetDue) {
        MoveFirstRequest(lists, target);
        presetDue = true;
    }
}

void MoveFirstRequest(const FeedLists& lists, FeedTarget& target) {
    if (lists.requests.Count() == 0) return;
    const QString path = lists.requests.SubItem(0, siFileName);
    const QString src = lists.requests.SubItem(0, siSrc);
    // A request whose file cannot be read must not come back on every tick with its error.
    const platform::ScopeExit drop([&] { lists.requests.DeleteRow(0); });
    target.AddToQueue(path, src);
}

bool InsertPreset(const FeedLists& lists, const FeedModes& modes, int curIndex, bool& presetDue,
                  const QString& readyWord, FeedTarget& target) {
    const bool allowed = presetDue || !modes.guestUse || !modes.webFirst || lists.requests.Count() == 0;
    if (!modes.presetUse || lists.presets.Count() == 0 || !allowed) return false;

    QString path;
    if (modes.atRandom) path = PickRandomPreset(lists.presets, readyWord, target);
    if (modes.inOrder) {
        path.clear();
        for (int i = 0; i < lists.presets.Count(); ++i) {
            if (lists.presets.Caption(i) == readyWord) {
                path = lists.presets.SubItem(i, siFileName);
                break;
            }
        }
    }

    if (QueueRunsShort(lists.queue.Count(), curIndex) && !path.isEmpty() &&
        !tracks::ListHasValue(lists.queue, siFileName, path)) {
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

QString PickRandomPreset(const tracks::TListView& list, const QString& readyWord, FeedTarget& target) {
    QStringList ready;
    for (int i = 0; i < list.Count(); ++i)
        if (list.Caption(i) == readyWord) ready << list.SubItem(i, siFileName);
    const int n = static_cast<int>(ready.size());
    if (n == 0) return QString();
    const int k = target.RandomBelow(n);
    target.Log(QStringLiteral("random select[%1/%2]: %3").arg(k + 1).arg(n).arg(ready[k]));
    return ready[k];
}

}  // namespace requests
