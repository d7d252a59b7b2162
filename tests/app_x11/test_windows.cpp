// The program as a person meets it on an X server: the titles it shows, how the mode panel draws
// its controls, and its end on SIGTERM. Its own program, on the xcb platform; skips without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <csignal>

#include "app/main_window.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/test_deck.h"
#include "ui/Dlg_Details.h"
#include "ui/info_box.h"

// Allocations that system libraries keep until exit; on X the desktop bus is one of them.
constexpr const char* kSystemLeaks = "leak:libfontconfig.so\nleak:libdbus-1.so\n";
extern "C" const char* __lsan_default_suppressions() { return kSystemLeaks; }

namespace {

class WindowsAsShown : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool ready = [] {
            if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xprop").isEmpty())
                return false;
            qputenv("QT_QPA_PLATFORM", "xcb");
            qputenv("SDL_AUDIODRIVER", "dummy");
            static int argc = 1;
            static char name[] = "test_app_x11";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);  // lives until the end, as in the program
            app::SetUpApplication();
            return true;
        }();
        if (!ready) GTEST_SKIP() << "no X display or no xprop";
        form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
        form->show();
        QApplication::processEvents();
    }
    platform::ScopedRecorder recorder;
    std::unique_ptr<app::TForm1> form;
};

// The title the X server holds for a window (_NET_WM_NAME, which window managers show).
QString ServerTitle(QWidget* w) {
    QProcess xprop;
    xprop.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("LC_ALL=C.UTF-8"));
    xprop.start(QStringLiteral("xprop"), {"-id", QString::number(w->winId()), "-notype", "_NET_WM_NAME"});
    xprop.waitForFinished(10000);
    QString title = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed().section(QStringLiteral(" = \""), 1);
    title.chop(1);  // the closing quote
    return title;
}

void ExpectShownAsTitled(QWidget* w) {
    ASSERT_FALSE(w->windowTitle().isEmpty()) << w->metaObject()->className();
    QString shown;
    for (int i = 0; i < 50 && shown != w->windowTitle(); ++i) {  // until the title reached the server
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        shown = ServerTitle(w);
    }
    EXPECT_EQ(shown.toStdString(), w->windowTitle().toStdString()) << w->metaObject()->className();
}

TEST_F(WindowsAsShown, EveryWindowUnderItsOwnTitle) {
    form->M61Click();  // banner
    form->M69Click();  // details box
    form->Form2->show();
    for (QWidget* w : std::initializer_list<QWidget*>{form.get(), form->Form_InfoBox, form->Form3, form->Form2})
        ExpectShownAsTitled(w);
}

QImage Shot(QWidget* w) { return w->grab().toImage(); }

// The same control drawn without any emphasis: kind, text, font, check and enabled state alike.
QImage PlainShot(QAbstractButton* c) {
    std::unique_ptr<QAbstractButton> plain(qobject_cast<QCheckBox*>(c) ? static_cast<QAbstractButton*>(new QCheckBox)
                                                                        : new QRadioButton);
    plain->setParent(c->parentWidget());
    plain->setText(c->text());
    plain->setAutoExclusive(false);
    plain->setChecked(c->isChecked());
    plain->setFont(c->font());
    plain->setEnabled(c->isEnabled());
    plain->resize(c->size());
    return Shot(plain.get());
}

TEST_F(WindowsAsShown, DisabledModeControlsLookDisabledEnabledOnesEmphasised) {
    const std::vector<QAbstractButton*> controls = {
        form->CheckBox_block_latest, form->RadioButton_finish,     form->RadioButton_restart,
        form->CheckBox_guest_use,    form->RadioButton_web_first,  form->RadioButton_web_mix_preselect,
        form->CheckBox_preset_use,   form->RadioButton_preset_1by1, form->RadioButton_preset_random};
    const auto expectDisabledPlain = [&](const char* when) {
        for (QAbstractButton* c : controls) {
            if (c->isEnabled()) continue;
            EXPECT_TRUE(Shot(c) == PlainShot(c)) << when << ": " << c->text().toStdString();
        }
    };
    for (QAbstractButton* c : controls) ASSERT_FALSE(c->isEnabled());
    expectDisabledPlain("at start");

    tracks::TrackRow row;
    row.FileName = QStringLiteral("/m/a.mp3");
    for (tracks::TListView* list : {form->ListView_soon, form->ListView_Guest, form->ListView_preselect})
        list->AppendRow(row);
    form->pop0Click();  // no list under the menu: the controls follow the lists
    for (QAbstractButton* box : {form->CheckBox_block_latest, form->CheckBox_guest_use, form->CheckBox_preset_use})
        box->click();
    for (QAbstractButton* c : controls) {
        ASSERT_TRUE(c->isEnabled()) << c->text().toStdString();
        // The checked ones coloured, the others plain.
        EXPECT_EQ(Shot(c) == PlainShot(c), !c->isChecked()) << c->text().toStdString();
    }

    // Emptied lists disable the controls again while they stay checked.
    for (tracks::TListView* list : {form->ListView_soon, form->ListView_Guest, form->ListView_preselect})
        list->ClearRows();
    form->pop0Click();  // no list under the menu: the controls follow the lists
    EXPECT_FALSE(form->RadioButton_finish->isEnabled());
    expectDisabledPlain("after the lists were emptied");
}

// Whether a process has a handler for SIGTERM (the SigCgt mask in /proc/<pid>/status).
bool CatchesSigterm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

TEST_F(WindowsAsShown, TheProgramEndsNormallyOnSigterm) {
    QTemporaryFile leaks;  // the program's own leak check knows the same system libraries
    ASSERT_TRUE(leaks.open());
    leaks.write(kSystemLeaks);
    leaks.flush();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":suppressions=" + leaks.fileName());
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QMM_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());
    for (int i = 0; i < 500 && !CatchesSigterm(program.processId()); ++i) QThread::msleep(20);
    ASSERT_TRUE(CatchesSigterm(program.processId())) << "no handler for SIGTERM";
    program.terminate();  // SIGTERM
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
