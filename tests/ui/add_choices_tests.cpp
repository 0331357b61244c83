// The add dialog's choices, made with the real dialog and the real tool, and what the
// engine's own tool then says of the archives made.
#include "archive/addoptions.h"
#include "archive/archiver.h"
#include "archive/library/listing.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"
#include "ui/adddialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

using namespace testing_support;

// The choices remembered between runs are forgotten before and after each test, so that no
// test sees another's.
struct ForgetAddChoices {
    ForgetAddChoices() { Forget(); }
    ~ForgetAddChoices() { Forget(); }
    static void Forget() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Varnix FileOpener", 0, KEY_ALL_ACCESS,
                          &key) != ERROR_SUCCESS)
            return;
        for (const FormatInfo& info : AddFormatList())
            RegDeleteValueW(key, (L"add_options_" + std::wstring(info.name)).c_str());
        RegDeleteValueW(key, L"add_options");
        RegCloseKey(key);
    }
};

void WithDialog(const std::vector<std::wstring>& files, std::function<void(HWND)> user) {
    std::thread driver([&] {
        HWND dialog = WaitForDialog(DialogWithCaption(addDialogTitle));
        if (dialog)
            user(dialog);
    });
    ShowAddDialog(files);
    driver.join();
}

// Chooses the item `text` of a list as the user does, with the notification it sends.
void Choose(HWND dialog, int id, const std::wstring& text) {
    HWND list = GetDlgItem(dialog, id);
    LRESULT at = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_GE(at, 0) << Narrow(text);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void Tick(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void TypePassword(HWND dialog, const std::wstring& password) {
    SetControlText(dialog, IDC_ADD_PASSWORD, password);
    SetControlText(dialog, IDC_ADD_PASSWORD_AGAIN, password);
}

// Letters that hardly compress, from a fixed seed.
std::string NoisyText(size_t size) {
    std::string text(size, ' ');
    uint32_t state = 12345;
    for (char& c : text) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>('!' + (state >> 16) % 90);
    }
    return text;
}

bool Says(const std::string& listing, const std::string& line) {
    return listing.find(line) != std::string::npos;
}

struct Sources {
    Sources() {
        MakeFolder(folder);
        WriteTextFile(folder + L"\\notes.txt", NoisyText(4 << 20));
        WriteTextFile(folder + L"\\r\u00e9sum\u00e9.txt", "cv");
    }
    ScratchFolder scratch;
    std::wstring folder = scratch / L"photos";
    std::vector<std::wstring> files{folder + L"\\notes.txt", folder + L"\\r\u00e9sum\u00e9.txt"};
};

TEST(AddChoices, EveryFormatIsMadeAsChosen) {
    ForgetAddChoices forget;
    struct Case {
        const wchar_t* format;
        const wchar_t* level;
        const wchar_t* method; // "" the format's own
        const wchar_t* password;
        std::function<void(HWND)> more;
        const char* says; // a line of the engine's listing
    };
    const Case cases[] = {
        {L"7z", L"Ultra", L"LZMA2", L"", nullptr, "Method = LZMA2:"},
        {L"7z", L"Fastest", L"PPMd", L"", nullptr, "Method = PPMD"},
        {L"zip", L"Maximum", L"", L"s3cret", nullptr, "Method = AES-256 Deflate"},
        {L"zip", L"Normal", L"", L"s3cret",
         [](HWND dialog) { Choose(dialog, IDC_ADD_ZIP_ENCRYPTION, L"ZipCrypto"); },
         "Method = ZipCrypto Deflate"},
        {L"zip", L"Fast", L"BZip2", L"", nullptr, "Method = BZip2"},
        {L"zip", L"Store", L"", L"", nullptr, "Method = Store"},
        {L"tar", L"Store", L"", L"", nullptr, "Type = tar"},
        {L"wim", L"Store", L"", L"", nullptr, "Type = wim"},
        {L"tar.gz", L"Fast", L"", L"", nullptr, "Type = gzip"},
        {L"tar.xz", L"Normal", L"", L"",
         [](HWND dialog) { Choose(dialog, IDC_ADD_THREADS, L"2"); }, "Type = xz"},
        {L"tar.bz2", L"Ultra", L"", L"", nullptr, "Type = bzip2"},
        {L"gz", L"Maximum", L"", L"", nullptr, "Type = gzip"},
        // Two threads pack a big file in blocks of their own.
        {L"xz", L"Fastest", L"", L"",
         [](HWND dialog) { Choose(dialog, IDC_ADD_THREADS, L"2"); }, "Blocks = 4"},
        {L"xz", L"Fastest", L"", L"",
         [](HWND dialog) { Choose(dialog, IDC_ADD_THREADS, L"1"); }, "Blocks = 1"},
        {L"bz2", L"Fastest", L"", L"", nullptr, "Type = bzip2"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Narrow(test.format) + " " + Narrow(test.level));
        Sources sources;
        AddFormat format = AddFormat::Zip;
        FormatOfName(L"x." + std::wstring(test.format), format);
        const bool single = InfoOf(format).singleFile;
        std::vector<std::wstring> picked =
            single ? std::vector<std::wstring>{sources.files[0]} : sources.files;
        std::wstring made;
        WithDialog(picked, [&](HWND dialog) {
            Choose(dialog, IDC_ADD_FORMAT, test.format);
            Choose(dialog, IDC_ADD_LEVEL, test.level);
            if (*test.method)
                Choose(dialog, IDC_ADD_METHOD, test.method);
            TypePassword(dialog, test.password);
            if (test.more)
                test.more(dialog);
            made = ControlText(dialog, IDC_ARCHIVE_NAME);
            PressButton(IDOK)(dialog);
        });
        // The name followed the format; a single file keeps its whole name.
        std::wstring expected = single ? sources.files[0] + L"." + test.format
                                       : sources.folder + L"\\photos." + test.format;
        EXPECT_EQ(made, expected);
        std::string listing = EngineListing(made, test.password);
        EXPECT_TRUE(Says(listing, test.says)) << listing;
        const std::vector<std::wstring> entries =
            single ? std::vector<std::wstring>{L"notes.txt"}
                   : std::vector<std::wstring>{L"notes.txt", L"r\u00e9sum\u00e9.txt"};
        EXPECT_EQ(ArchiveEntries(made, test.password), entries);
        ReleaseArchiver();
    }
}

TEST(AddChoices, SevenZipNamesEncryptedAndChoicesRemembered) {
    ForgetAddChoices forget;
    Sources sources;
    WithDialog(sources.files, [&](HWND dialog) {
        Choose(dialog, IDC_ADD_FORMAT, L"7z");
        Choose(dialog, IDC_ADD_LEVEL, L"Maximum");
        TypePassword(dialog, L"pw");
        Tick(dialog, IDC_ADD_ENCRYPT_NAMES);
        EXPECT_EQ(ControlText(dialog, IDC_ADD_SUMMARY), L"photos.7z, 7z Maximum, encrypted names");
        PressButton(IDOK)(dialog);
    });
    const std::wstring archive = sources.folder + L"\\photos.7z";
    // Without the password not even the names are listed.
    EXPECT_FALSE(Says(EngineListing(archive), "Path = notes.txt"));
    std::string listing = EngineListing(archive, L"pw");
    EXPECT_TRUE(Says(listing, "Path = notes.txt")) << listing;
    EXPECT_TRUE(Says(listing, "7zAES")) << listing;
    ReleaseArchiver();

    // The next add starts from these choices, but never from the password.
    Sources next;
    WithDialog(next.files, [&](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, IDC_ARCHIVE_NAME), next.folder + L"\\photos.7z");
        EXPECT_EQ(ControlText(dialog, IDC_ADD_LEVEL), L"Maximum");
        EXPECT_EQ(ControlText(dialog, IDC_ADD_PASSWORD), L"");
        PressButton(IDCANCEL)(dialog);
    });
    ReleaseArchiver();
}

