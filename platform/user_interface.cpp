#include "platform/user_interface.h"

#include <atomic>

namespace platform {

namespace {

RecordingUserInterface& DefaultRecorder() {
    static RecordingUserInterface recorder;
    return recorder;
}

std::atomic<IUserInterface*> current{nullptr};

IUserInterface& InForce() {
    IUserInterface* ui = current.load();
    return ui ? *ui : DefaultRecorder();
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

void SetUserInterface(IUserInterface* ui) {
    current.store(ui);
}

void RecordingUserInterface::ShowError(const std::u16string& text) {
    errors.push_back(text);
    if (whileOpen) whileOpen(text);
}

void RecordingUserInterface::ShowMessage(const std::u16string& text) {
    messages.push_back(text);
    if (whileOpen) whileOpen(text);
}

std::vector<std::u16string> RecordingUserInterface::OpenFiles(const FileDialogOptions& options) {
    dialogs.push_back(options);
    if (openAnswers.empty()) {
        return {};
    }
    auto answer = std::move(openAnswers.front());
    openAnswers.pop_front();
    return answer;
}

std::optional<std::u16string> RecordingUserInterface::SaveFile(const FileDialogOptions& options) {
    dialogs.push_back(options);
    if (saveAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = std::move(saveAnswers.front());
    saveAnswers.pop_front();
    return answer;
}

std::optional<std::u16string> RecordingUserInterface::ChooseFolder(const std::u16string& /*title*/,
                                                                   const std::u16string& start) {
    folderStarts.push_back(start);
    if (folderAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = std::move(folderAnswers.front());
    folderAnswers.pop_front();
    return answer;
}

ScopedRecorder::ScopedRecorder() : previous_(current.load()) {
    SetUserInterface(&rec_);
}

ScopedRecorder::~ScopedRecorder() {
    SetUserInterface(previous_);
}

}  // namespace platform
