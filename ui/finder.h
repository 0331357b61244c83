#pragma once

#include "archive/archivetree.h"
#include "archive/archivetypes.h"
#include "archive/namematch.h"

#include <memory>
#include <string>
#include <vector>

class RowList;

// Find: the rows whose names contain a text, in an open archive every entry in every
// folder, named by its path from the archive's root, on the disk the rows of the folder
// shown; and the way back to the rows shown before.
class Finder {
  public:
    explicit Finder(RowList& rows) : rows_(rows) {}
    Finder(const Finder&) = delete;
    Finder& operator=(const Finder&) = delete;

    // Shows the rows whose names contain `text`, letter case aside. The first find keeps
    // the rows shown, with the rows `selected` and `focused` among them, to come back to.
    void Find(const std::wstring& text, const std::vector<int>& selected, int focused);
    // Back to the rows shown before the find, in the order the list is sorted by now;
    // `selected` and `focused` get the rows that were selected and focused then.
    void End(std::vector<int>& selected, int& focused);
    bool IsActive() const { return active_; }
    // During a find, the paths of the rows selected and focused in the place shown before
    // it: what a command that lists the place again (Delete, F5) brings back for Esc.
    void SelectionBefore(std::vector<std::wstring>& selected, std::wstring& focused) const;
    // Readies a find in an archive (its entries in the order of their paths), so that the
    // first letter typed shows its rows as soon as the others: when the find box gets the
    // keyboard.
    void Prepare();
    // Another place is shown: a find ends there, and what it kept goes.
    void Forget();

  private:
    RowList& rows_;
    // What a find keeps: the rows shown before it and what of them was selected, and what
    // the last text found (the next, longer text looks only among those).
    bool active_ = false;
    std::unique_ptr<NameMatcher> lastMatcher_;
    std::vector<ArchiveTree::Node> found_; // in the order of their paths
    std::vector<ArchiveTree::Node> savedNodes_;
    std::vector<ItemData> savedItems_;
    int savedSortColumn_ = 0;
    int savedSortOrder_ = 1;
    std::vector<ArchiveTree::Node> savedSelectedNodes_;
    ArchiveTree::Node savedFocusedNode_ = ArchiveTree::none;
    std::vector<std::wstring> savedSelectedPaths_;
    std::wstring savedFocusedPath_;
};
