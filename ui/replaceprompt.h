#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/questions.h"

#include <string>

// Asks whether the file at `path` is to be replaced by the archive's entry `entry`.
// `clash` says why, when this extraction wrote the file a moment ago from the entry
// `earlierEntry`: two entries that Windows would give one file. `keptName` is the name
// the entry gets when both are kept. Cancel when the dialog cannot be shown.
ReplaceAnswer AskReplace(const std::wstring& path, const std::wstring& entry, NameClash clash,
                         const std::wstring& earlierEntry, const std::wstring& keptName);
