#pragma once

#include "archive/questions.h"

// The archive layer's questions answered with the program's dialogs: the progress dialog,
// the password prompt, the replace question and message boxes over the main window.
class WindowQuestions : public UserQuestions {
  public:
    bool ShowProgress(const std::wstring& title, const std::wstring& message) override;
    void EndProgress() override;
    bool AskPassword(std::string& password) override;
    ReplaceAnswer AskReplace(const ReplaceQuestion& question) override;
    bool AskYesNo(const std::wstring& text) override;
    Answer AskYesNoCancel(const std::wstring& text) override;
    // The system's Save As dialog, in the Documents folder.
    bool AskWhereToSave(const std::wstring& name, std::wstring& path) override;
    void Tell(const std::wstring& text, bool warning) override;
    void TellOutcome(const JobOutcome& outcome) override;
};

// Makes the dialogs the user's side for the rest of the process.
void UseWindowQuestions();
