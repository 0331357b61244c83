// The add-to-archive dialog, shown for real and used from another thread as a user would.
#include "archive/archiver.h"
#include "archive/archivekind.h"
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

TEST(DefaultArchiveName, BesideTheFileNamedAfterItAndNotTaken) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.path();
    WriteTextFile(scratch / L"report.txt", "r");
    WriteTextFile(scratch / L"old.ZIP", "o");
    MakeFolder(scratch / L"photos");

    EXPECT_EQ(DefaultArchiveName(folder + L"\\", scratch / L"report.txt"), scratch / L"report.zip");
    EXPECT_EQ(DefaultArchiveName(folder, scratch / L"report.txt"), scratch / L"report.zip");
    EXPECT_EQ(DefaultArchiveName(folder + L"\\", scratch / L"photos"), scratch / L"photos.zip");
    WriteTextFile(scratch / L"report.zip", "taken");
    EXPECT_EQ(DefaultArchiveName(folder + L"\\", scratch / L"report.txt"),
              scratch / L"report.zip.zip");
    EXPECT_EQ(DefaultArchiveName(folder + L"\\", scratch / L"old.ZIP"), scratch / L"old.ZIP.zip");
    EXPECT_EQ(DefaultArchiveName(L"", L"bare.txt"), L"bare.zip");
}

DialogAnswerer::Matcher AddDialog() {
    return DialogWithCaption(addDialogTitle);
}

void Click(HWND dialog, int id) {
    PressButton(id)(dialog);
}

// Shows the dialog for `files` on this thread while `user` works it from another.
void WithDialog(const std::vector<std::wstring>& files, std::function<void(HWND)> user) {
    std::thread driver([&] {
        HWND dialog = WaitForDialog(AddDialog());
        if (dialog)
            user(dialog);
    });
    EXPECT_EQ(ShowAddDialog(files), 1);
    driver.join();
}

struct Folder {
    Folder() {
        for (const wchar_t* name : {L"a.txt", L"b.txt"})
            WriteTextFile(holder + L"\\" + name, "x");
    }
    ScratchFolder scratch;
    std::wstring holder = [this] {
        std::wstring path = scratch / L"photos";
        MakeFolder(path);
        return path;
    }();
    std::vector<std::wstring> files = {holder + L"\\a.txt", holder + L"\\b.txt"};
};

