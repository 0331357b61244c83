#pragma once

#include <string>

// The command-line verbs that the shell's context menu starts the program with.
enum class Verb {
    None,            // no verb: the window runs
    ExtractHere,     // /e "archive"
    ExtractTo,       // /x "archive"
    ExtractToFolder, // /s "archive"
    AddRequest,      // /a "path"
    QuickAdd7z,      // /q7 "path": add to "name.7z" with no dialog
    QuickAddZip,     // /qz "path": add to "name.zip"
};

struct VerbRequest {
    Verb verb = Verb::None;
    // /e, /x and /s: the archive path; /a, /q7 and /qz: the rest of the line, quotes kept.
    std::wstring argument;
};

// Case-sensitive tests anywhere in the line, as the start-up makes them.
bool HasUnregisterSwitch(const std::wstring& commandLine);
bool HasRegisterSwitch(const std::wstring& commandLine);

// Tells the verb by the line's first two characters and cuts out its argument. The
// registered commands write the verb, one blank and the path in double quotes.
VerbRequest ParseVerb(const std::wstring& commandLine);

// The folder an archive lies in: its path up to, not including, the last backslash; a
// drive's root keeps it ("C:\\").
std::wstring ArchiveFolder(const std::wstring& archivePath);
