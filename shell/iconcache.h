#pragma once

#include <windows.h>

#include <string>

// What the shell shows for a kind of item: its small icon, its large one (for rows drawn at
// a display scale the small one would have to be stretched for) and its type name.
struct ShellKind {
    HICON icon = nullptr;
    HICON largeIcon = nullptr;
    std::wstring typeName;
};

// The icon of the two that suits drawing at `pixels`: the small one up to the size the
// system gives small icons, else the large one, which is shrunk rather than the small one
// blown up. Either one when the other is missing.
HICON IconForSize(HICON icon, HICON largeIcon, int pixels);
// Whether drawing at `pixels` takes the large icon: past the size of the system's small ones.
bool WantsLargeIcon(int pixels);

// The shell's look of every kind of item, asked once per kind for the whole run and shared
// by every row and place that shows one. Its icons are never destroyed while the program
// runs, so no row or place can outlive the icon it draws, and their number is bounded by
// the kinds seen (past a few hundred extensions, new ones share the look of a plain file).
// Any thread may ask.

// The shell's large icon of a path (the caller owns it): SHGetFileInfo's, with `flags`
// (SHGFI_PIDL, SHGFI_USEFILEATTRIBUTES) and `attributes` as it takes them.
HICON LargeShellIcon(const wchar_t* path, DWORD attributes, UINT flags = 0);

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
