#include "ui/clipboardfiles.h"

#include "archive/archiver.h"
#include "archive/jobthread.h"
#include "shell/paths.h"
#include "ui/dragout.h"
#include "ui/filedataobject.h"
#include "ui/folderbrowser.h"
#include "win/comptr.h"

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

// The archive's entries last put on the clipboard, while they may be pasted.
win::ComPtr<FileDataObject> archiveClipboard;

std::wstring ClipboardFolder() {
    return DragScratchFolder() + L"\\Clipboard";
}

} // namespace

std::vector<std::wstring> DroppedPaths(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // As long as the path is: a long one is not cut into another name.
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(length);
        paths.push_back(path);
    }
    return paths;
}

bool CopyRowsToClipboard(FolderBrowser& model, const std::vector<int>& rows, bool cut) {
    Archiver* archiver = model.archive();
    std::vector<std::wstring> entries;
    std::vector<std::wstring> files;
    const std::wstring folder = ClipboardFolder();
    for (int row : rows) {
        if (row < 0 || row >= model.rows().Count() || model.rows().IsDriveOrUp(row))
            continue;
        const std::wstring path = model.rows().Get(row).path;
        if (!archiver) {
            files.push_back(path);
            continue;
        }
        // Where the extraction puts it, which for odd names is not the name itself.
        const std::wstring relative = archiver->WrittenPath(path);
        if (relative.empty())
            continue;
        entries.push_back(path);
        files.push_back(folder + L"\\" + relative);
    }
    if (files.empty())
        return false;
    win::ComPtr<FileDataObject> data(
        new FileDataObject(files, archiver || !cut ? DROPEFFECT_COPY : DROPEFFECT_MOVE));
    if (archiver) {
        data->RenderWhenRead([archiver, entries, folder] {
            // Not in the middle of another job on the archive (a paste read while it runs).
            if (JobRunning())
                return false;
            DeleteFolderTree(nullptr, folder);
            if (CreateFolderPath(folder) && archiver->ExtractEntriesToScratch(entries, folder))
                return true;
            DeleteFolderTree(nullptr, folder); // nothing half
            return false;
        });
    }
    if (FAILED(OleSetClipboard(data.get())))
        return false;
    archiveClipboard = archiver ? data : win::ComPtr<FileDataObject>();
    return true;
}

bool FilesOnClipboard(std::vector<std::wstring>& paths, bool& cut) {
    paths.clear();
    cut = false;
    win::ComPtr<IDataObject> data;
    if (FAILED(OleGetClipboard(data.put())))
        return false;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium)))
        return false;
    paths = DroppedPaths(static_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
    format.cfFormat = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT));
    if (SUCCEEDED(data->GetData(&format, &medium))) {
        if (auto effect = static_cast<const DWORD*>(GlobalLock(medium.hGlobal))) {
            cut = (*effect & DROPEFFECT_MOVE) != 0;
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
    }
    return !paths.empty();
}

void ForgetArchiveClipboard() {
    if (archiveClipboard && OleIsCurrentClipboard(archiveClipboard.get()) == S_OK)
        OleSetClipboard(nullptr);
    // A program that holds it still gets nothing more out of the archive left.
    if (archiveClipboard)
        archiveClipboard->RenderWhenRead([] { return false; });
    archiveClipboard = win::ComPtr<FileDataObject>();
}

void EmptyClipboardAfterMove() {
    OleSetClipboard(nullptr);
}
