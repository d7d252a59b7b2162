// The Qt side of the platform interfaces: file dialog filters and the hand-off to the
// user-interface thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <thread>

#include "app/qt_dispatcher.h"
#include "app/qt_user_interface.h"
#include "platform/errors.h"
#include "platform/user_interface.h"
#include "tests/support/qt_app.h"

namespace {

using test_support::EnsureApplication;

// Runs the event loop until the flag is set or two seconds have passed.
bool PumpUntil(const std::atomic<bool>& flag) {
    QElapsedTimer t;
    t.start();
    while (!flag && t.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return flag;
}

TEST(QtUserInterface, WindowsFiltersBecomeQtFilters) {
    EXPECT_EQ(app::ToQtFilter("MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav"),
              "MP3-Audio (*.mp3);;WAV-Audio (*.wav)");
    EXPECT_EQ(app::ToQtFilter("Play List (*.lst)|*.lst|All Files (*.*)|*.*"),
              "Play List (*.lst);;All Files (*)");
    EXPECT_EQ(app::ToQtFilter("A (*.a)|*.a|B|*.b"), "A (*.a);;B (*.b)");
    EXPECT_EQ(app::ToQtFilter("Audio|*.mp3;*.wav"), "Audio (*.mp3 *.wav)");
    EXPECT_EQ(app::ToQtFilter("Odd|"), "Odd (*)");
    EXPECT_EQ(app::ToQtFilter(""), "");
    EXPECT_EQ(app::ToDefaultSuffix("*.mp3"), "mp3");
    EXPECT_EQ(app::ToDefaultSuffix(".lst"), "lst");
    EXPECT_EQ(app::ToDefaultSuffix(""), "");
}

TEST(QtDispatcher, RunsWorkOnTheWindowThreadAndReturnsItsOutcome) {
    EnsureApplication();
    platform::ScopedRecorder recorder;
    app::QtDispatcher dispatcher;
    const std::thread::id uiThread = std::this_thread::get_id();

    // On the window thread itself the work runs at once.
    bool ranHere = false;
    dispatcher.RunBlocking([&] { ranHere = true; });
    EXPECT_TRUE(ranHere);

    std::atomic<bool> done{false};
    std::thread::id ranOn;
    std::string error;
    std::thread worker([&] {
        dispatcher.RunBlocking([&] { ranOn = std::this_thread::get_id(); });
        try {
            dispatcher.RunBlocking([] { throw platform::Error("refused"); });
        } catch (const platform::Error& e) {
            error = e.what();
        }
        done = true;
    });
    EXPECT_TRUE(PumpUntil(done));
    worker.join();
    EXPECT_EQ(ranOn, uiThread);
    EXPECT_EQ(error, "refused");

    // Posted work runs later on the window thread; its error is shown, not thrown.
    std::atomic<bool> posted{false};
    dispatcher.Post([&] { posted = true; });
    dispatcher.Post([] { throw platform::Error("posted failure"); });
    EXPECT_TRUE(PumpUntil(posted));
    QApplication::processEvents();
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0], u"posted failure");
}

TEST(QtDispatcher, ClosingReleasesAWaitingThread) {
    EnsureApplication();
    app::QtDispatcher dispatcher;
    std::atomic<bool> started{false}, released{false}, ran{false};
    std::thread worker([&] {
        started = true;
        try {
            dispatcher.RunBlocking([&] { ran = true; });
        } catch (const platform::Error&) {
            released = true;
        }
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dispatcher.Close();  // the event loop never ran the work
    worker.join();
    EXPECT_TRUE(released);
    EXPECT_FALSE(ran);
    QApplication::processEvents();
    EXPECT_FALSE(ran);
    EXPECT_THROW(dispatcher.RunBlocking([] {}), platform::Error);
    dispatcher.Post([&] { ran = true; });  // dropped
    QApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
