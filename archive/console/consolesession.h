#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

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

    // The last run failed, and not because the user stopped it or declined the password.
    bool RunFailed() const { return !stopped && !passwordDeclined && exitCode >= 2; }
    // The user-facing account of a failed run.
    std::wstring FailureMessage() const;
};
