// Adding and deleting through the real console tool, under the real progress dialog.
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/library/extraction.h"
#include "archive/library/listing.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace testing_support;

// One entry's content as extracted with `password`; "<missing>" when nothing came out.
std::string EntryContent(const std::wstring& archive, const std::wstring& entry,
                         const std::wstring& password) {
    ScratchFolder out;
    ArchiveContents contents;
    contents.password = password;
    std::vector<std::wstring> names{entry};
    ExtractOptions options;
    options.names = &names;
    ExtractArchive(archive, GetArchiveKind(archive), out.path(), contents, options);
    std::wstring file = out / entry;
    return FileExists(file) ? ReadTextFile(file) : "<missing>";
}

// The archive opens with exactly this password: its entry comes out with it, and not with
// the password changed by one character.
void ExpectOnlyThisPassword(const std::wstring& archive, const std::wstring& entry,
                            const std::string& content, const std::wstring& password) {
    EXPECT_EQ(EntryContent(archive, entry, password), content) << Narrow(password);
    EXPECT_NE(EntryContent(archive, entry, password + L"x"), content) << Narrow(password);
    EXPECT_NE(EntryContent(archive, entry, password.substr(0, password.size() - 1) + L"Q"), content)
        << Narrow(password);
}

// Written archives are checked once more, after this program, by the Linux 7-Zip: a
// line per archive with its password and one entry, in hexadecimal.
void RecordForLinuxCheck(const std::wstring& archive, const std::wstring& password,
                         const std::wstring& entry, const std::string& content) {
    static int count = 0;
    std::wstring folder = TestData(L"written");
    MakeFolder(folder);
    std::wstring copy = folder + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++count) + L"-" + FileNamePart(archive);
    CopyFileW(archive.c_str(), copy.c_str(), FALSE);
    auto hex = [](const std::string& bytes) {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (unsigned char c : bytes) {
            text += digits[c >> 4];
            text += digits[c & 15];
        }
        return text;
    };
    std::ofstream list(std::filesystem::path(folder + L"\\archives.txt"), std::ios::app);
    list << Narrow(FileNamePart(copy)) << "\t" << hex(WideToUtf8(password)) << "\t"
         << hex(WideToUtf8(entry)) << "\t" << hex(content) << "\n";
}

std::wstring MakeFile(const std::wstring& path, const std::string& content) {
    MakeFolder(ParentFolder(path));
    WriteTextFile(path, content);
    return path;
}

DialogAnswerer::Matcher AnyMessage() {
    return DialogWithCaption(L"Varnix File Opener");
}

TEST(Adding, PickedFilesAreOneRunAndKeepTheirOwnNames) {
    ScratchFolder scratch;
    std::vector<std::wstring> files = {MakeFile(scratch / L"in\\a.txt", "a"),
                                       MakeFile(scratch / L"in\\b.txt", "bb"),
                                       MakeFile(scratch / L"in\\c.txt", "ccc")};
    DialogAnswerer unexpected(AnyMessage(), PressButton(IDOK));
    Archiver archiver;
    int runs = ToolRunsStarted();
    EXPECT_EQ(archiver.AddToArchive(scratch / L"three.zip", files, L""), 0);
    EXPECT_EQ(ToolRunsStarted() - runs, 1);
    EXPECT_EQ(progressTotal, 3u);
    EXPECT_EQ(progressCompleted, 2u); // file by file, one short of the end until the end
    EXPECT_EQ(ArchiveEntries(scratch / L"three.zip"),
              (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
    EXPECT_EQ(EntryContent(scratch / L"three.zip", L"c.txt", L""), "ccc");
    EXPECT_EQ(archiver.mode, ModeNone);
    EXPECT_TRUE(archiver.files.empty());

    // Picked in several folders, each goes in under its own name. The tool takes a name
    // once per run: one picked twice is a second run, and the later pick is what stays.
    std::vector<std::wstring> mixed = {MakeFile(scratch / L"one\\x.txt", "first x"),
                                       MakeFile(scratch / L"two\\sub\\y.txt", "y"),
                                       MakeFile(scratch / L"two\\x.txt", "second x")};
    mixed[1] = scratch / L"two\\sub";
    runs = ToolRunsStarted();
    archiver.AddToArchive(scratch / L"mixed.7z", mixed, L"");
    EXPECT_EQ(ToolRunsStarted() - runs, 2);
    EXPECT_EQ(ArchiveEntries(scratch / L"mixed.7z"),
              (std::vector<std::wstring>{L"sub", L"sub\\y.txt", L"x.txt"}));
    EXPECT_EQ(EntryContent(scratch / L"mixed.7z", L"x.txt", L""), "second x");
    EXPECT_EQ(unexpected.answered(), 0);
}

TEST(Adding, AFolderIsOneRunCountedByItsFiles) {
    ScratchFolder scratch;
    for (int i = 0; i < 9; ++i)
        MakeFile(scratch / (L"ten\\f" + std::to_wstring(i) + L".txt"), "x");
    MakeFile(scratch / L"ten\\sub\\last.txt", "last");
    Archiver archiver;
    int runs = ToolRunsStarted();
    archiver.AddToArchive(scratch / L"ten.7z", {scratch / L"ten"}, L"");
    EXPECT_EQ(ToolRunsStarted() - runs, 1);
    EXPECT_EQ(progressTotal, 10u);
    // The bar moved with the tool's "+ name" lines, one short of the end until the end.
    EXPECT_EQ(progressCompleted, 9u);
    std::vector<std::wstring> entries = ArchiveEntries(scratch / L"ten.7z");
    EXPECT_EQ(entries.size(), 12u); // ten files, the folder and its subfolder
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"ten\\sub\\last.txt"), entries.end());
}

