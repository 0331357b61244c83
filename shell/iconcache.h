#pragma once

#include <windows.h>

#include <string>

// What the shell shows for a kind of item: its small icon and type name.
struct ShellKind {
    HICON icon = nullptr;
    std::wstring typeName;
};

// The shell's look of every kind of item, asked once per kind for the whole run and shared
// by every row and place that shows one. Its icons are never destroyed while the program
// runs, so no row or place can outlive the icon it draws, and their number is bounded by
// the kinds seen (past a few hundred extensions, new ones share the look of a plain file).
// Any thread may ask.

// A file named `name`, by its extension alone (nothing on disk is touched).
const ShellKind& FileKind(const std::wstring& name);
// A folder.
const ShellKind& FolderKind();

// The extension of a file name in lower case, dot included ("" when it has none).
std::wstring LowerExtension(const std::wstring& name);

// The type name a kind is shown with: the shell's, or, for an extension no program has
// claimed (where Wine answers "xsd file" or ".xsd file"), the name Windows gives it, the
// extension in capitals and "File": "XSD File". `extension` as LowerExtension gives it.
std::wstring TypeNameOf(const std::wstring& extension, const std::wstring& shellName);
