#pragma once

#include <string>

// Carries out the verb the command line names. True when there was one (the process then
// ends); false when the window should run.
bool DispatchVerb(const std::wstring& commandLine);
