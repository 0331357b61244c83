// The order of the browser's rows: the up row, then folders, then files, each by the sort
// column; the keys made once per row, so that a million rows sort in a moment.
#include "ui/rowlist.h"

#include "archive/archiver.h"

#include <algorithm>
#include <numeric>

namespace {

bool IsUpRow(const ItemData& row) {
    return row.name == L"..";
}

bool IsFolderRow(const ItemData& row) {
    return (row.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Where a row goes in the order of a sort: the up row, then folders, then files.
int Group(const ItemData& row) {
    if (IsUpRow(row))
        return 0;
    return IsFolderRow(row) ? 1 : 2;
}

uint64_t TimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A text as a key whose byte order is lstrcmpiW's order of the texts, so that a sort
// compares bytes instead of asking the locale at every comparison.
std::string SortKey(const std::wstring& text) {
    int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1,
                            nullptr, 0);
    std::string key(static_cast<size_t>(std::max(size, 0)), '\0');
    if (size > 0)
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1,
                     reinterpret_cast<LPWSTR>(&key[0]), size);
    return key;
}

// Names of letters without accents, digits and dots order under lstrcmpiW as they do
// compared letter by letter in lower case: for folders of such names (most of them) the
// locale need not be asked for a key per name.
bool IsPlainName(const std::wstring& name) {
    return std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               c == L'.';
    });
}

// The key of a plain name: the name in lower case, one byte a character.
std::string PlainKey(const std::wstring& name) {
    std::string key(name.size(), '\0');
    for (size_t i = 0; i < name.size(); ++i) {
        wchar_t c = name[i];
        key[i] = static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    return key;
}

bool AllDigitsAndCommas(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(),
                       [](wchar_t c) { return (c >= L'0' && c <= L'9') || c == L','; });
}

} // namespace

int CompareNumberText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    // Grouped digits of one length have their commas in the same places: a plain
    // comparison gives lstrcmpiW's answer without asking the locale.
    if (AllDigitsAndCommas(a) && AllDigitsAndCommas(b))
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return lstrcmpiW(a.c_str(), b.c_str());
}

void RowList::Sort() {
    std::vector<std::wstring> head;
    Head(head);
    // A sort column left over from the other mode, beyond this one's columns, sorts by name.
    std::wstring title = sortColumn_ >= 0 && sortColumn_ < static_cast<int>(head.size())
                             ? head[static_cast<size_t>(sortColumn_)]
                             : L"Name";
    const bool descending = sortOrder_ == 2;
    if (ShowsNodes()) {
        SortNodes(title, descending);
        return;
    }

    std::vector<size_t> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> nameKeys;
    bool plainNames =
        title == L"Name" && std::all_of(items_.begin(), items_.end(),
                                        [](const ItemData& row) { return IsPlainName(row.name); });
    if (title == L"Name") {
        nameKeys.reserve(items_.size());
        for (const ItemData& row : items_)
            nameKeys.push_back(plainNames ? PlainKey(row.name) : SortKey(row.name));
    }
    // Negative when row a goes before row b by the key alone.
    auto compareKeys = [&](size_t a, size_t b) -> int {
        const ItemData& first = items_[a];
        const ItemData& second = items_[b];
        if (title == L"Name")
            return nameKeys[a].compare(nameKeys[b]);
        if (title == L"Size")
            return CompareNumberText(first.size, second.size);
        if (title == L"Packed")
            return CompareNumberText(first.packedSize, second.packedSize);
        if (title == L"Modified") {
            uint64_t x = TimeValue(first.modified);
            uint64_t y = TimeValue(second.modified);
            return x < y ? -1 : (x == y ? 0 : 1);
        }
        return 0; // Type: no order of its own
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        int groupA = Group(items_[a]);
        int groupB = Group(items_[b]);
        if (groupA != groupB)
            return groupA < groupB;
        int result = compareKeys(a, b);
        return descending ? result > 0 : result < 0;
    });

    std::vector<ItemData> sorted;
    sorted.reserve(items_.size());
    for (size_t index : order)
        sorted.push_back(std::move(items_[index]));
    items_ = std::move(sorted);
}

