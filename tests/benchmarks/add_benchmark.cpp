// Measures adding 1,000 small files through the program's add job (as one folder, and
// picked one by one) against the console tool run directly on the same folder and on a
// list of the same files; and deleting 1,000 selected entries of 2,000 against the tool's
// own delete of the same names. Not a test: it prints figures. Needs a display for the
// progress dialog.
//   add_benchmark <scratch folder>
// With --tar-gz it times one compressed tar made in one step (the tar writer piped into
// the compressor) of a folder; scripts/bench_compare.py times the two tool runs joined by
// a shell pipe against it.
//   add_benchmark --tar-gz <folder> <archive>
// With --7z it times a 7z of a folder made as the add dialog makes it, level Normal, under
// the progress dialog; the script times 7z.exe a with the same switches against it.
//   add_benchmark --7z <folder> <archive>
// With --rename it renames the folder "big" of a ZIP (to "moved") as F2 does, against the
// tool's own rename of it, rounds in turns; with --save-back it writes an edited 1 MB
// "docs\edited.bin" back into a big 7z as Yes to the question does, against the tool
// updating that entry itself.
//   add_benchmark --rename <zip> <scratch folder>
//   add_benchmark --save-back <7z> <edited file> <scratch folder>
#include "archive/archiver.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/tarpipeline.h"
#include "archive/console/toolcommand.h"
#include "shell/paths.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

double Seconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// 7z.exe itself, with its output going nowhere, in `folder` ("": ours).
void RunToolDirectly(const std::wstring& arguments, const std::wstring& folder = L"") {
    std::wstring tool = GetCorePath(L"7z.exe");
    std::wstring commandLine = L"\"" + tool + L"\" " + arguments;
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
    HANDLE nowhere =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &security, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(tool.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(nowhere);
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// A list file of names, one a line, as the tool reads it with -scsUTF-8.
std::wstring WriteList(const std::wstring& path, const std::vector<std::wstring>& names) {
    std::ofstream list(std::filesystem::path(path), std::ios::binary);
    for (const std::wstring& name : names)
        list << std::filesystem::path(name).u8string() << "\r\n";
    return path;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

// The tar writer piped into the compressor, as the add job runs them, at the tool's
// default level.
int TimeTarPipeline(const std::wstring& folder, const std::wstring& archive) {
    DeleteFileW(archive.c_str());
    Archiver archiver;
    ConsoleSession session(archiver);
    double start = Seconds();
    RunTarPipeline({folder}, archive, L"gzip", L" -mx=5", session);
    double seconds = Seconds() - start;
    bool made = session.RunEnd() == JobEnd::Success;
    std::printf("\ntar.gz of a folder in one step: %s in %.3f s\n", made ? "made" : "FAILED",
                seconds);
    return made ? 0 : 1;
}

// A 7z at level Normal, made by the add job as the dialog's OK starts it.
int TimeSevenZip(const std::wstring& folder, const std::wstring& archive) {
    DeleteFileW(archive.c_str());
    AddOptions options;
    options.format = AddFormat::SevenZip;
    options.level = LevelNormal;
    Archiver archiver;
    double start = Seconds();
    archiver.CreateArchives({{archive, {folder}}}, options);
    double seconds = Seconds() - start;
    bool made = archiver.lastOutcome.end == JobEnd::Success;
    std::printf("\n7z Normal of a folder: %s in %.3f s\n", made ? "made" : "FAILED", seconds);
    return made ? 0 : 1;
}

// F2 on the folder "big" of an open ZIP and a new name given: the tool's run and the archive
// listed again; against 7z.exe rn on a copy of the same archive. Five rounds in turns.
int TimeRename(const std::wstring& zip, const std::wstring& scratch) {
    CreateDirectoryW(scratch.c_str(), nullptr);
    std::vector<double> tool, program;
    bool renamed = true;
    for (int round = 0; round < 5; ++round) {
        const std::wstring first = scratch + L"\\direct-rename.zip";
        const std::wstring second = scratch + L"\\program-rename.zip";
        CopyFileW(zip.c_str(), first.c_str(), FALSE);
        CopyFileW(zip.c_str(), second.c_str(), FALSE);
        Archiver archiver;
        archiver.Open(second);
        for (int turn = 0; turn < 2; ++turn) {
            double start = Seconds();
            if ((round + turn) % 2 == 0) {
                RunToolDirectly(L"rn " + Quoted(first) + L" big moved");
                tool.push_back(Seconds() - start);
            } else {
                renamed = archiver.RenameEntry(L"big", L"moved") == 0 && renamed;
                program.push_back(Seconds() - start);
            }
        }
    }
    std::printf("rename a folder of 10,000 entries: %s, 7z.exe rn %.3f s, program %.3f s, "
                "ratio %.2f (median of 5)\n",
                renamed ? "renamed" : "FAILED", Median(tool), Median(program),
                Median(program) / Median(tool));
    return renamed ? 0 : 1;
}

// Yes to "edited.bin was changed": the 1 MB copy written into docs of the open 7z and the
// archive listed again; against 7z.exe a of the same file as docs\edited.bin. Two rounds
// in turns.
int TimeSaveBack(const std::wstring& archive, const std::wstring& edited,
                 const std::wstring& scratch) {
    CreateDirectoryW(scratch.c_str(), nullptr);
    const std::wstring stage = scratch + L"\\stage";
    CreateDirectoryW(stage.c_str(), nullptr);
    CreateDirectoryW((stage + L"\\docs").c_str(), nullptr);
    CopyFileW(edited.c_str(), (stage + L"\\docs\\edited.bin").c_str(), FALSE);
    std::vector<double> tool, program;
    bool written = true;
    for (int round = 0; round < 2; ++round) {
        const std::wstring first = scratch + L"\\direct-update.7z";
        const std::wstring second = scratch + L"\\program-update.7z";
        CopyFileW(archive.c_str(), first.c_str(), FALSE);
        CopyFileW(archive.c_str(), second.c_str(), FALSE);
        Archiver archiver;
        archiver.Open(second);
        for (int turn = 0; turn < 2; ++turn) {
            double start = Seconds();
            if ((round + turn) % 2 == 0) {
                RunToolDirectly(L"a " + Quoted(first) + L" docs\\edited.bin -mx=5", stage);
                tool.push_back(Seconds() - start);
            } else {
                archiver.AddFilesInto({edited}, "docs");
                written = archiver.lastOutcome.end == JobEnd::Success && written;
                archiver.Refresh();
                program.push_back(Seconds() - start);
            }
        }
        DeleteFileW(first.c_str());
        DeleteFileW(second.c_str());
    }
    std::printf("save back 1 MB into a big 7z: %s, 7z.exe a %.3f s, program %.3f s, "
                "ratio %.2f (median of 2)\n",
                written ? "written" : "FAILED", Median(tool), Median(program),
                Median(program) / Median(tool));
    return written ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
    // Every add is timed as the work of its job: no dialog is shown (one would stay a moment
    // at the end of a long create to show how well it packed).
    if (argc == 4 && std::wstring(argv[1]) == L"--7z")
        return TimeSevenZip(argv[2], argv[3]);
    if (argc == 4 && std::wstring(argv[1]) == L"--tar-gz")
        return TimeTarPipeline(argv[2], argv[3]);
    if (argc == 4 && std::wstring(argv[1]) == L"--rename")
        return TimeRename(argv[2], argv[3]);
    if (argc == 5 && std::wstring(argv[1]) == L"--save-back")
        return TimeSaveBack(argv[2], argv[3], argv[4]);
    if (argc < 2) {
        std::printf("usage: add_benchmark <scratch folder>\n");
        return 2;
    }
    std::wstring scratch = argv[1];
    std::wstring folder = scratch + L"\\files";
    CreateDirectoryW(scratch.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> files;
    for (int i = 0; i < 1000; ++i) {
        files.push_back(folder + L"\\file" + std::to_wstring(i) + L".txt");
        std::ofstream(std::filesystem::path(files.back())) << "small file number " << i << "\n";
    }

    auto archive = [&](const wchar_t* name) {
        std::wstring path = scratch + L"\\" + name;
        DeleteFileW(path.c_str());
        return path;
    };
    std::vector<double> direct, program;
    for (int round = 0; round < 3; ++round) {
        std::wstring first = archive(L"direct.zip");
        double start = Seconds();
        RunToolDirectly(L"a " + Quoted(first) + L" " + Quoted(folder));
        direct.push_back(Seconds() - start);

        std::wstring second = archive(L"program.zip");
        start = Seconds();
        Archiver archiver;
        archiver.AddToArchive(second, {folder}, L"");
        program.push_back(Seconds() - start);
    }
    double directTime = Median(direct);
    double programTime = Median(program);
    std::printf("add 1,000 small files as one folder: 7z.exe a %.3f s, program %.3f s, "
                "ratio %.2f (median of 3)\n",
                directTime, programTime, programTime / directTime);

    // The same files picked one by one, against the tool on a list of them.
    std::wstring list = WriteList(scratch + L"\\files.txt", files);
    std::vector<double> listed, picked;
    int runs = 0;
    for (int round = 0; round < 3; ++round) {
        std::wstring first = archive(L"direct-list.zip");
        double start = Seconds();
        RunToolDirectly(L"a " + Quoted(first) + L" @" + Quoted(list) + L" -scsUTF-8");
        listed.push_back(Seconds() - start);

        std::wstring second = archive(L"one-by-one.zip");
        int before = ToolRunsStarted();
        start = Seconds();
        Archiver archiver;
        archiver.AddToArchive(second, files, L"");
        picked.push_back(Seconds() - start);
        runs = ToolRunsStarted() - before;
    }
    std::printf("add 1,000 small files picked one by one: 7z.exe a on their list %.3f s, "
                "program %.3f s (%d runs), ratio %.2f (median of 3)\n",
                Median(listed), Median(picked), runs, Median(picked) / Median(listed));

    // 1,000 of 2,000 entries selected and deleted, against the tool deleting the same names.
    std::wstring source = scratch + L"\\two-thousand";
    CreateDirectoryW(source.c_str(), nullptr);
    std::vector<std::wstring> names;
    for (int i = 0; i < 2000; ++i) {
        std::wstring name = L"entry" + std::to_wstring(i) + L".txt";
        std::ofstream(std::filesystem::path(source + L"\\" + name)) << "entry number " << i << "\n";
        if (i % 2 == 0)
            names.push_back(name);
    }
    std::wstring base = archive(L"two-thousand.zip");
    RunToolDirectly(L"a " + Quoted(base) + L" " + Quoted(source + L"\\*"));
    std::wstring nameList = WriteList(scratch + L"\\names.txt", names);
    std::vector<double> toolDeletes, programDeletes;
    // Five rounds, which of the two goes first taking turns: the tool's own time varies.
    for (int round = 0; round < 5; ++round) {
        std::wstring first = archive(L"direct-delete.zip");
        std::wstring second = archive(L"program-delete.zip");
        CopyFileW(base.c_str(), first.c_str(), FALSE);
        CopyFileW(base.c_str(), second.c_str(), FALSE);
        Archiver archiver;
        archiver.Open(second);
        for (int turn = 0; turn < 2; ++turn) {
            double start = Seconds();
            if ((round + turn) % 2 == 0) {
                RunToolDirectly(L"d " + Quoted(first) + L" @" + Quoted(nameList) +
                                L" -scsUTF-8 -spd");
                toolDeletes.push_back(Seconds() - start);
            } else {
                // What Delete does on the selected rows once the user has said yes: the
                // tool's run, and the archive listed again.
                int before = ToolRunsStarted();
                archiver.DeleteItems(names);
                programDeletes.push_back(Seconds() - start);
                runs = ToolRunsStarted() - before;
            }
        }
        if (archiver.GetRowCount() != 1001)
            std::printf("the program left %d rows\n", archiver.GetRowCount());
    }
    std::printf("delete 1,000 of 2,000 entries: 7z.exe d %.3f s, program %.3f s (%d runs), "
                "ratio %.2f (median of 5)\n",
                Median(toolDeletes), Median(programDeletes), runs,
                Median(programDeletes) / Median(toolDeletes));
    return 0;
}
