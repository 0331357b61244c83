// Feeds broken and hostile archives to the program's own listing and extraction, in this
// process, and checks what happened:
//
//     fuzz_driver.exe CASES BASE_SEED WORK_FOLDER SEED_FOLDER...
//
// Each case is one seed archive from the seed folders (ZIP, 7z and RAR) with one to three
// mutations, or a ZIP made from nothing with hostile entries. It is listed and then
// extracted into a fresh folder, on a worker thread with a time limit. After each case
// the driver checks that nothing was written outside that folder, that no link was made,
// and that memory stays bounded. Case i is made from BASE_SEED and i alone, so any case
// can be made again ("--only I"). A case that crashes, hangs or escapes is kept in
// WORK_FOLDER\found. Exit code 0 when every check held.
#include "archive/archivekind.h"
#include "archive/library/extraction.h"
#include "archive/library/listing.h"
#include "archive/textconv.h"
#include "fuzz/mutations.h"
#include "shell/paths.h"
#include "win/handle.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

using fuzz::Bytes;

const DWORD caseTimeLimit = 20000;     // then the case is cancelled
const DWORD cancelTimeLimit = 20000;   // a case not ended this long after its cancel hangs
const size_t memoryLimit = 768u << 20; // private bytes the process may hold after a case
const size_t seedSizeLimit = 1u << 20;

HANDLE reportOutput = nullptr;

void Report(const std::string& text) {
    std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(reportOutput, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

struct Seed {
    std::wstring path;
    std::wstring extension;
    Bytes bytes;
};

bool ReadFileBytes(const std::wstring& path, Bytes& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(seedSizeLimit);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() ||
             (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
              read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes) {
    HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    CloseHandle(file);
    return ok;
}

// Calls `visit` for every entry directly in a folder but "." and "..".
template <typename Visit> void ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW found;
    win::FindHandle search(FindFirstFileW(LongPathForm(folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0)
            visit(found);
    } while (FindNextFileW(search.get(), &found));
}

// The seed archives directly in a folder, by extension.
void CollectSeeds(const std::wstring& folder, std::vector<Seed>& seeds) {
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& found) {
        std::wstring name = found.cFileName;
        std::wstring path = folder + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            GetArchiveKind(path) == ArchiveKindNone)
            return;
        Seed seed;
        seed.path = path;
        seed.extension = name.substr(name.rfind(L'.'));
        if (ReadFileBytes(path, seed.bytes))
            seeds.push_back(std::move(seed));
    });
}

// The names directly in a folder: what a write outside the target would change.
std::set<std::wstring> Names(const std::wstring& folder) {
    std::set<std::wstring> names;
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& found) { names.insert(found.cFileName); });
    return names;
}

struct TreeFacts {
    size_t files = 0;
    size_t links = 0;
};

// Walks a folder tree without recursion (the trees can be thousands of levels deep),
// counting files and reparse points, and deletes it when asked.
TreeFacts WalkTree(const std::wstring& root, bool remove) {
    TreeFacts facts;
    struct Pending {
        std::wstring path;
        bool entered;
    };
    std::vector<Pending> stack{{root, false}};
    while (!stack.empty()) {
        Pending& top = stack.back();
        if (top.entered) {
            if (remove)
                RemoveDirectoryW(LongPathForm(top.path).c_str());
            stack.pop_back();
            continue;
        }
        top.entered = true;
        std::wstring folder = top.path;
        ForEachEntry(folder, [&](const WIN32_FIND_DATAW& found) {
            std::wstring path = folder + L"\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                ++facts.links;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                stack.push_back({path, false});
            } else {
                ++facts.files;
                if (remove) {
                    SetFileAttributesW(LongPathForm(path).c_str(), FILE_ATTRIBUTE_NORMAL);
                    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        RemoveDirectoryW(LongPathForm(path).c_str());
                    else
                        DeleteFileW(LongPathForm(path).c_str());
                }
            }
        });
    }
    return facts;
}

