#include "ui/windowquestions.h"

#include "app/appstate.h"
#include "ui/outcomedialog.h"
#include "ui/passwordprompt.h"
#include "ui/progressdialog.h"
#include "ui/replaceprompt.h"

bool WindowQuestions::ShowProgress(const std::wstring& title, const std::wstring& message) {
    return ::ShowProgress(title, message);
}

void WindowQuestions::EndProgress() {
    FinishProgress();
}

bool WindowQuestions::AskPassword(std::string& password) {
    return PromptPassword(password);
}

ReplaceAnswer WindowQuestions::AskReplace(const ReplaceQuestion& question) {
    return ::AskReplace(question.path, question.entry, question.clash, question.earlierEntry,
                        question.keptName);
}

bool WindowQuestions::AskYesNo(const std::wstring& text) {
    return MessageBoxW(AppState.mainWindow, text.c_str(), L"Varnix File Opener", MB_YESNO) ==
           IDYES;
}

void WindowQuestions::Tell(const std::wstring& text, bool warning) {
    MessageBoxW(AppState.mainWindow, text.c_str(), L"Varnix File Opener",
                MB_OK | (warning ? MB_ICONWARNING : 0));
}

void WindowQuestions::TellOutcome(const JobOutcome& outcome) {
    ShowOutcome(AppState.mainWindow, outcome);
}

void UseWindowQuestions() {
    static WindowQuestions dialogs;
    SetUser(&dialogs);
}
