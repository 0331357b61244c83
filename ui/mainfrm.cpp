#include "ui/mainfrm.h"

#include "app/appstate.h"
#include "archive/jobthread.h"
#include "res/resource.h"
#include "ui/aboutdlg.h"
#include "ui/commands.h"
#include "ui/outcomedialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

const wchar_t CMainFrame::className[] = L"VarnixFileOpenerFrame";

namespace {

// The layout of a toolbar resource: a version, the image size, then the command id of
// each button (0 for a separator).
struct ToolbarResource {
    WORD version;
    WORD width;
    WORD height;
    WORD count;
    WORD items[1];
};

const WORD toolbarResourceType = 241;

// The look at the opened entries' copies, after the last change seen there.
const UINT_PTR editCheckTimer = 1;
const UINT editCheckDelay = 400;

// The toolbar images are drawn at these sizes; the 32-pixel ones are for 100 % scale.
struct ToolbarImages {
    int size;
    UINT resource;
};
const ToolbarImages toolbarImages[] = {
    {32, IDR_MAINFRAME}, {48, IDB_TOOLBAR_48}, {64, IDB_TOOLBAR_64}};
// A button at 100 % scale: room for the image and the text below it.
const int toolbarButtonSize = 56;

// Gives `control` its first font, the one the system made it at the system's DPI, scaled
// to `dpi`; `scaled` keeps the copy, and lets the last one go once it is no longer used.
void ScaleControlFont(HWND control, HFONT original, int dpi, win::GdiObject<HFONT>& scaled) {
    int systemDpi = win::SystemDpi();
    if (!control || !original || (dpi == systemDpi && !scaled))
        return; // nothing to change
    win::GdiObject<HFONT> font(dpi == systemDpi ? nullptr
                                                : win::ScaledFont(original, systemDpi, dpi));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font.get() : original), TRUE);
    scaled = std::move(font);
}

// The system menu's way to the about box: the menu bar, which had it, is removed.
const UINT systemMenuAbout = 0x0010;

} // namespace

CMainFrame::CMainFrame(win::MessageLoop& loop) : loop_(loop) {}

CMainFrame::~CMainFrame() {
    if (images_)
        ImageList_Destroy(images_);
    if (accelerators_)
        DestroyAcceleratorTable(accelerators_);
}

