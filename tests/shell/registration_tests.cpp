#include "shell/registration.h"
#include "shell/registry.h"
#include "shell/unregistration.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::AddRegistryTree;
using testing_support::ReadRegistryString;
using testing_support::RegistryDifference;
using testing_support::RegistryKeyExists;
using testing_support::RegistrySnapshot;

const wchar_t longPath[] = L"C:\\Program Files\\Varnix\\VarnixFileOpener.exe";
const wchar_t shortPath[] = L"C:\\PROGRA~1\\Varnix\\VARNIX~1.EXE";
const wchar_t userChoiceZip[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zip\\UserChoice";
const wchar_t userChoiceRar[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.rar\\UserChoice";

// Every test starts and ends with no registration of ours in the registry.
class Registration : public testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        UnregisterAssociations();
        UnregisterVerbs();
        RegDeleteKeyTree(HKEY_CURRENT_USER,
                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zip");
        RegDeleteKeyTree(HKEY_CURRENT_USER,
                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.rar");
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, L".zip");
        RegDeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\.zip");
        // Not through the code under test: its leftovers must show.
        RegDeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\*");
        RegDeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\Folder");
    }
    static RegistrationContext Context(unsigned majorVersion, bool elevated) {
        return RegistrationContext{longPath, shortPath, majorVersion, elevated};
    }
};

TEST_F(Registration, AssociationsWriteProgIdsInBothClassRootsAndTheCapabilities) {
    RegisterAssociations(Context(10, false));

    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
        std::wstring prefix = root == HKEY_CURRENT_USER ? L"Software\\Classes\\" : L"";
        EXPECT_EQ(ReadRegistryString(root, prefix + L"Varnix.zip"), L"ZIP Archive");
        EXPECT_EQ(ReadRegistryString(root, prefix + L"Varnix.rar"), L"RAR Archive");
        EXPECT_EQ(ReadRegistryString(root, prefix + L"Varnix.7z"), L"7z Archive");
        for (const wchar_t* progId : {L"Varnix.zip", L"Varnix.rar", L"Varnix.7z"}) {
            EXPECT_EQ(ReadRegistryString(root, prefix + progId + L"\\DefaultIcon"),
                      std::wstring(shortPath) + L",0");
            // The short path, unquoted, and the document unquoted behind it.
            EXPECT_EQ(ReadRegistryString(root, prefix + progId + L"\\shell\\open\\command"),
                      std::wstring(shortPath) + L" %1");
        }
        EXPECT_EQ(ReadRegistryString(root, prefix + L".zip"), L"Varnix.zip");
        EXPECT_EQ(ReadRegistryString(root, prefix + L".rar"), L"Varnix.rar");
        EXPECT_EQ(ReadRegistryString(root, prefix + L".7z"), L"Varnix.7z");
    }

    // Where the volume keeps no 8.3 names the short form is the long path, blanks and all.
    RegisterAssociations(RegistrationContext{longPath, longPath, 10, false});
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER,
                                 L"Software\\Classes\\Varnix.rar\\shell\\open\\command"),
              L"\"" + std::wstring(longPath) + L"\" %1");

    const wchar_t capabilities[] = L"SOFTWARE\\Varnix FileOpener\\Capabilities";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, capabilities, L"ApplicationName"),
              L"Varnix FileOpener");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE,
                                 std::wstring(capabilities) + L"\\FileAssociations", L".zip"),
              L"Varnix.zip");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE,
                                 std::wstring(capabilities) + L"\\FileAssociations", L".rar"),
              L"Varnix.rar");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE,
                                 std::wstring(capabilities) + L"\\FileAssociations", L".7z"),
              L"Varnix.7z");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications",
                                 L"Varnix FileOpener"),
              capabilities);
}

