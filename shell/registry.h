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

// The default value of a key, or "" when there is none.
std::wstring RegReadDefaultString(HKEY root, const std::wstring& key);
