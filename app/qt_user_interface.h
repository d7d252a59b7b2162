#pragma once
// Messages and file choices shown with Qt's message boxes and file dialogs.
#include <QString>
#include <QStringList>

#include "platform/user_interface.h"

namespace app {

// "MP3-Audio (*.mp3)|*.mp3|All Files (*.*)|*.*" -> "MP3-Audio (*.mp3);;All Files (*)".
// Patterns come from the part after each bar; "*.*" means every file.
QString ToQtFilter(const QString& windowsFilter);

// ".lst" or "*.mp3" -> "lst" / "mp3".
QString ToDefaultSuffix(const QString& defaultExt);

// The names typed into a file dialog's name field: one name, or several in double quotes
// ("a.mp3" "b.wav"). Relative names are taken from `folder`, "~" is the home folder, and a name
// without an extension gets `defaultSuffix`. Whether the files exist is the caller's business.
QStringList TypedFileNames(const QString& text, const QString& folder, const QString& defaultSuffix);

class QtUserInterface : public platform::IUserInterface {
public:
    void ShowError(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text) override;
    std::vector<std::u16string> OpenFiles(const platform::FileDialogOptions& options) override;
    std::optional<std::u16string> SaveFile(const platform::FileDialogOptions& options) override;
    std::optional<std::u16string> ChooseFolder(const std::u16string& title,
                                               const std::u16string& start) override;
    int Choose(const std::u16string& title, const std::u16string& text,
               const std::vector<std::u16string>& buttons) override;
};

}  // namespace app
