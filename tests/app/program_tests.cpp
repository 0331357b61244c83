// Starts the real program with its command-line switches and compares the registry
// before and after.
#include "shell/registry.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace testing_support;

const wchar_t settingsKey[] = L"Software\\Varnix FileOpener";

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

// The parts of the registry the program may write: the machine's and the user's
// software keys (the classes root is kept in the former). Wine's own bookkeeping under
// the user's Software\Wine is left out. The two largest class trees would take seconds
// to read under Wine; for them only the number of subkeys is compared. A 64-bit Windows
// holds them once more for 32-bit programs, reached under two names.
RegistrySnapshot Snapshot() {
    const std::vector<std::wstring> bulky = {L"HKLM\\Software\\Classes\\CLSID",
                                             L"HKLM\\Software\\Classes\\Interface",
                                             L"HKLM\\Software\\Classes\\Wow6432Node\\CLSID",
                                             L"HKLM\\Software\\Classes\\Wow6432Node\\Interface",
                                             L"HKLM\\Software\\Wow6432Node\\Classes\\CLSID",
                                             L"HKLM\\Software\\Wow6432Node\\Classes\\Interface"};
    RegistrySnapshot snapshot;
    AddRegistryTree(snapshot, HKEY_LOCAL_MACHINE, L"HKLM", L"Software", bulky);
    AddRegistryTree(snapshot, HKEY_CURRENT_USER, L"HKCU", L"Software");
    for (auto it = snapshot.begin(); it != snapshot.end();) {
        if (it->first.rfind(L"HKCU\\Software\\Wine", 0) == 0)
            it = snapshot.erase(it);
        else
            ++it;
    }
    return snapshot;
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\n";
    return text;
}