// An archive's rows sort by the same rules as a disk folder's, from the tree's numbers and
// names, without making their texts.
void RowList::SortNodes(const std::wstring& title, bool descending) {
    if (found_ && title == L"Name") {
        SortFoundNodes(descending);
        return;
    }
    const ArchiveTree& tree = archive_->tree;
    auto group = [&](ArchiveTree::Node node) {
        if (node == ArchiveTree::none)
            return 0;
        return tree.IsFolder(node) ? 1 : 2;
    };
    std::vector<std::string> nameKeys;
    if (title == L"Name") {
        bool plainNames = std::all_of(nodes_.begin(), nodes_.end(), [&](ArchiveTree::Node node) {
            if (node == ArchiveTree::none)
                return true;
            std::string_view name = tree.Name(node);
            return std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.';
            });
        });
        nameKeys.reserve(nodes_.size());
        for (ArchiveTree::Node node : nodes_) {
            if (node == ArchiveTree::none) {
                nameKeys.emplace_back();
            } else if (plainNames) {
                std::string key(tree.Name(node));
                for (char& c : key)
                    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                nameKeys.push_back(std::move(key));
            } else {
                nameKeys.push_back(SortKey(archive_->RowName(node)));
            }
        }
    }
    // Sizes the rows do not show (a folder's, one the archive does not give) come first.
    auto compareSizes = [](bool knownA, uint64_t a, bool knownB, uint64_t b) {
        if (knownA != knownB)
            return knownA ? 1 : -1;
        return a < b ? -1 : (a == b ? 0 : 1);
    };
    auto compareKeys = [&](size_t a, size_t b) -> int {
        ArchiveTree::Node first = nodes_[a];
        ArchiveTree::Node second = nodes_[b];
        if (title == L"Name")
            return nameKeys[a].compare(nameKeys[b]);
        if (first == ArchiveTree::none || second == ArchiveTree::none)
            return 0;
        const ArchiveTree::Entry& x = tree.EntryOf(first);
        const ArchiveTree::Entry& y = tree.EntryOf(second);
        if (title == L"Size")
            return compareSizes(x.hasSize && !tree.IsFolder(first), x.size,
                                y.hasSize && !tree.IsFolder(second), y.size);
        if (title == L"Packed")
            return compareSizes(x.hasPackedSize && !tree.IsFolder(first), x.packedSize,
                                y.hasPackedSize && !tree.IsFolder(second), y.packedSize);
        if (title == L"Modified") {
            uint64_t p = TimeValue(x.modified);
            uint64_t q = TimeValue(y.modified);
            return p < q ? -1 : (p == q ? 0 : 1);
        }
        return 0; // Type: no order of its own
    };
    std::vector<uint32_t> order(nodes_.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        int groupA = group(nodes_[a]);
        int groupB = group(nodes_[b]);
        if (groupA != groupB)
            return groupA < groupB;
        int result = compareKeys(a, b);
        return descending ? result > 0 : result < 0;
    });
    std::vector<ArchiveTree::Node> sorted;
    sorted.reserve(nodes_.size());
    for (uint32_t index : order)
        sorted.push_back(nodes_[index]);
    nodes_ = std::move(sorted);
}

bool RowList::IsSortable(int position) const {
    std::vector<std::wstring> head;
    int count = Head(head);
    return position >= 0 && position < count &&
           head[static_cast<size_t>(position)].find(L"Type") == std::wstring::npos;
}

bool RowList::SortByColumn(int position) {
    if (!IsSortable(position))
        return false;
    sortOrder_ = position == sortColumn_ && sortOrder_ == 1 ? 2 : 1;
    sortColumn_ = position;
    Sort();
    return true;
}

void RowList::SortFoundNodes(bool descending) {
    // Found in the order of their paths, they need only their folders put first; sorted
    // otherwise since, they are put back in that order.
    auto byPath = [this](ArchiveTree::Node a, ArchiveTree::Node b) {
        return archive_->PathRank(a) < archive_->PathRank(b);
    };
    archive_->PathOrder(); // the ranks
    if (!std::is_sorted(nodes_.begin(), nodes_.end(), byPath))
        std::sort(nodes_.begin(), nodes_.end(), byPath);
    const ArchiveTree& tree = archive_->tree;
    auto folders = std::stable_partition(
        nodes_.begin(), nodes_.end(), [&](ArchiveTree::Node node) { return tree.IsFolder(node); });
    if (descending) {
        std::reverse(nodes_.begin(), folders);
        std::reverse(folders, nodes_.end());
    }
}
