#include "ui/folderwatch.h"

#include "shell/paths.h"

FolderWatch::~FolderWatch() {
    Stop();
}

void FolderWatch::Start(const std::vector<std::wstring>& folders, HWND window, UINT message) {
    if (thread_ && folders == folders_)
        return;
    Stop();
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop)
        return;
    waits_.push_back(stop);
    const size_t first = folders.size() > most ? folders.size() - most : 0;
    for (size_t i = first; i < folders.size(); ++i) {
        HANDLE change = FindFirstChangeNotificationW(
            LongPathForm(folders[i]).c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
        if (change != INVALID_HANDLE_VALUE)
            waits_.push_back(change);
    }
    folders_ = folders;
    window_ = window;
    message_ = message;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    if (!thread_)
        Stop();
}

void FolderWatch::Stop() {
    if (thread_) {
        SetEvent(waits_.front());
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    // A folder is held open while watched: closed before it may be removed.
    for (size_t i = 0; i < waits_.size(); ++i) {
        if (i == 0)
            CloseHandle(waits_[i]);
        else
            FindCloseChangeNotification(waits_[i]);
    }
    waits_.clear();
    folders_.clear();
}

DWORD WINAPI FolderWatch::Run(void* parameter) {
    auto watch = static_cast<FolderWatch*>(parameter);
    const DWORD count = static_cast<DWORD>(watch->waits_.size());
    while (true) {
        DWORD woken = WaitForMultipleObjects(count, watch->waits_.data(), FALSE, INFINITE);
        if (woken <= WAIT_OBJECT_0 || woken >= WAIT_OBJECT_0 + count)
            break; // stopped, or the wait failed
        PostMessageW(watch->window_, watch->message_, 0, 0);
        if (!FindNextChangeNotification(watch->waits_[woken - WAIT_OBJECT_0]))
            break;
    }
    return 0;
}
