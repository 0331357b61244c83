#pragma once

#include "ui/varnixview.h"
#include "win/messageloop.h"
#include "win/window.h"

#include <windows.h>

#include <commctrl.h>

// The program's main window: a rebar with the toolbar (Add, Extract, Delete, Test), the
// browser view as its client, and a status bar. It restores and records its placement,
// translates the keyboard accelerators and hands the commands to the view.
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
};
