#pragma once
// Messages to the user and the file and folder choices. The application installs the Qt
// implementation; tests install RecordingUserInterface so nothing waits on a person.
#include <deque>
#include <functional>
#include <memory>
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

// The one in force; a RecordingUserInterface until the application installs its own. While a
// DeferredMessages lives on the calling thread, its message boxes are kept instead of shown.
IUserInterface& UserInterface();
void SetUserInterface(IUserInterface* ui);  // nullptr restores the default recorder

// A message box kept for later: shown, when its time comes, through the user interface then in
// force.
struct DeferredMessage {
    bool error = false;  // an error box, else a plain message box
    std::u16string text;
    void Show() const;
    bool operator==(const DeferredMessage&) const = default;
};

// A timer step must not wait for the user: a message box opened inside it would hold its timer
// (the toolkit does not fire a timer again while its handler runs), and the unattended queue would
// stop. While one of these lives, messages are kept; the step takes them at its end and has them
// shown from the event loop. File dialogs are not kept (they need an answer at once).
class DeferredMessages {
public:
    DeferredMessages();
    ~DeferredMessages();
    DeferredMessages(const DeferredMessages&) = delete;
    DeferredMessages& operator=(const DeferredMessages&) = delete;
    std::vector<DeferredMessage> Take();

    class Front;

private:
    std::unique_ptr<Front> front_;
    DeferredMessages* outer_;
};

// Records what was shown and answers dialogs from queued answers (cancel when none is queued).
class RecordingUserInterface : public IUserInterface {
public:
    std::vector<std::u16string> errors, messages;
    std::vector<FileDialogOptions> dialogs;  // every file dialog shown, in order
    std::vector<std::u16string> folderStarts;
    std::deque<std::vector<std::u16string>> openAnswers;
    std::deque<std::optional<std::u16string>> saveAnswers;
    std::deque<std::optional<std::u16string>> folderAnswers;
    // Runs while a message box "is open" (inside ShowError and ShowMessage, after recording), to
    // act out what happens meanwhile, such as timer ticks while the user has not yet answered.
    std::function<void(const std::u16string&)> whileOpen;

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