// Data that does not compress, made fast: a xorshift generator's output.
void WriteNoise(const std::wstring& path, size_t bytes, uint64_t seed) {
    std::string data(bytes, '\0');
    for (size_t i = 0; i + 8 <= bytes; i += 8) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        memcpy(&data[i], &seed, 8);
    }
    MakeFolder(ParentFolder(path));
    std::ofstream(std::filesystem::path(path), std::ios::binary) << data;
}

TEST(Adding, TheProgressDialogTellsBytesSpeedAndTheFileBeingPacked) {
    ScratchFolder scratch;
    const size_t size = 24 * 1024 * 1024;
    WriteNoise(scratch / L"photos\\noise one.bin", size, 88172645463325252ull);
    WriteNoise(scratch / L"photos\\deeper\\noise two.bin", size, 1234567891011ull);

    // The dialog's lines as they were read at each look while the add ran.
    std::vector<std::wstring> bytesSeen, speedsSeen, filesSeen, timesSeen;
    std::atomic<bool> adding{true};
    std::thread watcher([&] {
        auto text = [](HWND dialog, int id) {
            wchar_t line[512] = {};
            GetDlgItemTextW(dialog, id, line, 512);
            return std::wstring(line);
        };
        while (adding) {
            HWND dialog = FindWindowW(L"#32770", L"Add Files");
            if (dialog) {
                bytesSeen.push_back(text(dialog, IDC_PROGRESS_BYTES));
                speedsSeen.push_back(text(dialog, IDC_PROGRESS_SPEED));
                filesSeen.push_back(text(dialog, IDC_PROGRESS_FILE));
                timesSeen.push_back(text(dialog, IDC_PROGRESS_TIMES));
            }
            Sleep(50); // a look every 50 ms, not a wait for anything
        }
    });
    Archiver archiver;
    int result = archiver.AddToArchive(scratch / L"photos.7z", {scratch / L"photos"}, L"");
    adding = false;
    watcher.join();
    EXPECT_EQ(result, 0);

    auto anyHas = [](const std::vector<std::wstring>& lines, const std::wstring& piece) {
        for (const std::wstring& line : lines) {
            if (line.find(piece) != std::wstring::npos)
                return true;
        }
        return false;
    };
    ASSERT_FALSE(bytesSeen.empty()) << "the progress dialog was never seen";
    EXPECT_TRUE(anyHas(bytesSeen, L" MB of 48 MB")) << Narrow(bytesSeen.back());
    EXPECT_TRUE(anyHas(speedsSeen, L"B/s")) << Narrow(speedsSeen.back());
    EXPECT_TRUE(anyHas(timesSeen, L"Elapsed 0:")) << Narrow(timesSeen.back());
    EXPECT_TRUE(anyHas(filesSeen, L"noise one.bin") || anyHas(filesSeen, L"noise two.bin"))
        << Narrow(filesSeen.back());
    // At the end every byte is counted, the ones the figure stopped short of too.
    EXPECT_EQ(progressBytesTotal, 2u * size);
    EXPECT_EQ(progressBytesDone, 2u * size);
}

