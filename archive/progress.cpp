#include "archive/progress.h"

std::atomic<uint64_t> progressTotal{0};
std::atomic<uint64_t> progressCompleted{0};
