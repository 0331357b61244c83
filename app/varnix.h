#pragma once

#include <windows.h>

#include <string>

// The whole life of the process: preparation, shell registration, then either one
// command-line verb or the window run, and the shutdown. Returns the exit code.
int VarnixMain(HINSTANCE instance, const std::wstring& commandLine, int showCommand);

// The window run: the main window and its message loop.
int Run(const std::wstring& commandLine, int showCommand);
