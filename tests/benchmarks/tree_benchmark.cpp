// Measures building, listing and clearing the archive tree for large archives, so that
// anything that grows faster than the number of entries shows. Not a test: it prints
// figures and checks nothing but the shape of the result.
#include "archive/archiver.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

DirItem Entry(const std::wstring& path, bool folder) {
    DirItem item;
    item.path = path;
    item.entry.attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
    item.entry.size = 123456;
    item.entry.packedSize = 65432;
    item.entry.hasSize = item.entry.hasPackedSize = !folder;
    item.entry.modified = {0x12345678, 0x01DA9F00};
    item.entry.hasModified = true;
    return item;
}

// Every entry in the root folder.
ArchiveContents Flat(int count) {
    ArchiveContents contents;
    for (int i = 0; i < count; ++i)
        contents.items.push_back(Entry(L"file" + std::to_wstring(i) + L".txt", false));
    return contents;
}

// 100 folders of 10 subfolders (100 for a million entries), the files spread over them
// taking turns, as in the benchmark's archives; one folder entry per folder.
ArchiveContents Nested(int count) {
    ArchiveContents contents;
    const int subfolders = count >= 1000000 ? 100 : 10;
    for (int i = 0; i < count; ++i) {
        std::wstring folder =
            L"dir" + std::to_wstring(i % 100) + L"\\sub" + std::to_wstring((i / 100) % subfolders);
        contents.items.push_back(Entry(folder + L"\\file" + std::to_wstring(i) + L".dat", false));
    }
    for (int d = 0; d < 100; ++d) {
        contents.items.push_back(Entry(L"dir" + std::to_wstring(d), true));
        for (int s = 0; s < subfolders; ++s)
            contents.items.push_back(
                Entry(L"dir" + std::to_wstring(d) + L"\\sub" + std::to_wstring(s), true));
    }
    return contents;
}

void Measure(const char* shape, const ArchiveContents& contents, const std::string& largest) {
    Archiver archiver;
    LARGE_INTEGER start = Now();
    archiver.BuildTree(contents);
    LARGE_INTEGER built = Now();
    archiver.ListFolder(largest);
    LARGE_INTEGER listed = Now();
    int rows = archiver.GetRowCount();
    archiver.Close();
    LARGE_INTEGER cleared = Now();
    std::printf("%-7s %7zu entries: build %8.3f s, list %6d rows %8.3f s, clear %8.3f s\n", shape,
                contents.items.size(), Seconds(start, built), rows, Seconds(built, listed),
                Seconds(listed, cleared));
}

} // namespace

int main() {
    CoInitialize(nullptr);
    for (int count : {10000, 100000, 1000000}) {
        Measure("flat", Flat(count), "");
        Measure("nested", Nested(count), "dir0\\sub0");
    }
    std::fflush(stdout);
    return 0;
}
