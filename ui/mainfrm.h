#pragma once

#include "ui/varnixview.h"
#include "win/dpi.h"
#include "win/handle.h"
#include "win/messageloop.h"
#include "win/window.h"

#include <windows.h>

#include <commctrl.h>

// The program's main window: a rebar with the toolbar (Add, Extract, Delete, Test), the
// browser view as its client, and a status bar. It restores and records its placement,
// translates the keyboard accelerators and hands the commands to the view. It lays itself
// out for the display scale of its monitor, and again when it moves to another.
class CMainFrame : public win::Window, public win::MessageFilter, public win::IdleHandler {
  public:
    explicit CMainFrame(win::MessageLoop& loop);
    ~CMainFrame() override;

    // Makes the window at the system's default place; null when it cannot be made.
    HWND CreateFrame();

    bool PreTranslateMessage(MSG& message) override;
    void OnIdle() override;

    CVarnixView& view() { return view_; }
    HWND toolbar() const { return toolbar_; }
    HWND rebar() const { return rebar_; }
    HWND statusBar() const { return statusBar_; }

    static const wchar_t className[];

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    LRESULT OnCreate();
    void OnDestroy();
    void OnCommand(int id);
    LRESULT OnNotify(NMHDR& header);
    void CreateToolbar();
    void CreateRebar();
    // WM_DPICHANGED: `suggested` is the window's rectangle on the new display, as the system
    // proposes it; null keeps the window where it is.
    void OnDpiChanged(int dpi, const RECT* suggested);
    // The fonts, icons and toolbar images of the current scale.
    void ApplyDpi();
    void LoadToolbarImages();
    void FitToolbarBand();
    int Scale(int value) const { return win::ScaleToDpi(value, dpi_); }
    void Layout();
    void ToggleToolbar();
    void ToggleStatusBar();

    win::MessageLoop& loop_;
    CVarnixView view_;
    HWND toolbar_ = nullptr;
    HWND rebar_ = nullptr;
    HWND statusBar_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HIMAGELIST images_ = nullptr;
    bool layingOut_ = false;
    // The saved copies of opened entries are being asked about.
    bool checkingEdits_ = false;
    int dpi_ = win::defaultDpi;
    // The bars' own fonts, which the system made at its DPI, and their copies at the
    // window's scale.
    HFONT toolbarFont_ = nullptr;
    HFONT statusFont_ = nullptr;
    win::GdiObject<HFONT> scaledToolbarFont_;
    win::GdiObject<HFONT> scaledStatusFont_;
    win::Icon smallIcon_;
    win::Icon bigIcon_;
};