TEST(Adding, ALinkInAFolderIsStoredAsALinkNotFollowed) {
    // Its link leads back to its own folder: followed, it would never end.
    ScratchFolder scratch;
    Archiver archiver;
    // Wine's links are no reparse points: there the tool warns that it cannot read one.
    MessageBoxReader toldUnderWine;
    archiver.AddToArchive(scratch / L"links.7z", {TestData(L"linkloop")}, L"");
    EXPECT_EQ(ArchiveEntries(scratch / L"links.7z"),
              Sorted({L"linkloop", L"linkloop\\inner", L"linkloop\\inner\\kept.txt",
                      L"linkloop\\inner\\loop"}));
}

TEST(Adding, IntoAFolderOfTheArchive) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"set.zip";
    MakeFile(scratch / L"tree\\docs\\img\\old.png", "old");
    Archiver archiver;
    archiver.AddToArchive(archive, {scratch / L"tree\\docs"}, L"");

    ASSERT_TRUE(archiver.Open(archive));
    archiver.ListFolder("docs\\img");
    int runs = ToolRunsStarted();
    MakeFile(scratch / L"in\\pics\\p.png", "p");
    EXPECT_EQ(archiver.AddFiles({MakeFile(scratch / L"in\\a.txt", "new a"), scratch / L"in\\pics"}),
              0);
    EXPECT_EQ(ToolRunsStarted() - runs, 1);
    EXPECT_EQ(progressTotal, 2u);
    // The files were staged as docs\img\... in a scratch folder of the archiver's own.
    EXPECT_EQ(FileNamePart(archiver.tmpPath).substr(0, 5), L"Quorp");
    EXPECT_EQ(ReadTextFile(archiver.tmpPath + L"\\docs\\img\\a.txt"), "new a");
    EXPECT_EQ(ArchiveEntries(archive),
              (std::vector<std::wstring>{L"docs", L"docs\\img", L"docs\\img\\a.txt",
                                         L"docs\\img\\old.png", L"docs\\img\\pics",
                                         L"docs\\img\\pics\\p.png"}));

    // The refresh shows the same folder and removes the staging copies.
    std::wstring staging = archiver.tmpPath;
    archiver.Refresh();
    EXPECT_EQ(archiver.subPath, "docs\\img");
    EXPECT_FALSE(IsDirectory(staging));
    EXPECT_EQ(archiver.GetRowCount(), 4); // "..", a.txt, old.png, pics
}

TEST(Adding, APasswordEncryptsWithExactlyItself) {
    ScratchFolder scratch;
    std::wstring file = MakeFile(scratch / L"in\\secret.txt", "the secret");
    for (const wchar_t* name : {L"locked.zip", L"locked.7z"}) {
        Archiver archiver;
        archiver.AddToArchive(scratch / name, {file}, L"s3cret");
        ExpectOnlyThisPassword(scratch / name, L"secret.txt", "the secret", L"s3cret");
        RecordForLinuxCheck(scratch / name, L"s3cret", L"secret.txt", "the secret");
    }
}

TEST(Adding, AnArchiveOpenedWithAPasswordKeepsIt) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"headers.7z";
    CopyFileW(TestData(L"headers.7z").c_str(), archive.c_str(), FALSE);
    // The names are encrypted: the user is asked once, when the archive is opened.
    DialogAnswerer user(DialogWithText(L"Enter password:"),
                        TypeAndPressOk(IDC_PASSWORD, L"secret"));
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(archive));

    archiver.AddFiles({MakeFile(scratch / L"in\\top.txt", "top")});
    archiver.Refresh();
    archiver.ListFolder("folder");
    archiver.AddFiles({MakeFile(scratch / L"in\\deep.txt", "deep")});
    EXPECT_EQ(user.answered(), 1);

    ExpectOnlyThisPassword(archive, L"top.txt", "top", L"secret");
    ExpectOnlyThisPassword(archive, L"folder\\deep.txt", "deep", L"secret");
    // The names stay hidden without it.
    EXPECT_EQ(ArchiveEntries(archive, L"wrong"), (std::vector<std::wstring>{L"<not listed>"}));
}

