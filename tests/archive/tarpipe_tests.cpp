// Compressed tars made in one step: the real tool writing a tar into a pipe, and a second
// run of it compressing what comes through.
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/tarpipeline.h"
#include "archive/console/toolcommand.h"
#include "archive/library/extraction.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace testing_support;

std::wstring MakeFile(const std::wstring& path, const std::string& content) {
    MakeFolder(ParentFolder(path));
    WriteTextFile(path, content);
    return path;
}

// The list files of tool runs lying in the Temp folder.
std::vector<std::wstring> ListFilesInTemp() {
    std::wstring temp = ParentFolder(GetTempName(L"x"));
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((temp + L"\\7z*.txt").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do
        found.push_back(data.cFileName);
    while (FindNextFileW(search, &data));
    FindClose(search);
    return Sorted(found);
}

// The system's own tar reads these after the test (check_written_archives.py): a line per
// entry with the archive's name, the entry's path in the tar and its content, in hex.
void RecordForLinuxTar(const std::wstring& archive, const std::wstring& entry,
                       const std::string& content) {
    std::wstring folder = TestData(L"written");
    MakeFolder(folder);
    std::wstring copy =
        folder + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + FileNamePart(archive);
    CopyFileW(archive.c_str(), copy.c_str(), FALSE);
    auto hex = [](const std::string& bytes) {
        std::string text;
        for (unsigned char c : bytes) {
            text += "0123456789abcdef"[c >> 4];
            text += "0123456789abcdef"[c & 15];
        }
        return text;
    };
    std::ofstream list(std::filesystem::path(folder + L"\\tars.txt"), std::ios::app);
    list << Narrow(FileNamePart(copy)) << "\t" << hex(WideToUtf8(entry)) << "\t" << hex(content)
         << "\n";
}

struct PipelineRun {
    PipelineRun() : session(archiver) {
        archiver.mode = ModeAdd;
        session.cancelled = &cancelled;
        ResetProgress();
    }
    JobEnd Run(const std::vector<std::wstring>& sources, const std::wstring& archive,
               const std::wstring& type) {
        RunTarPipeline(sources, archive, type, L" -mx=5 -mmt=2", session);
        return session.RunEnd();
    }
    Archiver archiver;
    ConsoleSession session;
    std::atomic<int32_t> cancelled{0};
};

TEST(TarPipeline, GzipAndXzHoldEveryEntryExactly) {
    ScratchFolder scratch;
    const std::wstring accented = L"caf\u00e9 \u6587\u4ef6 \u0444.txt";
    MakeFile(scratch / L"tree\\a.txt", "a");
    MakeFile(scratch / (L"tree\\" + accented), "accented");
    MakeFile(scratch / L"tree\\sub\\deep\\b.txt", "deep b");
    std::vector<std::wstring> sources = {scratch / L"tree",
                                         MakeFile(scratch / L"other\\single.txt", "single")};
    const std::vector<std::wstring> listsBefore = ListFilesInTemp();
    for (const wchar_t* type : {L"gzip", L"xz"}) {
        std::wstring archive =
            scratch / (std::wstring(L"made.tar.") + (type[0] == L'g' ? L"gz" : L"xz"));
        PipelineRun made;
        int runs = ToolRunsStarted();
        EXPECT_EQ(made.Run(sources, archive, type), JobEnd::Success)
            << Narrow(made.session.FailureMessage());
        EXPECT_EQ(ToolRunsStarted() - runs, 2);
        EXPECT_EQ(ArchiveEntries(archive),
                  Sorted({L"single.txt", L"tree", L"tree\\a.txt", L"tree\\" + accented,
                          L"tree\\sub", L"tree\\sub\\deep", L"tree\\sub\\deep\\b.txt"}));
        ScratchFolder out;
        ArchiveContents contents;
        EXPECT_EQ(ExtractArchive(archive, GetArchiveKind(archive), out.path(), contents), 0);
        EXPECT_EQ(ReadTextFile(out / (L"tree\\" + accented)), "accented");
        EXPECT_EQ(ReadTextFile(out / L"tree\\sub\\deep\\b.txt"), "deep b");
        EXPECT_EQ(ReadTextFile(out / L"single.txt"), "single");
        RecordForLinuxTar(archive, L"tree/" + accented, "accented");
        RecordForLinuxTar(archive, L"tree/sub/deep/b.txt", "deep b");
    }

    // A source another program holds, and one that has gone, are left out and named: the
    // rest is made, with warnings.
    {
        std::wstring held = MakeFile(scratch / L"tree\\held.txt", "held");
        HANDLE holder =
            CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        PipelineRun warned;
        std::wstring archive = scratch / L"warned.tar.gz";
        EXPECT_EQ(warned.Run({scratch / L"tree", scratch / L"gone.txt"}, archive, L"gzip"),
                  JobEnd::Warnings);
        CloseHandle(holder);
        std::vector<FaultyEntry> skipped = warned.session.SkippedFiles();
        ASSERT_EQ(skipped.size(), 2u) << warned.session.errorText;
        EXPECT_EQ(skipped[0].path, scratch / L"gone.txt");
        EXPECT_EQ(skipped[1].path, held);
        EXPECT_EQ(skipped[1].fault, Fault::InUse);
        std::vector<std::wstring> entries = ArchiveEntries(archive);
        EXPECT_NE(std::find(entries.begin(), entries.end(), L"tree\\a.txt"), entries.end());
        EXPECT_EQ(std::find(entries.begin(), entries.end(), L"tree\\held.txt"), entries.end());
    }

    // An archive that is there is not touched; one the compressor cannot write is reported
    // and leaves nothing.
    {
        PipelineRun refused;
        std::wstring archive = MakeFile(scratch / L"theirs.tar.gz", "theirs");
        int runs = ToolRunsStarted();
        EXPECT_EQ(refused.Run(sources, archive, L"gzip"), JobEnd::Failure);
        EXPECT_EQ(ToolRunsStarted(), runs);
        EXPECT_EQ(ReadTextFile(archive), "theirs");

        // A file stands where its folder would be made.
        PipelineRun failed;
        std::wstring unwritable = scratch / L"other\\single.txt\\made.tar.gz";
        EXPECT_EQ(failed.Run(sources, unwritable, L"gzip"), JobEnd::Failure);
        // The compressor's own error, not the writer's broken pipe that follows from it.
        std::wstring message = failed.session.FailureMessage();
        EXPECT_NE(message.find(L"ERROR"), std::wstring::npos) << Narrow(message);
        EXPECT_EQ(message.find(L"pipe"), std::wstring::npos) << Narrow(message);
        EXPECT_FALSE(PathExists(unwritable));
    }
    EXPECT_EQ(ListFilesInTemp(), listsBefore);
}

TEST(TarPipeline, CancelStopsBothRunsAndLeavesNothing) {
    ScratchFolder scratch;
    // 200 MB that does not compress: the tool takes seconds over it.
    std::wstring big = scratch / L"big.bin";
    {
        std::string block(1 << 20, '\0');
        uint32_t state = 2463534242u;
        std::ofstream file(std::filesystem::path(big), std::ios::binary);
        for (int megabyte = 0; megabyte < 200; ++megabyte) {
            for (char& c : block) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                c = static_cast<char>(state);
            }
            file.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    const std::vector<std::wstring> listsBefore = ListFilesInTemp();
    std::wstring archive = scratch / L"big.tar.gz";
    PipelineRun run;
    progressTotal = 1000;
    uint64_t progressAtCancel = 0;
    DWORD cancelledAt = 0;
    // The user cancels once the progress has moved and the archive is being written.
    std::thread user([&] {
        WaitUntil([&] { return progressCompleted > 0 && FileExists(archive); }, 60000);
        progressAtCancel = progressCompleted;
        cancelledAt = GetTickCount();
        run.cancelled = 1;
    });
    JobEnd end = run.Run({big}, archive, L"gzip");
    DWORD stoppedAt = GetTickCount();
    user.join();
    EXPECT_EQ(end, JobEnd::Cancelled);
    EXPECT_GT(progressAtCancel, 0u);
    EXPECT_LT(progressAtCancel, 999u);
    EXPECT_LT(stoppedAt - cancelledAt, 10000u);
    EXPECT_FALSE(PathExists(archive));
    EXPECT_EQ(ListFilesInTemp(), listsBefore);
    EXPECT_EQ(run.archiver.hInput_wr, nullptr);
}

} // namespace
