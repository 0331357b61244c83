#include "support/testsupport.h"

#include "archive/archivekind.h"
#include "archive/library/listing.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "ui/windowquestions.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <cstring>
#include <sstream>

namespace testing_support {

// The tests that drive the dialogs of a job expect the program's own; a test that fakes
// the user installs its fake over them for a while.
static const bool windowQuestionsInstalled = (UseWindowQuestions(), true);

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        std::wstring candidate = std::wstring(temp) + L"varnix-test-" +
                                 std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Read-only files would stop remove_all.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ignored);
}

void WriteTextFile(const std::wstring& path, const std::string& content) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file << content;
}

std::string ReadTextFile(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void MakeFolder(const std::wstring& path) {
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}

int CountEntries(const std::wstring& folder) {
    std::error_code ignored;
    int count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored))
        ++count;
    return count;
}

std::wstring ProgramPath() {
    return ProgramFolder() + L"\\..\\bin\\VarnixFileOpener.exe";
}

StartedProgram::StartedProgram(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &info_);
}

StartedProgram::~StartedProgram() {
    if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
}

int StartedProgram::Wait(DWORD milliseconds) {
    if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0)
        return -2;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<int>(code);
}

std::vector<std::wstring> ArchiveEntries(const std::wstring& archive,
                                         const std::wstring& password) {
    ArchiveContents contents;
    contents.password = password;
    if (ListArchive(archive, GetArchiveKind(archive), contents) != 0)
        return {L"<not listed>"};
    std::vector<std::wstring> names;
    for (const DirItem& item : contents.items)
        names.push_back(item.path);
    return Sorted(names);
}

int RunAndWait(const std::wstring& program, const std::wstring& arguments,
               DWORD timeoutMilliseconds) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    int result = -2;
    if (WaitForSingleObject(process.hProcess, timeoutMilliseconds) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        result = static_cast<int>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    return result;
}

std::string EngineListing(const std::wstring& archive, const std::wstring& password) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&inRead, &inWrite, &inherit, 0))
        return "<no pipe>";
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    // The password is answered at the tool's prompt; without one the prompt reads the end.
    std::string answer = WideToUtf8(password) + "\r\n";
    DWORD written = 0;
    if (!password.empty())
        WriteFile(inWrite, answer.data(), static_cast<DWORD>(answer.size()), &written, nullptr);
    CloseHandle(inWrite);
    std::wstring commandLine = L"\"" + ProgramFolder() + L"\\core\\7z.exe\" l -slt -sccUTF-8 \"" +
                               archive + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = outWrite;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(inRead);
    std::string output;
    if (started) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(outRead, buffer, sizeof buffer, &read, nullptr) && read > 0)
            output.append(buffer, read);
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outRead);
    return started ? output : "<not started>";
}