// An archive made with a password gets its added files encrypted the same way: the
// password is asked once, and a ZIP keeps its method, ZipCrypto or AES-256.
TEST(Adding, FilesAddedToAnEncryptedZipKeepItsMethod) {
    ScratchFolder scratch;
    std::wstring first = MakeFile(scratch / L"in\\first.txt", "first");
    std::wstring later = MakeFile(scratch / L"in\\later.txt", "later");
    for (ZipEncryption method : {ZipEncryption::ZipCrypto, ZipEncryption::Aes256}) {
        const bool old = method == ZipEncryption::ZipCrypto;
        SCOPED_TRACE(old ? "ZipCrypto" : "AES-256");
        std::wstring archive = scratch / (old ? L"old.zip" : L"aes.zip");
        PlayedUser user;
        user.password = "s3cret";
        AddOptions options;
        options.password = L"s3cret";
        options.zipEncryption = method;
        Archiver archiver;
        archiver.CreateArchives({{archive, {first}}}, options);
        ASSERT_TRUE(archiver.Open(archive));
        archiver.AddFiles({later});
        EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Success);
        EXPECT_EQ(user.passwordsAsked, 1);
        std::string listing = EngineListing(archive, L"s3cret");
        const char* kept = old ? "Method = ZipCrypto" : "Method = AES-256";
        const char* other = old ? "AES-256" : "ZipCrypto";
        EXPECT_NE(listing.find(kept), listing.rfind(kept)) << listing; // both entries
        EXPECT_EQ(listing.find(other), std::string::npos) << listing;
        ExpectOnlyThisPassword(archive, L"later.txt", "later", L"s3cret");
    }
}

TEST(Adding, HostilePasswordsReachTheToolExactlyAsTyped) {
    ScratchFolder scratch;
    std::wstring file = MakeFile(scratch / L"in\\data.txt", "payload");
    const std::wstring passwords[] = {L"a&echo PWNED>pwned.txt",
                                      L"%OS%",
                                      L"p\"q",
                                      L"^!x",
                                      L"two words",
                                      L"p\u00e4ssw\u00f6rd\u20ac",
                                      std::wstring(99, L'z')};
    int index = 0;
    for (const std::wstring& password : passwords) {
        for (const wchar_t* kind : {L".zip", L".7z"}) {
            std::wstring archive = scratch / (L"hostile" + std::to_wstring(++index) + kind);
            // 7-Zip takes only ASCII passwords for ZIP archives: that is said, clearly.
            bool refused = std::wstring(kind) == L".zip" && !ZipTakesPassword(password);
            MessageBoxReader messages;
            Archiver archiver;
            archiver.AddToArchive(archive, {file}, password);
            if (refused) {
                EXPECT_TRUE(messages.WaitForAnswers(1));
                EXPECT_EQ(messages.Texts(), std::vector<std::wstring>{zipPasswordMessage});
                EXPECT_FALSE(FileExists(archive));
                continue;
            }
            EXPECT_EQ(messages.answered(), 0) << Narrow(password);
            ExpectOnlyThisPassword(archive, L"data.txt", "payload", password);
            RecordForLinuxCheck(archive, password, L"data.txt", "payload");
        }
    }

    // Nothing ran that the passwords tried to start, and none of them reached a file.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring temp = ParentFolder(GetTempName(L"x"));
    for (const std::wstring& folder : {std::wstring(current), ProgramFolder(), scratch.path(), temp,
                                       GetCorePath(), std::wstring(L"C:\\")})
        EXPECT_FALSE(FileExists(folder + L"\\pwned.txt")) << Narrow(folder);
    for (const std::wstring& entry : ListTree(temp)) {
        std::wstring path = temp + L"\\" + entry;
        EXPECT_NE(path.substr(path.size() - 4), L".bat") << Narrow(path);
        if (IsDirectory(path) || path.find(scratch.path()) == 0)
            continue; // the test's own files
        std::string bytes = ReadTextFile(path);
        for (const std::wstring& password : passwords) {
            std::string utf8 = WideToUtf8(password);
            std::string utf16(reinterpret_cast<const char*>(password.data()),
                              password.size() * sizeof(wchar_t));
            EXPECT_EQ(bytes.find(utf8), std::string::npos) << Narrow(path);
            EXPECT_EQ(bytes.find(utf16), std::string::npos) << Narrow(path);
        }
    }
}

