// Admission of guests' requests and the feeding of the queue, on bare lists without a window.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <deque>
#include <stdexcept>

#include "requests/admission.h"
#include "requests/feeding.h"
#include "tests/support/qt_app.h"
#include "tracks/list_ops.h"

namespace {

using tracks::TListView;
using tracks::TrackRow;

// A language other than English, so a comparison with a fixed English word would fail.
const tracks::StatusWords kWords{QStringLiteral("bereit"), QStringLiteral("gesperrt"), QStringLiteral("gew\u00e4hlt"),
                                 QStringLiteral("Fehler")};

TrackRow Row(const QString& path, const QString& status, const QString& title = QString()) {
    TrackRow r;
    r.Status = status;
    r.Title = title.isEmpty() ? QStringLiteral("T:") + path.section(QLatin1Char('/'), -1) : title;
    r.Artist = QStringLiteral("Artist");
    r.Album = QStringLiteral("Album");
    r.Year = QStringLiteral("1999");
    r.Time = QStringLiteral("03:00");
    r.Src = QStringLiteral("File");
    r.FileName = path;
    return r;
}

QStringList Column(const TListView& list, int column) {
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) out << list.Row(i).Column(column);
    return out;
}

class Requests : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString File(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
    QTemporaryDir dir;
    // The lists are widgets: the application comes first.
    struct App {
        App() { test_support::EnsureApplication(); }
    } app;
    TListView queue{QStringLiteral("queue")}, requests{QStringLiteral("requests")}, pool{QStringLiteral("pool")},
        presets{QStringLiteral("presets")};
};

TEST_F(Requests, AdmissionByThePoolRowsWordAtThatMoment) {
    const QString ready = File("Beyonc\u00e9 - Halo.mp3"), chosen = File("chosen.mp3"), blocked = File("b.mp3"),
                  error = File("err.mp3"), played = File("played.mp3"), empty = File("empty.mp3"),
                  gone = dir.filePath("gone.mp3"), twiceLastChosen = File("twice1.mp3"),
                  twiceLastReady = File("twice2.mp3"), notInPool = File("elsewhere.mp3");
    pool.AppendRows({Row(ready, kWords.ready), Row(chosen, kWords.chosen), Row(blocked, kWords.blocked),
                     Row(error, kWords.error), Row(played, QStringLiteral("played")), Row(empty, QString()),
                     Row(gone, kWords.ready), Row(twiceLastChosen, kWords.ready, QStringLiteral("first")),
                     Row(twiceLastChosen, kWords.chosen), Row(twiceLastReady, kWords.chosen, QStringLiteral("A")),
                     Row(twiceLastReady, kWords.ready, QStringLiteral("B"))});
    QString upper = ready;
    upper.replace(QStringLiteral("Halo"), QStringLiteral("HALO"));

    struct Case {
        const char* what;
        QString path;
        int state;
        int rows;  // request rows the admission gives
        QString title;
    } cases[] = {
        {"ready track", ready, requests::rsAdmitted, 1, QStringLiteral("T:Beyonc\u00e9 - Halo.mp3")},
        {"already chosen", chosen, requests::rsChosen, 0, {}},
        {"in the queue", blocked, requests::rsBlocked, 0, {}},
        {"row in error", error, requests::rsRefused, 0, {}},
        {"a word from a playlist file", played, requests::rsRefused, 0, {}},
        {"empty status", empty, requests::rsRefused, 0, {}},
        {"file deleted since", gone, requests::rsRefused, 0, {}},
        {"not in the pool", notInPool, requests::rsRefused, 0, {}},
        {"letter case differs", upper, requests::rsRefused, 0, {}},
        {"last of two rows chosen", twiceLastChosen, requests::rsChosen, 0, {}},
        {"last of two rows ready: both rows requested", twiceLastReady, requests::rsAdmitted, 2, QStringLiteral("B")},
    };
    for (const Case& c : cases) {
        const requests::Admission a =
            requests::AdmitRequest(pool, QStringLiteral("192.168.1.7"), QStringLiteral("21:07.45"), c.path, kWords);
        EXPECT_EQ(a.state, c.state) << c.what;
        EXPECT_EQ(requests::CheckRequest(pool, c.path, kWords), c.what == std::string("not in the pool") ? 0 : c.state)
            << c.what;
        ASSERT_EQ(static_cast<int>(a.rows.size()), c.rows) << c.what;
        EXPECT_EQ(a.title, c.title) << c.what;
        if (c.state != requests::rsAdmitted) {
            EXPECT_TRUE(a.artist.isEmpty()) << c.what;
            continue;
        }
        for (const TrackRow& r : a.rows) {
            EXPECT_EQ(r.Status, kWords.ready) << c.what;
            EXPECT_EQ(r.Time, QStringLiteral("21:07.45")) << c.what;
            EXPECT_EQ(r.Src, QStringLiteral("192.168.1.7")) << c.what;
            EXPECT_EQ(r.FileName, c.path) << c.what;
            EXPECT_EQ(r.Album, QStringLiteral("Album")) << c.what;
            EXPECT_EQ(r.Year, QStringLiteral("1999")) << c.what;
        }
    }
    // The words guests are shown.
    EXPECT_EQ(requests::StateWord(requests::rsChosen, kWords), kWords.chosen);
    EXPECT_EQ(requests::StateWord(requests::rsBlocked, kWords), kWords.blocked);
    EXPECT_EQ(requests::StateWord(requests::rsAdmitted, kWords), kWords.ready);
    EXPECT_EQ(requests::StateWord(requests::rsRefused, kWords), kWords.error);
}

