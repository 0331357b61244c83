#include "win/dpi.h"

namespace win {

namespace {

// Functions of newer systems, looked up once in user32: Windows 7 and 8 and some Wine
// versions lack them, and a program that imported them would not start there.
template <typename Function> Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(
                        reinterpret_cast<void (*)()>(GetProcAddress(user32, name)))
                  : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);

const int dialogDisableAll = 1; // DDC_DISABLE_ALL

} // namespace

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : defaultDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : defaultDpi;
}

int DpiOfWindow(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        int dpi = static_cast<int>(getDpiForWindow(window));
        if (dpi > 0)
            return dpi;
    }
    return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    static const auto getSystemMetricsForDpi =
        User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi)
        return getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

HFONT ScaledFont(HFONT font, int fromDpi, int toDpi) {
    LOGFONTW look = {};
    if (!font || !GetObjectW(font, sizeof look, &look))
        return nullptr;
    look.lfHeight = MulDiv(look.lfHeight, toDpi, fromDpi);
    look.lfWidth = MulDiv(look.lfWidth, toDpi, fromDpi);
    return CreateFontIndirectW(&look);
}

void KeepDialogFromRescaling(HWND dialog) {
    static const auto setBehavior =
        User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    if (setBehavior)
        setBehavior(dialog, dialogDisableAll, dialogDisableAll);
}

} // namespace win
