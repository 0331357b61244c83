#pragma once

#include <windows.h>

namespace win {

// Base of our windows. The static window procedure binds the object at WM_NCCREATE (from
// the creation parameter) and hands every later message to HandleMessage; messages that
// come before the binding go to DefWindowProc. The binding ends at WM_NCDESTROY.
class Window {
  public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

    // Registers a window class whose procedure dispatches to Window objects.
    static ATOM RegisterClass(HINSTANCE instance, const wchar_t* className, UINT style = 0,
                              HICON icon = nullptr, HBRUSH background = nullptr,
                              HCURSOR cursor = nullptr);

    // Creates the window of a class registered through RegisterClass.
    HWND Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x,
                int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance);

    // The object bound to a window, or null.
    static Window* FromHandle(HWND hwnd);

  protected:
    // One switch per class; whatever it does not handle goes to DefaultMessage.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called at WM_NCDESTROY, after which the object no longer has a window.
    virtual void OnFinalMessage() {}

  private:
    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

} // namespace win