// A 64-bit Windows keeps two views of HKLM\SOFTWARE: the 64-bit program belongs in the
// native one, the 32-bit program in the 32-bit one (Wow6432Node).
bool KeyInView(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

TEST_F(Registration, MachineKeysGoToTheViewOfTheProgramsOwnPointerSize) {
    const bool is64Bit = sizeof(void*) == 8;
    const REGSAM ownView = is64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const REGSAM otherView = is64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    BOOL underWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &underWow64);
    const bool twoViews = is64Bit || underWow64;
    const wchar_t capabilities[] = L"SOFTWARE\\Varnix FileOpener\\Capabilities";

    RegisterAssociations(Context(10, false));
    EXPECT_TRUE(KeyInView(HKEY_LOCAL_MACHINE, capabilities, ownView));
    if (twoViews) {
        EXPECT_FALSE(KeyInView(HKEY_LOCAL_MACHINE, capabilities, otherView));
    }

    UnregisterAssociations();
    EXPECT_FALSE(KeyInView(HKEY_LOCAL_MACHINE, capabilities, ownView));
}

TEST_F(Registration, TheUserChoiceIsWrittenOnlyBeforeVersionSix) {
    RegisterAssociations(Context(10, false));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, userChoiceZip));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, userChoiceRar));

    RegisterAssociations(Context(5, false));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, userChoiceZip, L"Progid"), L"Varnix.zip");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, userChoiceRar, L"Progid"), L"Varnix.rar");
    // The class values are the same either way.
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L".rar"), L"Varnix.rar");
}

TEST_F(Registration, VerbsCarryTheQuotedLongPathAndTheirArguments) {
    RegisterVerbs(L"C:\\Tools\\app.exe");

    struct {
        const wchar_t* key;
        const wchar_t* menu;
        const wchar_t* command;
    } expected[] = {
        {L"*\\shell\\Varnix", L"Add to archive...", L"\"C:\\Tools\\app.exe\"  /a \"%1\""},
        {L"Folder\\shell\\Varnix", L"Add to archive...", L"\"C:\\Tools\\app.exe\"  /a \"%1\""},
        {L"Varnix.zip\\shell\\Varnix", L"Add to archive...", L"\"C:\\Tools\\app.exe\"  /a \"%1\""},
        {L"Varnix.zip\\shell\\Varnix1", L"Extract Here", L"\"C:\\Tools\\app.exe\"  /e \"%1\""},
        {L"Varnix.zip\\shell\\Varnix2", L"Extract files...", L"\"C:\\Tools\\app.exe\"  /x \"%1\""},
        {L"Varnix.zip\\shell\\Varnix3", L"Extract to Folder", L"\"C:\\Tools\\app.exe\"  /s \"%1\""},
        {L"Varnix.rar\\shell\\Varnix", L"Add to archive...", L"\"C:\\Tools\\app.exe\"  /a \"%1\""},
        {L"Varnix.rar\\shell\\Varnix1", L"Extract Here", L"\"C:\\Tools\\app.exe\"  /e \"%1\""},
        {L"Varnix.rar\\shell\\Varnix2", L"Extract files...", L"\"C:\\Tools\\app.exe\"  /x \"%1\""},
        {L"Varnix.rar\\shell\\Varnix3", L"Extract to Folder", L"\"C:\\Tools\\app.exe\"  /s \"%1\""},
        {L"Varnix.7z\\shell\\Varnix", L"Add to archive...", L"\"C:\\Tools\\app.exe\"  /a \"%1\""},
        {L"Varnix.7z\\shell\\Varnix1", L"Extract Here", L"\"C:\\Tools\\app.exe\"  /e \"%1\""},
        {L"Varnix.7z\\shell\\Varnix2", L"Extract files...", L"\"C:\\Tools\\app.exe\"  /x \"%1\""},
        {L"Varnix.7z\\shell\\Varnix3", L"Extract to Folder", L"\"C:\\Tools\\app.exe\"  /s \"%1\""},
    };
    for (const auto& verb : expected) {
        EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, verb.key), verb.menu);
        EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, verb.key, L"Icon"), L"C:\\Tools\\app.exe");
        EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, std::wstring(verb.key) + L"\\command"),
                  verb.command);
    }
}