TEST(Adding, NamesInAnyScriptArriveExactly) {
    ScratchFolder scratch;
    // Latin-1, Greek, Cyrillic, CJK, and the characters a command interpreter would act on.
    const std::wstring folder =
        scratch / L"caf\u00e9 & \u03b1\u03c1\u03c7\u03b5\u03af\u03bf ^ %OS% !x! (1)";
    std::vector<std::wstring> files = {
        MakeFile(folder + L"\\\u0444\u0430\u0439\u043b.txt", "cyrillic"),
        MakeFile(folder + L"\\\u6587\u4ef6 \u540d.txt", "cjk"),
        MakeFile(folder + L"\\\u00e9t\u00e9 %PATH% & echo x.txt", "latin")};
    MakeFile(folder + L"\\\u0393\u03ac\u03bc\u03bc\u03b1\\\u03b4.txt", "greek");
    files.push_back(folder + L"\\\u0393\u03ac\u03bc\u03bc\u03b1");

    std::wstring archive = folder + L"\\\u0430\u0440\u0445\u0438\u0432 \u6863\u6848.zip";
    Archiver archiver;
    archiver.AddToArchive(archive, files, L"");
    const std::vector<std::wstring> atRoot = {
        L"\u0393\u03ac\u03bc\u03bc\u03b1", L"\u0393\u03ac\u03bc\u03bc\u03b1\\\u03b4.txt",
        L"\u00e9t\u00e9 %PATH% & echo x.txt", L"\u0444\u0430\u0439\u043b.txt",
        L"\u6587\u4ef6 \u540d.txt"};
    EXPECT_EQ(ArchiveEntries(archive), Sorted(atRoot));
    EXPECT_EQ(EntryContent(archive, L"\u6587\u4ef6 \u540d.txt", L""), "cjk");

    // Into a folder whose name is just as mixed.
    ASSERT_TRUE(archiver.Open(archive));
    archiver.ListFolder(WideToUtf8(L"\u0393\u03ac\u03bc\u03bc\u03b1"));
    archiver.AddFiles({files[0]});
    std::vector<std::wstring> entries = ArchiveEntries(archive);
    EXPECT_NE(std::find(entries.begin(), entries.end(),
                        L"\u0393\u03ac\u03bc\u03bc\u03b1\\\u0444\u0430\u0439\u043b.txt"),
              entries.end());
}

// A file the tool takes seconds to pack.
std::wstring MakeBigFile(const std::wstring& path, int megabytes = 256) {
    std::string block(1 << 20, '\0');
    uint32_t state = 2463534242u;
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    for (int megabyte = 0; megabyte < megabytes; ++megabyte) {
        for (char& c : block) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            c = static_cast<char>(state);
        }
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    return path;
}

// Presses Cancel in the progress dialog once `started` says the tool is at work.
DialogAnswerer CancelWhen(std::function<bool()> started) {
    return DialogAnswerer(DialogWithCaption(L"Add Files"), [started](HWND dialog) {
        WaitUntil(started, 60000);
        PressButton(IDCANCEL)(dialog);
    });
}

TEST(Adding, CancelStopsTheToolAndLeavesTheArchiveAsItWas) {
    ScratchFolder scratch;
    std::wstring big = MakeBigFile(scratch / L"big.bin");
    std::wstring archive = scratch / L"kept.zip";
    Archiver archiver;
    archiver.AddToArchive(archive, {MakeFile(scratch / L"small.txt", "small")}, L"");
    const std::string before = ReadTextFile(archive);

    // At the root: the tool is stopped while it writes the new archive beside the old.
    {
        DialogAnswerer user = CancelWhen([&] { return FileExists(archive + L".tmp"); });
        DWORD start = GetTickCount();
        archiver.AddToArchive(archive, {big}, L"");
        EXPECT_EQ(user.answered(), 1);
        EXPECT_LT(GetTickCount() - start, 30000u);
    }
    EXPECT_EQ(ReadTextFile(archive), before);
    EXPECT_FALSE(FileExists(archive + L".tmp"));

    // Into a folder: the same.
    {
        ASSERT_TRUE(archiver.Open(archive));
        archiver.ListFolder("");
        archiver.subPath = "sub";
        DialogAnswerer user = CancelWhen([&] { return FileExists(archive + L".tmp"); });
        archiver.AddFiles({big});
        EXPECT_EQ(user.answered(), 1);
    }
    EXPECT_EQ(ReadTextFile(archive), before);
    EXPECT_FALSE(FileExists(archive + L".tmp"));

    // A new archive that was not finished is not left behind at all.
    std::wstring fresh = scratch / L"fresh.7z";
    {
        DialogAnswerer user = CancelWhen([&] { return FileExists(fresh); });
        archiver.AddToArchive(fresh, {big}, L"");
        EXPECT_EQ(user.answered(), 1);
    }
    EXPECT_FALSE(FileExists(fresh));
}

