// Measures opening a large archive the way the open job does: listing it through the
// library, building the tree and listing its biggest folder. Not a test: it prints figures.
//   open_benchmark <archive>...
#include "archive/archivekind.h"
#include "archive/archiver.h"
#include "archive/library/listing.h"

#include <windows.h>

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
