#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the Temp folder, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

void WriteTextFile(const std::wstring& path, const std::string& content);
std::string ReadTextFile(const std::wstring& path);
void MakeFolder(const std::wstring& path);
// Files and folders directly in `folder`.
int CountEntries(const std::wstring& folder);

// The folder of the running test executable.
std::wstring ExecutableFolder();
// The program under test, built beside the tests.
std::wstring ProgramPath();

// Runs a program with the given arguments and returns its exit code (or -1 when it could
// not be started, -2 when it did not end within the time limit).
int RunAndWait(const std::wstring& program, const std::wstring& arguments,
               DWORD timeoutMilliseconds = 60000);

// Every key and value below a registry key, for comparing the registry before and after.
// Keys are "ROOT\path"; a value entry is "ROOT\path|name" with its type and data.
struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const RegistryValue& other) const {
        return type == other.type && data == other.data;
    }
};
using RegistrySnapshot = std::map<std::wstring, RegistryValue>;
// Keys named in `countOnly` are not entered: their number of subkeys and values stands
// for their contents.
void AddRegistryTree(RegistrySnapshot& snapshot, HKEY root, const std::wstring& rootName,
                     const std::wstring& key, const std::vector<std::wstring>& countOnly = {});

// The entries that differ between two snapshots, as readable lines ("+ ", "- " or "~ ").
std::vector<std::wstring> RegistryDifference(const RegistrySnapshot& before,
                                             const RegistrySnapshot& after);

// A string value, or "<missing>" when the key or value does not exist.
std::wstring ReadRegistryString(HKEY root, const std::wstring& key,
                                const wchar_t* valueName = nullptr);
bool RegistryKeyExists(HKEY root, const std::wstring& key);

std::string Narrow(const std::wstring& text);

} // namespace testing_support
