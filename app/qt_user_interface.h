#pragma once
// Messages and file choices shown with Qt's message boxes and file dialogs.
#include <QString>

#include "platform/user_interface.h"

namespace app {

// "MP3-Audio (*.mp3)|*.mp3|All Files (*.*)|*.*" -> "MP3-Audio (*.mp3);;All Files (*)".
// Patterns come from the part after each bar; "*.*" means every file.
QString ToQtFilter(const QString& windowsFilter);

// ".lst" or "*.mp3" -> "lst" / "mp3".
QString ToDefaultSuffix(const QString& defaultExt);

class QtUserInterface : public platform::IUserInterface {
public:
    void ShowError(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text) override;
    std::vector<std::u16string> OpenFiles(const platform::FileDialogOptions& options) override;
    std::optional<std::u16string> SaveFile(const platform::FileDialogOptions& options) override;
    std::optional<std::u16string> ChooseFolder(const std::u16string& title,
                                               const std::u16string& start) override;
};

}  // namespace app
