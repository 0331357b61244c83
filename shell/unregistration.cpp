#include "shell/unregistration.h"

#include "shell/registration.h"
#include "shell/registry.h"

#include <shlobj.h>

// The extension keys hold data of the system and of other programs, so only our own claim
// goes: the default value, and only while it still names our ProgID. A key that is left
// with nothing at all in it was ours alone and goes too.
static void WithdrawExtension(HKEY root, const std::wstring& extensionKey, const wchar_t* progId) {
    if (RegReadDefaultString(root, extensionKey) != progId)
        return;
    win::RegKey key;
    if (RegOpenKeyExW(root, extensionKey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return;
    RegDeleteValueW(key.get(), nullptr);

    DWORD subkeys = 0;
    DWORD values = 0;
    bool empty = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                  &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                 subkeys == 0 && values == 0;
    key.reset();
    if (empty)
        RegDeleteKeyW(root, extensionKey.c_str());
}

void UnregisterAssociations() {
    for (const ArchiveTypeEntry& type : archiveTypes) {
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, type.progId);
        RegDeleteKeyTree(HKEY_CURRENT_USER, std::wstring(userClassesPrefix) + type.progId);
        WithdrawExtension(HKEY_CLASSES_ROOT, type.extension, type.progId);
        WithdrawExtension(HKEY_CURRENT_USER, std::wstring(userClassesPrefix) + type.extension,
                          type.progId);
    }

    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\") + applicationName);
    win::RegKey registered;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", 0, KEY_SET_VALUE,
                      registered.put()) == ERROR_SUCCESS)
        RegDeleteValueW(registered.get(), applicationName);

    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void UnregisterVerbs() {
    for (const VerbEntry& verb : verbEntries)
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, verb.keyID);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
