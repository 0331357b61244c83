#pragma once

#include "archive/archiver.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The files the tool will report for these sources: one for each file, all those inside
// each folder.
uint64_t CountFilesToAdd(const std::vector<std::wstring>& entries);

// The size of these files and folders, links not followed. With a `limit`, 0 once more
// than that many entries of folders were looked at (a quick figure or none).
uint64_t SourceBytes(const std::vector<std::wstring>& sources, size_t limit = 0);

// The add job's thread: adds the archiver's addTargets as its addOptions say, with its
// password. What went wrong is left in jobFailure, jobNotice, skippedFiles and keptFiles.
DWORD WINAPI AddJob(void* archiver);
