#include "ui/windowquestions.h"

#include "app/appstate.h"
#include "ui/outcomedialog.h"
#include "ui/passwordprompt.h"
#include "ui/progressdialog.h"
#include "ui/replaceprompt.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

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
    return MessageBoxW(AppState.mainWindow, text.c_str(), L"Varnix File Opener", MB_YESNO) == IDYES;
}

Answer WindowQuestions::AskYesNoCancel(const std::wstring& text) {
    int answer = MessageBoxW(AppState.mainWindow, text.c_str(), L"Varnix File Opener",
                             MB_YESNOCANCEL | MB_ICONQUESTION);
    return answer == IDYES ? Answer::Yes : answer == IDNO ? Answer::No : Answer::Cancel;
}

bool WindowQuestions::AskWhereToSave(const std::wstring& name, std::wstring& path) {
    std::vector<wchar_t> file(32768, L'\0');
    name.copy(file.data(), std::min(name.size(), file.size() - 1));
    wchar_t documents[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = AppState.mainWindow;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = documents[0] ? documents : nullptr;
    dialog.lpstrTitle = L"Save a copy of the edited file";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog))
        return false;
    path = file.data();
    return true;
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