HWND CMainFrame::CreateFrame() {
    HINSTANCE instance = AppInstance();
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    RegisterClass(instance, className, CS_DBLCLKS, icon, nullptr, nullptr);
    accelerators_ = MakeAccelerators();
    // The menu comes with the window and goes again at creation (the window has none).
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    HWND frame = Create(className, L"", WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                        WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance);
    if (!frame && menu)
        DestroyMenu(menu);
    return frame;
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_COMMAND:
        // A command that arrives while a job runs (posted, or sent by another program)
        // would start a second job on what the first is working on.
        if (!JobRunning())
            OnCommand(LOWORD(wParam));
        return 0;
    case WM_SHOW_OUTCOME:
        ShowPostedOutcome(hwnd(), lParam);
        return 0;
    case WM_CLOSE:
        // The window goes only once the job is over: the job still uses what it holds.
        // A saved edit not yet in the archive is asked about first.
        if (JobRunning() || checkingEdits_ || !IsWindowEnabled(hwnd()) ||
            !view_.model().MayClose())
            return 0;
        break;
    case WM_QUERYENDSESSION:
        // Windows is signing out: a saved edit not yet in the archive is asked about, and
        // Cancel holds the sign-out, as an editor with an unsaved document does.
        return !JobRunning() && !checkingEdits_ && IsWindowEnabled(hwnd()) &&
               view_.model().MayClose();
    case WM_EDITED_COPY:
        // Looked at once the program that saves is done: a save is often several writes.
        SetTimer(hwnd(), editCheckTimer, editCheckDelay, nullptr);
        return 0;
    case WM_ACTIVATEAPP:
        // Coming back from the program that edits: a save the watch missed is seen now.
        if (wParam)
            SetTimer(hwnd(), editCheckTimer, 1, nullptr);
        break;
    case WM_TIMER:
        if (wParam == editCheckTimer) {
            KillTimer(hwnd(), editCheckTimer);
            // Not in the middle of a job or of another question: tried again later.
            // Nor while a name is edited, or rows are dragged.
            if (JobRunning() || !IsWindowEnabled(hwnd()) || checkingEdits_ ||
                ListView_GetEditControl(view_.list()) || GetCapture())
                SetTimer(hwnd(), editCheckTimer, editCheckDelay, nullptr);
            else {
                checkingEdits_ = true;
                view_.CheckEditedCopies();
                checkingEdits_ = false;
            }
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == systemMenuAbout) {
            OnCommand(ID_APP_ABOUT);
            return 0;
        }
        break;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ERASEBKGND:
        if (view_.hwnd())
            return 1; // the children cover everything
        break;
    case WM_SETFOCUS:
        if (view_.hwnd())
            SetFocus(view_.list());
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

LRESULT CMainFrame::OnCreate() {
    HMENU menu = GetMenu(hwnd());
    SetMenu(hwnd(), nullptr);
    if (menu)
        DestroyMenu(menu);

    dpi_ = win::DpiOfWindow(hwnd());
    CreateToolbar();
    CreateRebar();
    statusBar_ = CreateWindowExW(
        0, STATUSCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | SBARS_SIZEGRIP, 0, 0, 0, 0,
        hwnd(), reinterpret_cast<HMENU>(ATL_IDW_STATUS_BAR), AppInstance(), nullptr);
    if (statusBar_)
        statusFont_ = reinterpret_cast<HFONT>(SendMessageW(statusBar_, WM_GETFONT, 0, 0));
    ApplyDpi();
    if (!view_.Create(AppInstance(), hwnd()))
        return -1;

    loop_.AddMessageFilter(this);
    loop_.AddIdleHandler(this);

    if (HMENU system = GetSystemMenu(hwnd(), FALSE)) {
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, systemMenuAbout, L"About Varnix File Opener...");
    }

    AppSettings& settings = AppState.settings;
    if (settings.hasPlacement) {
        // Placed while still hidden; start-up shows it, and a maximised one is maximised
        // once shown.
        WINDOWPLACEMENT placement = settings.placement;
        placement.length = sizeof placement;
        placement.showCmd = SW_HIDE;
        SetWindowPlacement(hwnd(), &placement);
        if (settings.placement.showCmd == SW_SHOWMAXIMIZED)
            PostMessageW(hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    }

    wchar_t title[256];
    swprintf(title, 256, L"%ls - Ver %ls", L"Varnix File Opener", L"1.0");
    SetWindowTextW(hwnd(), title);
    AppState.mainWindow = hwnd();
    Layout();
    return 0;
}

void CMainFrame::CreateToolbar() {
    HINSTANCE instance = AppInstance();
    toolbar_ = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT |
            TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
        0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(ATL_IDW_TOOLBAR), instance, nullptr);
    if (!toolbar_)
        return;
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    toolbarFont_ = reinterpret_cast<HFONT>(SendMessageW(toolbar_, WM_GETFONT, 0, 0));

    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                MAKEINTRESOURCEW(toolbarResourceType));
    auto layout =
        found ? static_cast<const ToolbarResource*>(LockResource(LoadResource(instance, found)))
              : nullptr;
    if (!layout)
        return;
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (WORD i = 0; i < layout->count; ++i) {
        TBBUTTON button = {};
        int command = layout->items[i];
        if (command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON | BTNS_SHOWTEXT;
            const Command* known = CommandOf(command);
            button.iString =
                reinterpret_cast<INT_PTR>(known && known->button ? known->button : L"");
        }
        buttons.push_back(button);
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(),
                 reinterpret_cast<LPARAM>(buttons.data()));
}

