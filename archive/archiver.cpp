#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/progress.h"
#include "archive/shownpath.h"
#include "archive/textconv.h"
#include "shell/iconcache.h"
#include "shell/paths.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

Archiver::~Archiver() {
    Close();
}

void Archiver::BuildTree(const ArchiveContents& contents) {
    progressTotal = contents.items.size();
    tree.Reserve(contents.items.size());
    std::string path; // one for every entry: a path made anew each time costs an allocation
    std::wstring shown;
    for (size_t i = 0; i < contents.items.size(); ++i) {
        progressCompleted = i;
        const DirItem& item = contents.items[i];
        bool changed = false;
        if (!TreePathOf(item.path, item.entry.attributes & FILE_ATTRIBUTE_DIRECTORY, shown,
                        changed))
            continue;
        WideToUtf8(changed ? shown : item.path, path);
        tree.Add(path, item.entry, static_cast<uint32_t>(i));
    }
}

// The folder part of an archive path: everything before the last backslash.
static std::string ParentInArchive(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void Archiver::ListFolder(const std::string& path) {
    ClearRows();

    std::string shownPath = path;
    ArchiveTree::Node folder = tree.Find(shownPath);
    while (folder == ArchiveTree::none) {
        // The folder is gone (a job removed its last entry): show the nearest one above.
        shownPath = ParentInArchive(shownPath);
        folder = tree.Find(shownPath);
    }
    subPath = shownPath;

    rows.push_back(ArchiveTree::none);
    for (ArchiveTree::Node child = tree.FirstChild(folder); child != ArchiveTree::none;
         child = tree.NextSibling(child))
        rows.push_back(child);
}

std::wstring Archiver::RowName(ArchiveTree::Node node) const {
    return node == ArchiveTree::none ? L".." : Utf8ToWide(std::string(tree.Name(node)));
}

// A size as the Size and Packed columns show it; nothing for a folder, or a size the
// archive does not give.
static std::wstring SizeText(bool folder, bool known, uint64_t size) {
    if (folder || !known)
        return std::wstring();
    wchar_t digits[20];
    int at = 20;
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + size % 10);
        size /= 10;
    } while (size);
    return GroupDigits(std::wstring(digits + at, digits + 20));
}

std::wstring Archiver::RowSize(ArchiveTree::Node node) const {
    if (node == ArchiveTree::none)
        return std::wstring();
    const ArchiveTree::Entry& entry = tree.EntryOf(node);
    return SizeText(tree.IsFolder(node), entry.hasSize, entry.size);
}

std::wstring Archiver::RowPackedSize(ArchiveTree::Node node) const {
    if (node == ArchiveTree::none)
        return std::wstring();
    const ArchiveTree::Entry& entry = tree.EntryOf(node);
    return SizeText(tree.IsFolder(node), entry.hasPackedSize, entry.packedSize);
}

std::wstring Archiver::RowType(ArchiveTree::Node node) const {
    if (node == ArchiveTree::none || tree.IsFolder(node))
        return L"Folder";
    return FileKind(KindName(node)).typeName;
}

std::wstring Archiver::KindName(ArchiveTree::Node node) const {
    std::wstring name = RowName(node);
    // "dup.txt [2]" is a text file; so is "\"../notes.txt\"".
    if (tree.DuplicateIndex(node) != ArchiveTree::noIndex) {
        size_t mark = name.rfind(L" [");
        if (mark != std::wstring::npos)
            name.erase(mark);
    }
    if (!name.empty() && name.back() == L'"')
        name.pop_back();
    return name;
}

std::wstring Archiver::RowModified(ArchiveTree::Node node) const {
    if (node == ArchiveTree::none || !tree.EntryOf(node).hasModified)
        return std::wstring();
    return FormatModified(tree.EntryOf(node).modified, &modifiedTexts_);
}

HICON Archiver::RowIcon(ArchiveTree::Node node, bool large) const {
    // The shell's looks, shared for the whole run: a row never outlives its icon.
    const ShellKind& kind =
        node == ArchiveTree::none || tree.IsFolder(node) ? FolderKind() : FileKind(KindName(node));
    return large ? kind.largeIcon : kind.icon;
}

ItemData Archiver::MakeRow(ArchiveTree::Node node) const {
    ItemData row;
    row.name = RowName(node);
    row.icon = RowIcon(node);
    row.largeIcon = RowIcon(node, true);
    row.type = RowType(node);
    if (node == ArchiveTree::none)
        return row;
    row.path = Utf8ToWide(tree.Path(node));
    row.size = RowSize(node);
    row.packedSize = RowPackedSize(node);
    row.modifiedText = RowModified(node);
    row.modified = tree.EntryOf(node).modified;
    row.attributes = tree.IsFolder(node) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    return row;
}

int Archiver::GetRowCount() const {
    return static_cast<int>(rows.size());
}

ItemData Archiver::GetRow(int index) const {
    if (index < 0 || index >= GetRowCount())
        return ItemData();
    return MakeRow(rows[static_cast<size_t>(index)]);
}

std::wstring Archiver::GetDisplayPath() const {
    if (subPath.empty())
        return archivePath;
    return archivePath + L"\\" + Utf8ToWide(subPath);
}

int Archiver::GoTo(const std::wstring& text) {
    if (text.empty()) {
        ListFolder("");
        return GetRowCount();
    }
    // The text is taken to begin with the archive path and a backslash; the beginning
    // itself is not compared.
    std::wstring folder;
    if (text.size() > archivePath.size())
        folder = text.substr(std::min(text.size(), archivePath.size() + 1));
    std::string folderUtf8 = WideToUtf8(folder);
    if (tree.Find(folderUtf8) != ArchiveTree::none)
        ListFolder(folderUtf8);
    return GetRowCount();
}

void Archiver::ClearRows() {
    rows.clear();
}

void Archiver::ClearTree() {
    tree.Clear();
    facts = ArchiveFacts();
    ForgetPathOrder();
}

void Archiver::ForgetPathOrder() {
    std::vector<ArchiveTree::Node>().swap(pathOrder_);
    std::vector<uint32_t>().swap(pathRanks_);
}

std::vector<std::wstring>
Archiver::PathsInFolderShown(const std::vector<std::wstring>& names) const {
    std::vector<std::wstring> paths;
    const std::wstring folder = subPath.empty() ? std::wstring() : Utf8ToWide(subPath) + L"\\";
    for (const std::wstring& name : names)
        paths.push_back(folder + name);
    return paths;
}

const std::vector<ArchiveTree::Node>& Archiver::PathOrder() {
    if (pathOrder_.empty() && tree.NodeCount() > 1) {
        pathOrder_ = tree.PathOrder();
        pathRanks_.assign(tree.NodeCount(), 0);
        for (size_t i = 0; i < pathOrder_.size(); ++i)
            pathRanks_[pathOrder_[i]] = static_cast<uint32_t>(i);
    }
    return pathOrder_;
}

void Archiver::Close() {
    ClearRows();
    ClearTree();
    RemoveTempFolder();
    edits.Clear();
}

void Archiver::RemoveTempFolder() {
    if (!tmpPath.empty())
        DeleteFolderTree(AppState.mainWindow, tmpPath);
    tmpPath.clear();
}

static std::unique_ptr<Archiver> theArchiver;

Archiver* GetArchiver() {
    if (!theArchiver)
        theArchiver = std::make_unique<Archiver>();
    return theArchiver.get();
}

void ReleaseArchiver() {
    theArchiver.reset();
}
