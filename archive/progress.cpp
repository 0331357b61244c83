#include "archive/progress.h"

std::atomic<uint64_t> progressTotal{0};
std::atomic<uint64_t> progressCompleted{0};
std::atomic<bool> progressFinished{false};

void ResetProgress() {
    progressTotal = 0;
    progressCompleted = 0;
    progressFinished = false;
}
