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
#include <atomic>
#include <functional>
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

// Shows the real audio file dialog and lets `drive` act on it as a person would.
QStringList OpenAudioFiles(const QString& folder, const std::function<void(QFileDialog*)>& drive) {
    platform::FileDialogOptions options;
    options.title = u"Audio";
    options.filter = u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav";
    options.defaultExt = u"*.mp3";
    options.initialDir = folder.toStdU16String();
    options.multiSelect = true;
    QTimer::singleShot(0, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<QFileDialog*>(w)) dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog) {
            ADD_FAILURE() << "no file dialog shown";
            return;
        }
        drive(dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog did not take the names";
            dialog->reject();
        }
    });
    QStringList chosen;
    for (const std::u16string& f : app::QtUserInterface().OpenFiles(options)) chosen << QString::fromStdU16String(f);
    return chosen;
}

void TypeAndOpen(QFileDialog* dialog, const QString& text) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(name && buttons);
    // Typing happens in the focused name field; the dialog rewrites it only while unfocused.
    dialog->activateWindow();
    name->setFocus();
    QApplication::processEvents();
    name->setText(text);
    QPushButton* open = buttons->button(QDialogButtonBox::Open);
    ASSERT_TRUE(open);
    EXPECT_TRUE(open->isEnabled()) << text.toStdString();
    open->click();
}

TEST(QtUserInterface, AudioDialogHandsBackTypedNamesAsTyped) {
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path();
    for (const char* name : {"a.mp3", "b.wav", "c.mp3"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(d).mkdir(QStringLiteral("sub folder")));
    const QString sub = d + QStringLiteral("/sub folder");

    struct Case {
        const char* what;
        QString typed;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"several names, a hidden .wav and a missing one among them",
         QStringLiteral("\"b.wav\" \"gone.mp3\" \"a.mp3\" \"noext\""),
         {d + "/b.wav", d + "/gone.mp3", d + "/a.mp3", d + "/noext.mp3"}},
        {"one missing name", QStringLiteral("gone.mp3"), {d + "/gone.mp3"}},
        {"a full path with blanks", sub + QStringLiteral("/x y.wav"), {sub + "/x y.wav"}},
        {"a name in the home folder", QStringLiteral("~/qmm-none.mp3"), {QDir::homePath() + "/qmm-none.mp3"}},
    };
    for (const Case& c : cases) {
        const QStringList chosen = OpenAudioFiles(d, [&](QFileDialog* dialog) { TypeAndOpen(dialog, c.typed); });
        EXPECT_EQ(chosen.join(" | ").toStdString(), c.expected.join(" | ").toStdString()) << c.what;
    }

    // A typed folder is entered; the next name is taken from there.
    const QStringList inFolder = OpenAudioFiles(d, [&](QFileDialog* dialog) {
        TypeAndOpen(dialog, QStringLiteral("sub folder"));
        EXPECT_TRUE(dialog->isVisible());
        TypeAndOpen(dialog, QStringLiteral("\"new.mp3\""));
    });
    EXPECT_EQ(inFolder.join(" | ").toStdString(), (sub + "/new.mp3").toStdString());

    // Several files picked with the pointer.
    const QStringList picked = OpenAudioFiles(d, [&](QFileDialog* dialog) {
        QAbstractItemView* view = nullptr;  // the list or the detail view, whichever shows
        for (const char* name : {"listView", "treeView"})
            if (auto* v = dialog->findChild<QAbstractItemView*>(QString::fromLatin1(name)); v && v->isVisible()) view = v;
        ASSERT_TRUE(view);
        QElapsedTimer t;
        t.start();
        while (view->model()->rowCount(view->rootIndex()) < 3 && t.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        dialog->activateWindow();
        view->setFocus();
        QApplication::processEvents();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
            if (index.data().toString().endsWith(QLatin1String(".mp3")))
                view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_TRUE(buttons);
        buttons->button(QDialogButtonBox::Open)->click();
    });
    QStringList sorted = picked;
    sorted.sort();
    EXPECT_EQ(sorted.join(" | ").toStdString(), (d + "/a.mp3 | " + d + "/c.mp3").toStdString());
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
