// Adding tracks with their tag details and measured length, and removing the selected row.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>

#include "app/main_window.h"
#include "platform/guard.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "tracks/track_adder.h"

namespace {

using tracks::TrackRow;

using test_support::EnsureApplication;

// A 128-byte ID3v1 trailer; `year` is taken as 4 raw bytes.
QByteArray Trailer(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                   const QByteArray& year) {
    QByteArray t(128, '\0');
    t.replace(0, 3, "TAG");
    t.replace(3, title.size(), title);
    t.replace(33, artist.size(), artist);
    t.replace(63, album.size(), album);
    t.replace(93, 4, year.leftJustified(4, '\0', true));
    t[127] = char(255);
    return t;
}

class AddTracks : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        clock = std::make_shared<playback::TTestClock>();
        form = app::CreateWindows(playback::TestDeckFactory(clock));
        q = form->ListView_soon;
    }

    // A file of some audio-like bytes, optionally ending in a trailer; its length on the decks.
    QString Write(const QString& name, const QByteArray& trailer = {}, int lengthMs = 200000) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4000, '\x55'));
        f.write(trailer);
        clock->SetLength(path, lengthMs);
        return path;
    }
    void Add(tracks::TListView* list, const QString& path, const QString& src = QStringLiteral("File")) {
        platform::Guarded([&] { form->AddTrack(list, path, src); });
    }
    void Choose(const QStringList& files) {
        std::vector<std::u16string> answer;
        for (const QString& f : files) answer.push_back(f.toStdU16String());
        rec->openAnswers.push_back(answer);
    }
    QStringList Paths(const tracks::TListView* list) const {
        QStringList out;
        for (int i = 0; i < list->Count(); ++i) out << list->SubItem(i, tracks::siFileName);
        return out;
    }
    playback::TTestDeck& Deck(int n) {
        auto* d = n == 1 ? form->MediaPlayer1.get() : n == 2 ? form->MediaPlayer2.get() : form->MediaPlayer3.get();
        return *static_cast<playback::TTestDeck*>(d);
    }

    platform::ScopedRecorder rec;
    QTemporaryDir dir;
    std::shared_ptr<playback::TTestClock> clock;
    std::unique_ptr<app::TForm1> form;
    tracks::TListView* q = nullptr;
};

TEST_F(AddTracks, RowsCarryTheTrailerFieldsAndTheMeasuredLength) {
    const QString tagged = Write("tagged.mp3", Trailer("  Song  ", "Band", "", QByteArray(4, '\0')), 3900000);
    const QString spaces = Write("spaces.mp3", Trailer("T", "A", "Record", "    "), 61000);
    const QString plain = Write("plain.wav", {}, 59999);
    const QString year = Write("year.mp3", Trailer("T", "A", "B", QByteArray("19\0\0", 4)), 1000);
    for (const QString& p : {tagged, spaces, plain, year}) Add(q, p, QStringLiteral("DJ +"));
    ASSERT_EQ(q->Count(), 4);
    ASSERT_TRUE(rec->errors.empty());

    const TrackRow r0 = q->Row(0);
    EXPECT_EQ(r0.Status, QStringLiteral("ready"));
    EXPECT_EQ(r0.Title, QStringLiteral("Song"));
    EXPECT_EQ(r0.Artist, QStringLiteral("Band"));
    EXPECT_EQ(r0.Album, QStringLiteral("n/a"));
    EXPECT_EQ(r0.Year, QStringLiteral("####")) << "four zero bytes leave nothing";
    EXPECT_EQ(r0.Time, QStringLiteral("05:00")) << "65 minutes show the minutes within the hour";
    EXPECT_EQ(r0.Src, QStringLiteral("DJ +"));
    EXPECT_EQ(r0.FileName, tagged);

    EXPECT_EQ(q->Row(1).Year, QStringLiteral("    ")) << "spaces are not removed";
    EXPECT_EQ(q->Row(1).Album, QStringLiteral("Record"));
    EXPECT_EQ(q->Row(1).Time, QStringLiteral("01:01"));
    const TrackRow r2 = q->Row(2);
    EXPECT_EQ(r2.Title, QStringLiteral("n/a"));
    EXPECT_EQ(r2.Artist, QStringLiteral("n/a"));
    EXPECT_EQ(r2.Year, QStringLiteral("####"));
    EXPECT_EQ(r2.Time, QStringLiteral("00:59"));
    EXPECT_EQ(q->Row(3).Year, QStringLiteral("19"));

    EXPECT_FALSE(Deck(3).IsOpen()) << "the probe deck is open only while it measures";
    EXPECT_FALSE(Deck(1).IsOpen());
    EXPECT_EQ(form->Adder->Length(), 1000);
}

