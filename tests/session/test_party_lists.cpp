// The party's list commands: adding tracks with their details, removing and clearing rows,
// playlists, sorting, and the status words one refresh leaves.
#include <QDir>
#include <QFile>
#include <filesystem>

#include "tests/session/party_fixture.h"
#include "tracks/playlist_file.h"
#include "tracks/track_adder.h"

namespace session_test {
namespace {

// A 128-byte ID3v1 trailer; `year` is taken as 4 raw bytes.
QByteArray Trailer(const QByteArray& title, const QByteArray& artist, const QByteArray& album, const QByteArray& year) {
    QByteArray t(128, '\0');
    t.replace(0, 3, "TAG");
    t.replace(3, title.size(), title);
    t.replace(33, artist.size(), artist);
    t.replace(63, album.size(), album);
    t.replace(93, 4, year.leftJustified(4, '\0', true));
    t[127] = char(255);
    return t;
}

class Lists : public PartyTest {
protected:
    // Some audio-like bytes, optionally ending in a trailer; its length on the decks.
    QString Write(const QString& name, const QByteArray& trailer = {}, int lengthMs = 200000) {
        const QString path = File(name, lengthMs, false);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4000, '\x55'));
        f.write(trailer);
        return path;
    }
    void Add(ListId id, const QString& path, const QString& src = QStringLiteral("File")) {
        Run([&] { party.AddTrack(id, path, src); });
    }
    void Choose(const QStringList& files) {
        std::vector<std::u16string> answer;
        for (const QString& f : files) answer.push_back(f.toStdU16String());
        boxes->openAnswers.push_back(answer);
    }
    QStringList Paths(ListId id) {
        QStringList out;
        for (const TrackRow& r : party.List(id).Rows()) out << r.FileName;
        return out;
    }
};

TEST_F(Lists, RowsCarryTheTrailerFieldsAndTheMeasuredLength) {
    const QString tagged = Write("tagged.mp3", Trailer("  Song  ", "Band", "", QByteArray(4, '\0')), 3900000);
    const QString spaces = Write("spaces.mp3", Trailer("T", "A", "Record", "    "), 61000);
    const QString plain = Write("plain.wav", {}, 59999);
    const QString year = Write("year.mp3", Trailer("T", "A", "B", QByteArray("19\0\0", 4)), 1000);
    for (const QString& p : {tagged, spaces, plain, year}) Add(ListId::Queue, p, "DJ +");
    ASSERT_EQ(party.Queue().Count(), 4);
    ASSERT_TRUE(boxes->errors.empty());
    EXPECT_EQ(party.Queue().Row(0), (TrackRow{"ready", "Song", "Band", "n/a", "####", "05:00", "DJ +", tagged}))
        << "65 minutes show the minutes within the hour; four zero bytes leave no year";
    EXPECT_EQ(party.Queue().Row(1).Year, "    ") << "spaces are not removed";
    EXPECT_EQ(party.Queue().Row(1).Time, "01:01");
    EXPECT_EQ(party.Queue().Row(2), (TrackRow{"ready", "n/a", "n/a", "n/a", "####", "00:59", "DJ +", plain}));
    EXPECT_EQ(party.Queue().Row(3).Year, "19");
    EXPECT_FALSE(Deck(3).IsOpen()) << "the probe deck is open only while it measures";
    EXPECT_EQ(party.Adder().Length(), 1000);
}

TEST_F(Lists, APathWithoutAFileGetsAnEmptyRowNotThePreviousDetails) {
    Add(ListId::Queue, Write("tagged.mp3", Trailer("Song", "Band", "Album", "2001"), 90000));
    const QString missing = File("typed-name.mp3", 1000, false);
    Add(ListId::Queue, missing);
    Add(ListId::Queue, "-");
    Add(ListId::Queue, QString::fromStdString(dir.path().string()));
    ASSERT_EQ(party.Queue().Count(), 3);
    EXPECT_EQ(party.Queue().Row(1), (TrackRow{"", "n/a", "n/a", "n/a", "####", "00:00", "File", missing}));
    EXPECT_EQ(party.Queue().Row(2).Status, "") << "a folder is no audio file";
    EXPECT_TRUE(boxes->errors.empty());
}