TEST(AddChoices, VolumesOfATypedSizeAndABadSizeSaidFirst) {
    ForgetAddChoices forget;
    Sources sources;
    for (const wchar_t* name : {L"a.bin", L"b.bin"})
        WriteTextFile(sources.folder + L"\\" + name, NoisyText(300000));
    std::vector<std::wstring> picked{sources.folder + L"\\a.bin", sources.folder + L"\\b.bin"};
    bool told = false;
    WithDialog(picked, [&](HWND dialog) {
        Choose(dialog, IDC_ADD_FORMAT, L"7z");
        SetControlText(dialog, IDC_ADD_VOLUMES, L"12 parsecs");
        PressButton(IDOK)(dialog);
        HWND box = WaitForDialog(MessageBeginningWith(L"\"12 parsecs\" is not a volume size."));
        told = box != nullptr;
        if (box) {
            PressButton(IDOK)(box);
            WaitUntil([&] { return !IsWindow(box); });
        }
        SetControlText(dialog, IDC_ADD_VOLUMES, L"200k");
        PressButton(IDOK)(dialog);
    });
    EXPECT_TRUE(told);
    const std::wstring archive = sources.folder + L"\\photos.7z";
    EXPECT_FALSE(FileExists(archive));
    for (const wchar_t* volume : {L".001", L".002"}) {
        EXPECT_TRUE(FileExists(archive + volume)) << Narrow(volume);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW((archive + volume).c_str(), GetFileExInfoStandard, &data);
        EXPECT_LE(data.nFileSizeLow, 200u * 1024u);
    }
    EXPECT_EQ(ArchiveEntries(archive + L".001"), (std::vector<std::wstring>{L"a.bin", L"b.bin"}));
    ReleaseArchiver();

    // A set that comes out as one volume gets the plain name.
    Sources small;
    WithDialog(small.files, [&](HWND dialog) {
        Choose(dialog, IDC_ADD_FORMAT, L"zip");
        SetControlText(dialog, IDC_ADD_VOLUMES, L"10 MB");
        PressButton(IDOK)(dialog);
    });
    EXPECT_TRUE(FileExists(small.folder + L"\\photos.zip"));
    EXPECT_FALSE(FileExists(small.folder + L"\\photos.zip.001"));
    ReleaseArchiver();
}

