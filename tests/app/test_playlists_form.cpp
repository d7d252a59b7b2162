// The playlist commands of the main window's context menu, with the file dialogs answered.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "tracks/playlist_file.h"
#include "ui/Dlg_Details.h"

namespace {

using test_support::EnsureApplication;

class PlaylistCommands : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    }

    tracks::TrackRow Row(const QString& status, const QString& name, bool exists = true) {
        const QString path = dir.filePath(name);
        if (exists && !QFile::exists(path)) {
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
        return tracks::TrackRow{status, "T " + name, "A " + name, "", "", "01:00", "DJ", path};
    }

    QStringList Log() const {
        QStringList lines;
        for (int i = 0; i < form->ListBox_Log->count(); ++i) lines << form->ListBox_Log->item(i)->text();
        return lines;
    }

    QTemporaryDir dir;
    platform::ScopedRecorder rec;
    std::unique_ptr<app::TForm1> form;
};

}  // namespace

TEST_F(PlaylistCommands, LoadPlaylistAppendsRefreshesAndLeavesPlaybackState) {
    auto* q = form->ListView_soon;
    tracks::TrackList source;
    source.AppendRows({Row("running", "a.mp3"), Row("ready", "b.mp3"), Row("ready", "gone.mp3", false)});
    const QString file = dir.filePath("queue.lst");
    tracks::LVtoFile(source, file);

    q->AppendRows({Row("ready", "x.mp3"), Row("ready", "b.mp3")});
    q->SelectRow(1);
    form->Player->CurIndex = 1;
    form->Player->NextIndex = 0;
    form->PopupList = q;
    rec->openAnswers.push_back({file.toStdU16String()});
    form->pop3Click();

    ASSERT_EQ(rec->dialogs.size(), 1u);
    EXPECT_EQ(rec->dialogs[0].title, u"Open Play List");
    ASSERT_EQ(q->Count(), 4);
    EXPECT_EQ(q->SubItem(2, tracks::siFileName), dir.filePath("a.mp3"));
    EXPECT_EQ(q->SubItem(3, tracks::siFileName), dir.filePath("gone.mp3"));
    // The loaded "running" is replaced by the refresh; a missing file reads as an error.
    EXPECT_NE(q->Caption(2), "running");
    EXPECT_EQ(q->Caption(3), form->Text(u"st_error"));
    EXPECT_EQ(form->Player->CurIndex, 1);
    EXPECT_EQ(form->Player->NextIndex, 0);
    EXPECT_EQ(q->SelectedIndex(), 1);

    const QStringList log = Log();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList{"Reading title list", "Geladen: \r\n\"" + file + "\"", "Erzeuge Playlist"}));
    EXPECT_TRUE(form->Form3->Text().contains(QString::fromUtf16(u"Doppelt oder ung\u00FCltig: \nb.mp3")));
    EXPECT_EQ(form->StatusPanel(4), "");
    EXPECT_EQ(form->StatusPanel(1), form->Text(u"H21"));
}

TEST_F(PlaylistCommands, CancelledLoadStillLogsAndSavesGoToTheChosenFile) {
    form->PopupList = form->ListView_preselect;
    const int before = form->ListBox_Log->count();
    form->pop3Click();
    EXPECT_EQ(form->ListBox_Log->count(), before + 1);
    EXPECT_EQ(Log().last(), "Erzeuge Playlist");
    EXPECT_EQ(form->ListView_preselect->Count(), 0);

    form->ListView_preselect->AppendRows({Row("ready", "p.mp3"), Row("blocked", "q.mp3")});
    const QString file = dir.filePath("presets.lst");
    form->pop4Click();  // cancelled: nothing written
    EXPECT_FALSE(QFile::exists(file));
    rec->saveAnswers.push_back(file.toStdU16String());
    form->pop4Click();
    EXPECT_EQ(rec->dialogs.back().title, u"Save Play List");
    tracks::TrackList back;
    tracks::LVfromFile(back, file, [](const QString&) {}, [](const QString&) {});
    EXPECT_EQ(back.Rows(), form->ListView_preselect->Rows());

    // A save that fails raises the write error for the handler guard to show.
    rec->saveAnswers.push_back(dir.filePath("missing/x.lst").toStdU16String());
    platform::Guarded([&] { form->pop4Click(); });
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(QString::fromStdU16String(rec->errors[0]), "Unable to write to " + dir.filePath("missing/x.lst"));

    // A file size limit (a quota, a disk near full) cuts the write short. Set up as the program's
    // entry sets it up, it shows the error instead of being killed by the limit's signal, and
    // leaves no half-written file behind.
    app::SetUpApplication();
    std::vector<tracks::TrackRow> many;
    for (int i = 0; i < 100; ++i) many.push_back(Row("ready", QString("many %1.mp3").arg(i), false));
    form->ListView_preselect->AppendRows(many);
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    rec->saveAnswers.push_back(dir.filePath("big.lst").toStdU16String());
    platform::Guarded([&] { form->pop4Click(); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_EQ(rec->errors.size(), 2u);
    EXPECT_EQ(QString::fromStdU16String(rec->errors[1]), "Unable to write to " + dir.filePath("big.lst"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
}
