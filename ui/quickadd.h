#pragma once

#include "archive/addoptions.h"

#include <string>
#include <vector>

// One-click adds: "Add to "name.7z"" and "Add to "name.zip"", on the shell's menu of every
// file and folder and on the window's row menu. They take the choices remembered for their
// format and show no dialog.

// The new archive one click makes of `items`: beside them, named after the one item, or
// after the folder that holds several; a name that is taken gets " (2)", " (3)", ...
std::wstring QuickArchiveName(const std::vector<std::wstring>& items, AddFormat format);

// Adds `items` into that archive; how it ended, as an exit code.
int QuickAdd(const std::vector<std::wstring>& items, AddFormat format);

// Carries out the shell's request for one item (`argument`, the quoted path). The shell
// starts one process per selected item: the first collects the others' paths for a moment
// and makes one archive of them all; every later one hands its path over and ends.
int CollectQuickAddRequest(const std::wstring& argument, AddFormat format);
