// Feeds broken and hostile archives to the program's own listing and extraction, in this
// process, and checks what happened:
//
//     fuzz_driver.exe CASES BASE_SEED WORK_FOLDER SEED_FOLDER... [--sets FOLDER]... [--only I]
//
// Each case is one seed archive from the seed folders (every kind the program opens) with
// one to three mutations, or a set of volumes from a --sets folder with one volume damaged,
// cut short or missing (any volume of it opened), or a ZIP made from nothing with hostile
// entries. It is listed and then extracted into a fresh folder, on a worker thread with a
// time limit. After each case the driver checks that nothing was written outside that
// folder, that no link was made, and that memory stays bounded; and when the extraction's
// outcome says it went well, that the engine's own test (core\7z.exe t) finds the archive
// whole too: a damaged archive said to be fine is silent damage. Case i is made from
// BASE_SEED and i alone, so any case can be made again ("--only I"). A case that crashes,
// hangs, escapes or hides damage is kept in WORK_FOLDER\found. Exit code 0 when every
// check held.
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/console/toolcommand.h"
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
#include <cwctype>
#include <map>
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
    // A set: its volumes by name, in name order; `bytes` is then empty.
    std::vector<std::pair<std::wstring, Bytes>> volumes;
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

// The sets of volumes directly in a folder: the files whose names share what comes before
// their volume number ("set.7z.001", "set.part1.rar", "set.z01" with "set.zip").
void CollectSets(const std::wstring& folder, std::vector<Seed>& seeds) {
    std::vector<std::wstring> names;
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& found) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    });
    std::sort(names.begin(), names.end());
    auto stemOf = [](const std::wstring& name) {
        size_t part = name.find(L".part");
        if (part != std::wstring::npos)
            return name.substr(0, part + 1);
        size_t dot = name.rfind(L'.');
        std::wstring extension = name.substr(dot + 1);
        bool numbered = extension.size() == 3 && iswdigit(extension[1]) && iswdigit(extension[2]);
        if (numbered || _wcsicmp(extension.c_str(), L"zip") == 0)
            return name.substr(0, dot + 1);
        return std::wstring();
    };
    std::map<std::wstring, std::vector<std::wstring>> sets;
    for (const std::wstring& name : names) {
        std::wstring stem = stemOf(name);
        if (!stem.empty())
            sets[stem].push_back(name);
    }
    for (const auto& [stem, members] : sets) {
        if (members.size() < 2)
            continue;
        Seed seed;
        seed.path = folder + L"\\" + stem;
        for (const std::wstring& name : members) {
            Bytes bytes;
            if (!ReadFileBytes(folder + L"\\" + name, bytes))
                break;
            seed.volumes.push_back({name, std::move(bytes)});
        }
        if (seed.volumes.size() == members.size())
            seeds.push_back(std::move(seed));
    }
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
    JobEnd end = JobEnd::Failure; // as the window and the verbs would say it
    size_t items = 0;
    std::wstring format; // the outermost handler that opened it
};

DWORD WINAPI RunJob(void* parameter) {
    auto job = static_cast<Job*>(parameter);
    std::wstring password = job->password; // given, so that no prompt is ever shown
    ArchiveFacts facts;
    job->listed = ListArchiveItems(
        job->archive, job->kind, password, &job->cancelled,
        [&](DirItem&, uint32_t, uint32_t) { ++job->items; }, nullptr, &facts);
    job->format = facts.format;
    ArchiveContents extraction;
    extraction.password = job->password;
    ExtractOptions options;
    options.cancelled = &job->cancelled;
    options.askBeforeReplacing = false; // entries of one name meet without a question
    ExtractReport report;
    job->extracted =
        ExtractArchive(job->archive, job->kind, job->output, extraction, options, &report);
    job->end = ExtractOutcome(job->archive, job->extracted, report).end;
    return 0;
}

