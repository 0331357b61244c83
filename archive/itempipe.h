#pragma once

#include "archive/archivetypes.h"

#include <windows.h>

#include <functional>
#include <vector>

// Hands the items a listing reads to a thread of its own, in batches, so that the library
// reads the next entries while the ones before go into the tree: on two cores a listing
// takes little longer than the library's own reading. The thread is given the items in
// the order they were put.
class ItemPipe {
  public:
    using Sink = std::function<void(DirItem& item)>;

    explicit ItemPipe(Sink sink);
    ~ItemPipe();
    ItemPipe(const ItemPipe&) = delete;
    ItemPipe& operator=(const ItemPipe&) = delete;

    // Takes the item's contents (the caller's item is left with another's, to be
    // overwritten).
    void Put(DirItem& item);
    // Returns once the sink has had every item put.
    void Finish();

  private:
    static constexpr size_t batchSize = 1024;
    static constexpr int batchCount = 3;

    struct Batch {
        std::vector<DirItem> items;
        size_t used = 0;
    };

    static DWORD WINAPI Run(void* parameter);
    void Drain();
    void Send();

    Sink sink_;
    HANDLE thread_ = nullptr;
    Batch batches_[batchCount];
    // Batches go round: the one being filled, then those full in order, then those free.
    int filling_ = 0;
    int firstFull_ = 0; // the oldest batch waiting for the sink
    int fullCount_ = 0;
    bool finished_ = false;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
};
