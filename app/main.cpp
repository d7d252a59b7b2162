// Program entry: the toolkit, the four windows, the event loop.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "platform/user_interface.h"
#include "playback/audio_deck.h"
#include "tags/MP3Error.h"

namespace {

int quitPipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);  // all a signal handler may do
}

// SIGTERM and SIGINT (unless the shell ignores it) close the main window, as its close box does.
void CloseOnQuitSignals(QWidget* mainWindow) {
    if (pipe(quitPipe) != 0) return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [mainWindow] { mainWindow->close(); });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction previous {};
    if (sigaction(SIGINT, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
    // The decks' sound library would otherwise take SIGTERM and SIGINT for its own event queue,
    // which nobody reads, and the program would no longer end on them.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    QApplication application(argc, argv);
    app::SetUpApplication();
    app::QtUserInterface userInterface;
    platform::SetUserInterface(&userInterface);
    // The tag readers never raise; their unexpected errors come here to be shown.
    tags::SetErrorHandler([](const std::u16string&, const std::u16string& text) {
        platform::UserInterface().ShowError(text);
    });

    int result = 0;
    {
        std::unique_ptr<app::TForm1> form1 = app::CreateWindows();
        app::TForm1* f = form1.get();
        // Without a sound device the decks play silently; the DJ is told once.
        playback::SetAudioNoticeHandler([f](const QString& notice) {
            f->AddLog(notice);
            f->SetStatusPanel(1, notice);
        });
        CloseOnQuitSignals(f);
        form1->show();
        result = QApplication::exec();
        playback::SetAudioNoticeHandler(nullptr);
    }
    tags::SetErrorHandler(nullptr);
    platform::SetUserInterface(nullptr);
    return result;
}