TEST_F(Lists, DuplicatesAreJudgedByTheRowsAsTheyAreNow) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.mp3");
    Add(ListId::Queue, a);
    Add(ListId::Queue, a);
    EXPECT_EQ(Paths(ListId::Queue), QStringList{a});
    // Rows that came in by other ways count too.
    party.Queue().AppendRow(Row(b));
    Add(ListId::Queue, b);
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{a, b}));
    // A row whose path was changed no longer holds the old one.
    party.Queue().SetSubItem(0, tracks::siFileName, c);
    Add(ListId::Queue, c);
    Add(ListId::Queue, a);
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{c, b, a}));
    // Deleted and cleared rows are gone for the check as well.
    party.Queue().DeleteRow(1);
    Add(ListId::Queue, b);
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{c, a, b}));
    Run([&] { party.ClearList(ListId::Queue); });
    Add(ListId::Queue, a);
    EXPECT_EQ(Paths(ListId::Queue), QStringList{a});
    Add(ListId::Pool, a);
    EXPECT_EQ(party.Pool().Count(), 1) << "each list judges its own rows";
}

TEST_F(Lists, TheDialogAddsTheChosenFilesInOrderWithoutDuplicates) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.wav");
    Add(ListId::Queue, b);
    Choose({a, b, c});
    Run([&] { party.AddAudioFile(); });
    ASSERT_EQ(boxes->dialogs.size(), 1u);
    const platform::FileDialogOptions& o = boxes->dialogs[0];
    EXPECT_EQ(o.title, u"Audio-Datei w\u00e4hlen");
    EXPECT_EQ(o.filter, u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav");
    EXPECT_EQ(o.defaultExt, u"*.mp3");
    EXPECT_TRUE(o.multiSelect);
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{b, a, c}));
    EXPECT_EQ(party.Queue().Row(1).Src, "File");
    EXPECT_TRUE(party.ControlStates().playList);
    EXPECT_EQ(party.Panel(1), "Web configuration missing");
    EXPECT_FALSE(party.ControlStates().webOn);
    EXPECT_EQ(party.Panel(4), ": " + c) << "the probe names the file";
    EXPECT_GE(view.probes, 1) << "and it is drawn at once";

    // The same file into another list; the context command refreshes the states and clears panel 4.
    Choose({b});
    Run([&] { party.AddSoundFiles(ListId::Presets); });
    EXPECT_EQ(Paths(ListId::Presets), QStringList{b});
    EXPECT_EQ(party.Presets().Caption(0), "blocked") << "it is queued";
    EXPECT_EQ(party.Panel(4), "");
    EXPECT_TRUE(party.ControlStates().presetUse);

    // A cancelled dialog adds nothing and changes nothing.
    Run([&] { party.ShowInPanel(1, "x"); });
    Run([&] { party.AddAudioFile(); });
    EXPECT_EQ(party.Queue().Count(), 3);
    EXPECT_EQ(party.Panel(1), "x");
}

TEST_F(Lists, FilesTheProbeCannotOpenArePassedOverAndNamedInOneMessageAfterTheRefresh) {
    const QString a = Write("a.mp3"), bad = Write("bad.mp3"), c = Write("c.mp3"), worse = Write("worse.mp3");
    clock->SetUnplayable(bad, "no audio in bad.mp3");
    clock->SetUnplayable(worse, "no audio in worse.mp3");
    Choose({a, bad, c, worse});
    int shownBeforeBox = -1;
    boxes->whileOpen = [&](const std::u16string&) { shownBeforeBox = view.shows; };
    const int shows = view.shows;
    Run([&] { party.AddAudioFile(); });
    ASSERT_EQ(boxes->errors.size(), 1u);
    EXPECT_EQ(boxes->errors[0], u"no audio in bad.mp3\nno audio in worse.mp3");
    EXPECT_EQ(shownBeforeBox, shows + 1) << "the window shows the added rows while the box is open";
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{a, c}));
    EXPECT_FALSE(Deck(3).IsOpen());
    // The batch guard is released: the next dialog works.
    clock->SetLength(bad, 1000);
    Choose({bad, c});
    Run([&] { party.AddAudioFile(); });
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{a, c, bad}));
}

