#pragma once
// A user interface for tests: records every message and dialog and answers from queued answers.
#include <deque>
#include <functional>

#include "platform/user_interface.h"

namespace platform {

// Records what was shown and answers dialogs from queued answers (cancel when none is queued).
class RecordingUserInterface : public IUserInterface {
public:
    std::vector<std::u16string> errors, messages;
    std::vector<FileDialogOptions> dialogs;  // every file dialog shown, in order
    std::vector<std::u16string> folderStarts;
    std::deque<std::vector<std::u16string>> openAnswers;
    std::deque<std::optional<std::u16string>> saveAnswers;
    std::deque<std::optional<std::u16string>> folderAnswers;
    std::vector<std::u16string> questions;  // the text of every question asked
    std::deque<int> chooseAnswers;          // -1 when none is queued
    // Runs while a message box "is open" (inside ShowError and ShowMessage, after recording), to
    // act out what happens meanwhile, such as timer ticks while the user has not yet answered.
    std::function<void(const std::u16string&)> whileOpen;

    void ShowError(const std::u16string& text) override;
    void ShowMessage(const std::u16string& text) override;
    std::vector<std::u16string> OpenFiles(const FileDialogOptions& options) override;
    std::optional<std::u16string> SaveFile(const FileDialogOptions& options) override;
    std::optional<std::u16string> ChooseFolder(const std::u16string& title,
                                               const std::u16string& start) override;
    int Choose(const std::u16string& title, const std::u16string& text,
               const std::vector<std::u16string>& buttons) override;
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