void AddRegistryTree(RegistrySnapshot& snapshot, HKEY root, const std::wstring& rootName,
                     const std::wstring& key, const std::vector<std::wstring>& countOnly) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return;
    std::wstring name = rootName + L"\\" + key;
    snapshot[name] = RegistryValue();
    if (std::find(countOnly.begin(), countOnly.end(), name) != countOnly.end()) {
        DWORD subkeys = 0;
        DWORD values = 0;
        RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(handle);
        RegistryValue counts;
        counts.type = REG_DWORD;
        counts.data = {BYTE(subkeys), BYTE(subkeys >> 8), BYTE(subkeys >> 16), BYTE(values)};
        snapshot[name + L"|<counts>"] = counts;
        return;
    }

    for (DWORD index = 0;; ++index) {
        wchar_t valueName[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(handle, index, valueName, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        RegistryValue value;
        value.type = type;
        value.data.resize(size);
        nameLength = 16384;
        RegEnumValueW(handle, index, valueName, &nameLength, nullptr, nullptr, value.data.data(),
                      &size);
        value.data.resize(size);
        snapshot[name + L"|" + valueName] = value;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[256];
        DWORD length = 256;
        if (RegEnumKeyExW(handle, index, subkey, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(subkey);
    }
    RegCloseKey(handle);
    for (const std::wstring& subkey : subkeys)
        AddRegistryTree(snapshot, root, rootName, key.empty() ? subkey : key + L"\\" + subkey,
                        countOnly);
}

static std::wstring DescribeValue(const RegistryValue& value) {
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()),
                          value.data.size() / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return L"\"" + text + L"\"";
    }
    return L"(type " + std::to_wstring(value.type) + L", " + std::to_wstring(value.data.size()) +
           L" bytes)";
}

std::vector<std::wstring> RegistryDifference(const RegistrySnapshot& before,
                                             const RegistrySnapshot& after) {
    std::vector<std::wstring> lines;
    for (const auto& [name, value] : after) {
        auto old = before.find(name);
        if (old == before.end())
            lines.push_back(L"+ " + name + L" = " + DescribeValue(value));
        else if (!(old->second == value))
            lines.push_back(L"~ " + name + L" = " + DescribeValue(value));
    }
    for (const auto& [name, value] : before) {
        if (after.find(name) == after.end())
            lines.push_back(L"- " + name);
    }
    return lines;
}

std::wstring ReadRegistryString(HKEY root, const std::wstring& key, const wchar_t* valueName) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t data[4096] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    LONG status =
        RegQueryValueExW(handle, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

bool RegistryKeyExists(HKEY root, const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::string Narrow(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length > 0 ? length - 1 : 0), '\0');
    if (length > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

static std::wstring WindowsPath(const char* path) {
    std::wstring wide(path, path + strlen(path));
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return wide;
}

std::wstring TestData(const std::wstring& name) {
    return WindowsPath(VARNIX_TESTDATA_DIR) + L"\\" + name;
}

std::wstring Fixture(const std::wstring& name) {
    return WindowsPath(VARNIX_FIXTURES_DIR) + L"\\" + name;
}

std::wstring VolumeFixture(const std::wstring& name) {
    return WindowsPath(VARNIX_FIXTURES_DIR) + L"\\..\\rar-volumes\\" + name;
}

int CopyFilesBeginningWith(const std::wstring& folder, const std::wstring& prefix,
                           const std::wstring& target) {
    int copied = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            CopyFileW((folder + L"\\" + found.cFileName).c_str(),
                      (target + L"\\" + found.cFileName).c_str(), FALSE)) {
            // The shared fixtures are read-only: the copies must not be.
            SetFileAttributesW((target + L"\\" + found.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
            ++copied;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return copied;
}

uint32_t FileCrc(const std::wstring& path) {
    static uint32_t table[256];
    if (table[1] == 0) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = value & 1 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
            table[i] = value;
        }
    }
    uint32_t crc = 0xFFFFFFFFu;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<unsigned char> buffer(1 << 20);
    DWORD read = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0) {
        for (DWORD i = 0; i < read; ++i)
            crc = table[(crc ^ buffer[i]) & 0xFF] ^ (crc >> 8);
    }
    CloseHandle(file);
    return crc ^ 0xFFFFFFFFu;
}

std::vector<std::wstring> ListTree(const std::wstring& folder) {
    std::vector<std::wstring> entries;
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        entries.push_back(it->path().wstring().substr(folder.size() + 1));
    for (std::wstring& entry : entries)
        std::replace(entry.begin(), entry.end(), L'/', L'\\');
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

FILETIME ModifiedTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

PlayedUser::PlayedUser() : previous_(SetUser(this)) {}

PlayedUser::~PlayedUser() {
    SetUser(previous_);
}

bool PlayedUser::ShowProgress(const std::wstring&, const std::wstring&) {
    ++progressShown;
    while (!progressFinished) {
        if (cancelWhen && cancelWhen())
            return false;
        Sleep(1);
    }
    return true;
}

bool PlayedUser::AskPassword(std::string& typed) {
    ++passwordsAsked;
    typed = password;
    return !password.empty();
}

bool PlayedUser::AskYesNo(const std::wstring& text) {
    told.push_back(text);
    return yes;
}

void PlayedUser::Tell(const std::wstring& text, bool) {
    told.push_back(text);
}

void PlayedUser::TellOutcome(const JobOutcome& outcome) {
    told.push_back(outcome.headline);
}

std::wstring RandomFile(const std::wstring& path, size_t size) {
    std::mt19937 random(7);
    std::string data(size, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    WriteTextFile(path, data);
    return path;
}

std::wstring SmallDisk() {
    std::wstring folder = TestData(L"fulldisk");
    ULARGE_INTEGER available = {}, total = {};
    if (!GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, &total, nullptr) ||
        total.QuadPart > (16u << 20))
        return std::wstring();
    return folder;
}

Filler::Filler(const std::wstring& folder) : path(folder + L"\\filler.bin") {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string block;
    for (size_t size = 1 << 20; size >= 1; size /= 2) {
        block.assign(size, 'f');
        DWORD written = 0;
        while (WriteFile(file, block.data(), static_cast<DWORD>(size), &written, nullptr) &&
               written == size) {
        }
    }
    CloseHandle(file);
}

Filler::~Filler() {
    DeleteFileW(path.c_str());
}

OutputCapture::OutputCapture() {
    file_ = CreateFileW((folder_ / L"output.txt").c_str(), GENERIC_WRITE | GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    previous_ = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, file_);
}

OutputCapture::~OutputCapture() {
    SetStdHandle(STD_OUTPUT_HANDLE, previous_);
    CloseHandle(file_);
}

std::string OutputCapture::Text() const {
    return ReadTextFile(folder_ / L"output.txt");
}

DialogAnswerer::DialogAnswerer(Matcher matches, Action action)
    : matches_(std::move(matches)), action_(std::move(action)), thread_([this] { Watch(); }) {}

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.join();
}

bool DialogAnswerer::WaitForAnswers(int count, DWORD milliseconds) const {
    return WaitUntil([&] { return answered_ >= count; }, milliseconds);
}

namespace {
struct Search {
    const DialogAnswerer::Matcher* matches;
    HWND found;
};

BOOL CALLBACK FindMatchingWindow(HWND hwnd, LPARAM data) {
    auto search = reinterpret_cast<Search*>(data);
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && (*search->matches)(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

void DialogAnswerer::Watch() {
    while (!stop_) {
        Search search{&matches_, nullptr};
        EnumWindows(FindMatchingWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found) {
            Sleep(20);
            continue;
        }
        // Counted before the answer is given: the code under test may go on the moment the
        // dialog has its answer, and must then see it counted.
        ++answered_;
        action_(search.found);
        // One answer per dialog: wait until this one has gone.
        WaitUntil(
            [&] { return stop_ || !IsWindow(search.found) || !IsWindowVisible(search.found); },
            20000);
    }
}

static bool IsDialogOf(HWND hwnd, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    return owner == (processId ? processId : GetCurrentProcessId()) &&
           wcscmp(className, L"#32770") == 0;
}

static std::wstring TextOf(HWND hwnd) {
    wchar_t text[512] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return text;
}

DialogAnswerer::Matcher DialogWithCaption(const std::wstring& caption, DWORD processId) {
    return [=](HWND hwnd) { return IsDialogOf(hwnd, processId) && TextOf(hwnd) == caption; };
}

namespace {
struct TextSearch {
    const std::wstring* text;
    bool found;
};

BOOL CALLBACK FindChildWithText(HWND child, LPARAM data) {
    auto search = reinterpret_cast<TextSearch*>(data);
    if (TextOf(child) == *search->text) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}
} // namespace

DialogAnswerer::Matcher DialogWithText(const std::wstring& text, DWORD processId) {
    return [=](HWND hwnd) {
        if (!IsDialogOf(hwnd, processId))
            return false;
        TextSearch search{&text, false};
        EnumChildWindows(hwnd, FindChildWithText, reinterpret_cast<LPARAM>(&search));
        return search.found;
    };
}

std::wstring MessageText(HWND box) {
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    return text;
}

DialogAnswerer::Matcher MessageBeginningWith(const std::wstring& start, DWORD processId) {
    return [=](HWND hwnd) {
        return IsDialogOf(hwnd, processId) && MessageText(hwnd).rfind(start, 0) == 0;
    };
}

HWND WaitForDialog(const DialogAnswerer::Matcher& matches, DWORD milliseconds) {
    Search search{&matches, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(FindMatchingWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        milliseconds);
    return search.found;
}

std::wstring ControlText(HWND dialog, int controlId) {
    return TextOf(GetDlgItem(dialog, controlId));
}

void SetControlText(HWND dialog, int controlId, const std::wstring& text) {
    SendMessageTimeoutW(GetDlgItem(dialog, controlId), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
}

DialogAnswerer::Action TypeAndPressOk(int controlId, const std::wstring& text) {
    return [=](HWND dialog) {
        SendMessageW(GetDlgItem(dialog, controlId), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(text.c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    };
}

DialogAnswerer::Action TypeAndPressEnter(int controlId, const std::wstring& text) {
    return [=](HWND dialog) {
        HWND control = GetDlgItem(dialog, controlId);
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        PostMessageW(control, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(control, WM_KEYUP, VK_RETURN, 0xC0000001);
    };
}

DialogAnswerer::Action PressButton(int buttonId) {
    return [=](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
    };
}

namespace {
BOOL CALLBACK FindTreeView(HWND child, LPARAM data) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (wcscmp(className, WC_TREEVIEWW) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(data) = child;
    return FALSE;
}
} // namespace

std::wstring SelectedFolderInBrowser(HWND dialog) {
    HWND tree = nullptr;
    EnumChildWindows(dialog, FindTreeView, reinterpret_cast<LPARAM>(&tree));
    if (!tree)
        return std::wstring();
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return std::wstring();

    // The item's text is copied into memory of the process that owns the tree.
    DWORD processId = 0;
    GetWindowThreadProcessId(tree, &processId);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return std::wstring();
    const SIZE_T textChars = 260;
    auto remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr,
                                                    sizeof(TVITEMW) + textChars * sizeof(wchar_t),
                                                    MEM_COMMIT, PAGE_READWRITE));
    std::wstring text;
    if (remote) {
        TVITEMW query = {};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
        query.cchTextMax = textChars;
        WriteProcessMemory(process, remote, &query, sizeof query, nullptr);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        wchar_t buffer[textChars] = {};
        ReadProcessMemory(process, remote + sizeof(TVITEMW), buffer, sizeof buffer - 2, nullptr);
        text = buffer;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(10);
    }
    return true;
}

MessageBoxReader::MessageBoxReader()
    : answerer_(DialogWithCaption(L"Varnix File Opener"), [this](HWND box) {
          wchar_t text[1024] = {};
          GetDlgItemTextW(box, 0xFFFF, text, 1024); // a message box's text
          {
              std::lock_guard<std::mutex> lock(mutex_);
              texts_.push_back(text);
          }
          PressButton(IDOK)(box);
      }) {}

std::vector<std::wstring> MessageBoxReader::Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

bool MessageBoxReader::Saw(const std::wstring& start) const {
    return WaitUntil([&] {
        for (const std::wstring& text : Texts()) {
            if (text.rfind(start, 0) == 0)
                return true;
        }
        return false;
    });
}

std::string MessageBoxReader::All() const {
    std::string all;
    for (const std::wstring& text : Texts())
        all += Narrow(text) + " | ";
    return all.empty() ? "no message" : all;
}

} // namespace testing_support

namespace testing_support {

int StopProcessesNamed(const std::wstring& exeName) {
    int stopped = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, exeName.c_str()) != 0)
            continue;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            if (TerminateProcess(process, 1))
                ++stopped;
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return stopped;
}

ProgramMessages::ProgramMessages(const StartedProgram& program)
    : answerer_(MessageBeginningWith(L"", program.id()), [this](HWND box) {
          std::wstring text = MessageText(box);
          if (text.empty())
              return; // a question of its own, not a message
          {
              std::lock_guard<std::mutex> hold(lock_);
              messages_.push_back(text);
          }
          PressButton(IDOK)(box);
      }) {}

std::vector<std::wstring> ProgramMessages::messages() const {
    std::lock_guard<std::mutex> hold(lock_);
    return messages_;
}

bool VerbRun::Said(const std::wstring& part) const {
    for (const std::wstring& message : messages) {
        if (message.find(part) != std::wstring::npos)
            return true;
    }
    return false;
}

std::string VerbRun::All() const {
    std::string all = "exit code " + std::to_string(exitCode);
    for (const std::wstring& message : messages)
        all += "\n---\n" + Narrow(message);
    return all;
}

VerbRun RunVerb(const std::wstring& arguments) {
    StartedProgram program(arguments);
    ProgramMessages told(program);
    VerbRun run;
    run.exitCode = program.Wait();
    run.messages = told.messages();
    return run;
}

} // namespace testing_support
