#pragma once

#include "archive/outcome.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Archiver;

// What the runs of one add or delete operation share: the password that answers the
// tool's prompt, and whether the user may still be asked for one.
struct ConsoleSession {
    explicit ConsoleSession(Archiver& owner) : archiver(owner) {}
    ~ConsoleSession() { ForgetPassword(); }
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    void SetPassword(const std::string& utf8) {
        password = utf8;
        passwordKnown = true;
    }
    void ForgetPassword() {
        SecureZeroMemory(&password[0], password.size());
        password.clear();
        passwordKnown = false;
    }

    Archiver& archiver;   // mode, replaceAll and hInput_wr of the running job
    std::string password; // UTF-8
    bool passwordKnown = false;
    // The user declined the password prompt: the operation starts no further runs.
    bool passwordDeclined = false;
    // Set from another thread to stop the running tool (the progress dialog's Cancel).
    const std::atomic<int32_t>* cancelled = nullptr;
    // The last run was stopped before the tool ended.
    bool stopped = false;
    // The last run's exit code: 0 done, 1 done with warnings, 2 and above failed.
    DWORD exitCode = 0;
    // What the tool said about its errors, UTF-8, one line each.
    std::string errorText;
    // The tool said it had finished with no fault ("Everything is Ok"), or with warnings.
    bool finishedOk = false;
    bool warned = false;
    // The files the tool left out, each with its reason: "C:\\data\\a.txt : The process
    // cannot access the file because it is being used by another process." (UTF-8).
    std::vector<std::string> skipped;

    // How the last run ended, judged by the tool's exit code and its own closing words
    // together: an exit code of 0 without "Everything is Ok" is a tool that was stopped
    // from outside (Wine gives a killed process that code), never a success.
    JobEnd RunEnd() const;
    // The last run failed, and not because the user stopped it or declined the password.
    bool RunFailed() const { return RunEnd() == JobEnd::Failure; }
    // The user-facing account of a failed run.
    std::wstring FailureMessage() const;
    // The files the last run left out, as "path: reason" lines for the user.
    std::vector<FaultyEntry> SkippedFiles() const;
};
