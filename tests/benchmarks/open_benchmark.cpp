// Measures opening a large archive the way the open job does: listing it through the
// library, building the tree and listing its biggest folder. Not a test: it prints figures.
//   open_benchmark <archive>...
//   open_benchmark --job <archive>   the whole open job under its progress dialog, from
//                                    Open to the root rows, with the peak working set
#include "archive/archivekind.h"
#include "archive/archiver.h"
#include "archive/library/listing.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>

static double Since(LARGE_INTEGER start) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
    if (argc == 3 && std::wstring(argv[1]) == L"--job") {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        Archiver* archiver = GetArchiver();
        bool opened = archiver->Open(argv[2]);
        double seconds = Since(start);
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
        std::printf("ours: %s, %d root rows in %.3f s, peak working set %zu\n",
                    opened ? "opened" : "not opened", archiver->GetRowCount(), seconds,
                    static_cast<size_t>(memory.PeakWorkingSetSize));
        return opened ? 0 : 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::wstring path = argv[i];
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);

        ArchiveContents contents;
        if (ListArchive(path, GetArchiveKind(path), contents) != 0) {
            std::printf("%ls: could not be listed\n", path.c_str());
            continue;
        }
        double listed = Since(start);
        Archiver archiver;
        archiver.BuildTree(contents);
        double built = Since(start);
        archiver.ListFolder("");
        double shown = Since(start);
        std::printf("%ls: %zu entries; listed %.3f s, tree %.3f s, root rows (%d) %.3f s\n",
                    path.c_str(), contents.items.size(), listed, built - listed,
                    archiver.GetRowCount(), shown - built);
    }
    return 0;
}
