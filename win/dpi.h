#pragma once

#include <windows.h>

namespace win {

// The DPI that 100 % display scale has: every layout figure of the program is written for it.
const int defaultDpi = 96;

// The DPI a window is laid out for: its monitor's under per-monitor awareness
// (GetDpiForWindow, Windows 10 1607 and later), else the screen's.
int DpiOfWindow(HWND window);
// The screen's DPI (LOGPIXELSY), which Windows before 10 uses for every window.
int SystemDpi();

// A length in 96-DPI pixels at `dpi`, and back; rounded to the nearest pixel.
inline int ScaleToDpi(int value, int dpi) {
    return MulDiv(value, dpi, defaultDpi);
}
inline int UnscaleFromDpi(int value, int dpi) {
    return dpi > 0 ? MulDiv(value, defaultDpi, dpi) : value;
}

// A system metric (an icon's width, say) at `dpi`: GetSystemMetricsForDpi where the
// system has it, else the metric at the system's DPI scaled to `dpi`.
int SystemMetricForDpi(int index, int dpi);

// A copy of `font` whose height is scaled from `fromDpi` to `toDpi`; null when `font` is
// null. The caller owns it.
HFONT ScaledFont(HFONT font, int fromDpi, int toDpi);

// Stops a dialog made from a template from rescaling its font and controls by itself on a
// DPI change (Windows 10 1703 and later do that for per-monitor aware programs), for a
// dialog whose owner lays it out again itself. Nothing where the system lacks it.
void KeepDialogFromRescaling(HWND dialog);

} // namespace win
