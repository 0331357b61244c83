#pragma once

#include <windows.h>

#include <string>

// The archive types the program opens from the shell.
struct ArchiveTypeEntry {
    const wchar_t* extension;   // ".zip"
    const wchar_t* progId;      // "Varnix.zip"
    const wchar_t* description; // "ZIP Archive"
};
extern const ArchiveTypeEntry archiveTypes[3];

// The context-menu verbs, by key under the classes root.
struct VerbEntry {
    const wchar_t* keyID;
    const wchar_t* menuItem;
    const wchar_t* arguments; // behind the quoted program path
};
extern const VerbEntry verbEntries[18];

// The other archive extensions the engine reads. They keep their default program: only
// the extracting verbs are put on their context menus, for the user, under
// "Software\Classes\SystemFileAssociations\<extension>\shell".
extern const wchar_t* const otherArchiveExtensions[22];
// Those verbs: the key below "shell", the menu text and the arguments.
extern const VerbEntry extractingVerbs[3];
extern const wchar_t systemFileAssociationsPrefix[]; // "Software\Classes\SystemFileAssociations\"

extern const wchar_t applicationName[];   // "Varnix FileOpener"
extern const wchar_t userClassesPrefix[]; // "Software\\Classes\\"

// What the association step needs to know about this program and this system.
struct RegistrationContext {
    std::wstring longPathName; // the executable's full path
    std::wstring pathName;     // its short (8.3) form
    unsigned majorVersion;     // of the operating system
    bool elevated;             // the process runs with administrator rights
};
RegistrationContext CurrentRegistrationContext(HINSTANCE instance);

// Makes the program the handler of .zip, .rar and .7z and adds its verbs to the context
// menus.
// When that changed anything, the shell hears of it once.
void RegisterWithShell(HINSTANCE instance);
void RegisterWithShell(const RegistrationContext& context);

// The two halves of that; each is true when it changed a value.
// Capabilities, ProgIDs and extensions:
bool RegisterAssociations(const RegistrationContext& context);
// "Add to archive...", "Extract Here", "Extract files..." and "Extract to Folder", and the
// extracting verbs on the other archive extensions:
bool RegisterVerbs(const std::wstring& programPath);

// The command of a verb: the quoted program path, a blank, and the verb's arguments.
std::wstring FormatVerbCommand(const std::wstring& programPath, const wchar_t* arguments);

bool IsProcessElevated();

// Asks the system to make this program the default for an extension; 1 when it agreed.
int SetAsDefaultHandler(const wchar_t* extension);