TEST_F(Requests, PoolStatesFollowQueueRequestsAndTheBlockOption) {
    const QString a = File("a.mp3"), b = File("b.mp3"), c = File("c.mp3"), d = dir.filePath("missing.mp3");
    pool.AppendRows({Row(a, kWords.ready), Row(b, kWords.ready), Row(c, kWords.ready), Row(d, kWords.error)});
    queue.AppendRows({Row(a, {}), Row(c, {})});
    requests.AppendRow(Row(c, {}));

    requests::UpdatePoolStates(pool, queue, requests, false, kWords);
    EXPECT_EQ(Column(pool, 0), (QStringList{kWords.ready, kWords.ready, kWords.chosen, kWords.ready}))
        << "without blocking a queued track stays requestable; the file system is not looked at";
    requests::UpdatePoolStates(pool, queue, requests, true, kWords);
    EXPECT_EQ(Column(pool, 0), (QStringList{kWords.blocked, kWords.ready, kWords.chosen, kWords.ready}))
        << "a requested track reads chosen even while queued";
}

// The program's side of feeding: appends like AddTrack (refusing a path the queue holds), keeps
// the log and plays the dice from a script.
class FakeTarget : public requests::FeedTarget {
public:
    explicit FakeTarget(TListView& queue) : queue_(queue) {}
    void AddToQueue(const QString& path, const QString& source) override {
        if (path == failing) throw std::runtime_error("cannot read");
        if (tracks::ListHasValue(queue_, tracks::siFileName, path)) return;
        TrackRow r = Row(path, QStringLiteral("bereit"));
        r.Src = source;
        queue_.AppendRow(r);
    }
    void Log(const QString& line) override { log << line; }
    int RandomBelow(int n) override {
        EXPECT_FALSE(dice.empty());
        const int k = dice.empty() ? 0 : dice.front();
        if (!dice.empty()) dice.pop_front();
        EXPECT_LT(k, n);
        return k;
    }
    QStringList log;
    std::deque<int> dice;
    QString failing;

private:
    TListView& queue_;
};

TEST_F(Requests, QueueRunsShortWhenAtMostOneRowFollowsTheCurrentOne) {
    struct Case {
        int count, cur;
        bool shortOf;
    } cases[] = {{5, 2, false}, {5, 3, true}, {6, 3, false}, {0, 0, true}, {0, -1, true}, {1, 0, true}, {3, 0, false}};
    for (const Case& c : cases)
        EXPECT_EQ(requests::QueueRunsShort(c.count, c.cur), c.shortOf) << c.count << " rows, current " << c.cur;
}

class Feeding : public Requests {
protected:
    // One timer round as the window runs it: the guest step, then the preset step.
    void Round() {
        requests::FeedGuestRequest(lists, modes, cur, presetDue, target);
        requests::InsertPreset(lists, modes, cur, presetDue, kWords.ready, target);
        cur = queue.Count() - 1;  // the queue is always at its end, so it always runs short
    }
    QStringList QueueTitles() {
        QStringList out;
        for (const TrackRow& r : queue.Rows()) out << r.FileName.section(QLatin1Char('/'), -1) + "<" + r.Src;
        return out;
    }
    requests::FeedLists lists{queue, requests, presets};
    requests::FeedModes modes;
    FakeTarget target{queue};
    bool presetDue = false;
    int cur = -1;
};

TEST_F(Feeding, PreferWebMovesAllRequestsBeforeAnyPreset) {
    modes = {.guestUse = true, .webFirst = true, .presetUse = true, .inOrder = true};
    for (const char* name : {"r1.mp3", "r2.mp3", "r3.mp3"}) {
        TrackRow r = Row(File(name), kWords.ready);
        r.Src = QStringLiteral("10.0.0.") + name[1];
        requests.AppendRow(r);
    }
    presets.AppendRows({Row(File("p1.mp3"), kWords.blocked), Row(File("p2.mp3"), kWords.ready),
                        Row(File("p3.mp3"), kWords.ready)});
    for (int i = 0; i < 5; ++i) Round();
    EXPECT_EQ(QueueTitles(), (QStringList{"r1.mp3<10.0.0.1", "r2.mp3<10.0.0.2", "r3.mp3<10.0.0.3", "p2.mp3<DJ +",
                                          "p3.mp3<DJ +"}));
    EXPECT_EQ(requests.Count(), 0);
    EXPECT_EQ(Column(presets, 0), QStringList{kWords.blocked}) << "only the blocked preset stays";
    EXPECT_EQ(target.log.count(QStringLiteral("inserted preselect file:")), 2);
    EXPECT_FALSE(target.log.join('\n').contains("random")) << "in order nothing is drawn";

    // A long queue takes nothing.
    requests.AppendRow(Row(File("r4.mp3"), kWords.ready));
    cur = 0;
    requests::FeedGuestRequest(lists, modes, cur, presetDue, target);
    EXPECT_EQ(requests.Count(), 1);
}

