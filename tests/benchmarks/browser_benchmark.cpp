// Measures the browser window on big listings: from a double-click on a 100,000-entry
// archive to its filled list, against the open job alone; sorting 100,000 rows by a
// column click; listing a disk folder of 10,000 files. Not a test: it prints figures.
// Needs a display.
//   browser_benchmark <folder with flat-100k.zip and nested-100k.zip>
#include "app/appstate.h"
#include "archive/archiver.h"
#include "ui/mainfrm.h"
#include "ui/windowquestions.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

double Seconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int RowOf(FolderBrowser& model, const std::wstring& name) {
    for (int i = 0; i < model.rows().Count(); ++i) {
        if (model.rows().Get(i).name == name)
            return i;
    }
    return -1;
}

// A folder of 10,000 files of a dozen kinds, some of which carry icons of their own.
std::wstring MakeDiskFolder(const std::wstring& parent) {
    std::wstring folder = parent + L"\\disk-10k";
    if (GetFileAttributesW((folder + L"\\file9999.txt").c_str()) != INVALID_FILE_ATTRIBUTES)
        return folder;
    CreateDirectoryW(folder.c_str(), nullptr);
    const wchar_t* kinds[] = {L".txt", L".jpg",  L".pdf", L".doc", L".zip",
                              L".dat", L".html", L".mp3", L".png", L".csv"};
    for (int i = 0; i < 10000; ++i) {
        std::wstring name = folder + L"\\file" + std::to_wstring(i) + kinds[i % 10];
        if (i % 200 == 0)
            name = folder + L"\\tool" + std::to_wstring(i) + L".exe";
        std::ofstream(name.c_str()) << "content " << i;
    }
    return folder;
}

// The window on `folder`, with the archive `name` there opened by a double-click.
struct ArchiveInWindow {
    ArchiveInWindow(const std::wstring& folder, const std::wstring& name) : frame(loop) {
        ClearAppState();
        wcscpy_s(AppState.settings.lastPath, folder.c_str());
        frame.CreateFrame();
        ShowWindow(frame.hwnd(), SW_SHOW);
        Pump();
        frame.view().ActivateRow(RowOf(frame.view().model(), name));
        Pump();
    }
    ~ArchiveInWindow() {
        DestroyWindow(frame.hwnd());
        Pump();
    }
    win::MessageLoop loop;
    CMainFrame frame;
};

} // namespace

// Column clicks on every row of one archive's root, opened in the window with a
// double-click: "column click N on R rows: S s" per click.
int SortBenchmark(const std::wstring& folder, const std::wstring& name) {
    ArchiveInWindow window(folder, name);
    CVarnixView& view = window.frame.view();
    for (int column : {0, 0, 1, 2, 4}) {
        double start = Seconds();
        if (view.model().rows().SortByColumn(column))
            view.FillList();
        UpdateWindow(view.list());
        std::printf("column click %d on %d rows: %.3f s\n", column, view.model().rows().Count(),
                    Seconds() - start);
    }
    return 0;
}

