#include "platform/user_interface.h"

#include <atomic>

namespace platform {

namespace {

// Before the application installs its own: nothing to show on, and nobody to choose a file.
class SilentUserInterface : public IUserInterface {
public:
    void ShowError(const std::u16string&) override {}
    void ShowMessage(const std::u16string&) override {}
    std::vector<std::u16string> OpenFiles(const FileDialogOptions&) override { return {}; }
    std::optional<std::u16string> SaveFile(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::u16string> ChooseFolder(const std::u16string&, const std::u16string&) override {
        return std::nullopt;
    }
};

IUserInterface& Silent() {
    static SilentUserInterface silent;
    return silent;
}

std::atomic<IUserInterface*> current{nullptr};

IUserInterface& InForce() {
    IUserInterface* ui = current.load();
    return ui ? *ui : Silent();
}

thread_local DeferredMessages* deferring = nullptr;
thread_local DeferredMessages::Front* deferringFront = nullptr;

}  // namespace

// Keeps message boxes and passes file dialogs on.
class DeferredMessages::Front : public IUserInterface {
public:
    std::vector<DeferredMessage> kept;

    void ShowError(const std::u16string& text) override { kept.push_back({true, text}); }
    void ShowMessage(const std::u16string& text) override { kept.push_back({false, text}); }
    std::vector<std::u16string> OpenFiles(const FileDialogOptions& options) override {
        return InForce().OpenFiles(options);
    }
    std::optional<std::u16string> SaveFile(const FileDialogOptions& options) override {
        return InForce().SaveFile(options);
    }
    std::optional<std::u16string> ChooseFolder(const std::u16string& title, const std::u16string& start) override {
        return InForce().ChooseFolder(title, start);
    }
    int Choose(const std::u16string& title, const std::u16string& text,
               const std::vector<std::u16string>& buttons) override {
        return InForce().Choose(title, text, buttons);
    }
};

DeferredMessages::DeferredMessages() : front_(std::make_unique<Front>()), outer_(deferring) {
    deferring = this;
    deferringFront = front_.get();
}

DeferredMessages::~DeferredMessages() {
    // Messages nobody took are not lost: an enclosing step gets them, or they are shown now.
    std::vector<DeferredMessage> left = Take();
    deferring = outer_;
    deferringFront = outer_ ? outer_->front_.get() : nullptr;
    for (DeferredMessage& m : left) {
        if (outer_)
            outer_->front_->kept.push_back(std::move(m));
        else
            m.Show();
    }
}

std::vector<DeferredMessage> DeferredMessages::Take() {
    std::vector<DeferredMessage> out;
    out.swap(front_->kept);
    return out;
}

void DeferredMessage::Show() const {
    if (error)
        UserInterface().ShowError(text);
    else
        UserInterface().ShowMessage(text);
}

IUserInterface& UserInterface() {
    if (deferringFront) return *deferringFront;
    return InForce();
}

IUserInterface* SetUserInterface(IUserInterface* ui) {
    return current.exchange(ui);
}

}  // namespace platform
