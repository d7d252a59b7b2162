// Program entry: the toolkit, the four windows, the event loop.
#include <QApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QTimer>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/party_keeper.h"
#include "app/qt_user_interface.h"
#include "platform/user_folders.h"
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

constexpr char kUsage[] =
    "Usage: quorbel-media-mixer [--help | --version]\n"
    "\n"
    "Quorbel Media Mixer, a desktop jukebox for parties: two decks play a queue of MP3 and WAV\n"
    "files, each track overlapping the next by a few seconds (both at full volume), and guests on\n"
    "the local network request tracks from a guest pool through pages served on port 7777. It\n"
    "takes no options besides these two; everything else is set in its windows (Settings > Player\n"
    "Mode loads and saves settings files).\n"
    "\n"
    "The language files (lang/) and the default web content (basics/, htdocs/) are looked up\n"
    "beside the program, then in ../share/quorbel-media-mixer/ from its folder. When that folder\n"
    "cannot be written, pages are generated into a per-user copy in\n"
    "$XDG_DATA_HOME/quorbel-media-mixer/ (default ~/.local/share/quorbel-media-mixer/). The party\n"
    "(lists, settings, language) is saved there at every change and offered at the next start.\n"
    "\n"
    "Environment:\n"
    "  SDL_AUDIODRIVER    sound output: pulseaudio, pipewire, alsa, ...; dummy plays silently;\n"
    "                     disk writes the mix to SDL_DISKAUDIOFILE (16-bit stereo 44.1 kHz)\n"
    "  XDG_DATA_HOME      where the per-user web content and the saved party go\n"
    "  QT_QPA_PLATFORM    the window system (xcb, wayland, offscreen)\n"
    "  QMM_WEB_PORT       the guests' server port instead of 7777\n";

// Answers --help and --version before any window system is needed; -1 means start the program.
int AnswerCommandLine(int argc, char* argv[]) {
    const char* answer = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--version") == 0) {
            if (!answer) answer = arg;
            continue;
        }
        std::fprintf(stderr, "quorbel-media-mixer: unknown %s '%s'\nTry 'quorbel-media-mixer --help'.\n",
                     arg[0] == '-' ? "option" : "argument", arg);
        return 2;
    }
    if (!answer) return -1;
    if (std::strcmp(answer, "--version") == 0) std::puts("Quorbel Media Mixer " QMM_VERSION);
    else std::fputs(kUsage, stdout);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const int answered = AnswerCommandLine(argc, argv); answered >= 0) return answered;
    QApplication application(argc, argv);
    app::SetUpApplication();
    app::QtUserInterface userInterface;
    platform::SetUserInterface(&userInterface);
    // The tag readers never raise; their unexpected errors come here to be shown. The loudness
    // analyser reads tags on its own thread: a box opens on this one only.
    tags::SetErrorHandler([](const std::u16string&, const std::u16string& text) {
        if (QThread::currentThread() == qApp->thread()) {
            platform::UserInterface().ShowError(text);
            return;
        }
        QMetaObject::invokeMethod(qApp, [text] { platform::UserInterface().ShowError(text); }, Qt::QueuedConnection);
    });
    const bool catching = CatchQuitSignals();

    int result = 0;
    {
        std::unique_ptr<app::TForm1> form1 = app::CreateWindows();
        app::TForm1* f = form1.get();
        // QMM_WEB_PORT moves the guests' server off 7777, so a test or a second copy runs beside a party.
        const int port = qEnvironmentVariableIntValue("QMM_WEB_PORT");
        if (port > 0 && port < 65536) f->Party().SetWebPort(quint16(port));
        // Without a sound device the decks play silently; the DJ is told once.
        playback::SetAudioNoticeHandler([f](const QString& notice) { f->Party().Notice(notice); });
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
        // The night is kept in the user's data folder; a night the last run left is offered.
        // The question waits inside the event loop, so that SIGTERM ends the program there too.
        app::PartyKeeper keeper(*f, platform::UserDataFolder());
        QTimer::singleShot(0, f, [&keeper] { keeper.Start(); });
        f->ConnectDesktop(QDBusConnection::sessionBus());
        result = QApplication::exec();
        keeper.Flush();
        playback::SetAudioNoticeHandler(nullptr);
    }
    tags::SetErrorHandler(nullptr);
    platform::SetUserInterface(nullptr);
    return result;
}
