#pragma once

#include <windows.h>

#include <string>

// Lets the user pick the destination of an extraction in the shell's folder browser,
// starting on `initialFolder` (selected and expanded). Without an owner, the active window
// owns the browser. Returns true with the picked folder's path; false when the user
// cancelled or picked something that is not a file-system folder.
bool BrowseForFolder(HWND owner, const std::wstring& initialFolder, std::wstring& folder);
