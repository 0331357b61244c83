#pragma once

#include "archive/library/archivelibrary.h"

#include <string>

// What the user answers when an extraction finds a file where an entry is to go.
enum class ReplaceAnswer {
    Replace,    // this file
    ReplaceAll, // and every other one of this extraction, without asking
    Skip,       // keep the file, leave the entry out
    SkipAll,
    KeepBoth, // the entry goes beside the file under a numbered name
    Cancel,   // stop the extraction
};

// Asks whether the file at `path` is to be replaced by the archive's entry `entry`.
// `clash` says why, when this extraction wrote the file a moment ago from the entry
// `earlierEntry`: two entries that Windows would give one file. `keptName` is the name
// the entry gets when both are kept. Cancel when the dialog cannot be shown.
ReplaceAnswer AskReplace(const std::wstring& path, const std::wstring& entry, NameClash clash,
                         const std::wstring& earlierEntry, const std::wstring& keptName);