TEST_F(Registration, AVerbCommandIsNeverCutShort) {
    std::wstring longProgram = L"C:\\" + std::wstring(250, L'p') + L"\\app.exe";
    std::wstring command = FormatVerbCommand(longProgram, L" /e \"%1\"");
    EXPECT_EQ(command, L"\"" + longProgram + L"\"  /e \"%1\"");

    RegisterVerbs(longProgram);
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L"Varnix.zip\\shell\\Varnix1\\command"),
              command);
}

TEST_F(Registration, UnregisteringRemovesEverythingOurs) {
    RegisterAssociations(Context(10, false));
    RegisterVerbs(longPath);

    UnregisterAssociations();
    UnregisterVerbs();

    for (const wchar_t* key :
         {L"Varnix.zip", L"Varnix.rar", L"Varnix.7z", L"Software\\Classes\\Varnix.zip",
          L"Software\\Classes\\Varnix.rar", L"Software\\Classes\\Varnix.7z", L"*\\shell\\Varnix",
          L"Folder\\shell\\Varnix", L"Software\\Classes\\SystemFileAssociations\\.tgz"}) {
        HKEY root = key[0] == L'S' ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
        EXPECT_FALSE(RegistryKeyExists(root, key)) << testing::PrintToString(std::wstring(key));
    }
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L".zip"), L"<missing>");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Classes\\.rar"), L"<missing>");
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Varnix FileOpener"));
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications",
                                 L"Varnix FileOpener"),
              L"<missing>");

    // Nothing left to remove: no harm either.
    UnregisterAssociations();
    UnregisterVerbs();
}

TEST_F(Registration, UnregisteringLeavesOtherProgramsExtensionData) {
    RegisterAssociations(Context(10, false));
    // Another program has claimed .zip since, and the extension carries more data.
    RegSetString(HKEY_CLASSES_ROOT, L".zip", L"Other.zip");
    RegSetString(HKEY_CLASSES_ROOT, L".zip", L"application/zip", L"Content Type");
    // .rar is still ours, but carries another program's value too.
    RegSetString(HKEY_CLASSES_ROOT, L".rar", L"application/rar", L"Content Type");

    UnregisterAssociations();

    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L".zip"), L"Other.zip");
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L".zip", L"Content Type"), L"application/zip");
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L".rar"), L"<missing>");
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L".rar", L"Content Type"), L"application/rar");
    RegDeleteKeyTree(HKEY_CLASSES_ROOT, L".rar");
}

// Plays a standard user, whom Windows refuses every change to HKLM (Wine allows it), and
// every change through HKCR too: Wine sends them all to HKLM\Software\Classes. (Windows lets
// one through to a key the user has already; the registration writes that copy itself.)
// Records the class changes that go through, and the shell notifications.
struct RegistryWatch : RegistryHook {
    explicit RegistryWatch(bool standardUser) : standardUser(standardUser) {
        SetRegistryHook(this);
    }
    ~RegistryWatch() override { SetRegistryHook(nullptr); }
    LONG BeforeChange(HKEY root, const std::wstring& key) override {
        if (standardUser && root != HKEY_CURRENT_USER)
            return ERROR_ACCESS_DENIED;
        if (root != HKEY_LOCAL_MACHINE)
            changes.push_back((root == HKEY_CLASSES_ROOT ? L"HKCR\\" : L"HKCU\\") + key);
        return ERROR_SUCCESS;
    }
    void ShellNotified() override { ++notifications; }
    const bool standardUser;
    std::vector<std::wstring> changes;
    int notifications = 0;
};

// What the shell reads: Windows shows the user's class keys over the machine's. Wine's
// HKEY_CLASSES_ROOT shows the machine's only.
std::wstring ReadMergedClass(const std::wstring& key) {
    const std::wstring userKey = L"Software\\Classes\\" + key;
    return RegistryKeyExists(HKEY_CURRENT_USER, userKey)
               ? ReadRegistryString(HKEY_CURRENT_USER, userKey)
               : ReadRegistryString(HKEY_CLASSES_ROOT, key);
}

