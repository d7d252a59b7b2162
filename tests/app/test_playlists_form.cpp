// Saving a playlist from the main window's context menu, as the program's entry sets up the
// process: a file size limit is an error shown to the DJ, not the end of the program.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "platform/guard.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"

namespace {

TEST(PlaylistCommands, ASaveCutShortByAFileSizeLimitIsAnErrorAndLeavesNoFile) {
    test_support::EnsureApplication();
    QTemporaryDir dir;
    platform::ScopedRecorder rec;
    auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    app::SetUpApplication();
    std::vector<tracks::TrackRow> many;
    for (int i = 0; i < 100; ++i)
        many.push_back({"ready", "T", "A", "", "", "01:00", "DJ", dir.filePath(QString("many %1.mp3").arg(i))});
    form->ListView_preselect->List().AppendRows(many);
    form->PopupList = form->ListView_preselect;
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    rec->saveAnswers.push_back(dir.filePath("big.lst").toStdU16String());
    platform::Guarded([&] { form->pop4Click(); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_EQ(QString::fromStdU16String(rec->errors[0]), "Unable to write to " + dir.filePath("big.lst"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
}

}  // namespace
