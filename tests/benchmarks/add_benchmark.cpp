// Measures adding 1,000 small files: through the program's add job (one folder, one run
// of the tool; and the same files picked one by one, one run each), against the console
// tool run directly on the same folder. Not a test: it prints figures. Needs a display for
// the progress dialog.
//   add_benchmark <scratch folder>
#include "archive/archiver.h"
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

// 7z.exe itself, with its output going nowhere.
void RunToolDirectly(const std::wstring& archive, const std::wstring& folder) {
    std::wstring tool = GetCorePath(L"7z.exe");
    std::wstring commandLine = L"\"" + tool + L"\" a \"" + archive + L"\" \"" + folder + L"\"";
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
                       nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(nowhere);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
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
        RunToolDirectly(first, folder);
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

    // The same files chosen one by one: the tool runs once per file.
    std::wstring third = archive(L"one-by-one.zip");
    double start = Seconds();
    Archiver archiver;
    archiver.AddToArchive(third, files, L"");
    double oneByOne = Seconds() - start;
    std::printf("add 1,000 small files picked one by one (1,000 runs): program %.3f s, "
                "ratio %.2f\n",
                oneByOne, oneByOne / directTime);
    return 0;
}
