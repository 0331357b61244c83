#include "archive/archivetree.h"

#include <algorithm>

namespace {

// 32 bits are plenty for the slots and cheap in a 32-bit program.
uint32_t Hash(ArchiveTree::Node parent, std::string_view name) {
    uint32_t hash = 2166136261u ^ (parent * 2654435761u);
    for (char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    hash ^= hash >> 13;
    return hash;
}

uint8_t TagOf(uint32_t hash) {
    return static_cast<uint8_t>(hash >> 24);
}

unsigned char Lower(char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// Eight bytes of a name from `from` on, lower case, as one number: comparing two of them
// is much cheaper than comparing two names.
uint64_t NameBytes(std::string_view name, size_t from) {
    uint64_t bytes = 0;
    for (size_t i = from; i < from + 8; ++i)
        bytes = (bytes << 8) | (i < name.size() ? Lower(name[i]) : 0u);
    return bytes;
}

// A child in its folder's sort: the first sixteen bytes of its name decide for nearly all
// names ("file123456.txt" and "file123457.txt" differ in the tenth).
struct SortedChild {
    uint64_t head;
    uint64_t next;
    ArchiveTree::Node node;
};

bool NameBefore(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        unsigned char x = Lower(a[i]);
        unsigned char y = Lower(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

} // namespace

ArchiveTree::ArchiveTree() {
    Clear();
}

void ArchiveTree::Clear() {
    // Given back, not only emptied: the next archive may be small.
    std::vector<NodeData>().swap(nodes_);
    std::string().swap(names_);
    std::vector<uint32_t>(16, 0).swap(slots_);
    std::vector<uint8_t>(16, 0).swap(tags_);
    std::vector<RecentFolder>().swap(recentFolders_);
    std::vector<std::pair<Node, uint32_t>>().swap(duplicates_);
    NodeData top;
    top.entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    nodes_.push_back(top);
}

// At most two slots of three are taken, so that a search ends soon.
static bool TooFull(size_t nodes, size_t slots) {
    return nodes * 3 > slots * 2;
}

void ArchiveTree::Reserve(size_t entries) {
    nodes_.reserve(nodes_.size() + entries + entries / 16);
    names_.reserve(names_.size() + entries * 16);
    size_t wanted = slots_.size();
    while (TooFull(nodes_.capacity() + 1, wanted))
        wanted *= 2;
    if (wanted > slots_.size())
        Rehash(wanted);
    // An archive of many entries may name the entries of thousands of folders taking turns:
    // one folder remembered for every 16 entries keeps most of them at hand.
    size_t folders = minRecentFolders;
    while (folders < maxRecentFolders && folders * 16 < entries)
        folders *= 2;
    if (folders > recentFolders_.size()) {
        recentFolders_.clear();
        recentFolders_.resize(folders);
    }
}

// The slot that holds the child of that name, or the empty one where it would go.
size_t ArchiveTree::SlotOf(Node parent, std::string_view name, uint32_t hash) const {
    size_t mask = slots_.size() - 1;
    size_t slot = hash & mask;
    uint8_t tag = TagOf(hash);
    for (;;) {
        uint32_t held = slots_[slot];
        if (held == 0)
            return slot;
        if (tags_[slot] == tag && nodes_[held - 1].parent == parent && Name(held - 1) == name)
            return slot;
        slot = (slot + 1) & mask;
    }
}

ArchiveTree::Node ArchiveTree::Child(Node parent, std::string_view name) const {
    uint32_t held = slots_[SlotOf(parent, name, Hash(parent, name))];
    return held == 0 ? none : held - 1;
}

void ArchiveTree::Rehash(size_t slotCount) {
    std::vector<uint32_t>(slotCount, 0).swap(slots_);
    std::vector<uint8_t>(slotCount, 0).swap(tags_);
    for (Node node = 1; node < nodes_.size(); ++node) {
        uint32_t hash = Hash(nodes_[node].parent, Name(node));
        size_t slot = SlotOf(nodes_[node].parent, Name(node), hash);
        slots_[slot] = node + 1;
        tags_[slot] = TagOf(hash);
    }
}

ArchiveTree::Node ArchiveTree::MakeChild(Node parent, std::string_view name) {
    if (TooFull(nodes_.size() + 1, slots_.size()))
        Rehash(slots_.size() * 2);
    uint32_t hash = Hash(parent, name);
    size_t slot = SlotOf(parent, name, hash);
    if (slots_[slot] != 0)
        return slots_[slot] - 1;

    NodeData data;
    data.nameStart = static_cast<uint32_t>(names_.size());
    data.parent = parent;
    // Made on the way: a folder until an entry of its own says otherwise.
    data.entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    names_.append(name.data(), name.size());
    Node node = static_cast<Node>(nodes_.size());
    // The new last child, between the old last and the first.
    NodeData& above = nodes_[parent];
    if (above.lastChild == none) {
        data.nextSibling = node;
    } else {
        data.nextSibling = nodes_[above.lastChild].nextSibling;
        nodes_[above.lastChild].nextSibling = node;
    }
    above.lastChild = node;
    nodes_.push_back(data);
    slots_[slot] = node + 1;
    tags_[slot] = TagOf(hash);
    return node;
}

ArchiveTree::Node ArchiveTree::Find(std::string_view path) const {
    Node node = root;
    if (path.empty())
        return node;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        size_t stop = end == std::string_view::npos ? path.size() : end;
        node = Child(node, path.substr(start, stop - start));
        if (node == none || end == std::string_view::npos)
            return node;
        start = end + 1;
    }
}

ArchiveTree::Node ArchiveTree::Make(std::string_view path) {
    if (path.empty())
        return root;
    size_t lastSeparator = path.rfind('\\');
    if (lastSeparator == std::string_view::npos)
        return MakeChild(root, path);
    std::string_view folder = path.substr(0, lastSeparator);
    std::string_view name = path.substr(lastSeparator + 1);
    if (recentFolders_.empty())
        recentFolders_.resize(minRecentFolders);
    RecentFolder& recent = recentFolders_[Hash(root, folder) & (recentFolders_.size() - 1)];
    if (recent.node == none || recent.path != folder) {
        Node node = root;
        size_t start = 0;
        for (;;) {
            size_t end = folder.find('\\', start);
            size_t stop = end == std::string_view::npos ? folder.size() : end;
            node = MakeChild(node, folder.substr(start, stop - start));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
        recent.path.assign(folder.data(), folder.size());
        recent.node = node;
    }
    return MakeChild(recent.node, name);
}

ArchiveTree::Node ArchiveTree::Add(std::string_view path, const Entry& entry, uint32_t index) {
    Node node = Make(path);
    const bool folder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (nodes_[node].entry.listed && node != root && !(folder && IsFolder(node))) {
        // The path came before: this entry is a row of its own, beside the first.
        Node parent = nodes_[node].parent;
        std::string name(Name(node));
        for (uint32_t number = 2;; ++number) {
            std::string numbered = name + " [" + std::to_string(number) + "]";
            if (Child(parent, numbered) == none) {
                node = MakeChild(parent, numbered);
                break;
            }
        }
        duplicates_.push_back({node, index});
    }
    // A folder's own entry may come after its contents: it then fills the node that was
    // made for it on the way.
    nodes_[node].entry = entry;
    nodes_[node].entry.listed = true;
    return node;
}

uint32_t ArchiveTree::DuplicateIndex(Node node) const {
    for (const auto& duplicate : duplicates_) {
        if (duplicate.first == node)
            return duplicate.second;
    }
    return noIndex;
}

std::vector<uint32_t> ArchiveTree::DuplicateIndices() const {
    std::vector<uint32_t> indices;
    for (const auto& duplicate : duplicates_)
        indices.push_back(duplicate.second);
    return indices;
}

std::string_view ArchiveTree::Name(Node node) const {
    size_t start = nodes_[node].nameStart;
    size_t end = node + 1 < nodes_.size() ? nodes_[node + 1].nameStart : names_.size();
    return std::string_view(names_.data() + start, end - start);
}

std::string ArchiveTree::Path(Node node) const {
    size_t length = 0;
    for (Node at = node; at != root && at != none; at = nodes_[at].parent)
        length += Name(at).size() + 1;
    if (length == 0)
        return std::string();
    std::string path(length - 1, '\\');
    size_t end = path.size();
    for (Node at = node; at != root && at != none; at = nodes_[at].parent) {
        std::string_view name = Name(at);
        end -= name.size();
        path.replace(end, name.size(), name.data(), name.size());
        if (end > 0)
            --end; // the backslash before it
    }
    return path;
}

std::vector<ArchiveTree::Node> ArchiveTree::PathOrder() const {
    std::vector<Node> order;
    order.reserve(nodes_.size() - 1);
    // The nodes still to go, the next one on top; a folder puts its children there, sorted.
    std::vector<Node> pending{root};
    std::vector<SortedChild> children;
    while (!pending.empty()) {
        Node folder = pending.back();
        pending.pop_back();
        if (folder != root)
            order.push_back(folder);
        children.clear();
        for (Node child = FirstChild(folder); child != none; child = NextSibling(child)) {
            std::string_view name = Name(child);
            children.push_back({NameBytes(name, 0), NameBytes(name, 8), child});
        }
        std::sort(children.begin(), children.end(),
                  [this](const SortedChild& a, const SortedChild& b) {
                      if (a.head != b.head)
                          return a.head < b.head;
                      if (a.next != b.next)
                          return a.next < b.next;
                      return NameBefore(Name(a.node), Name(b.node));
                  });
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back(child->node);
    }
    return order;
}

size_t ArchiveTree::BytesHeld() const {
    return nodes_.capacity() * sizeof(NodeData) + names_.capacity() +
           slots_.capacity() * sizeof(uint32_t);
}
