#include "archive/console/scripts.h"

#include "archive/textconv.h"
#include "shell/paths.h"

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>

std::wstring GetCorePath(const std::wstring& name) {
    return ProgramFolder() + L"\\core\\" + name;
}

std::wstring GetTempName(const std::wstring& prefix) {
    wchar_t localAppData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, localAppData, CSIDL_LOCAL_APPDATA, FALSE);
    std::wstring temp = std::wstring(localAppData) + L"\\Temp";
    CreateDirectoryW(temp.c_str(), nullptr);
    // The tick count printed as a signed number: after 24.8 days of uptime it is negative.
    long ticks = static_cast<long>(GetTickCount());
    return temp + L"\\" + prefix + std::to_wstring(ticks);
}

// Script text is UTF-8 without a byte-order mark, with CR LF line ends.
static bool WriteScriptFile(const std::wstring& path, const std::wstring& text) {
    std::string bytes;
    for (char c : WideToUtf8(text)) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file << bytes;
    return static_cast<bool>(file);
}

// The lines both scripts begin with: quiet, and the console switched to the system's
// ANSI code page.
static std::wstring ScriptHeader() {
    return L"@echo off \nchcp " + std::to_wstring(GetACP()) + L"\n\n";
}

static std::wstring ToolCommand(const std::wstring& archive, const std::wstring& command,
                                const std::wstring& extra, const std::wstring& password) {
    std::wstring line =
        L"\"" + GetCorePath(L"7z.exe") + L"\" " + command + L" \"" + archive + L"\"";
    if (!extra.empty())
        line += L" " + extra;
    if (!password.empty())
        line += L" -p" + password;
    return line;
}

std::wstring WriteScript(const std::wstring& archive, const std::wstring& command,
                         const std::wstring& extra, const std::wstring& password) {
    std::wstring script = GetTempName(L"7z") + L".bat";
    std::wstring text = ScriptHeader() + ToolCommand(archive, command, extra, password) +
                        L"\n\ndel \"" + script + L"\"";
    return WriteScriptFile(script, text) ? script : std::wstring();
}

std::wstring WriteFolderScript(const std::wstring& archive, const std::wstring& folder,
                               const std::wstring& command, const std::wstring& extra,
                               const std::wstring& password) {
    std::wstring script = GetTempName(L"7z") + L".bat";
    std::wstring text = ScriptHeader() + L"c: \ncd \"" + folder + L"\" \n" +
                        ToolCommand(archive, command, extra, password) + L"\n";
    return WriteScriptFile(script, text) ? script : std::wstring();
}
