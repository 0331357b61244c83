#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// How far the running job is. The job's starter resets them, the job side advances them,
// the progress dialog shows completed * 100 / total. The unit is the job's choice. Each is
// read and written as one 64-bit unit, so the dialog never sees a torn value.
extern std::atomic<uint64_t> progressTotal;
extern std::atomic<uint64_t> progressCompleted;

// Set by FinishProgress. The progress dialog looks at it when it comes up and at every
// tick, so that a job that ends before the dialog is up still closes it.
extern std::atomic<bool> progressFinished;

// An add's bytes: those of all its sources, and how many of them are packed so far. The
// dialog shows its byte, time and speed lines only while the total is not zero.
extern std::atomic<uint64_t> progressBytesTotal;
extern std::atomic<uint64_t> progressBytesDone;

// The file being packed, as the tool names it; from any thread.
void SetProgressFile(const std::wstring& name);
std::wstring ProgressFile();

// What the job says at its end, where the progress dialog shows it for a moment: how well
// a create packed. From any thread; empty for none.
void SetProgressEnding(const std::wstring& text);
std::wstring ProgressEnding();

// What a job's starter does before it starts the job.
void ResetProgress();

static_assert(std::atomic<uint64_t>::is_always_lock_free,
              "the progress counters must not need a lock");