// An archive of a.txt (old), b.txt and sub\gone.txt; on the disk a.txt is newer, b.txt is
// as it was, sub\gone.txt is gone and new.txt has come.
TEST(AddChoices, EachUpdateModeOnAPreparedArchive) {
    struct Mode {
        UpdateMode mode;
        std::vector<std::wstring> entries;
        const char* a;
    };
    const Mode modes[] = {
        {UpdateMode::AddAndReplace, {L"a.txt", L"b.txt", L"new.txt", L"sub", L"sub\\gone.txt"}, "new a"},
        {UpdateMode::Update, {L"a.txt", L"b.txt", L"new.txt", L"sub", L"sub\\gone.txt"}, "new a"},
        {UpdateMode::Freshen, {L"a.txt", L"b.txt", L"sub", L"sub\\gone.txt"}, "new a"},
        {UpdateMode::Synchronize, {L"a.txt", L"b.txt", L"new.txt", L"sub"}, "new a"},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(static_cast<int>(mode.mode));
        ScratchFolder scratch;
        const std::wstring disk = scratch / L"disk";
        MakeFolder(disk + L"\\sub");
        WriteTextFile(disk + L"\\a.txt", "old a");
        WriteTextFile(disk + L"\\b.txt", "b");
        WriteTextFile(disk + L"\\sub\\gone.txt", "gone");
        const std::wstring archive = scratch / L"kept.7z";
        Archiver archiver;
        archiver.AddToArchive(archive, {disk + L"\\a.txt", disk + L"\\b.txt", disk + L"\\sub"}, L"");
        DeleteFileW((disk + L"\\sub\\gone.txt").c_str());
        WriteTextFile(disk + L"\\new.txt", "new");
        WriteTextFile(disk + L"\\a.txt", "new a");
        FILETIME later = ModifiedTime(disk + L"\\a.txt");
        ULARGE_INTEGER time = {{later.dwLowDateTime, later.dwHighDateTime}};
        time.QuadPart += 100000000ull; // ten seconds on
        later = {time.LowPart, time.HighPart};
        HANDLE file = CreateFileW((disk + L"\\a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, nullptr, nullptr, &later);
        CloseHandle(file);

        AddOptions options;
        options.format = AddFormat::SevenZip;
        options.update = mode.mode;
        archiver.CreateArchives(
            {{archive, {disk + L"\\a.txt", disk + L"\\b.txt", disk + L"\\new.txt", disk + L"\\sub"}}},
            options);
        EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Success);
        EXPECT_EQ(ArchiveEntries(archive), mode.entries);
        std::string listing = EngineListing(archive);
        EXPECT_TRUE(Says(listing, "Size = 5\r\n")) << listing; // "new a"
    }
}

TEST(AddChoices, AnArchiveForEachItemAndSourcesDeletedButALockedOne) {
    ForgetAddChoices forget;
    Sources sources;
    const std::wstring held = sources.folder + L"\\held.txt";
    WriteTextFile(held, "held");
    std::vector<std::wstring> picked = sources.files;
    picked.push_back(held);
    HANDLE holding = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holding, INVALID_HANDLE_VALUE);
    MessageBoxReader messages;
    WithDialog(picked, [&](HWND dialog) {
        Choose(dialog, IDC_ADD_FORMAT, L"7z");
        Tick(dialog, IDC_ADD_SEPARATE);
        Tick(dialog, IDC_ADD_DELETE_AFTER);
        PressButton(IDOK)(dialog);
    });
    CloseHandle(holding);
    EXPECT_EQ(ArchiveEntries(sources.folder + L"\\notes.7z"), (std::vector<std::wstring>{L"notes.txt"}));
    EXPECT_EQ(ArchiveEntries(sources.folder + L"\\r\u00e9sum\u00e9.7z"),
              (std::vector<std::wstring>{L"r\u00e9sum\u00e9.txt"}));
    // The held file could not be read: its archive is not made, it stays, and it is said.
    EXPECT_FALSE(FileExists(sources.folder + L"\\held.7z"));
    EXPECT_TRUE(FileExists(held));
    EXPECT_FALSE(PathExists(sources.files[0]));
    EXPECT_FALSE(PathExists(sources.files[1]));
    EXPECT_TRUE(messages.Saw(L"Not every file could be added to the archives."));
    ReleaseArchiver();
}

TEST(AddChoices, VolumeSizesAsUsersTypeThem) {
    uint64_t bytes = 0;
    const std::pair<const wchar_t*, uint64_t> good[] = {
        {L"700m", 700ull << 20},       {L"1.5g", 3ull << 29},  {L"200k", 200ull << 10},
        {L"4092 MB FAT32", 4092ull << 20}, {L"650 MB CD", 650ull << 20}, {L" 100 MB", 100ull << 20},
        {L"65536", 65536},
    };
    for (const auto& size : good) {
        EXPECT_TRUE(ParseVolumeSize(size.first, bytes)) << Narrow(size.first);
        EXPECT_EQ(bytes, size.second) << Narrow(size.first);
    }
    for (const wchar_t* bad : {L"", L"m", L"12 parsecs", L"-5m", L"1k", L"1.2.3g", L"5m;x"})
        EXPECT_FALSE(ParseVolumeSize(bad, bytes)) << Narrow(bad);
}

} // namespace
