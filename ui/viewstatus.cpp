// The status line: what the list holds and what is selected, kept as running totals, and
// what the open archive is.
#include "ui/varnixview.h"

#include "archive/archiver.h"
#include "archive/textconv.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>

void CVarnixView::CountFolderAndFiles() {
    folders_ = 0;
    files_ = 0;
    totalBytes_ = 0;
    int count = model_.rows().Count();
    for (int i = HasUpRow() ? 1 : 0; i < count; ++i) {
        if (model_.rows().IsFolder(i)) {
            ++folders_;
        } else {
            ++files_;
            totalBytes_ += model_.rows().Bytes(i);
        }
    }
}

bool CVarnixView::HasUpRow() const {
    return model_.rows().Count() > 0 && model_.rows().Name(0) == L"..";
}

void CVarnixView::CountSelection() {
    selected_ = 0;
    selectedBytes_ = 0;
    for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row != -1;
         row = ListView_GetNextItem(list_, row, LVNI_SELECTED))
        CountRows(row, row, true);
}

void CVarnixView::CountRows(int from, int to, bool selected) {
    bool upRow = from <= 0 && HasUpRow();
    for (int i = std::max(from, 0); i <= to && i < model_.rows().Count(); ++i) {
        if (i == 0 && upRow)
            continue; // a way out, not something to count
        uint64_t bytes = model_.rows().Bytes(i);
        if (selected) {
            ++selected_;
            selectedBytes_ += bytes;
        } else if (selected_ > 0) {
            --selected_;
            selectedBytes_ -= std::min(bytes, selectedBytes_);
        }
    }
}

// "1 folder", "340 files".
static std::wstring Counted(int count, const wchar_t* one, const wchar_t* many) {
    return GroupDigits(std::to_wstring(count)) + L" " + (count == 1 ? one : many);
}

void CVarnixView::ShowStatus() {
    HWND statusBar = GetDlgItem(GetParent(hwnd()), ATL_IDW_STATUS_BAR);
    if (!statusBar)
        return;
    std::wstring text =
        Counted(folders_, L"folder", L"folders") + L", " + Counted(files_, L"file", L"files");
    if (selected_ > 0)
        text += L"; " + GroupDigits(std::to_wstring(selected_)) + L" selected, " +
                GroupDigits(std::to_wstring(selectedBytes_)) +
                (selectedBytes_ == 1 ? L" byte" : L" bytes");
    // In an archive a second part, at the right, says what it is.
    std::wstring facts;
    if (model_.archive()) {
        const ArchiveFacts& archive = model_.archive()->facts;
        facts = archive.kind;
        if (archive.volumes > 1)
            facts += L", " + GroupDigits(std::to_wstring(archive.volumes)) + L" volumes";
        if (archive.encrypted)
            facts += L", encrypted";
        // "ZIP archive, cut short": a damaged archive never looks whole.
        std::wstring health = HealthWords(archive.health);
        if (!health.empty())
            facts += L", " + health;
    }
    RECT bar = {};
    GetClientRect(statusBar, &bar);
    int edges[2] = {facts.empty() ? -1 : std::max<int>(bar.right * 3 / 5, 0), -1};
    SendMessageW(statusBar, SB_SETPARTS, facts.empty() ? 1 : 2, reinterpret_cast<LPARAM>(edges));
    SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (!facts.empty())
        SendMessageW(statusBar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(facts.c_str()));
}
