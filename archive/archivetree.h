#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The entries of an open archive as a tree of folders, kept compact so that a million
// entries cost little more than their names: nodes are numbers into one list, names lie in
// one block of UTF-8 text, sizes and times are kept as numbers. A node's children keep the
// order in which the archive first named them. A name is found in its folder through one
// hash table for the whole tree, so that a folder of 100,000 entries is no slower than a
// small one. Nothing here recurses: an archive nested thousands of levels deep is safe.
class ArchiveTree {
  public:
    using Node = uint32_t;
    static constexpr Node root = 0;
    static constexpr Node none = 0xFFFFFFFF;

    // What an entry of the archive says of itself.
    struct Entry {
        uint64_t size = 0;
        uint64_t packedSize = 0;
        FILETIME modified = {};
        uint32_t attributes = 0;
        bool hasSize = false;
        bool hasPackedSize = false;
        bool hasModified = false;
        // An entry of the archive gave the node its numbers (not only a path below it).
        bool listed = false;
    };
    // No index in the archive: a node made on the way, or a tree built by hand.
    static constexpr uint32_t noIndex = 0xFFFFFFFF;

    ArchiveTree();

    // Forgets every node but the root.
    void Clear();
    // Room for this many entries, so that the lists are not copied while they grow.
    void Reserve(size_t entries);

    // The node of a backslash-separated path ("" is the root; every backslash separates
    // two names, so "a\\b" has an empty one between); `none` when there is none.
    Node Find(std::string_view path) const;
    // The same, making the missing nodes on the way, as folders.
    Node Make(std::string_view path);
    // Puts one entry into the tree: its node takes what the entry says, also when it was
    // made before as a folder implied by the paths below it. An entry whose path an entry
    // before it had already (unless both are folders, which are one folder) gets a node of
    // its own beside that one, named "name [2]", "name [3]", ..., so that each is a row of
    // its own; `index`, the entry's place in the archive, then tells it apart.
    Node Add(std::string_view path, const Entry& entry, uint32_t index = noIndex);
    // For a node made for an entry whose path came again: its index in the archive;
    // noIndex for every other node.
    uint32_t DuplicateIndex(Node node) const;
    // The indices of all those entries: a choice by path must not take them.
    std::vector<uint32_t> DuplicateIndices() const;

    std::string_view Name(Node node) const;
    // The node's path from the root, names joined by backslashes.
    std::string Path(Node node) const;
    const Entry& EntryOf(Node node) const { return nodes_[node].entry; }
    bool IsFolder(Node node) const {
        return (nodes_[node].entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    Node Parent(Node node) const { return nodes_[node].parent; }
    // A node's children form a ring: its last child, then the first, and on to the last.
    Node FirstChild(Node node) const {
        Node last = nodes_[node].lastChild;
        return last == none ? none : nodes_[last].nextSibling;
    }
    Node NextSibling(Node node) const {
        return node == nodes_[nodes_[node].parent].lastChild ? none : nodes_[node].nextSibling;
    }
    bool HasChildren(Node node) const { return nodes_[node].lastChild != none; }
    // Every node but the root in the order of their paths: depth first, each folder's
    // children in the order of their names (ASCII letter case aside, other characters by
    // their code points), so that a folder comes right before what it holds.
    std::vector<Node> PathOrder() const;
    size_t NodeCount() const { return nodes_.size(); }
    // The memory the tree holds, for the benchmarks.
    size_t BytesHeld() const;

  private:
    // 48 bytes: a name's end is where the next node's begins, and the children's ring needs
    // only the last child.
    struct NodeData {
        uint32_t nameStart = 0;
        Node parent = none;
        Node lastChild = none;
        Node nextSibling = none;
        Entry entry;
    };

    Node Child(Node parent, std::string_view name) const;
    // The child of that name, made when there is none.
    Node MakeChild(Node parent, std::string_view name);
    size_t SlotOf(Node parent, std::string_view name, uint32_t hash) const;
    void Rehash(size_t slotCount);

    std::vector<NodeData> nodes_;
    std::string names_;
    // Every node but the root, by its parent and name: node + 1, 0 for an empty slot.
    std::vector<uint32_t> slots_;
    // Eight bits of each slot's hash: a search passes most other nodes without reading them.
    std::vector<uint8_t> tags_;
    // Folders the paths made lately ended in, by a hash of their paths: an archive names
    // the entries of a few folders over and over, so the next path is mostly in one of them.
    // 1,024 of them, or more for a big archive (see Reserve).
    static constexpr size_t minRecentFolders = 1024;
    static constexpr size_t maxRecentFolders = 65536;
    struct RecentFolder {
        std::string path;
        Node node = none;
    };
    std::vector<RecentFolder> recentFolders_;
    // The nodes made for entries whose path came again, and those entries' indices.
    std::vector<std::pair<Node, uint32_t>> duplicates_;
};
