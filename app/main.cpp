// Program entry: the toolkit, the four windows, the event loop.
#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "platform/user_interface.h"
#include "playback/audio_deck.h"
#include "tags/MP3Error.h"

namespace {

// SIGTERM and SIGINT only write a byte here; the event loop reads it and closes the program as
// its close box does. Nothing else is safe inside a signal handler.
int quitPipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const char byte = 1;
    const ssize_t written = write(quitPipe[1], &byte, 1);
    (void)written;  // a full pipe means a quit is already pending
}

bool CatchQuitSignals() {
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    app::SetUpApplication();
    app::QtUserInterface userInterface;
    platform::SetUserInterface(&userInterface);
    // The tag readers never raise; their unexpected errors come here to be shown.
    tags::SetErrorHandler([](const std::u16string&, const std::u16string& text) {
        platform::UserInterface().ShowError(text);
    });
    const bool catching = CatchQuitSignals();

    int result = 0;
    {
        std::unique_ptr<app::TForm1> form1 = app::CreateWindows();
        app::TForm1* f = form1.get();
        // QMM_WEB_PORT moves the guests' server off 7777, so a test or a second copy runs beside a party.
        const int port = qEnvironmentVariableIntValue("QMM_WEB_PORT");
        if (port > 0 && port < 65536) f->WebPort = quint16(port);
        // Without a sound device the decks play silently; the DJ is told once.
        playback::SetAudioNoticeHandler([f](const QString& notice) {
            f->AddLog(notice);
            f->SetStatusPanel(1, notice);
        });
        std::unique_ptr<QSocketNotifier> quitNotifier;
        if (catching) {
            quitNotifier = std::make_unique<QSocketNotifier>(quitPipe[0], QSocketNotifier::Read);
            QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, f, [f] {
                char bytes[16];
                while (read(quitPipe[0], bytes, sizeof bytes) > 0) {
                }
                f->close();
                // Also when another window (the banner) is still shown, or a message box waits.
                QApplication::quit();
            });
        }
        form1->show();
        result = QApplication::exec();
        playback::SetAudioNoticeHandler(nullptr);
    }
    tags::SetErrorHandler(nullptr);
    platform::SetUserInterface(nullptr);
    return result;
}