// One case on the worker thread.
struct Job {
    std::wstring archive;
    std::wstring output;
    std::wstring password;
    int kind = ArchiveKindNone;
    std::atomic<int32_t> cancelled{0};
    int listed = -1;
    int extracted = -1;
    size_t items = 0;
};

DWORD WINAPI RunJob(void* parameter) {
    auto job = static_cast<Job*>(parameter);
    ArchiveContents contents;
    contents.password = job->password; // given, so that no prompt is ever shown
    job->listed = ListArchive(job->archive, job->kind, contents, &job->cancelled);
    job->items = contents.items.size();
    ArchiveContents extraction;
    extraction.password = job->password;
    ExtractOptions options;
    options.cancelled = &job->cancelled;
    options.askBeforeReplacing = false; // entries of one name meet without a question
    job->extracted = ExtractArchive(job->archive, job->kind, job->output, extraction, options);
    return 0;
}

std::wstring foundFolder;
std::wstring currentCase;
std::string currentWhat;
int currentIndex = -1;

void KeepCase(const char* why) {
    CreateDirectoryW(foundFolder.c_str(), nullptr);
    std::wstring extension = currentCase.substr(currentCase.rfind(L'.'));
    std::wstring kept = foundFolder + L"\\" + std::wstring(why, why + std::strlen(why)) + L"-" +
                        std::to_wstring(currentIndex) + extension;
    CopyFileW(currentCase.c_str(), kept.c_str(), FALSE);
    Report(std::string("fuzz: ") + why + " in case " + std::to_string(currentIndex) + " (" +
           currentWhat + "), kept as " + WideToUtf8(kept));
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* exception) {
    char code[32];
    std::snprintf(code, sizeof code, "0x%08lX",
                  static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    Report(std::string("fuzz: exception ") + code);
    KeepCase("crash");
    ExitProcess(3);
}

struct Totals {
    int cases = 0;
    int listed = 0;
    int extracted = 0;
    int made = 0;
    int cancelled = 0;
    int escapes = 0;
    int links = 0;
    size_t items = 0;
    size_t files = 0;
    size_t peakPrivate = 0;
    DWORD slowest = 0;
    int slowestCase = -1;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    reportOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc < 5) {
        Report("usage: fuzz_driver CASES BASE_SEED WORK_FOLDER SEED_FOLDER... [--only I]");
        return 2;
    }
    int cases = _wtoi(argv[1]);
    uint32_t baseSeed = static_cast<uint32_t>(_wtoi(argv[2]));
    std::wstring work = argv[3];
    int only = -1;
    std::vector<Seed> seeds;
    for (int i = 4; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--only") == 0 && i + 1 < argc)
            only = _wtoi(argv[++i]);
        else
            CollectSeeds(argv[i], seeds);
    }
    // In name order, so that a case is the same case on every machine.
    std::sort(seeds.begin(), seeds.end(),
              [](const Seed& a, const Seed& b) { return a.path < b.path; });
    if (seeds.empty()) {
        Report("fuzz: no seed archives found");
        return 2;
    }

    // The library's own report of every entry would drown ours.
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);

    CreateFolderPath(work);
    std::wstring box = work + L"\\box";
    std::wstring output = box + L"\\out";
    foundFolder = work + L"\\found";
    WalkTree(box, true);
    CreateDirectoryW(box.c_str(), nullptr);
    CreateDirectoryW(foundFolder.c_str(), nullptr);
    std::wstring parent = work.substr(0, work.rfind(L'\\'));
    std::wstring drive = work.substr(0, 2) + L"\\";
    std::vector<std::wstring> watched{box, work, parent, drive};

    Totals totals;
    DWORD started = GetTickCount();
    for (int index = 0; index < cases; ++index) {
        if (only >= 0 && index != only)
            continue;
        fuzz::Random random(baseSeed * 1000003u + static_cast<uint32_t>(index));
        Bytes bytes;
        std::wstring extension;
        currentWhat.clear();
        if (random() % 100 < 12) {
            bytes = fuzz::MakeHostileZip(random, currentWhat);
            extension = L".zip";
            ++totals.made;
        } else {
            const Seed& seed = seeds[random() % seeds.size()];
            bytes = seed.bytes;
            extension = seed.extension;
            int mutations = 1 + static_cast<int>(random() % 3);
            for (int m = 0; m < mutations; ++m) {
                std::string what;
                bytes = fuzz::Mutate(bytes, random, what);
                currentWhat += (m ? " + " : "") + what;
            }
        }
        static const wchar_t* const passwords[] = {L"password", L"12345678", L"secret", L"fuzz"};
        currentIndex = index;
        currentCase = box + L"\\case" + extension;
        if (!WriteFileBytes(currentCase, bytes)) {
            Report("fuzz: could not write " + WideToUtf8(currentCase));
            return 2;
        }
        std::vector<std::set<std::wstring>> before;
        for (const std::wstring& folder : watched)
            before.push_back(Names(folder));

        Job job;
        job.archive = currentCase;
        job.output = output;
        job.password = passwords[random() % 4];
        job.kind = GetArchiveKind(currentCase);
        DWORD caseStart = GetTickCount();
        HANDLE thread = CreateThread(nullptr, 0, RunJob, &job, 0, nullptr);
        if (WaitForSingleObject(thread, caseTimeLimit) == WAIT_TIMEOUT) {
            job.cancelled = 1;
            ++totals.cancelled;
            if (WaitForSingleObject(thread, cancelTimeLimit) == WAIT_TIMEOUT) {
                KeepCase("hang");
                ExitProcess(4);
            }
        }
        CloseHandle(thread);
        DWORD took = GetTickCount() - caseStart;
        if (took > totals.slowest) {
            totals.slowest = took;
            totals.slowestCase = index;
        }

        ++totals.cases;
        totals.listed += job.listed == 0;
        totals.extracted += job.extracted == 0;
        totals.items += job.items;
        TreeFacts facts = WalkTree(output, true);
        totals.files += facts.files;
        if (facts.links) {
            totals.links += static_cast<int>(facts.links);
            KeepCase("link");
        }
        // With the target folder gone, the folders around it must be as they were.
        for (size_t w = 0; w < watched.size(); ++w) {
            if (Names(watched[w]) != before[w]) {
                ++totals.escapes;
                KeepCase("escape");
                Report("fuzz: something new in " + WideToUtf8(watched[w]));
            }
        }
        DeleteFileW(currentCase.c_str());

        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        // Wine reports the private bytes only as the page-file usage.
        size_t held = std::max(static_cast<size_t>(memory.PrivateUsage),
                               static_cast<size_t>(memory.PagefileUsage));
        totals.peakPrivate = std::max(totals.peakPrivate, held);
        if (held > memoryLimit) {
            KeepCase("memory");
            Report("fuzz: " + std::to_string(held >> 20) + " MB held after the case");
            return 1;
        }
        if (totals.cases % 1000 == 0)
            Report("fuzz: " + std::to_string(totals.cases) + " cases, " +
                   std::to_string((GetTickCount() - started) / 1000) + " s");
    }
    WalkTree(box, true);

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    double seconds = (GetTickCount() - started) / 1000.0;
    char line[512];
    std::snprintf(line, sizeof line,
                  "fuzz: %d cases (%d made from nothing) in %.0f s from %zu seeds: %d listed, "
                  "%d extracted in full, %zu entries, %zu files written; 0 crashes, 0 hangs, "
                  "%d cancelled at the time limit, %d writes outside, %d links; peak private "
                  "%zu MB, peak working set %zu MB; slowest case %d (%lu ms)",
                  totals.cases, totals.made, seconds, seeds.size(), totals.listed, totals.extracted,
                  totals.items, totals.files, totals.cancelled, totals.escapes, totals.links,
                  totals.peakPrivate >> 20, static_cast<size_t>(memory.PeakWorkingSetSize) >> 20,
                  totals.slowestCase, static_cast<unsigned long>(totals.slowest));
    Report(line);
    return totals.escapes || totals.links ? 1 : 0;
}
