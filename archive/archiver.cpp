#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/iconcache.h"
#include "shell/paths.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

FileTree::~FileTree() {
    DeleteChildren();
}

void FileTree::DeleteChildren() {
    std::vector<std::unique_ptr<FileTree>> pending = std::move(children);
    children.clear();
    childIndex.reset();
    while (!pending.empty()) {
        std::unique_ptr<FileTree> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children)
            pending.push_back(std::move(child));
        node->children.clear();
        node->childIndex.reset();
    }
}

Archiver::~Archiver() {
    Close();
}

FileTree* Archiver::FindTree(const std::string& path, bool create) {
    FileTree* node = &rootTree;
    if (path.empty())
        return node;

    // Every backslash separates two components, so "a\\b" has an empty one in the middle.
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        size_t stop = end == std::string::npos ? path.size() : end;
        FileTree* parent = node;
        size_t before = parent->children.size();
        node = FindChild(parent, std::string_view(path.data() + start, stop - start), create);
        if (!node)
            return nullptr;
        if (parent->children.size() != before) {
            // Made on the way: a folder until an entry of its own says otherwise, with its
            // path, so that it can be entered and extracted like any other.
            node->attributes = FILE_ATTRIBUTE_DIRECTORY;
            node->path = path.substr(0, stop);
        }
        if (end == std::string::npos)
            return node;
        start = end + 1;
    }
}

FileTree* Archiver::FindChild(FileTree* node, std::string_view name, bool create) {
    if (node->childIndex) {
        auto found = node->childIndex->find(name);
        if (found != node->childIndex->end())
            return found->second;
    }
    if (!create)
        return nullptr;
    if (!node->childIndex)
        node->childIndex = std::make_unique<std::unordered_map<std::string_view, FileTree*>>();

    node->children.push_back(std::make_unique<FileTree>());
    FileTree* child = node->children.back().get();
    child->name.assign(name.data(), name.size());
    node->childIndex->emplace(std::string_view(child->name), child);
    return child;
}

void Archiver::BuildTree(const ArchiveContents& contents) {
    progressTotal = contents.items.size();
    for (size_t i = 0; i < contents.items.size(); ++i) {
        progressCompleted = i;
        AddToTree(contents.items[i]);
    }
}

void Archiver::AddToTree(const DirItem& item) {
    std::string path = WideToUtf8(item.path);
    FileTree* node = FindTree(path, true);
    // A folder's own entry may come after its contents: it then fills the node that was
    // made for it on the way.
    node->attributes = item.attributes;
    node->modified = item.modified;
    node->date = WideToUtf8(item.date);
    node->time = WideToUtf8(item.time);
    node->size = WideToUtf8(item.size);
    node->packedSize = WideToUtf8(item.packedSize);
    node->path = std::move(path);
}

bool Archiver::IsFolder(const FileTree* node) {
    return (node->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder part of an archive path: everything before the last backslash.
static std::string ParentInArchive(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void Archiver::ListFolder(const std::string& path) {
    ClearRows();

    std::string shownPath = path;
    FileTree* node = FindTree(shownPath, false);
    while (!node) {
        // The folder is gone (a job removed its last entry): show the nearest one above.
        shownPath = ParentInArchive(shownPath);
        node = FindTree(shownPath, false);
    }
    subPath = shownPath;

    // The icons come from the shell's looks, shared for the whole run: rows copied into the
    // window never outlive theirs, and 100,000 files of a few kinds cost a few icons.
    const ShellKind& folder = FolderKind();
    ItemData upRow;
    upRow.name = L"..";
    upRow.type = L"Folder";
    upRow.icon = folder.icon;
    rows.reserve(node->children.size() + 1);
    rows.push_back(upRow);

    ModifiedTextCache modifiedTexts;
    for (const auto& child : node->children) {
        ItemData row;
        row.name = Utf8ToWide(child->name);
        row.path = Utf8ToWide(child->path);
        row.modified = child->modified;
        row.modifiedText = FormatModified(child->date, child->time, &modifiedTexts);
        if (IsFolder(child.get())) {
            row.icon = folder.icon;
            row.type = L"Folder";
            row.attributes = FILE_ATTRIBUTE_DIRECTORY;
        } else {
            row.size = GroupDigits(Utf8ToWide(child->size));
            row.packedSize = GroupDigits(Utf8ToWide(child->packedSize));
            const ShellKind& kind = FileKind(row.name);
            row.icon = kind.icon;
            row.type = kind.typeName;
        }
        rows.push_back(std::move(row));
    }
}

int Archiver::GetRowCount() const {
    return static_cast<int>(rows.size());
}

ItemData Archiver::GetRow(int index) const {
    if (index < 0 || index >= GetRowCount())
        return ItemData();
    return rows[static_cast<size_t>(index)];
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
    if (FindTree(folderUtf8, false))
        ListFolder(folderUtf8);
    return GetRowCount();
}

void Archiver::ClearRows() {
    rows.clear();
}

void Archiver::ClearTree() {
    rootTree.DeleteChildren();
}

void Archiver::Close() {
    ClearRows();
    ClearTree();
    RemoveTempFolder();
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
