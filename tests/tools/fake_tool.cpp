// Stands in for the console tool where the real one cannot show a case: it prints what a
// test needs, byte for byte, and reports on standard output what it read.
//   fake_tool split-prompt   a password prompt cut by the 4096-byte boundary of a read
//   fake_tool replace N      N replace questions, each answer reported
//   fake_tool wait           a question nobody knows, then waits on its input
//   fake_tool flood          10 MB of output in lines
//   fake_tool chatter        output without a pause, as fast as it is read, for 15 s
//   fake_tool sleep          starts "fake_tool nap" and sleeps; both report their ids
//   fake_tool nap            sleeps a minute
//   fake_tool touch FILE     makes FILE.opened: it stands in for a document's program
//   fake_tool save-over FILE TEXT   saves TEXT as many editors do: a new file renamed over
//   fake_tool paste FOLDER          pastes the clipboard's files into FOLDER as Explorer does:
//                                   their paths read from CF_HDROP, then copied
//   fake_tool editor HANDOFF        an editor already running: once HANDOFF is there, saves
//                                   its second line over the file its first line names
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);

void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// One line of standard input without its line end; false at the end of input.
bool ReadLine(std::string& line) {
    line.clear();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        char c = 0;
        DWORD read = 0;
        if (!ReadFile(in, &c, 1, &read, nullptr) || read == 0)
            return !line.empty();
        if (c == '\n')
            return true;
        if (c != '\r')
            line += c;
    }
}

void Report(const std::string& what) {
    std::string line;
    if (ReadLine(line))
        Write(what + "[" + line + "]\r\n");
    else
        Write(what + " input ended\r\n");
}

// Writes `text` beside `file` and renames it over `file`, as editors that never leave a
// half-saved document do.
int SaveOver(const std::wstring& file, const std::string& text) {
    std::wstring fresh = file + L".~saving";
    HANDLE handle =
        CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(handle);
    return MoveFileExW(fresh.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &wide[0], static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(length > 0 ? length : 0));
    return wide;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow(text.size() * 3, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &narrow[0], static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length > 0 ? length : 0));
    return narrow;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"split-prompt") {
        const std::string prompt = "Enter password (will not be echoed):";
        // 4,096 bytes in one write: a long line, then the prompt's first 16 characters.
        std::string filler(4096 - 16 - 2, '.');
        filler += "\r\n";
        Write(filler + prompt.substr(0, 16));
        Sleep(400); // the reader takes the first 4096 bytes on their own
        Write(prompt.substr(16));
        Report("password");
        return 0;
    }
    if (mode == L"replace") {
        int count = argc > 2 ? _wtoi(argv[2]) : 1;
        for (int i = 0; i < count; ++i) {
            Write("Would you like to replace the existing file:\r\n"
                  "(Y)es / (N)o / (A)lways / (S)kip all / A(u)to rename all / (Q)uit? ");
            Report("answer");
        }
        return 0;
    }
    if (mode == L"wait") {
        Write("Press a key to go on: ");
        Report("key");
        return 3;
    }
    if (mode == L"flood") {
        std::string line(99, 'x');
        line += "\n";
        std::string block;
        for (int i = 0; i < 1000; ++i)
            block += line;
        for (int i = 0; i < 100; ++i) // 100 blocks of 100,000 bytes
            Write(block);
        Write("done\r\n");
        return 0;
    }
    if (mode == L"chatter") {
        std::string block(65536, 'c');
        for (DWORD start = GetTickCount(); GetTickCount() - start < 15000;)
            Write(block);
        return 0;
    }
    if (mode == L"sleep") {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) + L"\" nap";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        if (CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &child))
            Write("child " + std::to_string(child.dwProcessId) + "\r\n");
        Write("parent " + std::to_string(GetCurrentProcessId()) + "\r\n");
        Sleep(60000);
        return 0;
    }
    if (mode == L"touch" && argc > 2) {
        std::wstring marker = std::wstring(argv[2]) + L".opened";
        HANDLE file =
            CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        return 0;
    }
    if (mode == L"save-over" && argc > 3)
        return SaveOver(argv[2], Narrow(argv[3]));
    if (mode == L"editor" && argc > 2) {
        for (int waited = 0; waited < 600; ++waited) {
            HANDLE handoff = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
            if (handoff == INVALID_HANDLE_VALUE) {
                Sleep(100);
                continue;
            }
            char text[4096] = {};
            DWORD read = 0;
            ReadFile(handoff, text, sizeof text - 1, &read, nullptr);
            CloseHandle(handoff);
            std::string lines(text, read);
            size_t end = lines.find('\n');
            if (end == std::string::npos)
                return 1;
            return SaveOver(Wide(lines.substr(0, end)), lines.substr(end + 1));
        }
        return 1;
    }
    if (mode == L"paste" && argc > 2) {
        OleInitialize(nullptr);
        IDataObject* data = nullptr;
        int result = 1;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        if (SUCCEEDED(OleGetClipboard(&data)) && SUCCEEDED(data->GetData(&format, &medium))) {
            auto drop = static_cast<HDROP>(medium.hGlobal);
            std::wstring from;
            for (UINT i = 0; i < DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); ++i) {
                wchar_t path[MAX_PATH] = {};
                DragQueryFileW(drop, i, path, MAX_PATH);
                from += std::wstring(path) + L'\0';
            }
            from += L'\0';
            std::wstring to = std::wstring(argv[2]) + L'\0';
            SHFILEOPSTRUCTW copy = {};
            copy.wFunc = FO_COPY;
            copy.pFrom = from.c_str();
            copy.pTo = to.c_str();
            copy.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
            result = SHFileOperationW(&copy) == 0 ? 0 : 1;
            ReleaseStgMedium(&medium);
        }
        if (data)
            data->Release();
        OleUninitialize();
        return result;
    }
    if (mode == L"nap") {
        Sleep(60000);
        return 0;
    }
    Write("unknown mode\r\n");
    return 2;
}
