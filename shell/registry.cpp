#include "shell/registry.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

static RegistryHook* registryHook = nullptr;

void SetRegistryHook(RegistryHook* hook) {
    registryHook = hook;
}

static bool ChangeAllowed(HKEY root, const std::wstring& key) {
    return !registryHook || registryHook->BeforeChange(root, key) == ERROR_SUCCESS;
}

bool RegSetString(HKEY root, const std::wstring& key, const std::wstring& data,
                  const wchar_t* valueName) {
    if (!ChangeAllowed(root, key))
        return false;
    if (!valueName)
        return RegSetValueW(root, key.c_str(), REG_SZ, data.c_str(),
                            static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;

    win::RegKey handle = RegOpenOrCreateKey(root, key, KEY_READ | KEY_WRITE);
    if (!handle)
        return false;
    // The terminating zero is stored with the text.
    bool stored =
        RegSetValueExW(handle.get(), valueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    return RegCloseKey(handle.release()) == ERROR_SUCCESS && stored;
}

win::RegKey RegOpenOrCreateKey(HKEY root, const std::wstring& key, REGSAM access) {
    win::RegKey handle;
    if (!root || key.empty())
        return handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, access, handle.put()) == ERROR_SUCCESS)
        return handle;
    if (!(access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY))) // no write right wanted
        return win::RegKey();
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, handle.put()) == ERROR_SUCCESS)
        return handle;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, handle.put(), nullptr) == ERROR_SUCCESS)
        return handle;
    return win::RegKey();
}

bool RegDeleteKeyTree(HKEY root, const std::wstring& key) {
    if (!ChangeAllowed(root, key))
        return false;
    return SHDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS;
}

bool RegDeleteString(HKEY root, const std::wstring& key, const wchar_t* valueName) {
    if (!ChangeAllowed(root, key))
        return false;
    win::RegKey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, handle.put()) != ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(handle.get(), valueName) == ERROR_SUCCESS;
}

bool RegDeleteEmptyKey(HKEY root, const std::wstring& key) {
    win::RegKey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0)
        return false;
    handle.reset();
    if (!ChangeAllowed(root, key))
        return false;
    return RegDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS;
}

std::wstring RegReadString(HKEY root, const std::wstring& key, const wchar_t* valueName) {
    win::RegKey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS)
        return std::wstring();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle.get(), valueName, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(handle.get(), valueName, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(text.data());
}

void NotifyAssociationsChanged() {
    if (registryHook)
        registryHook->ShellNotified();
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
