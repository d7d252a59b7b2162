// Admission of guests' requests and the feeding of the queue, on bare lists without a window.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <deque>
#include <stdexcept>

#include "requests/admission.h"
#include "requests/feeding.h"
#include "tracks/list_ops.h"

namespace {

using tracks::TrackList;
using tracks::TrackRow;

// Not English, so a comparison with a fixed English word fails.
const tracks::StatusWords kWords{"bereit", "gesperrt", "gew\u00e4hlt", "Fehler"};

TrackRow Row(const QString& path, const QString& status, const QString& title = "T", const QString& src = "File") {
    return {status, title, "Artist", "Album", "1999", "03:00", src, path};
}

class Requests : public ::testing::Test {
protected:
    QString File(const QString& name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return f.fileName();
    }
    // One timer round with the queue at its end (always short): guest step and preset step, in
    // either order; the preset step only while its timer runs.
    void Round(bool presetFirst = false) {
        const auto preset = [&] {
            if (modes.presetStep)
                requests::InsertPreset(lists, modes, queue.Count() - 1, presetDue, kWords.ready, target);
        };
        if (presetFirst) preset();
        requests::FeedGuestRequest(lists, modes, queue.Count() - 1, presetDue, kWords.ready, target);
        if (!presetFirst) preset();
    }
    QString Queue() const {
        QString out;
        for (const TrackRow& r : queue.Rows()) out += r.FileName.section('/', -1) + "<" + r.Src + " ";
        return out;
    }

    QTemporaryDir dir;
    TrackList queue, requests, pool, presets;