void CMainFrame::LoadToolbarImages() {
    // The set drawn nearest the size this scale asks for: an image is never stretched.
    int wanted = Scale(toolbarImages[0].size);
    const ToolbarImages* chosen = &toolbarImages[0];
    for (const ToolbarImages& images : toolbarImages) {
        if (std::abs(images.size - wanted) < std::abs(chosen->size - wanted))
            chosen = &images;
    }
    HIMAGELIST images = ImageList_Create(chosen->size, chosen->size, ILC_COLOR32, 4, 0);
    if (HANDLE bitmap = LoadImageW(AppInstance(), MAKEINTRESOURCEW(chosen->resource), IMAGE_BITMAP,
                                   0, 0, LR_CREATEDIBSECTION)) {
        ImageList_Add(images, static_cast<HBITMAP>(bitmap), nullptr);
        DeleteObject(bitmap);
    }
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELONG(chosen->size, chosen->size));
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (images_)
        ImageList_Destroy(images_);
    images_ = images;
    int button = Scale(toolbarButtonSize);
    SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELONG(button, button));
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void CMainFrame::ApplyDpi() {
    ScaleControlFont(toolbar_, toolbarFont_, dpi_, scaledToolbarFont_);
    ScaleControlFont(statusBar_, statusFont_, dpi_, scaledStatusFont_);
    if (toolbar_) {
        LoadToolbarImages();
        FitToolbarBand();
    }
    // The title bar's and the taskbar's icons, drawn for this scale (the icon file has
    // every size Windows asks for).
    for (bool big : {false, true}) {
        int size = win::SystemMetricForDpi(big ? SM_CXICON : SM_CXSMICON, dpi_);
        win::Icon icon(static_cast<HICON>(
            LoadImageW(AppInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)));
        if (!icon)
            continue;
        SendMessageW(hwnd(), WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                     reinterpret_cast<LPARAM>(icon.get()));
        (big ? bigIcon_ : smallIcon_) = std::move(icon);
    }
}

void CMainFrame::OnDpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0)
        return;
    dpi_ = dpi;
    ApplyDpi();
    view_.SetDpi(dpi);
    if (suggested)
        SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void CMainFrame::CreateRebar() {
    rebar_ = CreateWindowExW(0, REBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                 RBS_VARHEIGHT | RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER,
                             0, 0, 0, 0, hwnd(), nullptr, AppInstance(), nullptr);
    if (!rebar_ || !toolbar_)
        return;
    REBARINFO info = {};
    info.cbSize = sizeof info;
    SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));

    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILD | RBBIM_STYLE;
    band.fStyle = RBBS_BREAK | RBBS_GRIPPERALWAYS;
    band.hwndChild = toolbar_;
    SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
    // The band made the rebar the toolbar's parent: its commands still come here.
    SendMessageW(toolbar_, TB_SETPARENT, reinterpret_cast<WPARAM>(hwnd()), 0);
    FitToolbarBand();
}

void CMainFrame::FitToolbarBand() {
    if (!rebar_ || SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0) < 1)
        return;
    SIZE size = {};
    SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE;
    band.cxMinChild = size.cx;
    band.cyMinChild = size.cy;
    band.cx = size.cx;
    SendMessageW(rebar_, RB_SETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
}

void CMainFrame::Layout() {
    // The rebar answers a resize with RBN_AUTOSIZE, which lays out again: once is enough.
    if (layingOut_)
        return;
    layingOut_ = true;
    RECT client;
    GetClientRect(hwnd(), &client);
    int top = static_cast<int>(client.top);
    int bottom = static_cast<int>(client.bottom);
    // The bars' own visibility: the frame itself may not be shown yet.
    auto shown = [](HWND window) {
        return window && (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
    };
    if (shown(rebar_)) {
        SendMessageW(rebar_, WM_SIZE, 0, 0);
        RECT bar;
        GetWindowRect(rebar_, &bar);
        top += static_cast<int>(bar.bottom - bar.top);
    }
    if (shown(statusBar_)) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        RECT status;
        GetWindowRect(statusBar_, &status);
        bottom -= static_cast<int>(status.bottom - status.top);
    }
    if (view_.hwnd())
        SetWindowPos(view_.hwnd(), nullptr, client.left, top, client.right - client.left,
                     std::max(bottom - top, 0), SWP_NOZORDER | SWP_NOACTIVATE);
    layingOut_ = false;
}