TEST_F(Lists, RemovingQueueRowsKeepsTheCurrentTrack) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.mp3");
    for (const QString& p : {a, b, c}) Add(ListId::Queue, p);
    party.Queue().SelectRow(1);
    Run([&] { party.PlayList(); });
    ASSERT_EQ(Deck(1).OpenedFile(), b);
    // The playing row itself: no current row, the first row is next, the deck plays on.
    party.Queue().SelectRow(1);
    Run([&] { party.RemoveSelected(ListId::Queue); });
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{a, c}));
    EXPECT_EQ(party.Player().CurIndex(), -1);
    EXPECT_EQ(party.Player().NextIndex(), 0);
    EXPECT_EQ(Deck(1).Mode(), playback::mpPlaying);
    // A row above the current one: the index moves down and still names the playing track.
    Run([&] { party.Stop(); });
    Add(ListId::Queue, b);
    party.Queue().SelectRow(2);
    Run([&] { party.PlayList(); });
    party.Queue().SelectRow(0);
    Run([&] { party.RemoveSelected(ListId::Queue); });
    EXPECT_EQ(Paths(ListId::Queue), (QStringList{c, b}));
    EXPECT_EQ(party.Player().CurIndex(), 1);
    EXPECT_EQ(party.Player().NextIndex(), 1) << "Play List Once: the last row has no successor";
    // The guest pool has no removal; the preset pool has.
    for (const ListId id : {ListId::Pool, ListId::Presets}) {
        Add(id, a);
        party.List(id).SelectRow(0);
        Run([&] { party.RemoveSelected(id); });
    }
    EXPECT_EQ(party.Pool().Count(), 1);
    EXPECT_EQ(party.Presets().Count(), 0);
    // Nothing selected: nothing removed, the indices stay.
    party.Queue().SelectRow(-1);
    Run([&] { party.RemoveSelected(ListId::Queue); });
    EXPECT_EQ(party.Queue().Count(), 2);
    EXPECT_EQ(party.Player().CurIndex(), 1);
}

TEST_F(Lists, EveryCorpusFileBecomesARow) {
    const std::filesystem::path corpus = QMM_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    clock->SetDefaultLength(1000);
    QStringList files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(corpus))
        if (e.is_regular_file() && e.path().filename() != "README.md") files << QString::fromStdString(e.path().string());
    files.sort();
    for (const QString& f : files) Add(ListId::Pool, f);
    EXPECT_TRUE(boxes->errors.empty());
    EXPECT_EQ(party.Pool().Count(), files.size());
    const int combined = files.indexOf(QString::fromStdString((corpus / "mutagen" / "id3v1v2-combined.mp3").string()));
    if (combined >= 0) {
        EXPECT_EQ(party.Pool().Row(combined).Year, "1337");
    }
}

// Every list's words after the events that refresh them: missing files read "error"; queued
// tracks are blocked in the presets and, while recent tracks are blocked, in the pool; requested
// ones are chosen.
TEST_F(Lists, OneRefreshGivesEachListItsWords) {
    const QString a = File("a.mp3"), b = File("b.mp3"), c = File("c.mp3"), gone = File("gone.mp3", 1000, false);
    party.Queue().AppendRows({Row(a), Row(b), Row(a)});
    party.Requests().AppendRow(Row(c));
    party.Pool().AppendRows({Row(a, ""), Row(c, ""), Row(gone, "")});
    party.Presets().AppendRows({Row(b), Row(b), Row(c)});
    const QString list = File("empty.lst");
    boxes->openAnswers.push_back({list.toStdU16String()});
    Run([&] { party.LoadPlaylist(ListId::Presets); });
    EXPECT_EQ(Words(ListId::Queue), (QStringList{"blocked", "blocked", "blocked"}));
    EXPECT_EQ(Words(ListId::Requests), QStringList{"chosen"});
    EXPECT_EQ(Words(ListId::Presets), (QStringList{"blocked", "blocked", "chosen"}));
    EXPECT_EQ(Words(ListId::Pool), (QStringList{"ready", "chosen", "error"})) << "blocking is off";
    Run([&] { party.SetBlockRecent(true); });
    EXPECT_EQ(Words(ListId::Pool), (QStringList{"blocked", "chosen", "ready"}))
        << "the pool's words without the files: a missing one is not looked for";

    // The words in force are the ones written.
    party.Texts().Set(u"st_chosen", u"gew\u00e4hlt");
    Run([&] { party.ClearList(ListId::Queue); });
    EXPECT_EQ(party.Pool().Caption(1), "gew\u00e4hlt");
    EXPECT_EQ(party.Pool().Caption(0), "ready") << "the cleared queue blocks nothing";
    EXPECT_FALSE(party.ControlStates().playList);
    EXPECT_TRUE(party.ControlStates().webOn);
}

