#pragma once

#include "win/handle.h"

#include <windows.h>

#include <string>

// Sets a string value. Without a value name, the key's default value is set (and the key
// made if needed). True when the value was stored.
bool RegSetString(HKEY root, const std::wstring& key, const std::wstring& data,
                  const wchar_t* valueName = nullptr);

// Opens a key; when that fails and write access is wanted, opens it for setting values
// only, and failing that creates it.
win::RegKey RegOpenOrCreateKey(HKEY root, const std::wstring& key, REGSAM access);

// Removes a key with all its values and subkeys.
bool RegDeleteKeyTree(HKEY root, const std::wstring& key);

// Removes one value of a key (the default value without a name).
bool RegDeleteString(HKEY root, const std::wstring& key, const wchar_t* valueName = nullptr);

// Removes a key only when it holds no value and no subkey.
bool RegDeleteEmptyKey(HKEY root, const std::wstring& key);

// A string value (the default value without a name), or "" when there is none.
std::wstring RegReadString(HKEY root, const std::wstring& key, const wchar_t* valueName = nullptr);

// Tells the shell that file associations changed, so that Explorer shows them at once.
void NotifyAssociationsChanged();

// Every change above (set, delete, notify) passes through the hook when one is set. The
// program sets none. A test sets one to play a standard user: Windows refuses such a user
// every write to HKEY_LOCAL_MACHINE, which Wine would allow.
class RegistryHook {
  public:
    virtual ~RegistryHook() = default;
    // Before a change to `key` under `root`: ERROR_SUCCESS lets it happen; any other code
    // (ERROR_ACCESS_DENIED, as Windows answers a standard user) refuses it, and the change
    // reports failure.
    virtual LONG BeforeChange(HKEY root, const std::wstring& key) = 0;
    virtual void ShellNotified() = 0;
};
void SetRegistryHook(RegistryHook* hook);
