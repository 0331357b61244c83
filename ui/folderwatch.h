#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Watches folders from a thread of its own, and posts a message to a window at each change
// in one of them (a file written, made, renamed or deleted). The window looks at what
// changed itself: the message only says that something may have. Each folder is watched
// alone, without its subfolders.
class FolderWatch {
  public:
    // The most folders watched at once; the newest are the ones watched.
    static const size_t most = MAXIMUM_WAIT_OBJECTS - 1;

    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches `folders`, posting `message` to `window`; the watch of others ends. Folders
    // the system refuses to watch are left out.
    void Start(const std::vector<std::wstring>& folders, HWND window, UINT message);
    void Stop();

  private:
    static DWORD WINAPI Run(void* parameter);

    std::vector<std::wstring> folders_;
    HWND window_ = nullptr;
    UINT message_ = 0;
    // The stop event first, then one change handle per folder.
    std::vector<HANDLE> waits_;
    HANDLE thread_ = nullptr;
};