// The engine's own judgement: its console tool tests the archive as the program reads it
// (`format`: the handler that opened it, so that the tool does not go on into a file inside,
// as it would into a package's payload), the case's password answered at its prompt
// through a pipe. True when it finds an error; warnings (data after the end, say) are no
// damage.
bool EngineFindsErrors(const std::wstring& archive, const std::wstring& format,
                       const std::wstring& password) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inputRead = nullptr, inputWrite = nullptr;
    if (!CreatePipe(&inputRead, &inputWrite, &inherit, 0))
        return false;
    SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
    std::string line = WideToUtf8(password) + "\n";
    DWORD written = 0;
    WriteFile(inputWrite, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(inputWrite); // then the end of its input
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    std::wstring commandLine = L"\"" + GetCorePath(L"7z.exe") + L"\" t -sccUTF-8" +
                               (format.empty() ? std::wstring() : L" -t" + format) + L" \"" +
                               archive + L"\"";
    PROCESS_INFORMATION process = {};
    DWORD exitCode = 0;
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 2);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(inputRead);
    CloseHandle(nul);
    return exitCode >= 2;
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
    int sets = 0;
    int checked = 0; // said to be fine, and tested by the engine
    int silent = 0;  // said to be fine, but the engine found errors
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
        else if (std::wcscmp(argv[i], L"--sets") == 0 && i + 1 < argc)
            CollectSets(argv[++i], seeds);
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
        const Seed* set = nullptr;
        if (random() % 100 < 12) {
            bytes = fuzz::MakeHostileZip(random, currentWhat);
            extension = L".zip";
            ++totals.made;
        } else if (const Seed& seed = seeds[random() % seeds.size()]; !seed.volumes.empty()) {
            set = &seed;
        } else {
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
        std::wstring setFolder = box + L"\\set";
        if (set) {
            // The set in a folder of its own; one volume damaged, cut short or gone, and
            // any volume opened.
            ++totals.sets;
            CreateDirectoryW(setFolder.c_str(), nullptr);
            size_t hurt = random() % set->volumes.size();
            size_t opened = random() % set->volumes.size();
            int how = static_cast<int>(random() % 3);
            for (size_t v = 0; v < set->volumes.size(); ++v) {
                Bytes volume = set->volumes[v].second;
                std::string what;
                if (v == hurt && how == 2 && v != opened)
                    continue; // missing
                if (v == hurt)
                    volume = fuzz::Mutate(volume, random, what);
                if (v == hurt)
                    currentWhat = (how == 2 ? "volume missing, " : "") + what + " in " +
                                  WideToUtf8(set->volumes[v].first);
                WriteFileBytes(setFolder + L"\\" + set->volumes[v].first, volume);
            }
            currentCase = setFolder + L"\\" + set->volumes[opened].first;
        } else {
            currentCase = box + L"\\case" + extension;
            if (!WriteFileBytes(currentCase, bytes)) {
                Report("fuzz: could not write " + WideToUtf8(currentCase));
                return 2;
            }
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
        // Said to be fine: the engine must find it so too.
        if (job.end == JobEnd::Success || job.end == JobEnd::Warnings) {
            ++totals.checked;
            // A set is tested from its first volume, as the program reads it.
            if (EngineFindsErrors(FirstVolume(currentCase), job.format, job.password)) {
                ++totals.silent;
                KeepCase("silent");
                Report("fuzz: opened as " + WideToUtf8(job.format) + " with the password " +
                       WideToUtf8(job.password) + ", " + std::to_string(job.items) +
                       " entries, said to be whole");
            }
        }
        if (set)
            WalkTree(setFolder, true);
        else
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
                  "fuzz: %d cases (%d made from nothing, %d sets of volumes) in %.0f s from %zu "
                  "seeds: %d listed, %d extracted in full, %zu entries, %zu files written; 0 "
                  "crashes, 0 hangs, %d cancelled at the time limit, %d writes outside, %d "
                  "links; %d said to be whole and tested by the engine, %d of them damaged "
                  "(silent damage); peak private %zu MB, peak working set %zu MB; slowest case "
                  "%d (%lu ms)",
                  totals.cases, totals.made, totals.sets, seconds, seeds.size(), totals.listed,
                  totals.extracted, totals.items, totals.files, totals.cancelled, totals.escapes,
                  totals.links, totals.checked, totals.silent, totals.peakPrivate >> 20,
                  static_cast<size_t>(memory.PeakWorkingSetSize) >> 20, totals.slowestCase,
                  static_cast<unsigned long>(totals.slowest));
    Report(line);
    return totals.escapes || totals.links || totals.silent ? 1 : 0;
}