// Typing into the find box on one archive's million entries, opened in the window with a
// double-click: "find 'T' on E entries: R rows, S s" per keystroke, from the text set to
// the rows painted; and before them Ctrl+F, which readies the find.
int FindBenchmark(const std::wstring& folder, const std::wstring& name) {
    ArchiveInWindow window(folder, name);
    CVarnixView& view = window.frame.view();
    const size_t entries = view.model().archive()->tree.NodeCount() - 1;
    // Ctrl+F: the find box gets the keyboard, and the entries are put in the order of their
    // paths.
    double start = Seconds();
    view.FocusFindBox();
    std::printf("Ctrl+F on %u entries: %.3f s\n", static_cast<unsigned>(entries),
                Seconds() - start);
    // Typed, then taken back a letter (which looks through every entry again), then
    // another text from the start, and back to the folder.
    const wchar_t* const keystrokes[] = {L"f",      L"fi",    L"fil", L"file", L"file1",
                                         L"file12", L"file1", L"1",   L"12",   L"123",
                                         L"1234",   L"5",     L""};
    for (const wchar_t* text : keystrokes) {
        start = Seconds();
        view.FindText(text);
        UpdateWindow(view.list());
        std::printf("find '%ls' on %u entries: %d rows, %.3f s\n", text,
                    static_cast<unsigned>(entries), view.model().rows().Count(), Seconds() - start);
    }
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    UseWindowQuestions();
    if (argc < 2) {
        std::printf("usage: browser_benchmark <folder> | --sort|--find <folder> <archive>\n");
        return 2;
    }
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    if (std::wstring(argv[1]) == L"--sort" && argc > 3)
        return SortBenchmark(argv[2], argv[3]);
    if (std::wstring(argv[1]) == L"--find" && argc > 3)
        return FindBenchmark(argv[2], argv[3]);
    std::wstring folder = argv[1];

    // Each figure is the median of five rounds; a round times the open job alone (listing,
    // tree and root rows, under its progress dialog, as the window would show it) and then
    // what a double-click does, so that both see the machine alike.
    const wchar_t* const names[] = {L"flat-100k.zip", L"nested-100k.zip"};
    ClearAppState();
    wcscpy_s(AppState.settings.lastPath, folder.c_str());
    win::MessageLoop loop;
    CMainFrame frame(loop);
    frame.CreateFrame();
    ShowWindow(frame.hwnd(), SW_SHOW);
    Pump();
    CVarnixView& view = frame.view();
    for (const wchar_t* name : names) {
        std::vector<double> alone;
        std::vector<double> shown;
        for (int round = 0; round < 5; ++round) {
            double start = Seconds();
            {
                Archiver archiver;
                archiver.Open(folder + L"\\" + name);
            }
            alone.push_back(Seconds() - start);

            view.model().CloseArchive();
            view.model().BrowseFolder(folder);
            view.RefreshView();
            Pump();
            int row = RowOf(view.model(), name);
            // What a double-click does, until the list has painted its rows.
            start = Seconds();
            view.ActivateRow(row);
            UpdateWindow(view.list());
            shown.push_back(Seconds() - start);
        }
        std::printf("%ls: double-click to filled list %.3f s (%d rows), open job alone %.3f s, "
                    "ratio %.2f\n",
                    name, Median(shown), ListView_GetItemCount(view.list()), Median(alone),
                    Median(shown) / Median(alone));
    }
    // Column clicks on the flat archive's 100,000 rows.
    view.model().CloseArchive();
    view.model().BrowseFolder(folder);
    view.ActivateRow(RowOf(view.model(), names[0]));
    {
        double start = Seconds();
        std::vector<ArchiveTree::Node> copy = view.model().archive()->rows;
        double copied = Seconds() - start;
        start = Seconds();
        view.model().rows().Sort();
        std::printf("  (copying the rows %.3f s, sorting them %.3f s)\n", copied,
                    Seconds() - start);
    }
    for (int column : {0, 0, 1, 2, 4}) {
        double start = Seconds();
        if (view.model().rows().SortByColumn(column))
            view.FillList();
        UpdateWindow(view.list());
        std::printf("  column click %d on %d rows: %.3f s\n", column, view.model().rows().Count(),
                    Seconds() - start);
    }

    // A disk folder of 10,000 files, from its row in the list.
    std::wstring disk = MakeDiskFolder(folder);
    view.model().CloseArchive();
    view.model().BrowseFolder(folder);
    view.RefreshView();
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
        view.model().BrowseFolder(folder);
        int row = RowOf(view.model(), L"disk-10k");
        double start = Seconds();
        view.ActivateRow(row);
        UpdateWindow(view.list());
        times.push_back(Seconds() - start);
    }
    std::printf("disk folder of 10,000 files (50 of them .exe): listed and shown in %.3f s "
                "(%d rows)\n",
                Median(times), ListView_GetItemCount(view.list()));
    DestroyWindow(frame.hwnd());
    Pump();
    return 0;
}
