#pragma once

#include <windows.h>

#include <string>

namespace win {

// Puts text on the clipboard. Another program may hold the clipboard for a moment (a
// clipboard manager, a remote desktop reading it), so opening it is tried again for a
// short while before giving up. Returns whether the text is there.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

} // namespace win
