#include "archive/itempipe.h"

#include <utility>

ItemPipe::ItemPipe(Sink sink) : sink_(std::move(sink)) {
    for (Batch& batch : batches_)
        batch.items.resize(batchSize);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

ItemPipe::~ItemPipe() {
    Finish();
}

void ItemPipe::Put(DirItem& item) {
    if (!thread_) { // no thread could be made: the sink has it here
        sink_(item);
        return;
    }
    Batch& batch = batches_[filling_];
    std::swap(batch.items[batch.used].path, item.path);
    batch.items[batch.used].entry = item.entry;
    if (++batch.used == batchSize)
        Send();
}

// Queues the batch being filled and waits for a free one to fill next.
void ItemPipe::Send() {
    AcquireSRWLockExclusive(&lock_);
    ++fullCount_;
    WakeConditionVariable(&changed_);
    while (fullCount_ == batchCount)
        SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    filling_ = (filling_ + 1) % batchCount;
    ReleaseSRWLockExclusive(&lock_);
}

void ItemPipe::Finish() {
    if (!thread_)
        return;
    if (batches_[filling_].used > 0)
        Send();
    AcquireSRWLockExclusive(&lock_);
    finished_ = true;
    WakeConditionVariable(&changed_);
    ReleaseSRWLockExclusive(&lock_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI ItemPipe::Run(void* parameter) {
    static_cast<ItemPipe*>(parameter)->Drain();
    return 0;
}

void ItemPipe::Drain() {
    AcquireSRWLockExclusive(&lock_);
    for (;;) {
        while (fullCount_ == 0 && !finished_)
            SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        if (fullCount_ == 0)
            break; // finished, and every batch given to the sink
        Batch& batch = batches_[firstFull_];
        ReleaseSRWLockExclusive(&lock_);
        for (size_t i = 0; i < batch.used; ++i)
            sink_(batch.items[i]);
        batch.used = 0;
        AcquireSRWLockExclusive(&lock_);
        firstFull_ = (firstFull_ + 1) % batchCount;
        --fullCount_;
        WakeConditionVariable(&changed_);
    }
    ReleaseSRWLockExclusive(&lock_);
}
