// Find: the rows whose names contain a text, in the whole archive or the disk folder shown,
// and the way back to the rows shown before.
#include "ui/folderbrowser.h"

#include "archive/archiver.h"
#include "archive/textconv.h"

#include <algorithm>
#include <unordered_set>

namespace {

bool IsUpRow(const ItemData& row) {
    return row.name == L"..";
}

} // namespace

void FolderBrowser::Find(const std::wstring& text, const std::vector<int>& selected, int focused) {
    if (!finding_) {
        // The place shown, kept whole: Esc comes back to it as it was.
        finding_ = true;
        savedSortColumn_ = sortColumn;
        savedSortOrder_ = sortOrder;
        if (archiver) {
            savedNodes_ = nodes;
            for (int row : selected)
                savedSelectedNodes_.push_back(nodes[static_cast<size_t>(row)]);
            if (focused >= 0 && focused < static_cast<int>(nodes.size()))
                savedFocusedNode_ = nodes[static_cast<size_t>(focused)];
        } else {
            savedItems_ = items;
            for (int row : selected)
                savedSelectedPaths_.push_back(items[static_cast<size_t>(row)].path);
            if (focused >= 0 && focused < static_cast<int>(items.size()))
                savedFocusedPath_ = items[static_cast<size_t>(focused)].path;
        }
    }

    auto matcher = std::make_unique<NameMatcher>(text);
    if (archiver) {
        // A longer text finds only among what the shorter one found.
        const bool narrower = lastMatcher_ && matcher->Narrows(*lastMatcher_);
        const std::vector<ArchiveTree::Node>& candidates =
            narrower ? found_ : archiver->PathOrder();
        const ArchiveTree& tree = archiver->tree;
        std::vector<ArchiveTree::Node> kept;
        for (ArchiveTree::Node node : candidates) {
            if (matcher->Matches(tree.Name(node)))
                kept.push_back(node);
        }
        found_ = std::move(kept);
        nodes = found_;
        items.clear();
    } else {
        items.clear();
        for (const ItemData& row : savedItems_) {
            if (!IsUpRow(row) && matcher->Matches(row.name))
                items.push_back(row);
        }
    }
    lastMatcher_ = std::move(matcher);
    // The found rows keep the order of the rows shown, or of their paths in an archive,
    // unless the list has been sorted otherwise since.
    if (archiver || sortColumn != savedSortColumn_ || sortOrder != savedSortOrder_)
        SortItems();
}

void FolderBrowser::PrepareFind() {
    if (archiver)
        archiver->PathOrder();
}

void FolderBrowser::EndFind(std::vector<int>& selected, int& focused) {
    selected.clear();
    focused = -1;
    if (!finding_)
        return;
    const bool sortChanged = sortColumn != savedSortColumn_ || sortOrder != savedSortOrder_;
    if (archiver) {
        nodes = std::move(savedNodes_);
        const std::unordered_set<ArchiveTree::Node> wanted(savedSelectedNodes_.begin(),
                                                           savedSelectedNodes_.end());
        const ArchiveTree::Node focusedNode = savedFocusedNode_;
        ForgetFind();
        if (sortChanged)
            SortItems();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (wanted.count(nodes[i]) && nodes[i] != ArchiveTree::none)
                selected.push_back(static_cast<int>(i));
            if (nodes[i] == focusedNode)
                focused = static_cast<int>(i);
        }
    } else {
        items = std::move(savedItems_);
        const std::vector<std::wstring> selectedPaths = std::move(savedSelectedPaths_);
        const std::wstring focusedPath = savedFocusedPath_;
        ForgetFind();
        if (sortChanged)
            SortItems();
        RowsWithPaths(selectedPaths, focusedPath, selected, focused);
    }
}

void FolderBrowser::SelectionBeforeFind(std::vector<std::wstring>& selected,
                                        std::wstring& focused) const {
    selected.clear();
    focused.clear();
    if (!finding_)
        return;
    if (!archiver) {
        selected = savedSelectedPaths_;
        focused = savedFocusedPath_;
        return;
    }
    // By path: the archive's tree is made again when it is listed again.
    for (ArchiveTree::Node node : savedSelectedNodes_)
        selected.push_back(Utf8ToWide(archiver->tree.Path(node)));
    if (savedFocusedNode_ != ArchiveTree::none)
        focused = Utf8ToWide(archiver->tree.Path(savedFocusedNode_));
}

void FolderBrowser::RowsWithPaths(const std::vector<std::wstring>& paths,
                                  const std::wstring& focusedPath, std::vector<int>& rows,
                                  int& focused) const {
    rows.clear();
    focused = -1;
    if (ShowsNodes()) {
        const ArchiveTree& tree = archiver->tree;
        std::unordered_set<ArchiveTree::Node> wanted;
        for (const std::wstring& path : paths) {
            ArchiveTree::Node node = tree.Find(WideToUtf8(path));
            if (node != ArchiveTree::none)
                wanted.insert(node);
        }
        ArchiveTree::Node focusedNode =
            focusedPath.empty() ? ArchiveTree::none : tree.Find(WideToUtf8(focusedPath));
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i] == ArchiveTree::none)
                continue; // the up row
            if (wanted.count(nodes[i]))
                rows.push_back(static_cast<int>(i));
            if (nodes[i] == focusedNode)
                focused = static_cast<int>(i);
        }
        return;
    }
    std::unordered_set<std::wstring> wanted;
    for (const std::wstring& path : paths)
        wanted.insert(LowerCase(path));
    const std::wstring focusedLower = LowerCase(focusedPath);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].path.empty())
            continue;
        std::wstring path = LowerCase(items[i].path);
        if (wanted.count(path))
            rows.push_back(static_cast<int>(i));
        if (!focusedLower.empty() && path == focusedLower)
            focused = static_cast<int>(i);
    }
}

void FolderBrowser::ForgetFind() {
    finding_ = false;
    lastMatcher_.reset();
    std::vector<ArchiveTree::Node>().swap(found_);
    std::vector<ArchiveTree::Node>().swap(savedNodes_);
    std::vector<ItemData>().swap(savedItems_);
    savedSelectedNodes_.clear();
    savedFocusedNode_ = ArchiveTree::none;
    savedSelectedPaths_.clear();
    savedFocusedPath_.clear();
}

std::wstring FolderBrowser::FoundName(ArchiveTree::Node node) const {
    return Utf8ToWide(archiver->tree.Path(node));
}

void FolderBrowser::SortFoundNodes(bool descending) {
    // Found in the order of their paths, they need only their folders put first; sorted
    // otherwise since, they are put back in that order.
    auto byPath = [this](ArchiveTree::Node a, ArchiveTree::Node b) {
        return archiver->PathRank(a) < archiver->PathRank(b);
    };
    archiver->PathOrder(); // the ranks
    if (!std::is_sorted(nodes.begin(), nodes.end(), byPath))
        std::sort(nodes.begin(), nodes.end(), byPath);
    const ArchiveTree& tree = archiver->tree;
    auto folders = std::stable_partition(
        nodes.begin(), nodes.end(), [&](ArchiveTree::Node node) { return tree.IsFolder(node); });
    if (descending) {
        std::reverse(nodes.begin(), folders);
        std::reverse(folders, nodes.end());
    }
}
