#pragma once

#include <string>

// Carries out the verb the command line names. True when there was one (the process then
// ends with `exitCode`: 0 success, 1 warnings, 2 failure, 255 cancelled); false when the
// window should run.
bool DispatchVerb(const std::wstring& commandLine, int& exitCode);
