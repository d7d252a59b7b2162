// Program entry: the toolkit, the four windows, the event loop.
#include <QApplication>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "platform/user_interface.h"
#include "playback/audio_deck.h"
#include "tags/MP3Error.h"

int main(int argc, char* argv[]) {
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
        form1->show();
        result = QApplication::exec();
        playback::SetAudioNoticeHandler(nullptr);
    }
    tags::SetErrorHandler(nullptr);
    platform::SetUserInterface(nullptr);
    return result;
}
