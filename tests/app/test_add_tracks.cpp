// Adding tracks through the main window: the file dialog's batch shows in the window as it goes,
// lets the window's events through, and holds back the feeding timers and a second batch.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main_window.h"
#include "platform/guard.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"

namespace {

class AddTracks : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        form = app::CreateWindows(playback::TestDeckFactory(clock));
    }
    QString Write(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4000, '\x55'));
        clock->SetLength(path, 200000);
        return path;
    }
    void Choose(const QStringList& files) {
        std::vector<std::u16string> answer;
        for (const QString& f : files) answer.push_back(f.toStdU16String());
        rec->openAnswers.push_back(answer);
    }

    platform::ScopedRecorder rec;
    QTemporaryDir dir;
    std::shared_ptr<playback::TTestClock> clock = std::make_shared<playback::TTestClock>();
    std::unique_ptr<app::TForm1> form;
};

TEST_F(AddTracks, TheDialogsFilesShowInTheWindow) {
    const QString a = Write("a.mp3"), b = Write("b.mp3");
    Choose({a, b});
    platform::Guarded([&] { form->M11Click(); });
    ASSERT_EQ(form->ListView_soon->model()->rowCount(), 2);
    EXPECT_EQ(form->ListView_soon->model()->index(1, 7).data().toString(), b);
    EXPECT_EQ(form->ListView_soon->model()->index(0, 0).data().toString(), "ready");
    EXPECT_TRUE(form->Button_PlayList->isEnabled());
    EXPECT_EQ(form->StatusPanel(1), "Web configuration missing");
    EXPECT_EQ(form->StatusPanel(4), ": " + b) << "the probe names the file";

    // The context menu's command on the list it was opened on.
    form->PopupList = form->ListView_preselect;
    Choose({a});
    platform::Guarded([&] { form->pop1Click(); });
    EXPECT_EQ(form->ListView_preselect->model()->index(0, 0).data().toString(), "blocked") << "it is queued";
    EXPECT_EQ(form->StatusPanel(4), "");
    EXPECT_TRUE(form->CheckBox_preset_use->isEnabled());
}

TEST_F(AddTracks, ABatchLetsEventsThroughButNotTheFeedingTimersOrASecondBatch) {
    const QString a = Write("a.mp3"), b = Write("b.mp3"), c = Write("c.mp3"), d = Write("d.mp3");
    const QString request = Write("request.mp3");
    tracks::TrackRow row;
    row.Status = "ready";
    row.FileName = request;
    form->Party().Requests().AppendRow(row);
    form->Party().Presets().AppendRow(row);
    form->pop0Click();  // the options are offered
    form->CheckBox_guest_use->setChecked(true);
    form->CheckBox_preset_use->setChecked(true);
    Choose({a, b, c});
    Choose({d});
    int rowsSeen = -1;
    QTimer::singleShot(0, form.get(), [&] {
        rowsSeen = form->ListView_soon->List().Count();
        form->M11Click();  // a second batch from inside the first is refused
    });
    for (QTimer* t : {form->Timer2, form->Timer3}) {
        t->setInterval(0);
        t->start();
    }
    platform::Guarded([&] { form->M11Click(); });
    EXPECT_EQ(rowsSeen, 1) << "pending events run between the files";
    EXPECT_EQ(rec->dialogs.size(), 1u);
    QStringList queued;
    for (const tracks::TrackRow& r : form->Party().Queue().Rows()) queued << r.FileName;
    EXPECT_EQ(queued, (QStringList{a, b, c})) << "no request or preset joined the queue during the batch";
    EXPECT_TRUE(rec->errors.empty());
}

}  // namespace
