#include "archive/treefeeder.h"

#include "archive/textconv.h"

#include <string_view>

TreeFeeder::TreeFeeder(ArchiveTree& tree) : tree_(tree) {
    for (Batch& batch : batches_) {
        batch.paths.reserve(batchSize * 32);
        batch.pathEnds.reserve(batchSize);
        batch.entries.reserve(batchSize);
        batch.indices.reserve(batchSize);
    }
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

TreeFeeder::~TreeFeeder() {
    Finish();
}

void TreeFeeder::Reserve(size_t entries) {
    // The tree's thread has had no batch yet: it does not touch the tree.
    tree_.Reserve(entries);
}

void TreeFeeder::Put(const std::wstring& path, const ArchiveTree::Entry& entry, uint32_t index) {
    if (!thread_) { // no thread could be made: the entry goes into the tree here
        WideToUtf8(path, utf8_);
        tree_.Add(utf8_, entry, index);
        return;
    }
    Batch& batch = batches_[filling_];
    // Most paths are ASCII: copied straight in, character by character.
    size_t at = batch.paths.size();
    batch.paths.resize(at + path.size());
    char* out = &batch.paths[at];
    for (wchar_t c : path) {
        if (c >= 0x80) {
            batch.paths.resize(at);
            WideToUtf8(path, utf8_);
            batch.paths += utf8_;
            break;
        }
        *out++ = static_cast<char>(c);
    }
    batch.pathEnds.push_back(static_cast<uint32_t>(batch.paths.size()));
    batch.entries.push_back(entry);
    batch.indices.push_back(index);
    if (batch.entries.size() == batchSize)
        Send();
}

// Queues the batch being filled and waits for a free one to fill next.
void TreeFeeder::Send() {
    AcquireSRWLockExclusive(&lock_);
    ++fullCount_;
    if (builderWaits_)
        WakeConditionVariable(&changed_);
    while (fullCount_ == batchCount) {
        listerWaits_ = true;
        SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        listerWaits_ = false;
    }
    filling_ = (filling_ + 1) % batchCount;
    ReleaseSRWLockExclusive(&lock_);
}

void TreeFeeder::Finish() {
    if (!thread_)
        return;
    if (!batches_[filling_].entries.empty())
        Send();
    AcquireSRWLockExclusive(&lock_);
    finished_ = true;
    WakeConditionVariable(&changed_);
    ReleaseSRWLockExclusive(&lock_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI TreeFeeder::Run(void* parameter) {
    static_cast<TreeFeeder*>(parameter)->Build();
    return 0;
}

void TreeFeeder::Build() {
    AcquireSRWLockExclusive(&lock_);
    for (;;) {
        while (fullCount_ == 0 && !finished_) {
            builderWaits_ = true;
            SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
            builderWaits_ = false;
        }
        if (fullCount_ == 0)
            break; // finished, and every batch is in the tree
        Batch& batch = batches_[firstFull_];
        ReleaseSRWLockExclusive(&lock_);
        uint32_t start = 0;
        for (size_t i = 0; i < batch.entries.size(); ++i) {
            uint32_t end = batch.pathEnds[i];
            tree_.Add(std::string_view(batch.paths.data() + start, end - start), batch.entries[i],
                      batch.indices[i]);
            start = end;
        }
        batch.paths.clear();
        batch.pathEnds.clear();
        batch.entries.clear();
        batch.indices.clear();
        AcquireSRWLockExclusive(&lock_);
        firstFull_ = (firstFull_ + 1) % batchCount;
        --fullCount_;
        if (listerWaits_)
            WakeConditionVariable(&changed_);
    }
    ReleaseSRWLockExclusive(&lock_);
}
