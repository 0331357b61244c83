// Find: the rows whose names contain a text, in the whole archive or the disk folder shown,
// and the way back to the rows shown before.
#include "ui/finder.h"

#include "archive/archiver.h"
#include "archive/textconv.h"
#include "ui/rowlist.h"

#include <algorithm>
#include <unordered_set>

namespace {

bool IsUpRow(const ItemData& row) {
    return row.name == L"..";
}

} // namespace

void Finder::Find(const std::wstring& text, const std::vector<int>& selected, int focused) {
    Archiver* archive = rows_.Archive();
    if (!active_) {
        // The place shown, kept whole: Esc comes back to it as it was.
        active_ = true;
        savedSortColumn_ = rows_.SortColumn();
        savedSortOrder_ = rows_.SortOrder();
        if (archive) {
            savedNodes_ = rows_.Nodes();
            for (int row : selected)
                savedSelectedNodes_.push_back(savedNodes_[static_cast<size_t>(row)]);
            if (focused >= 0 && focused < static_cast<int>(savedNodes_.size()))
                savedFocusedNode_ = savedNodes_[static_cast<size_t>(focused)];
        } else {
            savedItems_ = rows_.DiskRows();
            for (int row : selected)
                savedSelectedPaths_.push_back(savedItems_[static_cast<size_t>(row)].path);
            if (focused >= 0 && focused < static_cast<int>(savedItems_.size()))
                savedFocusedPath_ = savedItems_[static_cast<size_t>(focused)].path;
        }
    }

    auto matcher = std::make_unique<NameMatcher>(text);
    if (archive) {
        // A longer text finds only among what the shorter one found.
        const bool narrower = lastMatcher_ && matcher->Narrows(*lastMatcher_);
        const std::vector<ArchiveTree::Node>& candidates =
            narrower ? found_ : archive->PathOrder();
        const ArchiveTree& tree = archive->tree;
        std::vector<ArchiveTree::Node> kept;
        for (ArchiveTree::Node node : candidates) {
            if (matcher->Matches(tree.Name(node)))
                kept.push_back(node);
        }
        found_ = std::move(kept);
        rows_.SetNodes(found_);
        rows_.SetFound(true);
        rows_.SetDiskRows({});
    } else {
        std::vector<ItemData> kept;
        for (const ItemData& row : savedItems_) {
            if (!IsUpRow(row) && matcher->Matches(row.name))
                kept.push_back(row);
        }
        rows_.SetDiskRows(std::move(kept));
    }
    lastMatcher_ = std::move(matcher);
    // The found rows keep the order of the rows shown, or of their paths in an archive,
    // unless the list has been sorted otherwise since.
    if (archive || rows_.SortColumn() != savedSortColumn_ || rows_.SortOrder() != savedSortOrder_)
        rows_.Sort();
}

void Finder::Prepare() {
    if (Archiver* archive = rows_.Archive())
        archive->PathOrder();
}

void Finder::End(std::vector<int>& selected, int& focused) {
    selected.clear();
    focused = -1;
    if (!active_)
        return;
    const bool sortChanged =
        rows_.SortColumn() != savedSortColumn_ || rows_.SortOrder() != savedSortOrder_;
    if (rows_.Archive()) {
        rows_.SetNodes(std::move(savedNodes_));
        rows_.SetFound(false);
        const std::unordered_set<ArchiveTree::Node> wanted(savedSelectedNodes_.begin(),
                                                           savedSelectedNodes_.end());
        const ArchiveTree::Node focusedNode = savedFocusedNode_;
        Forget();
        if (sortChanged)
            rows_.Sort();
        const std::vector<ArchiveTree::Node>& nodes = rows_.Nodes();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (wanted.count(nodes[i]) && nodes[i] != ArchiveTree::none)
                selected.push_back(static_cast<int>(i));
            if (nodes[i] == focusedNode)
                focused = static_cast<int>(i);
        }
    } else {
        rows_.SetDiskRows(std::move(savedItems_));
        const std::vector<std::wstring> selectedPaths = std::move(savedSelectedPaths_);
        const std::wstring focusedPath = savedFocusedPath_;
        Forget();
        if (sortChanged)
            rows_.Sort();
        rows_.WithPaths(selectedPaths, focusedPath, selected, focused);
    }
}

void Finder::SelectionBefore(std::vector<std::wstring>& selected, std::wstring& focused) const {
    selected.clear();
    focused.clear();
    if (!active_)
        return;
    Archiver* archive = rows_.Archive();
    if (!archive) {
        selected = savedSelectedPaths_;
        focused = savedFocusedPath_;
        return;
    }
    // By path: the archive's tree is made again when it is listed again.
    for (ArchiveTree::Node node : savedSelectedNodes_)
        selected.push_back(Utf8ToWide(archive->tree.Path(node)));
    if (savedFocusedNode_ != ArchiveTree::none)
        focused = Utf8ToWide(archive->tree.Path(savedFocusedNode_));
}

void Finder::Forget() {
    active_ = false;
    rows_.SetFound(false);
    lastMatcher_.reset();
    std::vector<ArchiveTree::Node>().swap(found_);
    std::vector<ArchiveTree::Node>().swap(savedNodes_);
    std::vector<ItemData>().swap(savedItems_);
    savedSelectedNodes_.clear();
    savedFocusedNode_ = ArchiveTree::none;
    savedSelectedPaths_.clear();
    savedFocusedPath_.clear();
}
