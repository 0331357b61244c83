#pragma once

#include <string>

// The program's core folder (beside the executable, with a trailing backslash) followed
// by `name`.
std::wstring GetCorePath(const std::wstring& name = std::wstring());

// A scratch name in the local Temp folder: the prefix followed by the tick count
// ("...\Temp\Quorp123456"). Makes the Temp folder when it is missing.
std::wstring GetTempName(const std::wstring& prefix);

// Writes a batch script that runs the console tool once on `archive` and then deletes
// itself. `extra` (quoted by the caller) and `password` may be empty. Returns the script's
// path, or "" when it could not be written.
std::wstring WriteScript(const std::wstring& archive, const std::wstring& command,
                         const std::wstring& extra = std::wstring(),
                         const std::wstring& password = std::wstring());

// Writes a batch script that changes to `folder` and runs the console tool there. It does
// not delete itself.
std::wstring WriteFolderScript(const std::wstring& archive, const std::wstring& folder,
                               const std::wstring& command,
                               const std::wstring& extra = std::wstring(),
                               const std::wstring& password = std::wstring());