void CMainFrame::ToggleToolbar() {
    if (!rebar_)
        return;
    bool shown = (GetWindowLongW(rebar_, GWL_STYLE) & WS_VISIBLE) != 0;
    SendMessageW(rebar_, RB_SHOWBAND, 0, shown ? FALSE : TRUE);
    ShowWindow(rebar_, shown ? SW_HIDE : SW_SHOWNOACTIVATE);
    Layout();
}

void CMainFrame::ToggleStatusBar() {
    if (!statusBar_)
        return;
    bool shown = (GetWindowLongW(statusBar_, GWL_STYLE) & WS_VISIBLE) != 0;
    ShowWindow(statusBar_, shown ? SW_HIDE : SW_SHOWNOACTIVATE);
    Layout();
}

void CMainFrame::OnCommand(int id) {
    // A name being edited in the list is given up: the command acts on the rows as they are.
    if (HWND edit = ListView_GetEditControl(view_.list()))
        SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    switch (id) {
    case ID_APP_EXIT:
        PostMessageW(hwnd(), WM_CLOSE, 0, 0);
        break;
    case ID_VIEW_TOOLBAR:
        ToggleToolbar();
        break;
    case ID_VIEW_STATUS_BAR:
        ToggleStatusBar();
        break;
    case ID_APP_ABOUT: {
        CAboutDlg about;
        about.DoModal(AppInstance(), GetActiveWindow());
        break;
    }
    case ID_ADD:
        view_.OnAdd();
        break;
    case ID_EXTRACT:
        view_.OnExtract();
        break;
    case ID_DELETE:
        view_.OnDelete();
        break;
    case ID_TEST:
        view_.OnTest();
        break;
    case ID_RENAME:
        view_.OnRename();
        break;
    case ID_COPY:
    case ID_CUT:
        view_.OnCopy(id == ID_CUT);
        break;
    case ID_PASTE:
        view_.OnPaste();
        break;
    case ID_NEW_FOLDER:
        view_.OnNewFolder();
        break;
    }
}

LRESULT CMainFrame::OnNotify(NMHDR& header) {
    if (header.code == TTN_GETDISPINFOW) {
        auto& tip = reinterpret_cast<NMTTDISPINFOW&>(header);
        std::wstring text = TipText(static_cast<int>(header.idFrom));
        wcsncpy(tip.szText, text.c_str(), 79);
        tip.szText[79] = L'\0';
        return 0;
    }
    if (header.code == TTN_GETDISPINFOA) {
        auto& tip = reinterpret_cast<NMTTDISPINFOA&>(header);
        std::wstring text = TipText(static_cast<int>(header.idFrom));
        tip.szText[0] = '\0';
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, tip.szText, 80, nullptr, nullptr);
        tip.szText[79] = '\0';
        return 0;
    }
    if (header.code == RBN_AUTOSIZE && header.hwndFrom == rebar_) {
        Layout();
        return 0;
    }
    return 0;
}

void CMainFrame::OnDestroy() {
    AppState.settings.placement.length = sizeof(WINDOWPLACEMENT);
    AppState.settings.hasPlacement = GetWindowPlacement(hwnd(), &AppState.settings.placement);
    loop_.RemoveMessageFilter(this);
    loop_.RemoveIdleHandler(this);
    PostQuitMessage(1);
}

bool CMainFrame::PreTranslateMessage(MSG& message) {
    if (accelerators_ && !view_.IsTypingKey(message) &&
        TranslateAcceleratorW(hwnd(), accelerators_, &message))
        return true;
    return view_.PreTranslateMessage(message);
}

void CMainFrame::OnIdle() {
    // The buttons are always there to press: each command says itself when it cannot act.
    if (!toolbar_)
        return;
    for (const Command& command : Commands()) {
        if (command.button && !SendMessageW(toolbar_, TB_ISBUTTONENABLED, command.id, 0))
            SendMessageW(toolbar_, TB_ENABLEBUTTON, command.id, TRUE);
    }
}
