#pragma once

#include <string>
#include <vector>

// Where the console tool and the scratch files lie, and the command lines the tool is run
// with. Nothing the user typed or an archive holds ever passes through a command
// interpreter: the tool is started directly, the archive path is one quoted argument of
// its own command line, names go into a UTF-8 list file and a password is answered at the
// tool's own prompt (see the output interpreter), so that no password reaches a file.

// The program's core folder (beside the executable, with a trailing backslash) followed
// by `name`.
std::wstring GetCorePath(const std::wstring& name = std::wstring());

// A scratch name in the local Temp folder: the prefix followed by the tick count
// ("...\Temp\Quorp123456"). Makes the Temp folder when it is missing.
std::wstring GetTempName(const std::wstring& prefix);

// A new, empty scratch folder named as GetTempName names it. When that name is taken (by
// another job in the same millisecond, another process, or anything else), the number
// goes up until a name is free, so that removing the folder later never removes what
// somebody else made. Empty when no folder could be made.
std::wstring MakeScratchFolder(const std::wstring& prefix);
// The same for a new, empty file: GetTempName's name with `extension` behind it.
std::wstring MakeScratchFile(const std::wstring& prefix, const std::wstring& extension);

// One run of the console tool.
struct ToolRun {
    std::wstring program;     // the tool's full path
    std::wstring commandLine; // its whole command line, its own quoted path first
    std::wstring folder;      // its current folder; empty: the program's own
    std::wstring listFile;    // the list file written for this run; DiscardRun removes it
};

// True when a path can be handed to the tool as one quoted argument: it is not empty and
// holds no control character and none of the characters Windows allows in no file name
// (" < > | * ?), and a colon only right after a drive letter. An existing file's path
// always can.
bool IsUsableToolPath(const std::wstring& path);

// True when a name can be written as one line of a list file: it holds no line end and
// no zero character.
bool IsListableName(const std::wstring& name);

// True when the tool takes `password` for a ZIP archive: there it takes ASCII characters
// only (7z archives take any).
bool ZipTakesPassword(const std::wstring& password);

// A run of `command` ("a", "d" or "rn") on `archive` for `names`: the files and folders to
// add, the entries to delete, or pairs of an entry's path and its new path (matched exactly,
// wildcards taken literally). With
// `askPassword` the tool is told that the job has a password (it then asks for it).
// False when a name cannot be listed or the list file cannot be written. `switches` (each
// with a leading blank) choose the format, the compression and the update mode of an add.
bool MakeItemsRun(const std::wstring& archive, const std::wstring& command,
                  const std::vector<std::wstring>& names, bool askPassword, ToolRun& run,
                  const std::wstring& switches = std::wstring());

// A run that adds everything in `folder` ("*") to `archive`, run inside `folder`.
ToolRun MakeFolderRun(const std::wstring& archive, const std::wstring& folder, bool askPassword,
                      const std::wstring& switches = std::wstring());

// Removes what the run left in the Temp folder (its list file).
void DiscardRun(ToolRun& run);