TEST_F(Registration, StandardAndElevatedUsersGetEveryClassValuePerUser) {
    std::vector<std::wstring> userCopies; // in the order the elevated registration wrote them
    for (bool standardUser : {false, true}) {
        SCOPED_TRACE(standardUser ? "standard user" : "elevated");
        Clean();
        RegistrySnapshot userClassesBefore, userClassesAfter;
        AddRegistryTree(userClassesBefore, HKEY_CURRENT_USER, L"HKCU", L"Software\\Classes");
        {
            RegistryWatch watch(standardUser);
            RegisterWithShell(Context(10, !standardUser));
            EXPECT_EQ(watch.notifications, 1);
            if (standardUser) {
                EXPECT_EQ(watch.changes, userCopies);
            } else {
                // Each write through HKCR, then the same one in the user's classes: 4 values
                // per archive type, 3 per verb. Then 3 values per extracting verb on each
                // other archive extension, in the user's classes only.
                const size_t classWrites = 2u * (4 * 3 + 3 * std::size(verbEntries));
                const size_t userOnlyWrites = 3u * 3 * 22;
                EXPECT_EQ(watch.changes.size(), classWrites + userOnlyWrites);
                for (size_t i = 0; i + 1 < classWrites && i + 1 < watch.changes.size(); i += 2) {
                    EXPECT_EQ(watch.changes[i + 1],
                              L"HKCU\\Software\\Classes\\" + watch.changes[i].substr(5));
                    userCopies.push_back(watch.changes[i + 1]);
                }
                for (size_t i = classWrites; i < watch.changes.size(); ++i) {
                    EXPECT_EQ(watch.changes[i].rfind(
                                  L"HKCU\\Software\\Classes\\SystemFileAssociations\\", 0),
                              0u);
                    userCopies.push_back(watch.changes[i]);
                }
            }
        }
        {
            // Every start registers: one that finds every value in place changes nothing.
            RegistryWatch watch(standardUser);
            RegisterWithShell(Context(10, !standardUser));
            EXPECT_EQ(watch.changes, std::vector<std::wstring>());
            EXPECT_EQ(watch.notifications, 0);
        }
        for (const VerbEntry& verb : verbEntries) {
            EXPECT_EQ(ReadMergedClass(verb.keyID), verb.menuItem);
            EXPECT_EQ(ReadMergedClass(verb.keyID + std::wstring(L"\\command")),
                      FormatVerbCommand(longPath, verb.arguments));
        }
        EXPECT_EQ(ReadMergedClass(L".rar"), L"Varnix.rar");
        {
            RegistryWatch watch(standardUser);
            UnregisterAssociations();
            UnregisterVerbs();
        }
        AddRegistryTree(userClassesAfter, HKEY_CURRENT_USER, L"HKCU", L"Software\\Classes");
        EXPECT_EQ(RegistryDifference(userClassesBefore, userClassesAfter),
                  std::vector<std::wstring>());
    }
}

TEST(RegistryPrimitives, RegSetStringMakesTheKeyAndStoresTheTerminator) {
    const wchar_t key[] = L"Software\\VarnixTest\\Deeper";
    EXPECT_TRUE(RegSetString(HKEY_CURRENT_USER, key, L"value", L"Name"));
    EXPECT_TRUE(RegSetString(HKEY_CURRENT_USER, key, L"default"));

    DWORD size = 0;
    DWORD type = 0;
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &handle), ERROR_SUCCESS);
    RegQueryValueExW(handle, L"Name", nullptr, &type, nullptr, &size);
    RegCloseKey(handle);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u * sizeof(wchar_t));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key), L"default");

    EXPECT_FALSE(RegOpenOrCreateKey(HKEY_CURRENT_USER, L"Software\\VarnixTest\\Absent", KEY_READ));
    EXPECT_FALSE(RegOpenOrCreateKey(nullptr, key, KEY_READ | KEY_WRITE));
    EXPECT_TRUE(RegDeleteKeyTree(HKEY_CURRENT_USER, L"Software\\VarnixTest"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, key));
    EXPECT_FALSE(RegDeleteKeyTree(HKEY_CURRENT_USER, L"Software\\VarnixTest"));
}

} // namespace