TEST_F(Lists, LoadPlaylistAppendsRefreshesAndLeavesPlaybackState) {
    tracks::TrackList source;
    source.AppendRows({Row(File("a.mp3"), "running"), Row(File("b.mp3")), Row(File("gone.mp3", 1000, false))});
    const QString file = File("queue.lst");
    tracks::LVtoFile(source, file);
    AddRow("x.mp3", 1000);
    AddRow("b.mp3", 1000);
    party.Queue().SelectRow(1);
    boxes->openAnswers.push_back({file.toStdU16String()});
    Run([&] { party.LoadPlaylist(ListId::Queue); });
    ASSERT_EQ(boxes->dialogs.size(), 1u);
    EXPECT_EQ(boxes->dialogs[0].title, u"Open Play List");
    EXPECT_EQ(Names(ListId::Queue), (QStringList{"x.mp3", "b.mp3", "a.mp3", "gone.mp3"}));
    EXPECT_NE(party.Queue().Caption(2), "running") << "the loaded word is replaced";
    EXPECT_EQ(party.Queue().Caption(3), "error");
    EXPECT_EQ(party.Player().CurIndex(), 0);
    EXPECT_EQ(party.Queue().SelectedIndex(), 1);
    EXPECT_EQ(view.log.mid(view.log.size() - 3),
              (QStringList{"Reading title list", "Geladen: \r\n\"" + file + "\"", "Erzeuge Playlist"}));
    EXPECT_TRUE(view.details.join('\n').contains(QString::fromUtf16(u"Doppelt oder ung\u00FCltig: \r\nb.mp3")));
    EXPECT_EQ(party.Panel(4), "");
    EXPECT_EQ(party.Panel(1), "Web configuration missing");

    // Cancelled: only the log says so. Saving goes to the chosen file; a failure is an error.
    const int lines = view.log.size();
    Run([&] { party.LoadPlaylist(ListId::Presets); });
    EXPECT_EQ(view.log.mid(lines), QStringList{"Erzeuge Playlist"});
    const QString saved = QString::fromStdString((dir / "saved.lst").string());
    Run([&] { party.SavePlaylist(ListId::Queue); });  // cancelled
    EXPECT_FALSE(QFile::exists(saved));
    boxes->saveAnswers.push_back(saved.toStdU16String());
    Run([&] { party.SavePlaylist(ListId::Queue); });
    EXPECT_EQ(boxes->dialogs.back().title, u"Save Play List");
    tracks::TrackList back;
    tracks::LVfromFile(back, saved, [](const QString&) {}, [](const QString&) {});
    EXPECT_EQ(back.Rows(), party.Queue().Rows());
    boxes->saveAnswers.push_back(QString::fromStdString((dir / "missing/x.lst").string()).toStdU16String());
    Run([&] { party.SavePlaylist(ListId::Queue); });
    ASSERT_EQ(boxes->errors.size(), 1u);
    EXPECT_TRUE(QString::fromStdU16String(boxes->errors[0]).startsWith("Unable to write to "));
}

TEST_F(Lists, HeaderClicksShareOneSortState) {
    const auto titled = [&](const char* title, const char* status, const char* year = "2000") {
        TrackRow r = Row(File(title));
        r.Title = title;
        r.Status = status;
        r.Year = year;
        return r;
    };
    party.Pool().AppendRows({titled("b", "blocked"), titled("C", "ready"), titled("a", "chosen")});
    party.Presets().AppendRows({titled("x", "ready", "1990"), titled("y", "ready", "####")});
    const auto column = [&](ListId id, int c) {
        QStringList out;
        for (const TrackRow& r : party.List(id).Rows()) out << r.Column(c);
        return out;
    };
    Run([&] { party.SortPool(ListId::Pool, 0); });  // the remembered column starts at 0: descending
    EXPECT_EQ(column(ListId::Pool, 0), (QStringList{"ready", "chosen", "blocked"}));
    EXPECT_TRUE(party.SortDescending());
    Run([&] { party.SortPool(ListId::Pool, 1); });  // another column: ascending
    EXPECT_EQ(column(ListId::Pool, 1), (QStringList{"a", "b", "C"}));
    Run([&] { party.SortPool(ListId::Pool, 1); });  // again: reversed
    EXPECT_EQ(column(ListId::Pool, 1), (QStringList{"C", "b", "a"}));
    Run([&] { party.SortPool(ListId::Pool, 4); });     // Year in the pool, ascending
    Run([&] { party.SortPool(ListId::Presets, 4); });  // Year in the presets: same column, so descending
    EXPECT_TRUE(party.SortDescending());
    EXPECT_EQ(column(ListId::Presets, 4), (QStringList{"1990", "####"}));
    EXPECT_EQ(party.SortColumn(), 4);
    EXPECT_EQ(party.SortLastColumn(), 4);
}

}  // namespace
}  // namespace session_test