TEST_F(Feeding, MixWebAlternatesRequestsAndPresetsAndHoldsRequestsWithoutPresets) {
    modes = {.guestUse = true, .webMix = true, .presetUse = true, .inOrder = true};
    requests.AppendRows({Row(File("r1.mp3"), kWords.ready), Row(File("r2.mp3"), kWords.ready)});
    presets.AppendRows({Row(File("p1.mp3"), kWords.ready), Row(File("p2.mp3"), kWords.ready)});
    for (int i = 0; i < 3; ++i) Round();
    EXPECT_EQ(QueueTitles(), (QStringList{"r1.mp3<File", "p1.mp3<DJ +", "r2.mp3<File", "p2.mp3<DJ +"}));

    // Without presets, one moved request holds the others back until the mode changes.
    modes.presetUse = false;
    requests.AppendRows({Row(File("r3.mp3"), kWords.ready), Row(File("r4.mp3"), kWords.ready)});
    for (int i = 0; i < 3; ++i) Round();
    EXPECT_EQ(requests.Count(), 1);
    modes.webMix = false;
    modes.webFirst = true;
    Round();
    EXPECT_EQ(requests.Count(), 0);
}

TEST_F(Feeding, AtRandomLogsTheDrawAndRequestsOrPresetsAlreadyQueuedAddNothing) {
    modes = {.presetUse = true, .atRandom = true};
    QStringList ready;
    for (int i = 1; i <= 12; ++i) {
        const QString p = File(QStringLiteral("p%1.mp3").arg(i));
        presets.AppendRow(Row(p, i == 2 ? kWords.chosen : kWords.ready));
        if (i != 2) ready << p;
    }
    target.dice = {2, 0};
    queue.AppendRows({Row(File("q1.mp3"), {}), Row(File("q2.mp3"), {}), Row(File("q3.mp3"), {})});
    cur = 0;  // queue long enough: the draw is made and logged, then dropped
    EXPECT_TRUE(requests::InsertPreset(lists, modes, cur, presetDue, kWords.ready, target));
    EXPECT_EQ(target.log, QStringList{"random select[3/11]: " + ready[2]});
    EXPECT_EQ(queue.Count(), 3);
    cur = 2;
    presetDue = true;
    EXPECT_TRUE(requests::InsertPreset(lists, modes, cur, presetDue, kWords.ready, target));
    EXPECT_EQ(target.log.mid(1), (QStringList{"random select[1/11]: " + ready[0], "inserted preselect file:", ready[0]}));
    EXPECT_EQ(queue.SubItem(3, tracks::siFileName), ready[0]);
    EXPECT_FALSE(tracks::ListHasValue(presets, tracks::siFileName, ready[0]));
    EXPECT_FALSE(presetDue);

    // A request for a queued track: the row goes, the queue stays as it was.
    modes = {.guestUse = true, .webFirst = true};
    requests.AppendRow(Row(queue.SubItem(0, tracks::siFileName), kWords.ready));
    requests::FeedGuestRequest(lists, modes, cur, presetDue, target);
    EXPECT_EQ(requests.Count(), 0);
    EXPECT_EQ(queue.Count(), 4);

    // A file that cannot be read is shown once, not on every tick: request and preset both go.
    target.failing = ready[5];
    requests.AppendRow(Row(ready[5], kWords.ready));
    EXPECT_THROW(requests::MoveFirstRequest(lists, target), std::runtime_error);
    EXPECT_EQ(requests.Count(), 0);
    modes = {.presetUse = true, .inOrder = true};
    for (int i = 0; i < presets.Count(); ++i)
        presets.SetCaption(i, presets.SubItem(i, tracks::siFileName) == ready[5] ? kWords.ready : kWords.blocked);
    EXPECT_THROW(requests::InsertPreset(lists, modes, cur, presetDue, kWords.ready, target), std::runtime_error);
    EXPECT_FALSE(tracks::ListHasValue(presets, tracks::siFileName, ready[5]));

    // Presets off, or nothing in the pool: the step stops before choosing.
    modes.presetUse = false;
    EXPECT_FALSE(requests::InsertPreset(lists, modes, cur, presetDue, kWords.ready, target));
}

}  // namespace
