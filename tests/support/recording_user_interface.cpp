// The recording user interface of the tests.
#include "tests/support/recording_user_interface.h"

namespace platform {

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

int RecordingUserInterface::Choose(const std::u16string& /*title*/, const std::u16string& text,
                                   const std::vector<std::u16string>& /*buttons*/) {
    questions.push_back(text);
    if (chooseAnswers.empty()) return -1;
    const int answer = chooseAnswers.front();
    chooseAnswers.pop_front();
    return answer;
}

ScopedRecorder::ScopedRecorder() : previous_(SetUserInterface(&rec_)) {}

ScopedRecorder::~ScopedRecorder() {
    SetUserInterface(previous_);
}

}  // namespace platform
