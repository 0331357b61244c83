#include "archive/progress.h"

#include <mutex>

std::atomic<uint64_t> progressTotal{0};
std::atomic<uint64_t> progressCompleted{0};
std::atomic<bool> progressFinished{false};
std::atomic<uint64_t> progressBytesTotal{0};
std::atomic<uint64_t> progressBytesDone{0};

static std::mutex fileLock;
static std::wstring fileShown;
static std::wstring endingShown;

void SetProgressFile(const std::wstring& name) {
    std::lock_guard<std::mutex> hold(fileLock);
    fileShown = name;
}

std::wstring ProgressFile() {
    std::lock_guard<std::mutex> hold(fileLock);
    return fileShown;
}

void SetProgressEnding(const std::wstring& text) {
    std::lock_guard<std::mutex> hold(fileLock);
    endingShown = text;
}

std::wstring ProgressEnding() {
    std::lock_guard<std::mutex> hold(fileLock);
    return endingShown;
}

void ResetProgress() {
    progressTotal = 0;
    progressCompleted = 0;
    progressFinished = false;
    progressBytesTotal = 0;
    progressBytesDone = 0;
    SetProgressFile(std::wstring());
    SetProgressEnding(std::wstring());
}
