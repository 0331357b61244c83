#pragma once

#include "archive/archivetree.h"

#include <windows.h>

#include <string>
#include <vector>

// Builds a tree on a thread of its own from the entries a listing reads, so that the
// library reads the next entries while the ones before go into the tree. The entries go
// over in batches of packed UTF-8 paths and numbers: each batch is written once on the
// listing's thread and read once on the tree's, and the tree's thread is woken only when
// it has run out of work. The tree gets the entries in the order they were put.
class TreeFeeder {
  public:
    explicit TreeFeeder(ArchiveTree& tree);
    ~TreeFeeder();
    TreeFeeder(const TreeFeeder&) = delete;
    TreeFeeder& operator=(const TreeFeeder&) = delete;

    // Room in the tree for this many entries: only before the first Put.
    void Reserve(size_t entries);
    // `index`: the entry's place in the archive (see ArchiveTree::Add).
    void Put(const std::wstring& path, const ArchiveTree::Entry& entry, uint32_t index);
    // Returns once every entry put is in the tree.
    void Finish();

  private:
    static constexpr size_t batchSize = 1024;
    static constexpr int batchCount = 3;

    struct Batch {
        std::string paths;                       // one after another
        std::vector<uint32_t> pathEnds;          // where each path ends in `paths`
        std::vector<ArchiveTree::Entry> entries; // the numbers, in the same order
        std::vector<uint32_t> indices;           // and the entries' places in the archive
    };

    static DWORD WINAPI Run(void* parameter);
    void Build();
    void Send();

    ArchiveTree& tree_;
    std::string utf8_; // the path being put
    HANDLE thread_ = nullptr;
    Batch batches_[batchCount];
    // Batches go round: the one being filled, then those full in order, then those free.
    int filling_ = 0;
    int firstFull_ = 0; // the oldest batch waiting for the tree
    int fullCount_ = 0;
    bool finished_ = false;
    bool builderWaits_ = false;
    bool listerWaits_ = false;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
};