// The local application data folder (and with it the Temp folder of the scratch files)
// moved elsewhere for as long as the object lives.
class MovedLocalAppData {
  public:
    explicit MovedLocalAppData(const std::wstring& folder) {
        wchar_t old[MAX_PATH] = {};
        DWORD size = sizeof old;
        had_ = RegGetValueW(HKEY_CURRENT_USER, key, L"Local AppData",
                            RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type_, old,
                            &size) == ERROR_SUCCESS;
        old_ = old;
        Set(folder, REG_SZ);
    }
    ~MovedLocalAppData() {
        if (had_)
            Set(old_, type_);
    }

  private:
    void Set(const std::wstring& value, DWORD type) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Local AppData", type, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    static constexpr const wchar_t* key =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    bool had_ = false;
    DWORD type_ = REG_SZ;
    std::wstring old_;
};

TEST(Adding, IntoAFolderWithTempOnAnotherDrive) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"set.zip";
    Archiver archiver;
    archiver.AddToArchive(archive, {MakeFile(scratch / L"tree\\docs\\old.txt", "old")}, L"");

    // Z: is not the drive of the program, the archive or the usual Temp folder (C:).
    ASSERT_EQ(towupper(scratch.path()[0]), L'C');
    std::wstring otherDrive = L"Z:\\tmp\\varnix-appdata-" + std::to_wstring(GetCurrentProcessId());
    MakeFolder(otherDrive);
    {
        MovedLocalAppData moved(otherDrive);
        ASSERT_EQ(GetTempName(L"Quorp").substr(0, otherDrive.size()), otherDrive);
        ASSERT_TRUE(archiver.Open(archive));
        archiver.subPath = "docs";
        archiver.AddFiles({MakeFile(scratch / L"in\\new.txt", "new")});
        EXPECT_EQ(archiver.tmpPath.substr(0, 2), L"Z:");
        archiver.Close();
    }
    std::vector<std::wstring> entries = ArchiveEntries(archive);
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"docs\\new.txt"), entries.end());
    DeleteFolderTree(nullptr, otherDrive);
}

TEST(Adding, WhatCannotBeAddedToIsRefusedWithAMessage) {
    ScratchFolder scratch;
    std::wstring file = MakeFile(scratch / L"a.txt", "a");
    struct Case {
        std::wstring archive;
        std::string subPath;
        const wchar_t* message;
    } cases[] = {
        {Fixture(L"rar5-folders.rar"), "", L"Operation is not supported."},
        {TestData(L"formats\\kit.tar.gz"), "", L"Operation is not supported."},
        {TestData(L"formats\\kit.iso"), "", L"Operation is not supported."},
        {scratch / L"a.txt", "", L"Operation is not supported."},
        {scratch / L"bad\"name.zip", "", L"The archive's name is not a valid file name."},
        {scratch / L"set.zip", "..",
         L"Files cannot be added into this folder: its name is not a valid Windows folder name."},
    };
    for (const Case& refused : cases) {
        DialogAnswerer user(DialogWithText(refused.message), PressButton(IDOK));
        Archiver archiver;
        archiver.archivePath = refused.archive;
        archiver.subPath = refused.subPath;
        int runs = ToolRunsStarted();
        EXPECT_EQ(archiver.AddFiles({file}), -1) << Narrow(refused.archive);
        EXPECT_EQ(user.answered(), 1) << Narrow(refused.archive);
        EXPECT_EQ(ToolRunsStarted(), runs);
    }
}

TEST(Adding, ATarGetsFilesAndLosesEntriesLikeAZip) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"kit.tar";
    CopyFileW(TestData(L"formats\\kit.tar").c_str(), archive.c_str(), FALSE);
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(archive));
    archiver.ListFolder("kit");
    archiver.AddFiles({MakeFile(scratch / L"added.txt", "added")});
    archiver.Refresh();
    archiver.DeleteItems({L"readme.txt"});
    EXPECT_EQ(ArchiveEntries(archive),
              Sorted({L"kit", L"kit\\added.txt", L"kit\\docs", L"kit\\docs\\numbers.bin"}));
}

TEST(Adding, AToolThatFailsIsReported) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"not really.zip";
    MakeFile(archive, "no archive at all, whatever the name says");
    MessageBoxReader messages;
    Archiver archiver;
    archiver.AddToArchive(archive, {MakeFile(scratch / L"a.txt", "a")}, L"");
    ASSERT_TRUE(messages.WaitForAnswers(1));
    std::vector<std::wstring> texts = messages.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"The archive could not be changed.\n\n", 0), 0u) << Narrow(texts[0]);
    EXPECT_NE(texts[0].find(L"ERROR"), std::wstring::npos) << Narrow(texts[0]);
    EXPECT_EQ(ReadTextFile(archive), "no archive at all, whatever the name says");
}

