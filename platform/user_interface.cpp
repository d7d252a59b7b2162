#include "platform/user_interface.h"

#include <atomic>

namespace platform {

namespace {

RecordingUserInterface& DefaultRecorder() {
    static RecordingUserInterface recorder;
    return recorder;
}

std::atomic<IUserInterface*> current{nullptr};

}  // namespace

IUserInterface& UserInterface() {
    IUserInterface* ui = current.load();
    return ui ? *ui : DefaultRecorder();
}

void SetUserInterface(IUserInterface* ui) {
    current.store(ui);
}

void RecordingUserInterface::ShowError(const std::u16string& text) {
    errors.push_back(text);
}

void RecordingUserInterface::ShowMessage(const std::u16string& text) {
    messages.push_back(text);
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
