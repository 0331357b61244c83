#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/outcome.h"

#include <string>

// What the user answers when an extraction finds a file where an entry is to go.
enum class ReplaceAnswer {
    Replace,    // this file
    ReplaceAll, // and every other one of this extraction, without asking
    Skip,       // keep the file, leave the entry out
    SkipAll,
    KeepBoth, // the entry goes beside the file under a numbered name
    Cancel,   // stop the extraction
};

// The answer to a question with Yes, No and Cancel.
enum class Answer { Yes, No, Cancel };

// The one way the archive layer speaks with the user: it asks, it tells, and it shows a
// job's progress. The window layer answers with dialogs (ui/windowquestions.h); a test
// answers with a fake of its own, so that the jobs are tried without a window.
class UserQuestions {
  public:
    virtual ~UserQuestions() = default;

    // Shows the progress of a job that runs on another thread until the job calls
    // EndProgress (or has called it already). False when the user cancelled: the caller
    // then tells the job to stop and waits for it.
    virtual bool ShowProgress(const std::wstring& title, const std::wstring& message) = 0;
    // The job's last step, from its own thread.
    virtual void EndProgress() = 0;

    // A password (UTF-8); false when the user declined, `password` then left as it was.
    virtual bool AskPassword(std::string& password) = 0;
    // Whether the file at question.path is to be replaced by the entry question.entry.
    virtual ReplaceAnswer AskReplace(const ReplaceQuestion& question) = 0;
    // A question that the user answers with Yes or No.
    virtual bool AskYesNo(const std::wstring& text) = 0;
    // The same with Cancel beside them.
    virtual Answer AskYesNoCancel(const std::wstring& text) = 0;
    // Where to save a file named `name`: false when the user declined.
    virtual bool AskWhereToSave(const std::wstring& name, std::wstring& path) = 0;

    // A message that the user reads and closes; `warning` gives it the warning's look.
    virtual void Tell(const std::wstring& text, bool warning = false) = 0;
    // How a job ended, with the entries it concerns.
    virtual void TellOutcome(const JobOutcome& outcome) = 0;
};

// No one to ask: every question is declined (Cancel, No, no password), nothing is told,
// and the progress is waited out. Where a process has installed nothing else, and the
// base of a test's fake.
class Unattended : public UserQuestions {
  public:
    bool ShowProgress(const std::wstring& title, const std::wstring& message) override;
    void EndProgress() override;
    bool AskPassword(std::string& password) override;
    ReplaceAnswer AskReplace(const ReplaceQuestion& question) override;
    bool AskYesNo(const std::wstring& text) override;
    Answer AskYesNoCancel(const std::wstring& text) override;
    bool AskWhereToSave(const std::wstring& name, std::wstring& path) override;
    void Tell(const std::wstring& text, bool warning) override;
    void TellOutcome(const JobOutcome& outcome) override;
};

// The user's side that the archive layer speaks with.
UserQuestions& User();
// Puts `questions` in that place (null: Unattended) and returns the one it had. The window
// layer installs its own when the program starts; a test installs its fake for a while.
UserQuestions* SetUser(UserQuestions* questions);