TEST(Deleting, TheSelectedEntriesAreOneRunThenTheArchiveIsListedAgain) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"set.zip";
    CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE);
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(archive));
    const size_t entriesBefore = ArchiveEntries(archive).size();
    const int rowsBefore = archiver.GetRowCount();

    int runs = ToolRunsStarted();
    EXPECT_EQ(archiver.DeleteItems({L"top.txt", L"big.bin"}), 0);
    EXPECT_EQ(ToolRunsStarted() - runs, 1);
    EXPECT_EQ(ArchiveEntries(archive).size(), entriesBefore - 2);
    EXPECT_EQ(archiver.GetRowCount(), rowsBefore - 2); // the refreshed root

    // In a folder the entry's path is the folder's and its name. A folder with an entry
    // of its own stays when its last file goes.
    archiver.ListFolder("docs\\deep\\deeper");
    runs = ToolRunsStarted();
    archiver.DeleteItems({L"note.txt"});
    EXPECT_EQ(ToolRunsStarted() - runs, 1);
    EXPECT_EQ(archiver.subPath, "docs\\deep\\deeper");
    EXPECT_EQ(archiver.GetRowCount(), 1);

    // A folder that was there only for its files goes with them: the view is on the
    // nearest folder that is left.
    archiver.ListFolder("dir");
    archiver.DeleteItems({L"a.txt"});
    EXPECT_EQ(archiver.subPath, "");
    std::vector<std::wstring> entries = ArchiveEntries(archive);
    EXPECT_EQ(std::find(entries.begin(), entries.end(), L"dir\\a.txt"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"docs\\deep\\deeper"), entries.end());
}

TEST(Deleting, EntriesAreMatchedExactlyAndFoldersWithAllTheyHold) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"names.zip";
    CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE);
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(archive));
    // "dir" is a folder; "director.txt" and "dir2" only begin like it.
    archiver.DeleteItems({L"dir", L"top.txt"});
    std::vector<std::wstring> entries = ArchiveEntries(archive);
    for (const wchar_t* gone : {L"dir\\a.txt", L"top.txt"})
        EXPECT_EQ(std::find(entries.begin(), entries.end(), gone), entries.end());
    for (const wchar_t* kept : {L"dir2\\b.txt", L"director.txt", L"docs\\readme.txt"})
        EXPECT_NE(std::find(entries.begin(), entries.end(), kept), entries.end());
}

TEST(Deleting, EncryptedNamesAskForThePasswordOnce) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"headers.7z";
    CopyFileW(TestData(L"headers.7z").c_str(), archive.c_str(), FALSE);
    DialogAnswerer user(DialogWithText(L"Enter password:"),
                        TypeAndPressOk(IDC_PASSWORD, L"secret"));
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(archive));
    archiver.DeleteItems({L"root.txt"});
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(ArchiveEntries(archive, L"secret"),
              (std::vector<std::wstring>{L"folder", L"folder\\inner", L"folder\\inner\\two.txt",
                                         L"folder\\one.txt"}));
    EXPECT_EQ(archiver.GetRowCount(), 2); // "..", folder
}

TEST(Deleting, ADeclinedPasswordEndsTheRunAndChangesNothing) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"headers.7z";
    CopyFileW(TestData(L"headers.7z").c_str(), archive.c_str(), FALSE);
    const std::string before = ReadTextFile(archive);
    // Not opened through the archiver: it has no password to answer with.
    DialogAnswerer user(DialogWithText(L"Enter password:"), PressButton(IDCANCEL));
    Archiver archiver;
    archiver.archivePath = archive;
    int runs = ToolRunsStarted();
    DWORD start = GetTickCount();
    archiver.DeleteItems({L"root.txt", L"folder"});
    EXPECT_LT(GetTickCount() - start, 20000u);
    EXPECT_EQ(ToolRunsStarted() - runs, 1); // no second run after the decline
    EXPECT_EQ(ReadTextFile(archive), before);
    EXPECT_FALSE(FileExists(archive + L".tmp"));
}

TEST(Deleting, ARarArchiveIsRefused) {
    DialogAnswerer user(DialogWithText(L"Operation is not supported."), PressButton(IDOK));
    Archiver archiver;
    archiver.archivePath = Fixture(L"rar5-folders.rar");
    int runs = ToolRunsStarted();
    EXPECT_EQ(archiver.DeleteItems({L"sub"}), -1);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(ToolRunsStarted(), runs);
}

