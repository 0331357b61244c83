// The window layer: binding windows and dialogs to their objects, the message loop.
#include "support/testsupport.h"
#include "win/dialog.h"
#include "win/messageloop.h"
#include "win/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingWindow : public win::Window {
  public:
    std::vector<UINT> messages;
    bool finalMessageSeen = false;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_APP)
            return 42;
        return DefaultMessage(message, wParam, lParam);
    }
    void OnFinalMessage() override { finalMessageSeen = true; }
};

TEST(Window, TheObjectIsBoundFromCreationToTheLastMessage) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    win::Window::RegisterClass(instance, L"VarnixTestWindow");
    RecordingWindow window;
    HWND hwnd = window.Create(L"VarnixTestWindow", L"test", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100,
                              nullptr, nullptr, instance);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.hwnd(), hwnd);
    EXPECT_EQ(win::Window::FromHandle(hwnd), &window);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_EQ(window.messages.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(SendMessageW(hwnd, WM_APP, 0, 0), 42);

    DestroyWindow(hwnd);
    EXPECT_EQ(window.messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_TRUE(window.finalMessageSeen);
    EXPECT_EQ(window.hwnd(), nullptr);
}

// A dialog template made in memory: one owner-drawn combo box, which asks for its item
// height (WM_MEASUREITEM) while it is made, before the dialog gets WM_INITDIALOG.
std::vector<WORD> OwnerDrawTemplate() {
    std::vector<WORD> data;
    auto add32 = [&](DWORD value) {
        data.push_back(LOWORD(value));
        data.push_back(HIWORD(value));
    };
    auto addText = [&](const wchar_t* text) {
        for (; *text; ++text)
            data.push_back(*text);
        data.push_back(0);
    };
    add32(WS_POPUP | WS_CAPTION | DS_SETFONT); // style
    add32(0);                                  // extended style
    data.push_back(1);                         // one control
    data.push_back(0);                         // x, y, cx, cy
    data.push_back(0);
    data.push_back(100);
    data.push_back(50);
    data.push_back(0); // no menu
    data.push_back(0); // standard class
    addText(L"owner draw");
    data.push_back(8);
    addText(L"MS Shell Dlg");
    if (data.size() % 2)
        data.push_back(0); // controls are DWORD-aligned
    add32(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
    add32(0);
    data.push_back(5);
    data.push_back(5);
    data.push_back(80);
    data.push_back(60);
    data.push_back(300); // id
    data.push_back(0xFFFF);
    data.push_back(0x0085); // combo box
    data.push_back(0);      // no text
    data.push_back(0);      // no creation data
    return data;
}

class OwnerDrawDialog : public win::Dialog {
  public:
    OwnerDrawDialog() : Dialog(0) {}
    std::vector<UINT> seen;

    INT_PTR Run() {
        std::vector<WORD> dialogTemplate = OwnerDrawTemplate();
        return DoModal(GetModuleHandleW(nullptr),
                       reinterpret_cast<DLGTEMPLATE*>(dialogTemplate.data()), nullptr);
    }

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM, LPARAM lParam) override {
        if (message == WM_MEASUREITEM || message == WM_INITDIALOG)
            seen.push_back(message);
        if (message == WM_MEASUREITEM) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 20;
            return TRUE;
        }
        if (message == WM_INITDIALOG) {
            PostMessageW(hwnd(), WM_COMMAND, IDOK, 0);
            return TRUE;
        }
        if (message == WM_COMMAND) {
            EndDialog(7);
            return TRUE;
        }
        return FALSE;
    }
};

TEST(Dialog, IsBoundBeforeItsControlsAskForMeasures) {
    OwnerDrawDialog dialog;
    EXPECT_EQ(dialog.Run(), 7);
    ASSERT_GE(dialog.seen.size(), 2u);
    EXPECT_EQ(dialog.seen.front(), static_cast<UINT>(WM_MEASUREITEM));
    EXPECT_EQ(dialog.seen.back(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST(Dialog, AMissingTemplateFailsTheModalRun) {
    class Empty : public win::Dialog {
      public:
        Empty() : Dialog(9999) {}
    } dialog;
    EXPECT_EQ(dialog.DoModal(GetModuleHandleW(nullptr), nullptr), -1);
}

struct Filter : win::MessageFilter {
    Filter(std::vector<int>& order, int id, bool handles)
        : order(order), id(id), handles(handles) {}
    bool PreTranslateMessage(MSG& message) override {
        if (message.message != WM_APP + 1)
            return false;
        order.push_back(id);
        return handles;
    }
    std::vector<int>& order;
    int id;
    bool handles;
};

struct Idle : win::IdleHandler {
    void OnIdle() override {
        if (++calls == 1)
            PostThreadMessageW(GetCurrentThreadId(), WM_APP + 1, 0, 0);
        else
            PostQuitMessage(5);
    }
    int calls = 0;
};

TEST(MessageLoop, FiltersNewestFirstIdleHandlersAndTheQuitCode) {
    std::vector<int> order;
    Filter older(order, 1, true);
    Filter newer(order, 2, false);
    Filter removed(order, 3, true);
    Idle idle;
    win::MessageLoop loop;
    loop.AddMessageFilter(&older);
    loop.AddMessageFilter(&newer);
    loop.AddMessageFilter(&removed);
    loop.RemoveMessageFilter(&removed);
    loop.AddIdleHandler(&idle);

    EXPECT_EQ(loop.Run(), 5);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    EXPECT_GE(idle.calls, 2);
}

} // namespace
