#include "shell/unregistration.h"

#include "shell/registration.h"
#include "shell/registry.h"

// The extension keys hold data of the system and of other programs, so only our own claim
// goes: the default value, and only while it still names our ProgID. A key that is left
// with nothing at all in it was ours alone and goes too.
static void WithdrawExtension(HKEY root, const std::wstring& extensionKey, const wchar_t* progId) {
    if (RegReadString(root, extensionKey) != progId)
        return;
    RegDeleteString(root, extensionKey);
    RegDeleteEmptyKey(root, extensionKey);
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
    RegDeleteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", applicationName);

    NotifyAssociationsChanged();
}

void UnregisterVerbs() {
    for (const VerbEntry& verb : verbEntries) {
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, verb.keyID);
        RegDeleteKeyTree(HKEY_CURRENT_USER, std::wstring(userClassesPrefix) + verb.keyID);
    }
    // The user's classes got "*" and "Folder" with their "shell" keys from the registration.
    // Left empty they go too; with other programs' verbs in them they stay.
    for (const wchar_t* parent : {L"*\\shell", L"*", L"Folder\\shell", L"Folder"})
        RegDeleteEmptyKey(HKEY_CURRENT_USER, std::wstring(userClassesPrefix) + parent);

    // The same for the verbs on the other archive extensions, up to the
    // SystemFileAssociations key itself.
    for (const wchar_t* extension : otherArchiveExtensions) {
        const std::wstring extensionKey = systemFileAssociationsPrefix + std::wstring(extension);
        for (const VerbEntry& verb : extractingVerbs)
            RegDeleteKeyTree(HKEY_CURRENT_USER, extensionKey + L"\\shell\\" + verb.keyID);
        RegDeleteEmptyKey(HKEY_CURRENT_USER, extensionKey + L"\\shell");
        RegDeleteEmptyKey(HKEY_CURRENT_USER, extensionKey);
    }
    std::wstring associations = systemFileAssociationsPrefix;
    associations.pop_back(); // the key, without the separator
    RegDeleteEmptyKey(HKEY_CURRENT_USER, associations);
    NotifyAssociationsChanged();
}
