#pragma once
// Messages to the user and the file and folder choices. The application installs the Qt
// implementation; tests install RecordingUserInterface so nothing waits on a person.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct FileDialogOptions {
    std::u16string title;
    std::u16string filter;      // Windows form: "Play List (*.lst)|*.lst|All Files (*.*)|*.*"
    std::u16string defaultExt;  // ".lst", "*.mp3" ...
    std::u16string initialDir;
    bool multiSelect = false;
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;
    virtual void ShowError(const std::u16string& text) = 0;    // error box
    virtual void ShowMessage(const std::u16string& text) = 0;  // plain message box
    // Empty when cancelled.
    virtual std::vector<std::u16string> OpenFiles(const FileDialogOptions& options) = 0;
    virtual std::optional<std::u16string> SaveFile(const FileDialogOptions& options) = 0;
    virtual std::optional<std::u16string> ChooseFolder(const std::u16string& title,
                                                       const std::u16string& start) = 0;
};

// The one in force; a RecordingUserInterface until the application installs its own.
IUserInterface& UserInterface();
void SetUserInterface(IUserInterface* ui);  // nullptr restores the default recorder

// Records what was shown and answers dialogs from queued answers (cancel when none is queued).
class RecordingUserInterface : public IUserInterface {
public:
    std::vector<std::u16string> errors, messages;
    std::vector<FileDialogOptions> dialogs;  // every file dialog shown, in order
    std::vector<std::u16string> folderStarts;
    std::deque<std::vector<std::u16string>> openAnswers;
    std::deque<std::optional<std::u16string>> saveAnswers;
    std::deque<std::optional<std::u16string>> folderAnswers;

    void ShowError(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text) override;
    std::vector<std::u16string> OpenFiles(const FileDialogOptions& options) override;
    std::optional<std::u16string> SaveFile(const FileDialogOptions& options) override;
    std::optional<std::u16string> ChooseFolder(const std::u16string& title,
                                               const std::u16string& start) override;
};

// Installs a fresh recorder for the lifetime of the object (tests).
class ScopedRecorder {
public:
    ScopedRecorder();
    ~ScopedRecorder();
    RecordingUserInterface* operator->() { return &rec_; }
    RecordingUserInterface& operator*() { return rec_; }

private:
    RecordingUserInterface rec_;
    IUserInterface* previous_;
};

}  // namespace platform
