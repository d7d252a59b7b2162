#pragma once
// A party with test decks on a test clock, the inline dispatcher and a view that records what it
// was told: the party's logic without an application object or a window.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/dispatcher.h"
#include "platform/guard.h"
#include "session/party.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_deck.h"

namespace session_test {

using session::ListId;
using tracks::TrackRow;

struct RecordingView : session::PartyView {
    int shows = 0, probes = 0, stops = 0;
    QStringList log, details;
    void Show(bool) override { ++shows; }
    void ShowProbing() override { ++probes; }
    void AddLog(const QStringList& lines) override { log << lines; }
    void AddDetails(const QStringList& lines) override { details << lines; }
    void PlaybackStopped() override { ++stops; }
};

class PartyTest : public ::testing::Test {
protected:
    session::Party::Options OptionsIn(const std::filesystem::path& folder) {
        session::Party::Options o;
        o.programFolder = QString::fromStdString(folder.string());
        o.clock = [] { return QTime(21, 7, 45); };
        // Tracks asked to be measured, by name, "!" before those asked for first.
        o.measure = [this](const QString& path, bool first) {
            measured << (first ? QStringLiteral("!") : QString()) + QFileInfo(path).fileName();
        };
        return o;
    }

    // A file that exists (or not), with its length on the decks.
    QString File(const QString& name, int lengthMs = 180000, bool exists = true) {
        const QString path = QString::fromStdString((dir / name.toStdString()).string());
        if (exists) std::ofstream(path.toStdString(), std::ios::app).put('x');
        clock->SetLength(path, lengthMs);
        return path;
    }
    static TrackRow Row(const QString& path, const QString& status = QStringLiteral("ready")) {
        const QString name = QFileInfo(path).fileName();
        TrackRow r;
        r.Status = status;
        r.Title = QStringLiteral("Title ") + name;
        r.Artist = QStringLiteral("Artist ") + name;
        r.FileName = path;
        return r;
    }
    // A queue row for a file that exists.
    QString AddRow(const QString& name, int lengthMs) {
        const QString path = File(name, lengthMs);
        party.Queue().AppendRow(Row(path));
        return path;
    }
    QStringList Words(ListId id) {
        QStringList out;
        for (const TrackRow& r : party.List(id).Rows()) out << r.Status;
        return out;
    }
    QStringList Names(ListId id) {
        QStringList out;
        for (const TrackRow& r : party.List(id).Rows()) out << QFileInfo(r.FileName).fileName();
        return out;
    }
    playback::TTestDeck& Deck(int n) { return static_cast<playback::TTestDeck&>(party.Deck(n)); }
    template <class F>
    void Run(F&& command) {
        platform::Guarded(std::forward<F>(command));
    }
    void Tick(int ms = 1000) {
        clock->Advance(ms);
        Run([&] { party.Tick(); });
    }
    bool Stopped() const { return !party.Timers().tick; }
    // The opens on the two playback decks since the last call, as "deck:file name", in order.
    QStringList NewOpens() {
        QStringList out;
        const QStringList& cmds = clock->Commands();
        for (; seen < cmds.size(); ++seen) {
            if (!cmds[seen].endsWith(QStringLiteral(":Open"))) continue;
            const int id = cmds[seen].section(QLatin1Char(':'), 0, 0).toInt();
            for (int n : {1, 2})
                if (id == Deck(n).Id()) out << QStringLiteral("%1:%2").arg(n).arg(QFileInfo(Deck(n).FileName()).fileName());
        }
        return out;
    }
    // Plays on, a tick a second, until the queue stops or the limit; the opens along the way.
    QStringList PlayOn(int limitTicks) {
        QStringList out = NewOpens();
        for (int i = 0; i < limitTicks && !Stopped(); ++i) {
            Tick();
            out << NewOpens();
        }
        return out;
    }
    // Confirms settings as the dialog would hand them back.
    template <class F>
    void Confirm(F&& change) {
        settings::TSetRec rec = party.Settings();
        change(rec);
        Run([&] { party.CloseSettings(rec); });
    }

    testutil::TempDir dir;
    std::shared_ptr<playback::TTestClock> clock = std::make_shared<playback::TTestClock>();
    platform::InlineDispatcher ui;
    RecordingView view;
    platform::ScopedRecorder boxes;
    QStringList measured;
    session::Party party{playback::TestDeckFactory(clock), ui, view, OptionsIn(dir.path())};
    qsizetype seen = 0;
};

}  // namespace session_test