// What a registration adds to a registry that has none, line by line as
// RegistryDifference writes it.
std::vector<std::wstring> ExpectedRegistration() {
    const std::wstring program = FullPath(ProgramPath());
    wchar_t shortForm[MAX_PATH];
    GetShortPathNameW(program.c_str(), shortForm, MAX_PATH);
    const std::wstring shortPath = shortForm;
    // Without an 8.3 form the long path stands in the open command, quoted.
    const std::wstring openCommand =
        shortPath == program ? L"\"" + program + L"\" %1" : shortPath + L" %1";

    std::vector<std::wstring> lines;
    auto key = [&](const std::wstring& name) {
        lines.push_back(L"+ " + name + L" = (type 0, 0 bytes)");
    };
    auto value = [&](const std::wstring& name, const std::wstring& data) {
        lines.push_back(L"+ " + name + L" = \"" + data + L"\"");
    };

    const std::wstring app = L"HKLM\\Software\\Varnix FileOpener";
    key(app);
    key(app + L"\\Capabilities");
    value(app + L"\\Capabilities|ApplicationName", L"Varnix FileOpener");
    key(app + L"\\Capabilities\\FileAssociations");
    value(app + L"\\Capabilities\\FileAssociations|.zip", L"Varnix.zip");
    value(app + L"\\Capabilities\\FileAssociations|.rar", L"Varnix.rar");
    value(app + L"\\Capabilities\\FileAssociations|.7z", L"Varnix.7z");
    value(L"HKLM\\Software\\RegisteredApplications|Varnix FileOpener",
          L"SOFTWARE\\Varnix FileOpener\\Capabilities");

    const struct {
        const wchar_t* progId;
        const wchar_t* extension;
        const wchar_t* description;
    } types[] = {{L"Varnix.zip", L".zip", L"ZIP Archive"},
                 {L"Varnix.rar", L".rar", L"RAR Archive"},
                 {L"Varnix.7z", L".7z", L"7z Archive"}};
    for (const std::wstring classes :
         {L"HKLM\\Software\\Classes\\", L"HKCU\\Software\\Classes\\"}) {
        for (const auto& type : types) {
            const std::wstring progId = classes + type.progId;
            key(progId);
            value(progId + L"|", type.description);
            key(progId + L"\\DefaultIcon");
            value(progId + L"\\DefaultIcon|", shortPath + L",0");
            key(progId + L"\\shell");
            key(progId + L"\\shell\\open");
            key(progId + L"\\shell\\open\\command");
            value(progId + L"\\shell\\open\\command|", openCommand);
            key(classes + type.extension);
            value(classes + type.extension + L"|", type.progId);
        }
    }

    const struct {
        const wchar_t* key;
        const wchar_t* menu;
        const wchar_t* arguments;
    } verbs[] = {
        {L"*\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
        {L"*\\shell\\Varnix4", L"Add to 7z archive", L" /q7 \"%1\""},
        {L"*\\shell\\Varnix5", L"Add to zip archive", L" /qz \"%1\""},
        {L"folder\\shell\\Varnix", L"Add to archive...", L" /a \"%1\""},
        {L"folder\\shell\\Varnix4", L"Add to 7z archive", L" /q7 \"%1\""},
        {L"folder\\shell\\Varnix5", L"Add to zip archive", L" /qz \"%1\""},
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
    // The user's classes get these with the verbs; Wine's machine classes have them already.
    for (const wchar_t* parent : {L"*", L"*\\shell", L"Folder", L"Folder\\shell"})
        key(std::wstring(L"HKCU\\Software\\Classes\\") + parent);
    for (const auto& verb : verbs) {
        std::wstring userKey = verb.key;
        userKey[0] = towupper(userKey[0]); // Wine's machine classes spell it "folder"
        for (const std::wstring& name : {L"HKLM\\Software\\Classes\\" + std::wstring(verb.key),
                                         L"HKCU\\Software\\Classes\\" + userKey}) {
            key(name);
            value(name + L"|", verb.menu);
            value(name + L"|Icon", program);
            key(name + L"\\command");
            value(name + L"\\command|", L"\"" + program + L"\" " + verb.arguments);
        }
    }

    // The extracting verbs on the other archive extensions, for the user only.
    const std::wstring associations = L"HKCU\\Software\\Classes\\SystemFileAssociations";
    key(associations);
    for (const wchar_t* extension :
         {L".tar",  L".gz",   L".tgz",  L".bz2", L".tbz2", L".xz",  L".txz", L".zst",
          L".tzst", L".lzma", L".z",    L".taz", L".cab",  L".iso", L".wim", L".arj",
          L".lzh",  L".lha",  L".cpio", L".rpm", L".deb",  L".001"}) {
        const std::wstring shell = associations + L"\\" + extension + L"\\shell";
        key(associations + L"\\" + extension);
        key(shell);
        for (size_t i = 7; i <= 9; ++i) { // as on .zip: Varnix1 to Varnix3
            const std::wstring name = shell + L"\\Varnix" + std::to_wstring(i - 6);
            key(name);
            value(name + L"|", verbs[i].menu);
            value(name + L"|Icon", program);
            key(name + L"\\command");
            value(name + L"\\command|", L"\"" + program + L"\" " + verbs[i].arguments);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

class Program : public testing::Test {
  protected:
    void SetUp() override {
        // As on every Windows system, the list of registered applications exists.
        RegOpenOrCreateKey(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications",
                           KEY_READ | KEY_WRITE);
        RegDeleteKeyTree(HKEY_CURRENT_USER, settingsKey);
    }
    static int Start(const std::wstring& arguments) { return RunAndWait(ProgramPath(), arguments); }
};

TEST_F(Program, RegisterWritesExactlyTheRegistrationAndUnregisterTakesItAllBack) {
    ASSERT_EQ(Start(L"/UnRegister"), 0);
    // Settings are loaded (and their key made) before the switches are looked at.
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, settingsKey));
    RegistrySnapshot unregistered = Snapshot();

    ASSERT_EQ(Start(L"/Register"), 0);
    RegistrySnapshot registered = Snapshot();
    EXPECT_EQ(Joined(Sorted(RegistryDifference(unregistered, registered))),
              Joined(ExpectedRegistration()));

    // A second registration finds every value in place.
    ASSERT_EQ(Start(L"/Register"), 0);
    EXPECT_EQ(Joined(RegistryDifference(registered, Snapshot())), L"");

    // The switch counts anywhere in the line.
    ASSERT_EQ(Start(L"something /UnRegister"), 0);
    EXPECT_EQ(Joined(RegistryDifference(unregistered, Snapshot())), L"");

    // Nothing left to remove: nothing changes.
    ASSERT_EQ(Start(L"/UnRegister"), 0);
    EXPECT_EQ(Joined(RegistryDifference(unregistered, Snapshot())), L"");
}

TEST_F(Program, VerbStartsEndAtOnceWithoutSavingSettings) {
    RegSetString(HKEY_CURRENT_USER, settingsKey, L"C:\\kept by the last window run", L"last_path");
    ScratchFolder scratch;
    WriteTextFile(scratch / L"notes.txt", "not an archive");

    EXPECT_EQ(Start(L"/Register"), 0);
    // What names no archive is said, and ends as a failure.
    for (const std::wstring& verb :
         {L"/e \"" + (scratch / L"notes.txt") + L"\"", std::wstring(L"/example")}) {
        StartedProgram program(verb);
        DialogAnswerer told(MessageBeginningWith(L"", program.id()), PressButton(IDOK));
        EXPECT_EQ(program.Wait(), 2) << Narrow(verb);
        EXPECT_EQ(told.answered(), 1) << Narrow(verb);
    }
    EXPECT_EQ(Start(L"/e"), 2);
    EXPECT_EQ(Start(L"/UnRegister"), 0);

    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, settingsKey, L"last_path"),
              L"C:\\kept by the last window run");
    // Nothing was extracted next to the text file.
    EXPECT_EQ(CountEntries(scratch.path()), 1);
}

} // namespace
