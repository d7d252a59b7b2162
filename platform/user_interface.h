#pragma once
// Messages to the user and the file and folder choices. The application installs the Qt
// implementation; tests install a recorder (tests/support) so nothing waits on a person.
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
    // A question answered with one of `buttons` (the first is the default); the index chosen,
    // -1 when it was closed without an answer or nobody can be asked.
    virtual int Choose(const std::u16string& title, const std::u16string& text,
                       const std::vector<std::u16string>& buttons) {
        (void)title, (void)text, (void)buttons;
        return -1;
    }
};

// The one in force; until the application installs its own, a silent one that shows nothing
// and cancels every choice. While a
// DeferredMessages lives on the calling thread, its message boxes are kept instead of shown.
IUserInterface& UserInterface();
// nullptr restores the silent default; returns the one installed before (nullptr for the default).
IUserInterface* SetUserInterface(IUserInterface* ui);

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

}  // namespace platform
