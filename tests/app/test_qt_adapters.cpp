// The Qt side of the platform interfaces: file dialog filters and the hand-off to the
// user-interface thread.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <atomic>
#include <functional>
#include <thread>

#include "app/qt_dispatcher.h"
#include "app/qt_user_interface.h"
#include "platform/errors.h"
#include "tests/support/recording_user_interface.h"
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

// Shows the real audio file dialog on `folder` and lets `drive` act on it as a person would.
std::string OpenAudioFiles(const QString& folder, const std::function<void(QFileDialog*)>& drive) {
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                dialog->activateWindow();
                drive(dialog);
                if (!dialog->isVisible()) return;
                ADD_FAILURE() << "the dialog stayed open";
                dialog->reject();
            }
    });
    const platform::FileDialogOptions options{u"Audio", u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav",
                                              u"*.mp3", folder.toStdU16String(), true};
    QStringList chosen;
    for (const std::u16string& f : app::QtUserInterface().OpenFiles(options)) chosen << QString::fromStdU16String(f);
    return chosen.join(QStringLiteral(" | ")).remove(folder + QLatin1Char('/')).toStdString();
}

// Types into the focused name field, as a person does, and presses Open.
void TypeAndOpen(QFileDialog* dialog, const QString& text) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->setFocus();
    QApplication::processEvents();
    name->setText(text);
    QPushButton* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
    EXPECT_TRUE(open->isEnabled()) << text.toStdString();
    open->click();
}

TEST(QtUserInterface, AudioDialogHandsBackTypedNamesAsTyped) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* name : {"a.mp3", "b.wav", "c.mp3"}) QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(d).mkdir(QStringLiteral("sub")));

    // A .wav the MP3 filter hides, a missing name and one without extension, in the typed order.
    EXPECT_EQ(OpenAudioFiles(d, [](QFileDialog* f) { TypeAndOpen(f, R"("b.wav" "gone.mp3" "a.mp3" "noext")"); }),
              "b.wav | gone.mp3 | a.mp3 | noext.mp3");
    EXPECT_EQ(OpenAudioFiles(d, [](QFileDialog* f) { TypeAndOpen(f, "gone.mp3"); }), "gone.mp3");
    // A typed folder is entered, and the next name is taken from there.
    EXPECT_EQ(OpenAudioFiles(d, [](QFileDialog* f) {
                  TypeAndOpen(f, "sub");
                  TypeAndOpen(f, R"("new.mp3")");
              }),
              "sub/new.mp3");

    // Several files picked with the pointer in the view that shows.
    const std::string picked = OpenAudioFiles(d, [](QFileDialog* f) {
        QAbstractItemView* view = nullptr;
        for (auto* v : f->findChildren<QAbstractItemView*>())
            if (v->isVisible() && (v->objectName() == "listView" || v->objectName() == "treeView")) view = v;
        ASSERT_TRUE(view);
        QElapsedTimer loading;  // the folder loads on a thread of its own; a busy machine is slow
        loading.start();
        while (view->model()->rowCount(view->rootIndex()) < 3 && loading.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        view->setFocus();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            if (const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
                index.data().toString().endsWith(".mp3"))
                view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
    EXPECT_TRUE(picked == "a.mp3 | c.mp3" || picked == "c.mp3 | a.mp3") << picked;
}

// A question answers with the button pressed; closed any other way it stays unanswered (so it
// never holds up the program's quit, which closes every window first).
TEST(QtUserInterface, AQuestionAnswersWithItsButtonOrNotAtAll) {
    EnsureApplication();
    const struct {
        const char* how;
        std::function<void(QWidget*)> act;
        int answer;
    } cases[] = {
        {"the second button", [](QWidget* box) { box->findChildren<QPushButton*>()[1]->click(); }, 1},
        {"Enter: the first", [](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); }, 0},
        {"Esc", [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); }, -1},
        {"the close box", [](QWidget* box) { box->close(); }, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_TRUE(box);
            c.act(box);
        });
        app::QtUserInterface ui;
        EXPECT_EQ(ui.Choose(u"Resume?", u"A party was saved.", {u"&Resume", u"&New Party"}), c.answer);
    }
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
