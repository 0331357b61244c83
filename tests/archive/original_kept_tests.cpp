// Whatever stops a change of an archive (Cancel early, mid-way or late, the tool ended from
// outside, a full disk), the archive that was there is byte for byte what it was, and
// nothing of the run is left beside it. The user is played by the test through the archive
// layer's seam for questions: no window is shown.
#include "archive/archiver.h"
#include "archive/progress.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace testing_support;

uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Where a run is stopped: `when` is looked at every millisecond while the progress is up;
// `kill` ends the tool there instead of pressing Cancel.
struct StopPoint {
    const char* name;
    std::function<bool(const std::wstring& tmp)> when;
    bool kill;
};

std::vector<StopPoint> StopPoints() {
    return {
        {"Cancel at once", [](const std::wstring&) { return true; }, false},
        {"Cancel as the tool begins to write", [](const std::wstring& tmp) { return FileExists(tmp); },
         false},
        {"Cancel late", [](const std::wstring& tmp) { return SizeOf(tmp) >= (6u << 20); }, false},
        {"The tool ended from outside", [](const std::wstring& tmp) { return FileExists(tmp); },
         true},
    };
}

// Plays every stop point on a change of `archive` that `change` starts, and checks that
// the archive and the folder it lies in are as before each time.
void EveryStopKeepsTheOriginal(const std::wstring& archive,
                               const std::function<JobEnd(PlayedUser&)>& change) {
    const std::wstring folder = archive.substr(0, archive.rfind(L'\\'));
    const std::string before = ReadTextFile(archive);
    const std::vector<std::wstring> filesBefore = ListTree(folder);
    for (const StopPoint& point : StopPoints()) {
        SCOPED_TRACE(point.name);
        PlayedUser user;
        bool stopped = false;
        user.cancelWhen = [&] {
            if (stopped || !point.when(archive + L".tmp"))
                return false;
            stopped = true;
            if (point.kill)
                return StopProcessesNamed(L"7z.exe") < 0; // ended, and no Cancel
            return true;
        };
        JobEnd end = change(user);
        ASSERT_TRUE(stopped) << "the run ended before it could be stopped";
        EXPECT_EQ(end, point.kill ? JobEnd::Failure : JobEnd::Cancelled);
        EXPECT_TRUE(ReadTextFile(archive) == before) << "the archive was changed";
        EXPECT_EQ(ListTree(folder), filesBefore);
    }
}

TEST(OriginalKept, AnAddOrAnUpdateThatIsStoppedLeavesTheArchiveAsItWas) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"kept.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    ScratchFolder sources;
    std::wstring big = RandomFile(sources / L"big.bin", 40 << 20);
    for (UpdateMode mode : {UpdateMode::AddAndReplace, UpdateMode::Update}) {
        EveryStopKeepsTheOriginal(archive, [&](PlayedUser&) {
            AddOptions options;
            options.update = mode;
            Archiver archiver;
            archiver.CreateArchives({{archive, {big}}}, options);
            return archiver.lastOutcome.end;
        });
    }
}

TEST(OriginalKept, ADeleteThatIsStoppedLeavesTheArchiveAsItWas) {
    // Deleting from a solid block packs what stays anew: long enough to be stopped.
    ScratchFolder scratch;
    std::wstring archive = scratch / L"solid.7z";
    {
        ScratchFolder sources;
        AddOptions options;
        options.format = AddFormat::SevenZip;
        options.level = LevelFastest;
        PlayedUser quiet;
        Archiver archiver;
        archiver.CreateArchives({{archive,
                                  {RandomFile(sources / L"a.bin", 1 << 20),
                                   RandomFile(sources / L"b.bin", 40 << 20)}}},
                                options);
        ASSERT_EQ(archiver.lastOutcome.end, JobEnd::Success);
    }
    EveryStopKeepsTheOriginal(archive, [&](PlayedUser&) {
        Archiver archiver;
        if (!archiver.Open(archive))
            return JobEnd::Failure;
        archiver.DeleteEntries({L"a.bin"});
        JobEnd end = archiver.lastOutcome.end;
        archiver.Close();
        return end;
    });
}

TEST(OriginalKept, AVolumeSetThatIsStoppedEarlyLeavesNoVolume) {
    ScratchFolder sources;
    std::wstring big = RandomFile(sources / L"big.bin", 24 << 20);
    ScratchFolder scratch;
    AddOptions options;
    options.format = AddFormat::SevenZip;
    options.level = LevelStore;
    options.volumeSize = 1 << 20;
    for (const wchar_t* appears : {L"", L".001"}) {
        PlayedUser user;
        const std::wstring archive = scratch / L"set.7z";
        user.cancelWhen = [&] { return *appears == 0 || FileExists(archive + appears); };
        Archiver archiver;
        archiver.CreateArchives({{archive, {big}}}, options);
        EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Cancelled);
        EXPECT_EQ(CountEntries(scratch.path()), 0);
    }
}

// On a disk with no room: the update, the delete and the volume set each fail with a
// message, and the disk holds what it held.
TEST(OriginalKept, AFullDiskLeavesEveryArchiveAsItWas) {
    std::wstring disk = SmallDisk();
    if (disk.empty())
        GTEST_SKIP() << "no small disk mounted for this run";
    std::wstring archive = disk + L"\\full.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    const std::string before = ReadTextFile(archive);
    ScratchFolder sources;
    std::wstring file = RandomFile(sources / L"new.bin", 300000);
    {
        Filler filler(disk);
        const std::vector<std::wstring> filesBefore = ListTree(disk);
        PlayedUser user;
        {
            AddOptions options;
            options.update = UpdateMode::Update;
            Archiver archiver;
            archiver.CreateArchives({{archive, {file}}}, options);
            EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Failure);
        }
        {
            Archiver archiver;
            ASSERT_TRUE(archiver.Open(archive));
            archiver.DeleteEntries({L"top.txt"});
            EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Failure);
            archiver.Close();
        }
        {
            AddOptions options;
            options.format = AddFormat::SevenZip;
            options.level = LevelFastest;
            options.volumeSize = 64 << 10;
            Archiver archiver;
            archiver.CreateArchives({{disk + L"\\set.7z", {file}}}, options);
            EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Failure);
        }
        EXPECT_EQ(user.told.size(), 3u);
        EXPECT_EQ(ListTree(disk), filesBefore);
        EXPECT_TRUE(ReadTextFile(archive) == before);
    }
    DeleteFileW(archive.c_str());
}

} // namespace