    // The program's side: appends like AddTrack (refusing a queued path), logs, rolls scripted dice.
    struct Target : requests::FeedTarget {
        TrackList& q;
        QStringList log;
        std::deque<int> dice;
        QString unreadable;
        explicit Target(TrackList& queue) : q(queue) {}
        void AddToQueue(const QString& path, const QString& source) override {
            if (path == unreadable) throw std::runtime_error("cannot read");
            if (!tracks::ListHasValue(q, tracks::siFileName, path)) q.AppendRow(Row(path, "", "T", source));
        }
        void Log(const QString& line) override { log << line; }
        int RandomBelow(int) override {
            const int k = dice.front();
            dice.pop_front();
            return k;
        }
    } target{queue};
    requests::FeedLists lists{queue, requests, presets};
    requests::FeedModes modes;
    bool presetDue = false;
};

TEST_F(Requests, AdmissionByThePoolRowsWordAtThatMoment) {
    const QString halo = File("Beyonc\u00e9 - Halo.mp3"), chosen = File("c.mp3"), blocked = File("b.mp3"),
                  error = File("e.mp3"), played = File("p.mp3"), empty = File("x.mp3"), gone = dir.filePath("gone.mp3"),
                  lastChosen = File("l1.mp3"), lastReady = File("l2.mp3"), elsewhere = File("elsewhere.mp3");
    pool.AppendRows({Row(halo, kWords.ready, "Halo"), Row(chosen, kWords.chosen), Row(blocked, kWords.blocked),
                     Row(error, kWords.error), Row(played, "played"), Row(empty, ""), Row(gone, kWords.ready),
                     Row(lastChosen, kWords.ready), Row(lastChosen, kWords.chosen), Row(lastReady, kWords.chosen, "A"),
                     Row(lastReady, kWords.ready, "B")});
    struct Case {
        const char* what;
        QString path;
        int state;
        int rows;
        QString title;
    } const cases[] = {
        {"ready", halo, requests::rsAdmitted, 1, "Halo"},
        {"chosen", chosen, requests::rsChosen, 0, "T"},
        {"queued", blocked, requests::rsBlocked, 0, "T"},
        {"in error", error, requests::rsRefused, 0, "T"},
        {"a word from a playlist file", played, requests::rsRefused, 0, "T"},
        {"no word", empty, requests::rsRefused, 0, "T"},
        {"file deleted since", gone, requests::rsRefused, 0, "T"},
        {"not in the pool", elsewhere, requests::rsRefused, 0, ""},
        {"letter case differs", QString(halo).replace("Halo", "HALO"), requests::rsRefused, 0, ""},
        {"last of two rows chosen", lastChosen, requests::rsChosen, 0, "T"},
        {"last of two rows ready: both requested", lastReady, requests::rsAdmitted, 2, "B"},
    };
    for (const Case& c : cases) {
        const auto a = requests::AdmitRequest(pool, "192.168.1.7", "21:07.45", c.path, kWords);
        EXPECT_EQ(a.state, c.state) << c.what;
        EXPECT_EQ(a.title, c.title) << c.what;
        ASSERT_EQ(int(a.rows.size()), c.rows) << c.what;
        for (const TrackRow& r : a.rows)
            EXPECT_EQ(r, (TrackRow{kWords.ready, r.Title, "Artist", "Album", "1999", "21:07.45", "192.168.1.7",
                                   c.path}))
                << c.what;
    }
    EXPECT_EQ(requests::StateWord(requests::rsBlocked, kWords), kWords.blocked);

    // The pool's words: requested wins over queued; queued blocks only with the option on.
    queue.AppendRows({Row(halo, ""), Row(chosen, "")});
    requests.AppendRow(Row(chosen, ""));
    pool.SetCaptions(requests::PoolStates(pool, queue, requests, false, kWords));
    EXPECT_EQ(pool.Caption(0), kWords.ready);
    EXPECT_EQ(pool.Caption(3), kWords.ready) << "the file system is not looked at";
    pool.SetCaptions(requests::PoolStates(pool, queue, requests, true, kWords));
    EXPECT_EQ(pool.Caption(0), kWords.blocked);
    EXPECT_EQ(pool.Caption(1), kWords.chosen);
    // Asked to, it reads the files too: one that is gone is in error, whatever the lists say.
    tracks::FileChecks files;
    pool.SetCaptions(requests::PoolStates(pool, queue, requests, true, kWords, &files));
    EXPECT_EQ(pool.Caption(6), kWords.error);
    EXPECT_EQ(pool.Caption(1), kWords.chosen);
}

TEST_F(Requests, QueueRunsShortWhenAtMostOneRowFollowsTheCurrentOne) {
    const struct {
        int count, cur;
        bool shortOf;
    } cases[] = {{5, 2, false}, {5, 3, true}, {6, 3, false}, {0, 0, true}, {0, -1, true}, {3, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(requests::QueueRunsShort(c.count, c.cur), c.shortOf) << c.count << "/" << c.cur;
}

// The order in which rows join the queue, as a listener hears it: requests and presets take
// turns in "Mix Web" whenever both wait, and neither kind waits for the other when it cannot come.
TEST_F(Requests, FeedingOrderInBothModesAsPoolsRunOut) {
    using M = requests::FeedModes;
    const M preferWeb{.guestUse = true, .webFirst = true, .presetUse = true, .inOrder = true};
    const M mixWeb{.guestUse = true, .webMix = true, .presetUse = true, .inOrder = true};
    M mixNoPresets = mixWeb, mixPresetTimerOff = mixWeb, preferNoPresets = preferWeb;
    mixNoPresets.presetUse = preferNoPresets.presetUse = false;
    mixPresetTimerOff.presetStep = false;
    struct Case {
        const char* what;
        M modes;
        QStringList waiting, presets;  // a preset ending in "!" is not ready
        bool presetFirst;              // the preset timer ticks first in each round
        int rounds;
        const char* joined;
        QStringList late = {};  // requests that come after the first round
    };
    const Case cases[] = {
        {"Prefer Web: the requests, then the ready presets", preferWeb, {"r1", "r2", "r3"}, {"p1!", "p2", "p3"},
         false, 5, "r1 r2 r3 p2 p3"},
        {"Prefer Web, preset timer first", preferWeb, {"r1", "r2", "r3"}, {"p1!", "p2", "p3"}, true, 5,
         "r1 r2 r3 p2 p3"},
        {"Prefer Web, presets off", preferNoPresets, {"r1", "r2"}, {"p1"}, false, 3, "r1 r2"},
        {"Mix Web: turns while both wait", mixWeb, {"r1", "r2"}, {"p1", "p2"}, false, 4, "r1 p1 r2 p2"},
        {"Mix Web, preset timer first: a preset waits while a request is due", mixWeb, {"r1", "r2"},
         {"p1", "p2", "p3"}, true, 4, "r1 p1 r2 p2 p3"},
        {"Mix Web: the presets run out", mixWeb, {"r1", "r2", "r3"}, {"p1"}, false, 4, "r1 p1 r2 r3"},
        {"Mix Web, presets off", mixNoPresets, {"r1", "r2", "r3"}, {"p1", "p2"}, false, 4, "r1 r2 r3"},
        {"Mix Web, no ready preset", mixWeb, {"r1", "r2"}, {"p1!", "p2!"}, false, 3, "r1 r2"},
        {"Mix Web, the preset timer stopped", mixPresetTimerOff, {"r1", "r2"}, {"p1", "p2"}, false, 3, "r1 r2"},
        {"Mix Web: requests come later", mixWeb, {}, {"p1", "p2", "p3", "p4"}, true, 5, "p1 r1 p2 r2 p3 p4",
         {"r1", "r2"}},
        {"Mix Web: the requests run out", mixWeb, {"r1"}, {"p1", "p2", "p3"}, false, 3, "r1 p1 p2 p3"},
    };
    for (const Case& c : cases) {
        queue.ClearRows();
        requests.ClearRows();
        presets.ClearRows();
        presetDue = false;
        modes = c.modes;
        for (const QString& r : c.waiting) requests.AppendRow(Row(File(r), kWords.ready));
        for (QString p : c.presets) {
            const bool ready = !p.endsWith('!');
            p.remove('!');
            presets.AppendRow(Row(File(p), ready ? kWords.ready : kWords.blocked));
        }
        for (int i = 0; i < c.rounds; ++i) {
            Round(c.presetFirst);
            if (i == 0)
                for (const QString& r : c.late) requests.AppendRow(Row(File(r), kWords.ready));
        }
        QStringList joined;
        for (const TrackRow& r : queue.Rows()) joined << r.FileName.section('/', -1);
        EXPECT_EQ(joined.join(' ').toStdString(), c.joined) << c.what;
        EXPECT_EQ(requests.Count(), 0) << c.what;
    }
}

TEST_F(Requests, AtRandomLogsTheDrawAndNothingComesTwiceOrBackWithItsError) {
    modes = {.presetUse = true, .atRandom = true};
    QStringList ready;
    for (int i = 1; i <= 12; ++i) {
        presets.AppendRow(Row(File(QString("p%1").arg(i)), i == 2 ? kWords.chosen : kWords.ready));
        if (i != 2) ready << presets.SubItem(i - 1, tracks::siFileName);
    }
    target.dice = {2, 0};
    queue.AppendRows({Row(File("q1"), ""), Row(File("q2"), ""), Row(File("q3"), "")});
    requests::InsertPreset(lists, modes, 0, presetDue, kWords.ready, target);  // not short: drawn, dropped
    requests::InsertPreset(lists, modes, 2, presetDue, kWords.ready, target);
    EXPECT_EQ(target.log, (QStringList{"random select[3/11]: " + ready[2], "random select[1/11]: " + ready[0],
                                       "inserted preselect file:", ready[0]}));
    EXPECT_EQ(Queue().count("DJ +"), 1);
    EXPECT_FALSE(tracks::ListHasValue(presets, tracks::siFileName, ready[0]));

    // A request for a queued track goes without effect; an unreadable one goes too, its error once.
    modes = {.guestUse = true, .webFirst = true};
    target.unreadable = ready[5];
    requests.AppendRows({Row(queue.SubItem(0, tracks::siFileName), kWords.ready), Row(ready[5], kWords.ready)});
    requests::FeedGuestRequest(lists, modes, 2, presetDue, kWords.ready, target);
    EXPECT_TRUE(target.log.contains("request dropped, already queued: " + queue.SubItem(0, tracks::siFileName)));
    EXPECT_THROW(requests::FeedGuestRequest(lists, modes, 2, presetDue, kWords.ready, target), std::runtime_error);
    EXPECT_EQ(requests.Count(), 0);
    EXPECT_EQ(queue.Count(), 4);
    modes = {.presetUse = true, .inOrder = true};
    for (int i = 0; i < presets.Count(); ++i) presets.SetCaption(i, i == 4 ? kWords.ready : kWords.blocked);
    target.unreadable = presets.SubItem(4, tracks::siFileName);
    EXPECT_THROW(requests::InsertPreset(lists, modes, 2, presetDue, kWords.ready, target), std::runtime_error);
    EXPECT_FALSE(tracks::ListHasValue(presets, tracks::siFileName, target.unreadable));
}

// The queue ends with Abba: presets by Abba, however written, wait while another is ready, and
// are taken when only Abba is left.
TEST_F(Requests, PresetsKeepTheQueuesLastArtistApartWhileAnotherIsReady) {
    const auto row = [&](const char* name, const QString& artist, const QString& word) {
        return TrackRow{word, name, artist, "Album", "1999", "03:00", "File", File(name)};
    };
    for (const bool random : {false, true}) {
        modes = {.presetUse = true, .inOrder = !random, .atRandom = random, .artistApart = true};
        queue.ClearRows();
        queue.AppendRow(row("q", "Abba", ""));
        presets.AppendRows({row("abba1", " abba ", kWords.ready), row("queen", "Queen", kWords.blocked),
                            row("abba2", "ABBA", kWords.ready), row("nobody", "", kWords.ready)});
        target.dice = {0, 1};
        requests::InsertPreset(lists, modes, 0, presetDue, kWords.ready, target);
        EXPECT_EQ(queue.Row(1).FileName, dir.filePath("nobody")) << random;
        EXPECT_TRUE(target.log.contains("skipped preset by same artist: " + dir.filePath("abba1") + " (and 1 more)"));
        queue.SetSubItem(1, tracks::siArtist, "Abba");
        requests::InsertPreset(lists, modes, 1, presetDue, kWords.ready, target);
        EXPECT_EQ(queue.Row(2).FileName, dir.filePath(random ? "abba2" : "abba1")) << random;
        EXPECT_EQ(target.log.filter("skipped").count(), random ? 2 : 1) << target.log.join('\n').toStdString();
        presets.ClearRows();
    }
}

}  // namespace
