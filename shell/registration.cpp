#include "shell/registration.h"

#include "shell/paths.h"
#include "shell/registry.h"

#include <shobjidl.h>

const ArchiveTypeEntry archiveTypes[3] = {
    {L".zip", L"Varnix.zip", L"ZIP Archive"},
    {L".rar", L"Varnix.rar", L"RAR Archive"},
    {L".7z", L"Varnix.7z", L"7z Archive"},
};

// Explorer lists a type's verbs in the order of their key names: a new verb takes the next
// number.
const VerbEntry verbEntries[18] = {
    {L"*\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"*\\shell\\Varnix4", L"Add to 7z archive", L" /q7 \"%1\""},
    {L"*\\shell\\Varnix5", L"Add to zip archive", L" /qz \"%1\""},
    {L"Folder\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Folder\\shell\\Varnix4", L"Add to 7z archive", L" /q7 \"%1\""},
    {L"Folder\\shell\\Varnix5", L"Add to zip archive", L" /qz \"%1\""},
    {L"Varnix.zip\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Varnix.zip\\shell\\Varnix1", L"Extract Here", L" /e \"%1\""},
    {L"Varnix.zip\\shell\\Varnix2", L"Extract files...", L" /x \"%1\""},
    {L"Varnix.zip\\shell\\Varnix3", L"Extract to Folder", L" /s \"%1\""},
    {L"Varnix.rar\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Varnix.rar\\shell\\Varnix1", L"Extract Here", L" /e \"%1\""},
    {L"Varnix.rar\\shell\\Varnix2", L"Extract files...", L" /x \"%1\""},
    {L"Varnix.rar\\shell\\Varnix3", L"Extract to Folder", L" /s \"%1\""},
    {L"Varnix.7z\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
    {L"Varnix.7z\\shell\\Varnix1", L"Extract Here", L" /e \"%1\""},
    {L"Varnix.7z\\shell\\Varnix2", L"Extract files...", L" /x \"%1\""},
    {L"Varnix.7z\\shell\\Varnix3", L"Extract to Folder", L" /s \"%1\""},
};

const wchar_t* const otherArchiveExtensions[22] = {
    L".tar",  L".gz",   L".tgz",  L".bz2", L".tbz2", L".xz",  L".txz", L".zst",
    L".tzst", L".lzma", L".z",    L".taz", L".cab",  L".iso", L".wim", L".arj",
    L".lzh",  L".lha",  L".cpio", L".rpm", L".deb",  L".001",
};

const VerbEntry extractingVerbs[3] = {
    {L"Varnix1", L"Extract Here", L" /e \"%1\""},
    {L"Varnix2", L"Extract files...", L" /x \"%1\""},
    {L"Varnix3", L"Extract to Folder", L" /s \"%1\""},
};

const wchar_t systemFileAssociationsPrefix[] = L"Software\\Classes\\SystemFileAssociations\\";

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
    const bool associationsChanged = RegisterAssociations(context);
    const bool verbsChanged = RegisterVerbs(context.longPathName);
    // Explorer keeps what it read of the associations; unless told, it shows new verbs only
    // after a restart.
    if (associationsChanged || verbsChanged)
        NotifyAssociationsChanged();
}

// Every start registers, so a value that holds its text already is not written again: a
// start that finds everything in place only reads. True when the value changed.
static bool UpdateString(HKEY root, const std::wstring& key, const std::wstring& data,
                         const wchar_t* valueName = nullptr) {
    if (RegReadString(root, key, valueName) == data)
        return false;
    return RegSetString(root, key, data, valueName);
}

// A write through HKCR goes to the machine's classes unless the user has the key already, and
// Windows refuses a standard user there. The user's own copy, which the shell reads first,
// is written in any case.
static bool UpdateClassString(const std::wstring& key, const std::wstring& data,
                              const wchar_t* valueName = nullptr) {
    const bool classesRootChanged = UpdateString(HKEY_CLASSES_ROOT, key, data, valueName);
    const bool userCopyChanged =
        UpdateString(HKEY_CURRENT_USER, userClassesPrefix + key, data, valueName);
    return classesRootChanged || userCopyChanged;
}

// The short path, unquoted. A volume without 8.3 names gives the long path back instead:
// quoted, its blanks cannot make the shell start another program.
static std::wstring OpenCommandLine(const RegistrationContext& context) {
    if (context.pathName == context.longPathName)
        return L"\"" + context.pathName + L"\" %1";
    return context.pathName + L" %1";
}

bool RegisterAssociations(const RegistrationContext& context) {
    const std::wstring capabilitiesKey =
        std::wstring(L"SOFTWARE\\") + applicationName + L"\\Capabilities";
    bool changed =
        UpdateString(HKEY_LOCAL_MACHINE, capabilitiesKey, applicationName, L"ApplicationName");
    for (const ArchiveTypeEntry& type : archiveTypes)
        changed |= UpdateString(HKEY_LOCAL_MACHINE, capabilitiesKey + L"\\FileAssociations",
                                type.progId, type.extension);
    changed |= UpdateString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications",
                            capabilitiesKey, applicationName);

    const std::wstring openCommandLine = OpenCommandLine(context);
    const std::wstring defaultIconCommandLine = context.pathName + L",0";

    for (const ArchiveTypeEntry& type : archiveTypes) {
        const std::wstring progId = type.progId;
        bool typeChanged = UpdateClassString(progId, type.description);
        typeChanged |= UpdateClassString(progId + L"\\DefaultIcon", defaultIconCommandLine);
        typeChanged |= UpdateClassString(progId + L"\\shell\\open\\command", openCommandLine);
        typeChanged |= UpdateClassString(type.extension, progId);

        if (context.majorVersion < 6) {
            typeChanged |=
                UpdateString(HKEY_CURRENT_USER,
                             std::wstring(userChoicePrefix) + type.extension + L"\\UserChoice",
                             progId, L"Progid");
        } else if (context.elevated && typeChanged) {
            SetAsDefaultHandler(type.extension);
        }
        changed |= typeChanged;
    }
    return changed;
}

std::wstring FormatVerbCommand(const std::wstring& programPath, const wchar_t* arguments) {
    // Built as a string of any length: a long program path must not be cut off.
    return L"\"" + programPath + L"\" " + arguments;
}

bool RegisterVerbs(const std::wstring& programPath) {
    bool changed = false;
    for (const VerbEntry& verb : verbEntries) {
        changed |= UpdateClassString(verb.keyID, verb.menuItem);
        changed |= UpdateClassString(verb.keyID, programPath, L"Icon");
        changed |= UpdateClassString(std::wstring(verb.keyID) + L"\\command",
                                     FormatVerbCommand(programPath, verb.arguments));
    }
    // Verbs added beside whatever program opens these extensions, never instead of it.
    for (const wchar_t* extension : otherArchiveExtensions) {
        const std::wstring shell =
            systemFileAssociationsPrefix + std::wstring(extension) + L"\\shell\\";
        for (const VerbEntry& verb : extractingVerbs) {
            const std::wstring key = shell + verb.keyID;
            changed |= UpdateString(HKEY_CURRENT_USER, key, verb.menuItem);
            changed |= UpdateString(HKEY_CURRENT_USER, key, programPath, L"Icon");
            changed |= UpdateString(HKEY_CURRENT_USER, key + L"\\command",
                                    FormatVerbCommand(programPath, verb.arguments));
        }
    }
    return changed;
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
