#include "win/window.h"

namespace win {

Window::~Window() {
    // A window that outlives its object must not reach it any more.
    if (hwnd_)
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
}

ATOM Window::RegisterClass(HINSTANCE instance, const wchar_t* className, UINT style, HICON icon,
                           HBRUSH background, HCURSOR cursor) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass);
}

HWND Window::Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                    int x, int y, int width, int height, HWND parent, HMENU menu,
                    HINSTANCE instance) {
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu,
                           instance, this);
}

Window* Window::FromHandle(HWND hwnd) {
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultMessage(message, wParam, lParam);
}

LRESULT Window::DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto window = static_cast<Window*>(create->lpCreateParams);
        if (window) {
            window->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        }
    }

    Window* window = FromHandle(hwnd);
    if (!window)
        return DefWindowProcW(hwnd, message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        LRESULT result = window->HandleMessage(message, wParam, lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window->hwnd_ = nullptr;
        window->OnFinalMessage();
        return result;
    }
    return window->HandleMessage(message, wParam, lParam);
}

} // namespace win