TEST(AddDialog, SeveralFilesGoToAnArchiveNamedAfterTheirFolder) {
    Folder folder;
    std::wstring shownName;
    WithDialog(folder.files, [&](HWND dialog) {
        shownName = ControlText(dialog, IDC_ARCHIVE_NAME);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(shownName, folder.holder + L"\\photos.zip");
    EXPECT_EQ(ArchiveEntries(folder.holder + L"\\photos.zip"),
              (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    // The archiver the dialog used is gone again.
    EXPECT_EQ(GetArchiver()->archivePath, L"");
    ReleaseArchiver();
}

TEST(AddDialog, PasswordsThatDifferKeepTheDialogOpen) {
    Folder folder;
    std::wstring archive = folder.holder + L"\\locked.7z";
    bool stayedOpen = false;
    int mismatches = 0;
    WithDialog(folder.files, [&](HWND dialog) {
        SetControlText(dialog, IDC_ARCHIVE_NAME, archive);
        // Differing only in letter case is differing.
        for (const wchar_t* again : {L"Secret", L"secreT"}) {
            SetControlText(dialog, IDC_ADD_PASSWORD, L"secret");
            SetControlText(dialog, IDC_ADD_PASSWORD_AGAIN, again);
            Click(dialog, IDOK);
            HWND box = WaitForDialog(DialogWithText(L"Password is invalid. Please input again."));
            if (box) {
                ++mismatches;
                Click(box, IDOK);
                WaitUntil([&] { return !IsWindow(box); });
            }
        }
        stayedOpen = IsWindowVisible(dialog) && ControlText(dialog, IDC_ADD_PASSWORD) == L"secret";
        SetControlText(dialog, IDC_ADD_PASSWORD_AGAIN, L"secret");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(mismatches, 2);
    EXPECT_TRUE(stayedOpen);
    // Opened with the password: the listing needs none (the names are not encrypted) but
    // the data does.
    EXPECT_EQ(ArchiveEntries(archive), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    ReleaseArchiver();
}

TEST(AddDialog, AnEmptyFirstPasswordMeansNone) {
    Folder folder;
    std::wstring archive = folder.holder + L"\\open.zip";
    WithDialog(folder.files, [&](HWND dialog) {
        SetControlText(dialog, IDC_ARCHIVE_NAME, L"open.zip"); // beside the files
        SetControlText(dialog, IDC_ADD_PASSWORD_AGAIN, L"ignored");
        Click(dialog, IDOK);
    });
    ASSERT_TRUE(FileExists(archive));
    ScratchFolder out;
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(archive, ArchiveKindZip, contents), 0);
    EXPECT_EQ(contents.items.size(), 2u);
    ReleaseArchiver();
}

TEST(AddDialog, AZipPasswordBeyondAsciiIsRefusedBeforeAnythingRuns) {
    Folder folder;
    std::wstring archive = folder.holder + L"\\photos.zip";
    bool told = false;
    WithDialog(folder.files, [&](HWND dialog) {
        for (int field : {IDC_ADD_PASSWORD, IDC_ADD_PASSWORD_AGAIN})
            SetControlText(dialog, field, L"p\u00e4ss");
        Click(dialog, IDOK);
        HWND box = WaitForDialog(DialogWithText(zipPasswordMessage));
        told = box != nullptr;
        if (box) {
            Click(box, IDOK);
            WaitUntil([&] { return !IsWindow(box); });
        }
        Click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(told);
    EXPECT_FALSE(FileExists(archive));
}

// A later process's request, as it sends it: the quoted path, with or without its zero.
LRESULT SendPath(HWND dialog, const std::wstring& path, bool terminated = true) {
    std::wstring argument = L"\"" + path + L"\"";
    COPYDATASTRUCT data = {};
    data.cbData = static_cast<DWORD>((argument.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(argument.c_str());
    return SendMessageW(dialog, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

TEST(AddDialog, PathsFromLaterProcessesJoinUntilTheAddBegins) {
    Folder folder;
    std::wstring late = folder.scratch / L"late.txt";
    WriteTextFile(late, "late");
    // While the add runs, a path would no longer be added: the sender learns so.
    LRESULT duringAdd = -1;
    DialogAnswerer progress(DialogWithCaption(L"Add Files"), [&](HWND) {
        duringAdd = SendPath(FindWindowW(nullptr, addDialogTitle), folder.scratch / L"too late");
    });
    LRESULT beforeAdd = -1;
    LRESULT unterminated = -1;
    WithDialog({folder.files[0]}, [&](HWND dialog) {
        beforeAdd = SendPath(dialog, folder.files[1]);
        // A request without its terminating zero is cut at the end of its data.
        unterminated = SendPath(dialog, late, false);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(beforeAdd, TRUE);
    EXPECT_EQ(unterminated, TRUE);
    EXPECT_EQ(duringAdd, FALSE);
    // Named after the first file alone.
    EXPECT_EQ(ArchiveEntries(folder.holder + L"\\a.zip"),
              (std::vector<std::wstring>{L"a.txt", L"b.txt", L"late.txt"}));
    ReleaseArchiver();
}

TEST(AddDialog, BrowseAppendsZipUnlessItIsThere) {
    Folder folder;
    std::vector<std::wstring> chosen;
    WithDialog({folder.files[0]}, [&](HWND dialog) {
        for (const wchar_t* name : {L"data.rar", L"ready.ZIP"}) {
            Click(dialog, IDC_BROWSE);
            HWND browse = WaitForDialog(DialogWithCaption(L"Browse"));
            if (!browse)
                break;
            SetControlText(browse, 1148, folder.holder + L"\\" + name); // the file name box
            Click(browse, IDOK);
            WaitUntil([&] { return !IsWindow(browse); });
            chosen.push_back(ControlText(dialog, IDC_ARCHIVE_NAME));
        }
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(chosen, (std::vector<std::wstring>{folder.holder + L"\\data.rar.zip",
                                                 folder.holder + L"\\ready.ZIP"}));
}

} // namespace
