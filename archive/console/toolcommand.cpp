#include "archive/console/toolcommand.h"

#include "archive/textconv.h"
#include "shell/paths.h"

#include <windows.h>

#include <shlobj.h>

std::wstring GetCorePath(const std::wstring& name) {
    return ProgramFolder() + L"\\core\\" + name;
}

// The scratch name `step` numbers after the tick count's.
static std::wstring TempName(const std::wstring& prefix, long step) {
    wchar_t localAppData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, localAppData, CSIDL_LOCAL_APPDATA, FALSE);
    std::wstring temp = std::wstring(localAppData) + L"\\Temp";
    CreateDirectoryW(temp.c_str(), nullptr);
    // The tick count printed as a signed number: after 24.8 days of uptime it is negative.
    long ticks = static_cast<long>(GetTickCount());
    return temp + L"\\" + prefix + std::to_wstring(ticks + step);
}

std::wstring GetTempName(const std::wstring& prefix) {
    return TempName(prefix, 0);
}

// Tries names until one is new; a failure other than a taken name ends the search.
static const long scratchAttempts = 1000;

std::wstring MakeScratchFolder(const std::wstring& prefix) {
    for (long step = 0; step < scratchAttempts; ++step) {
        std::wstring path = TempName(prefix, step);
        if (CreateDirectoryW(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
    return std::wstring();
}

std::wstring MakeScratchFile(const std::wstring& prefix, const std::wstring& extension) {
    for (long step = 0; step < scratchAttempts; ++step) {
        std::wstring path = TempName(prefix, step) + extension;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return path;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
    return std::wstring();
}

bool IsUsableToolPath(const std::wstring& path) {
    if (path.empty())
        return false;
    for (size_t i = 0; i < path.size(); ++i) {
        wchar_t c = path[i];
        if (c < 32 || wcschr(L"\"<>|*?", c))
            return false;
        if (c == L':' && i != 1)
            return false;
    }
    return true;
}

bool IsListableName(const std::wstring& name) {
    return name.find_first_of(std::wstring(L"\r\n\0", 3)) == std::wstring::npos;
}

bool ZipTakesPassword(const std::wstring& password) {
    for (wchar_t c : password) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

// The switches every run gets: answers and output in UTF-8 (the password typed at the
// prompt is read in that code page), one "+ name" line per file added, which the
// progress counts, and the progress figure ("  37%", drawn again after a carriage return)
// on standard output, which gives the bytes done.
static const wchar_t commonSwitches[] = L" -sccUTF-8 -bb1 -bsp1";

static std::wstring ToolStart(const std::wstring& command, const std::wstring& archive) {
    return L"\"" + GetCorePath(L"7z.exe") + L"\" " + command + L" \"" + archive + L"\"";
}

bool MakeItemsRun(const std::wstring& archive, const std::wstring& command,
                  const std::vector<std::wstring>& names, bool askPassword, ToolRun& run,
                  const std::wstring& switches) {
    run = ToolRun();
    if (!IsUsableToolPath(archive))
        return false;
    // The tool trims every line of a list file and drops quotes around it; a quoted name
    // keeps its blanks, and quotes of its own, exactly.
    std::string list;
    for (const std::wstring& name : names) {
        if (!IsListableName(name))
            return false;
        list += "\"" + WideToUtf8(name) + "\"\r\n";
    }
    // Our own new file, so that nothing of anybody else's is overwritten or removed.
    std::wstring listFile = MakeScratchFile(L"7z", L".txt");
    if (listFile.empty())
        return false;
    HANDLE file = CreateFileW(listFile.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(listFile.c_str());
        return false;
    }
    DWORD written = 0;
    bool complete =
        WriteFile(file, list.data(), static_cast<DWORD>(list.size()), &written, nullptr) &&
        written == list.size();
    CloseHandle(file);
    if (!complete) {
        DeleteFileW(listFile.c_str());
        return false;
    }

    run.program = GetCorePath(L"7z.exe");
    run.listFile = listFile;
    run.commandLine =
        ToolStart(command, archive) + L" @\"" + listFile + L"\" -scsUTF-8" + commonSwitches;
    // Names to delete or rename are entries: a "*" in one is part of its name.
    if (command == L"d" || command == L"rn")
        run.commandLine += L" -spd";
    // A link inside a folder is stored as a link, not followed: a junction that leads back
    // to its own folder would never end.
    if (command == L"a")
        run.commandLine += L" -snl";
    run.commandLine += switches;
    if (askPassword)
        run.commandLine += L" -p";
    return true;
}

ToolRun MakeFolderRun(const std::wstring& archive, const std::wstring& folder, bool askPassword,
                      const std::wstring& switches) {
    ToolRun run;
    run.program = GetCorePath(L"7z.exe");
    run.folder = folder;
    run.commandLine = ToolStart(L"a", archive) + L" *" + commonSwitches + switches;
    if (askPassword)
        run.commandLine += L" -p";
    return run;
}

void DiscardRun(ToolRun& run) {
    if (!run.listFile.empty())
        DeleteFileW(run.listFile.c_str());
    run.listFile.clear();
}
