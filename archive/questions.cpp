#include "archive/questions.h"

#include "archive/progress.h"

#include <windows.h>

#include <atomic>

namespace {

Unattended nobody;
std::atomic<UserQuestions*> installed{nullptr};

} // namespace

bool Unattended::ShowProgress(const std::wstring&, const std::wstring&) {
    while (!progressFinished)
        Sleep(10);
    return true;
}

void Unattended::EndProgress() {
    progressFinished = true;
}

bool Unattended::AskPassword(std::string&) {
    return false;
}

ReplaceAnswer Unattended::AskReplace(const ReplaceQuestion&) {
    return ReplaceAnswer::Cancel;
}

bool Unattended::AskYesNo(const std::wstring&) {
    return false;
}

Answer Unattended::AskYesNoCancel(const std::wstring&) {
    return Answer::Cancel;
}

bool Unattended::AskWhereToSave(const std::wstring&, std::wstring&) {
    return false;
}

void Unattended::Tell(const std::wstring&, bool) {}

void Unattended::TellOutcome(const JobOutcome&) {}

UserQuestions& User() {
    UserQuestions* questions = installed;
    return questions ? *questions : nobody;
}

UserQuestions* SetUser(UserQuestions* questions) {
    return installed.exchange(questions);
}
