#include "win/clipboard.h"

#include <cstring>

namespace win {

namespace {

bool OpenClipboardSoon(HWND owner) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboardSoon(owner))
        return false;
    bool copied = false;
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* copy = GlobalLock(memory)) {
            memcpy(copy, text.c_str(), bytes);
            GlobalUnlock(memory);
            copied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!copied)
            GlobalFree(memory);
    }
    CloseClipboard();
    return copied;
}

} // namespace win
