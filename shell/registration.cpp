#include "shell/registration.h"

#include "shell/paths.h"
#include "shell/registry.h"

#include <shobjidl.h>

const ArchiveTypeEntry archiveTypes[2] = {
    {L".zip", L"Varnix.zip", L"ZIP Archive"},
    {L".rar", L"Varnix.rar", L"RAR Archive"},
};

const VerbEntry verbEntries[8] = {
    {L"*\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Folder\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Varnix.zip\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Varnix.zip\\shell\\Varnix1", L"Extract Here", L" /e \"%1\""},
    {L"Varnix.zip\\shell\\Varnix2", L"Extract files...", L" /x \"%1\""},
    {L"Varnix.rar\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Varnix.rar\\shell\\Varnix1", L"Extract Here", L" /e \"%1\""},
    {L"Varnix.rar\\shell\\Varnix2", L"Extract files...", L" /x \"%1\""},
};

const wchar_t applicationName[] = L"Varnix FileOpener";
const wchar_t userClassesPrefix[] = L"Software\\Classes\\";

static const wchar_t userChoicePrefix[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

RegistrationContext CurrentRegistrationContext(HINSTANCE instance) {
    RegistrationContext context;
    context.longPathName = ModuleFileName(instance);
    wchar_t shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(context.longPathName.c_str(), shortPath, MAX_PATH);
    context.pathName = length > 0 && length < MAX_PATH ? shortPath : context.longPathName;
    context.majorVersion = LOBYTE(LOWORD(GetVersion()));
    context.elevated = IsProcessElevated();
    return context;
}

void RegisterWithShell(HINSTANCE instance) {
    RegisterWithShell(CurrentRegistrationContext(instance));
}

void RegisterWithShell(const RegistrationContext& context) {
    RegisterAssociations(context);
    RegisterVerbs(context.longPathName);
}

// The same write in the machine-wide classes and in the user's own.
static void SetClassString(const std::wstring& key, const std::wstring& data) {
    RegSetString(HKEY_CLASSES_ROOT, key, data);
    RegSetString(HKEY_CURRENT_USER, userClassesPrefix + key, data);
}

void RegisterAssociations(const RegistrationContext& context) {
    const std::wstring capabilitiesKey =
        std::wstring(L"SOFTWARE\\") + applicationName + L"\\Capabilities";
    RegSetString(HKEY_LOCAL_MACHINE, capabilitiesKey, applicationName, L"ApplicationName");
    for (const ArchiveTypeEntry& type : archiveTypes)
        RegSetString(HKEY_LOCAL_MACHINE, capabilitiesKey + L"\\FileAssociations", type.progId,
                     type.extension);
    RegSetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", capabilitiesKey,
                 applicationName);

    const std::wstring openCommandLine = context.pathName + L" %1";
    const std::wstring defaultIconCommandLine = context.pathName + L",0";

    for (const ArchiveTypeEntry& type : archiveTypes) {
        const std::wstring progId = type.progId;
        SetClassString(progId, type.description);
        SetClassString(progId + L"\\DefaultIcon", defaultIconCommandLine);
        SetClassString(progId + L"\\shell\\open\\command", openCommandLine);
        SetClassString(type.extension, progId);

        if (context.majorVersion < 6) {
            RegSetString(HKEY_CURRENT_USER,
                         std::wstring(userChoicePrefix) + type.extension + L"\\UserChoice", progId,
                         L"Progid");
        } else if (context.elevated) {
            SetAsDefaultHandler(type.extension);
            NotifyAssociationsChanged();
        }
    }
}

std::wstring FormatVerbCommand(const std::wstring& programPath, const wchar_t* arguments) {
    // Built as a string of any length: a long program path must not be cut off.
    return L"\"" + programPath + L"\" " + arguments;
}

void RegisterVerbs(const std::wstring& programPath) {
    for (const VerbEntry& verb : verbEntries) {
        RegSetString(HKEY_CLASSES_ROOT, verb.keyID, verb.menuItem);
        RegSetString(HKEY_CLASSES_ROOT, verb.keyID, programPath, L"Icon");
        RegSetString(HKEY_CLASSES_ROOT, std::wstring(verb.keyID) + L"\\command",
                     FormatVerbCommand(programPath, verb.arguments));
    }
}

bool IsProcessElevated() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken))
        return false;
    win::KernelHandle token(rawToken);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

int SetAsDefaultHandler(const wchar_t* extension) {
    static const CLSID applicationAssociationRegistration = {
        0x591209c7, 0x767b, 0x42b2, {0x9f, 0xba, 0x44, 0xee, 0x46, 0x15, 0xf2, 0xc7}};

    IApplicationAssociationRegistration* registration = nullptr;
    if (FAILED(CoCreateInstance(applicationAssociationRegistration, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                __uuidof(IApplicationAssociationRegistration),
                                reinterpret_cast<void**>(&registration))))
        return 0;
    HRESULT result = registration->SetAppAsDefault(applicationName, extension, AT_FILEEXTENSION);
    registration->Release();
    return SUCCEEDED(result) ? 1 : 0;
}
