// The copies of opened entries, and whether their programs changed them.
#include "archive/editedentries.h"

#include "archive/console/toolcommand.h"
#include "shell/paths.h"

#include <windows.h>

#include <vector>

namespace {

// Copies bigger than this are told changed by their size and time alone: hashing them at
// every open would cost more than a rare needless question.
const uint64_t largestHashed = 64ull << 20;

// FNV-1a over the file's bytes; false when it cannot be read.
bool HashFile(const std::wstring& file, uint64_t& hash) {
    HANDLE handle = CreateFileW(LongPathForm(file).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    hash = 14695981039346656037ull;
    std::vector<unsigned char> buffer(1 << 16);
    DWORD read = 0;
    bool whole = true;
    while (true) {
        if (!ReadFile(handle, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            whole = false;
            break;
        }
        if (read == 0)
            break;
        for (DWORD i = 0; i < read; ++i) {
            hash ^= buffer[i];
            hash *= 1099511628211ull;
        }
    }
    CloseHandle(handle);
    return whole;
}

} // namespace

FileStamp StampOf(const std::wstring& file, bool content) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(LongPathForm(file).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return stamp;
    stamp.present = true;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
    if (content && stamp.size <= largestHashed)
        stamp.hashed = HashFile(file, stamp.hash);
    return stamp;
}

EditedEntries::~EditedEntries() {
    Clear();
}

std::wstring EditedEntries::MakeFolder() {
    if (root_.empty())
        root_ = MakeScratchFolder(L"Quorp");
    if (root_.empty())
        return std::wstring();
    // One folder per opened entry: two entries of one name in different folders, or the
    // same entry opened twice, never share a copy.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::wstring folder = root_ + L"\\" + std::to_wstring(++folders_);
        if (CreateDirectoryW(folder.c_str(), nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return std::wstring();
}

void EditedEntries::Watch(const std::wstring& path, const std::wstring& file) {
    Entry entry;
    entry.path = path;
    entry.file = file;
    entry.inArchive = StampOf(file, true);
    entry.asked = entry.inArchive;
    // The same entry opened again gets a copy of its own: the first may still be open in
    // its program, and both are watched.
    entries_.push_back(entry);
}

bool EditedEntries::Differs(const Entry& entry, const FileStamp& than, FileStamp& now) {
    now = StampOf(entry.file, false);
    // Gone for a moment: a program that saves by deleting and writing anew is not done.
    if (!now.present)
        return false;
    if (now.size == than.size && now.written == than.written)
        return false;
    now = StampOf(entry.file, true);
    if (!now.present)
        return false;
    // Written again with the same bytes (a program that saves on opening, a touch).
    return !(now.hashed && than.hashed && now.hash == than.hash);
}

std::vector<size_t> EditedEntries::NewChanges() {
    std::vector<size_t> changed;
    for (size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        FileStamp now;
        if (!Differs(entry, entry.asked, now))
            continue;
        entry.asked = now;
        FileStamp same;
        if (Differs(entry, entry.inArchive, same))
            changed.push_back(i);
    }
    return changed;
}

std::vector<size_t> EditedEntries::Unwritten() {
    std::vector<size_t> changed;
    for (size_t i = 0; i < entries_.size(); ++i) {
        FileStamp now;
        if (!entries_[i].kept && Differs(entries_[i], entries_[i].inArchive, now))
            changed.push_back(i);
    }
    return changed;
}

void EditedEntries::MarkWritten(size_t i, const FileStamp& stamp) {
    entries_[i].inArchive = stamp;
    entries_[i].asked = stamp;
}

void EditedEntries::MarkDropped(size_t i) {
    // Taken as what the archive holds: only a later save is asked about.
    MarkWritten(i, StampOf(entries_[i].file, true));
}

void EditedEntries::Renamed(const std::wstring& from, const std::wstring& to) {
    for (Entry& entry : entries_) {
        if (entry.path == from)
            entry.path = to;
        else if (entry.path.compare(0, from.size() + 1, from + L"\\") == 0)
            entry.path = to + entry.path.substr(from.size());
    }
}

void EditedEntries::Clear() {
    bool anyKept = false;
    for (const Entry& entry : entries_)
        anyKept = anyKept || entry.kept;
    if (!root_.empty()) {
        if (!anyKept) {
            DeleteFolderTree(nullptr, root_);
        } else {
            // Only the folders of kept edits stay; the others go.
            for (int i = 1; i <= folders_; ++i) {
                std::wstring folder = root_ + L"\\" + std::to_wstring(i);
                bool keep = false;
                for (const Entry& entry : entries_)
                    keep = keep || (entry.kept &&
                                    entry.file.compare(0, folder.size() + 1, folder + L"\\") == 0);
                if (!keep && PathExists(folder))
                    DeleteFolderTree(nullptr, folder);
            }
        }
    }
    entries_.clear();
    root_.clear();
    folders_ = 0;
}