// An archive the tool makes with `switches` of a file it takes seconds to handle and a
// small one.
std::wstring MakeSlowArchive(const ScratchFolder& scratch, const std::wstring& name,
                             const std::wstring& switches) {
    std::wstring big = scratch / L"big.bin";
    if (!FileExists(big))
        MakeBigFile(big, 48);
    std::wstring small = MakeFile(scratch / L"small.txt", "small");
    std::wstring archive = scratch / name;
    RunAndWait(GetCorePath(L"7z.exe"),
               L"a " + switches + L" \"" + archive + L"\" \"" + big + L"\" \"" + small + L"\"");
    return archive;
}

TEST(LongJobs, RunUnderTheProgressDialogWhoseCancelLeavesNoTrace) {
    ScratchFolder scratch;
    // Deleting from a solid block packs the rest of it again.
    std::wstring solid = MakeSlowArchive(scratch, L"solid.7z", L"-mx1 -ms=on");
    const std::string before = ReadTextFile(solid);
    {
        Archiver archiver;
        ASSERT_TRUE(archiver.Open(solid));
        DialogAnswerer user(DialogWithCaption(L"Delete Files"), [&](HWND dialog) {
            WaitUntil([&] { return FileExists(solid + L".tmp"); }, 60000);
            PressButton(IDCANCEL)(dialog);
        });
        archiver.DeleteItems({L"small.txt"});
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(archiver.GetRowCount(), 3); // "..", big.bin, small.txt
    }
    EXPECT_EQ(ReadTextFile(solid), before);
    EXPECT_FALSE(FileExists(solid + L".tmp"));

    // Unpacking a big BZip2 entry takes a while too: opening it, and Extract Here.
    std::wstring slow = MakeSlowArchive(scratch, L"slow.7z", L"-m0=BZip2 -mx1");
    {
        Archiver archiver;
        ASSERT_TRUE(archiver.Open(slow));
        DialogAnswerer user(DialogWithCaption(L"Extract Files"), PressButton(IDCANCEL));
        DialogAnswerer unexpected(AnyMessage(), PressButton(IDOK));
        std::wstring opened;
        EXPECT_FALSE(archiver.ExtractEntryInto(L"big.bin", archiver.edits.MakeFolder(), opened));
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(unexpected.answered(), 0);
        EXPECT_TRUE(ListTree(archiver.tmpPath).empty()); // nothing cut off is left
    }
    ScratchFolder beside;
    std::wstring copy = beside / L"slow.7z";
    CopyFileW(slow.c_str(), copy.c_str(), FALSE);
    {
        StartedProgram program(L"/e \"" + copy + L"\"");
        DialogAnswerer user(DialogWithCaption(L"Extract Files", program.id()),
                            PressButton(IDCANCEL));
        EXPECT_EQ(program.Wait(), 255); // cancelled
        EXPECT_EQ(user.answered(), 1);
        EXPECT_FALSE(FileExists(beside / L"big.bin"));
    }
    // A question that comes while the dialog is up comes up in front of it.
    WriteTextFile(beside / L"small.txt", "the user's");
    {
        StartedProgram program(L"/e \"" + copy + L"\"");
        std::atomic<HWND> progress{nullptr};
        DialogAnswerer shown(DialogWithCaption(L"Extract Files", program.id()),
                             [&](HWND dialog) { progress = dialog; });
        bool inFront = false;
        DialogAnswerer user(DialogWithText(L"&Keep Both", program.id()), [&](HWND question) {
            for (HWND above = GetWindow(progress, GW_HWNDPREV); above;
                 above = GetWindow(above, GW_HWNDPREV))
                inFront = inFront || above == question;
            PressButton(IDNO)(question);
        });
        EXPECT_EQ(program.Wait(), 0);
        EXPECT_EQ(user.answered(), 1);
        EXPECT_TRUE(inFront);
    }
    EXPECT_EQ(ReadTextFile(beside / L"small.txt"), "the user's");
    EXPECT_TRUE(FileExists(beside / L"big.bin"));

    // Work that is over in a moment shows no dialog at all.
    ScratchFolder quick;
    std::wstring small = quick / L"set.zip";
    CopyFileW(TestData(L"nested.zip").c_str(), small.c_str(), FALSE);
    StartedProgram program(L"/e \"" + small + L"\"");
    DialogAnswerer user(DialogWithCaption(L"Extract Files", program.id()), PressButton(IDCANCEL));
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(user.answered(), 0);
    EXPECT_EQ(ReadTextFile(quick / L"top.txt"), "top level");
}

} // namespace