TEST_F(AddTracks, APathWithoutAFileGetsAnEmptyRowNotThePreviousDetails) {
    Add(q, Write("tagged.mp3", Trailer("Song", "Band", "Album", "2001"), 90000));
    const QString missing = dir.filePath("typed-name.mp3");
    Add(q, missing);
    Add(q, QStringLiteral("-"));
    Add(q, dir.path());
    ASSERT_EQ(q->Count(), 3);
    const TrackRow r = q->Row(1);
    EXPECT_EQ(r.Status, QString());
    EXPECT_EQ(r.Title, QStringLiteral("n/a"));
    EXPECT_EQ(r.Artist, QStringLiteral("n/a"));
    EXPECT_EQ(r.Album, QStringLiteral("n/a"));
    EXPECT_EQ(r.Year, QStringLiteral("####"));
    EXPECT_EQ(r.Time, QStringLiteral("00:00"));
    EXPECT_EQ(r.FileName, missing);
    EXPECT_EQ(q->Row(2).Status, QString()) << "a folder is no audio file";
    EXPECT_TRUE(rec->errors.empty());
}

TEST_F(AddTracks, DuplicatesAreJudgedByTheRowsAsTheyAreNow) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.mp3");
    Add(q, a);
    Add(q, a);
    EXPECT_EQ(Paths(q), QStringList{a});

    // Rows that came in by other ways count too.
    TrackRow loaded;
    loaded.FileName = b;
    q->AppendRow(loaded);
    Add(q, b);
    EXPECT_EQ(Paths(q), (QStringList{a, b}));

    // A row whose path was changed no longer holds the old one.
    q->SetSubItem(0, tracks::siFileName, c);
    Add(q, c);
    Add(q, a);
    EXPECT_EQ(Paths(q), (QStringList{c, b, a}));

    // Deleted and cleared rows are gone for the check as well.
    q->DeleteRow(1);
    Add(q, b);
    EXPECT_EQ(Paths(q), (QStringList{c, a, b}));
    form->PopupList = q;
    platform::Guarded([&] { form->pop0Click(); });
    Add(q, a);
    EXPECT_EQ(Paths(q), QStringList{a});
    Add(form->ListView_Guest_Pool, a);
    EXPECT_EQ(form->ListView_Guest_Pool->Count(), 1) << "each list judges its own rows";
}

TEST_F(AddTracks, TheDialogAddsTheChosenFilesInOrderWithoutDuplicates) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.wav");
    Add(q, b);
    Choose({a, b, c});
    platform::Guarded([&] { form->M11Click(); });

    ASSERT_EQ(rec->dialogs.size(), 1u);
    const platform::FileDialogOptions& o = rec->dialogs[0];
    EXPECT_EQ(o.title, u"Audio-Datei w\u00e4hlen");
    EXPECT_EQ(o.filter, u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav");
    EXPECT_EQ(o.defaultExt, u"*.mp3");
    EXPECT_TRUE(o.multiSelect);

    EXPECT_EQ(Paths(q), (QStringList{b, a, c}));
    EXPECT_EQ(q->Row(1).Src, QStringLiteral("File"));
    EXPECT_TRUE(form->Button_PlayList->isEnabled());
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Web configuration missing"));
    EXPECT_FALSE(form->M70->isEnabled());
    EXPECT_EQ(form->StatusPanel(4), QStringLiteral(": ") + c) << "the probe names the file";

    // The same file goes into another list; the context command refreshes states and clears panel 4.
    form->PopupList = form->ListView_preselect;
    Choose({b});
    platform::Guarded([&] { form->pop1Click(); });
    EXPECT_EQ(Paths(form->ListView_preselect), QStringList{b});
    EXPECT_EQ(form->ListView_preselect->Caption(0), QStringLiteral("blocked")) << "it is queued";
    EXPECT_EQ(form->StatusPanel(4), QString());
    EXPECT_TRUE(form->CheckBox_preset_use->isEnabled());

    // A cancelled dialog adds nothing and changes nothing.
    form->SetStatusPanel(1, QStringLiteral("x"));
    platform::Guarded([&] { form->M11Click(); });
    EXPECT_EQ(q->Count(), 3);
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("x"));
}

TEST_F(AddTracks, ABatchLetsEventsThroughButNotTheFeedingTimersOrASecondBatch) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.mp3"), d = Write("d.mp3");
    Choose({a, b, c});
    Choose({d});
    int rowsSeen = -1;
    QTimer::singleShot(0, form.get(), [&] {
        rowsSeen = q->Count();
        form->M11Click();  // a second batch from inside the first is refused
    });
    int feeds = 0;
    for (QTimer* t : {form->Timer2, form->Timer3}) {
        t->setInterval(0);
        t->start();
        QObject::connect(t, &QTimer::timeout, form.get(), [&] { ++feeds; });
    }
    platform::Guarded([&] { form->M11Click(); });
    form->Timer2->stop();
    form->Timer3->stop();

    EXPECT_EQ(rowsSeen, 1) << "pending events run between the files";
    EXPECT_EQ(feeds, 0);
    EXPECT_EQ(rec->dialogs.size(), 1u);
    EXPECT_EQ(Paths(q), (QStringList{a, b, c}));
    EXPECT_TRUE(rec->errors.empty());
}

