// The titles an X server holds for the program's windows, as a window manager shows them, read
// with xprop from an Xvfb of the test's own. Its own program: the platform must be chosen before
// the application exists. Skips when Xvfb or xprop is missing.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFileDialog>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "platform/user_interface.h"
#include "playback/test_deck.h"
#include "settings/Dlg_Settings.h"
#include "ui/Dlg_Details.h"
#include "ui/info_box.h"

namespace {

// Starts Xvfb on a display it picks itself and makes the application on it.
class XServer : public ::testing::Environment {
public:
    static inline std::string skipReason;

    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty()) {
            skipReason = "Xvfb or xprop is not installed";
            return;
        }
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        pollfd p{out[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 20000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') number += c;
        close(out[0]);
        if (number.empty()) {
            skipReason = "Xvfb did not start";
            return;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "test_app_x11";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }

    void TearDown() override {
        delete app_;
        app_ = nullptr;
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kServer = ::testing::AddGlobalTestEnvironment(new XServer);

// _NET_WM_NAME and WM_NAME of a window as xprop prints them.
std::pair<QString, QString> ServerTitles(QWidget* w) {
    QProcess xprop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xprop.setProcessEnvironment(env);
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("-notype"),
                                          QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME")});
    xprop.waitForFinished(10000);
    std::pair<QString, QString> titles;
    for (const QString& line : QString::fromUtf8(xprop.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QStringLiteral(" = \""));
        if (eq < 0 || !line.endsWith(QLatin1Char('"'))) continue;
        const QString value = line.mid(eq + 4, line.size() - eq - 5);
        if (line.startsWith(QLatin1String("_NET_WM_NAME"))) titles.first = value;
        if (line.startsWith(QLatin1String("WM_NAME"))) titles.second = value;
    }
    return titles;
}

// The server's titles must read exactly as the window's own: nothing appended.
void ExpectShownAsTitled(QWidget* w) {
    ASSERT_FALSE(w->windowTitle().isEmpty()) << w->metaObject()->className();
    std::pair<QString, QString> titles;
    for (int i = 0; i < 50 && titles.first != w->windowTitle(); ++i) {  // until the title reached the server
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        titles = ServerTitles(w);
    }
    EXPECT_EQ(titles.first.toStdString(), w->windowTitle().toStdString()) << "_NET_WM_NAME";
    EXPECT_EQ(titles.second.toStdString(), w->windowTitle().toStdString()) << "WM_NAME";
}

TEST(WindowTitles, EveryWindowIsShownUnderItsOwnTitle) {
    if (!QApplication::instance()) GTEST_SKIP() << XServer::skipReason;
    app::SetUpApplication();
    auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    form->show();
    form->M61Click();  // banner
    form->M69Click();  // details box
    form->Form2->show();
    for (QWidget* w : std::initializer_list<QWidget*>{form.get(), form->Form_InfoBox, form->Form3, form->Form2}) {
        SCOPED_TRACE(w->metaObject()->className());
        ASSERT_TRUE(w->isVisible());
        ExpectShownAsTitled(w);
    }

    // The audio file dialog as the program opens it.
    platform::FileDialogOptions options;
    options.title = u"Audio-Datei wählen";
    options.filter = u"MP3-Audio (*.mp3)|*.mp3";
    options.multiSelect = true;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                seen = true;
                ExpectShownAsTitled(dialog);
                dialog->reject();
            }
    });
    app::QtUserInterface().OpenFiles(options);
    EXPECT_TRUE(seen);
}

}  // namespace
