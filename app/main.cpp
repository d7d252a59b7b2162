// Program entry: the toolkit, the four windows, the event loop.
#include <QApplication>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "platform/user_interface.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(app::kTitle));
    app::QtUserInterface userInterface;
    platform::SetUserInterface(&userInterface);

    int result = 0;
    {
        std::unique_ptr<app::TForm1> form1 = app::CreateWindows();
        form1->show();
        result = QApplication::exec();
    }
    platform::SetUserInterface(nullptr);
    return result;
}