TEST_F(AddTracks, FilesTheProbeCannotOpenArePassedOverAndNamedInOneMessage) {
    const QString a = Write("a.mp3"), bad = Write("bad.mp3"), c = Write("c.mp3"), worse = Write("worse.mp3");
    clock->SetUnplayable(bad, QStringLiteral("no audio in bad.mp3"));
    clock->SetUnplayable(worse, QStringLiteral("no audio in worse.mp3"));
    Choose({a, bad, c, worse});
    form->SetStatusPanel(1, QStringLiteral("before"));
    platform::Guarded([&] { form->M11Click(); });
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(rec->errors[0], u"no audio in bad.mp3\nno audio in worse.mp3");
    EXPECT_EQ(Paths(q), (QStringList{a, c}));
    EXPECT_NE(form->StatusPanel(1), QStringLiteral("before")) << "the steps after the batch ran";
    EXPECT_FALSE(Deck(3).IsOpen());

    // The batch guard is released: the next dialog works.
    clock->SetLength(bad, 1000);
    Choose({bad, c});
    platform::Guarded([&] { form->M11Click(); });
    EXPECT_EQ(Paths(q), (QStringList{a, c, bad}));
}

TEST_F(AddTracks, RemovingQueueRowsKeepsTheCurrentTrack) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.mp3");
    for (const QString& p : {a, b, c}) Add(q, p);
    q->SelectRow(1);
    platform::Guarded([&] { form->Button_PlayListClick(); });
    ASSERT_EQ(Deck(1).OpenedFile(), b);
    ASSERT_EQ(form->Player->CurIndex, 1);

    // The playing row itself: no current row, the first row is next, the deck plays on.
    form->PopupList = q;
    q->SelectRow(1);
    platform::Guarded([&] { form->pop2Click(); });
    EXPECT_EQ(Paths(q), (QStringList{a, c}));
    EXPECT_EQ(form->Player->CurIndex, -1);
    EXPECT_EQ(form->Player->NextIndex, 0);
    EXPECT_EQ(Deck(1).Mode(), playback::mpPlaying);

    // A row above the current one: the index moves down and still names the playing track.
    platform::Guarded([&] { form->Button_StopClick(); });
    Add(q, b);
    q->SelectRow(2);
    platform::Guarded([&] { form->Button_PlayListClick(); });
    ASSERT_EQ(form->Player->CurIndex, 2);
    q->SelectRow(0);
    platform::Guarded([&] { form->pop2Click(); });
    EXPECT_EQ(Paths(q), (QStringList{c, b}));
    EXPECT_EQ(form->Player->CurIndex, 1);
    EXPECT_EQ(q->SubItem(form->Player->CurIndex, tracks::siFileName), b);
    EXPECT_EQ(form->Player->NextIndex, 1) << "Play List Once: the last row has no successor";

    // The guest pool has no removal; the preset pool has.
    for (auto* list : {form->ListView_Guest_Pool, form->ListView_preselect}) {
        Add(list, a);
        list->SelectRow(0);
        form->PopupList = list;
        platform::Guarded([&] { form->pop2Click(); });
    }
    EXPECT_EQ(form->ListView_Guest_Pool->Count(), 1);
    EXPECT_EQ(form->ListView_preselect->Count(), 0);

    // Nothing selected: nothing removed, the indices stay.
    form->PopupList = q;
    q->SelectRow(-1);
    platform::Guarded([&] { form->pop2Click(); });
    EXPECT_EQ(q->Count(), 2);
    EXPECT_EQ(form->Player->CurIndex, 1);
}

TEST_F(AddTracks, EveryCorpusFileBecomesARow) {
    const std::filesystem::path corpus = QMM_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    clock->SetDefaultLength(1000);
    QStringList files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(corpus))
        if (e.is_regular_file() && e.path().filename() != "README.md")
            files << QString::fromStdString(e.path().string());
    files.sort();
    for (const QString& f : files) Add(form->ListView_Guest_Pool, f);
    EXPECT_TRUE(rec->errors.empty()) << QString::fromStdU16String(rec->errors.empty() ? u"" : rec->errors[0]).toStdString();
    EXPECT_EQ(form->ListView_Guest_Pool->Count(), files.size());
    const int combined = files.indexOf(QString::fromStdString((corpus / "mutagen" / "id3v1v2-combined.mp3").string()));
    if (combined >= 0) {
        EXPECT_EQ(form->ListView_Guest_Pool->Row(combined).Year, QStringLiteral("1337"));
    }
}

}  // namespace
