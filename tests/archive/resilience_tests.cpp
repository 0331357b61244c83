// Archives the program cannot have its way with: held open by another program, read-only,
// on a disk that is full. Each gives a clear message, and nothing is lost.
#include "archive/archiver.h"
#include "shell/paths.h"
#include "support/testsupport.h"
#include "win/handle.h"
#include "ui/folderbrowser.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace testing_support;

std::string Bytes(const std::wstring& path) {
    return ReadTextFile(path);
}

std::wstring RandomFile(const std::wstring& path, size_t size) {
    std::mt19937 random(7);
    std::string data(size, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    WriteTextFile(path, data);
    return path;
}

TEST(Resilience, AnArchiveAnotherProgramHoldsSaysSoAndStaysAsItWas) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"held.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    std::string before = Bytes(archive);
    std::wstring file = RandomFile(scratch / L"new.bin", 1000);
    {
        // Held as an editor holds its document: nobody else may read or write it.
        win::KernelHandle held(CreateFileW(archive.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);

        MessageBoxReader messages;
        FolderBrowser model;
        EXPECT_FALSE(model.OpenArchive(archive));
        EXPECT_TRUE(messages.Saw(L"Couldn't open the file.\n\nAnother program is using it."))
            << messages.All();

        Archiver archiver;
        archiver.AddToArchive(archive, {file}, L"");
        EXPECT_TRUE(messages.Saw(L"The archive could not be changed."));
    }
    EXPECT_EQ(Bytes(archive), before);
    EXPECT_EQ(CountEntries(scratch.path()), 2); // no scratch copy left beside it
}

TEST(Resilience, AReadOnlyArchiveOpensButIsNotChanged) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"read-only.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string before = Bytes(archive);

    MessageBoxReader messages;
    FolderBrowser model;
    EXPECT_TRUE(model.OpenArchive(archive));
    model.CloseArchive();

    Archiver archiver;
    archiver.AddToArchive(archive, {RandomFile(scratch / L"new.bin", 1000)}, L"");
    EXPECT_TRUE(messages.Saw(L"The archive could not be changed.")) << messages.All();
    EXPECT_EQ(Bytes(archive), before);
    EXPECT_EQ(ArchiveEntries(archive), ArchiveEntries(TestData(L"nested.zip")));
    SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A small disk of its own, mounted by the test run where the machine allows it.
std::wstring SmallDisk() {
    std::wstring folder = TestData(L"fulldisk");
    ULARGE_INTEGER available = {}, total = {};
    if (!GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, &total, nullptr) ||
        total.QuadPart > (16u << 20))
        return std::wstring();
    return folder;
}

// Fills the disk that holds `folder` up to the last byte; the filler goes at the end.
struct Filler {
    explicit Filler(const std::wstring& folder) : path(folder + L"\\filler.bin") {
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::string block(4096, 'f');
        for (size_t size = 1 << 20; size >= 1; size /= 2) {
            block.assign(size, 'f');
            DWORD written = 0;
            while (WriteFile(file, block.data(), static_cast<DWORD>(size), &written, nullptr) &&
                   written == size) {
            }
        }
        CloseHandle(file);
    }
    ~Filler() { DeleteFileW(path.c_str()); }
    std::wstring path;
};

TEST(Resilience, AFullDiskGivesAMessageAndLosesNothing) {
    std::wstring disk = SmallDisk();
    if (disk.empty())
        GTEST_SKIP() << "no small disk mounted for this run";
    std::wstring archive = disk + L"\\on-full-disk.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    std::string before = Bytes(archive);
    ScratchFolder scratch;
    std::wstring file = RandomFile(scratch / L"incompressible.bin", 300000);
    std::wstring out = disk + L"\\out";
    CreateDirectoryW(out.c_str(), nullptr);
    {
        Filler filler(disk);
        MessageBoxReader messages;

        // It still opens: reading needs no room.
        Archiver archiver;
        ASSERT_TRUE(archiver.Open(archive));

        // Adding: the tool cannot write its new archive; the old one stays whole.
        archiver.AddFiles({file});
        EXPECT_TRUE(messages.Saw(L"The archive could not be changed.")) << messages.All();
        EXPECT_EQ(Bytes(archive), before);

        // Extracting: said so, and no cut-off file is left behind.
        archiver.ListFolder("");
        archiver.ExtractItems({L"big.bin"}, out);
        EXPECT_TRUE(messages.Saw(extractFailureMessage));
        EXPECT_EQ(GetFileAttributesW((out + L"\\big.bin").c_str()), INVALID_FILE_ATTRIBUTES);
        archiver.Close();
    }
    std::vector<std::wstring> left = ListTree(disk);
    EXPECT_EQ(left, (std::vector<std::wstring>{L"on-full-disk.zip", L"out"}));
    EXPECT_EQ(ArchiveEntries(archive), ArchiveEntries(TestData(L"nested.zip")));
    DeleteFileW(archive.c_str());
    RemoveDirectoryW(out.c_str());
}

} // namespace
