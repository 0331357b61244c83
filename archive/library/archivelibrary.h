#pragma once

#include "archive/library/sevenzip.h"
#include "win/comptr.h"
#include "win/handle.h"

#include <atomic>
#include <cstdint>
#include <string>

// The library and one archive handler, loaded for one operation. The handler goes before
// the library that holds its code.
struct OpenedArchive {
    win::Module lib;
    win::ComPtr<sevenzip::IInArchive> archive;
    ~OpenedArchive() { archive.reset(); }
};

// A cancel flag the job's progress dialog sets; the library's callbacks stop the work when
// they find it set. May be null.
using CancelFlag = const std::atomic<int32_t>*;

inline bool IsCancelled(CancelFlag cancelled) {
    return cancelled && *cancelled != 0;
}

// Full path of core\7z.dll beside the running program.
std::wstring GetLibraryPath();

// The library's handler for an archive kind (all zeros, which it refuses, for kind 0).
GUID GetFormatClassId(int kind);

// Loads the library and opens `archiveName` with the handler of `kind`. `password` holds
// the known password (empty: none) and, after a successful open, the one that opened the
// archive, typed by the user if the library asked. A typed password that does not open
// the archive's names is said to be wrong and asked for again, until the user declines.
// Returns 0 when opened, 1 otherwise.
int OpenArchive(OpenedArchive& opened, const std::wstring& archiveName, int kind,
                std::wstring* password, CancelFlag cancelled = nullptr);

// What the library's callbacks ask of the rest of the program.
enum ArchiveRequest {
    RequestPassword = 1,      // data: a wide buffer of `capacity` characters for the password
    RequestTotal = 2,         // data: the total amount of work (uint64_t), or null
    RequestCompleted = 3,     // data: the amount done (uint64_t), or null
    RequestReplace = 4,       // data: a ReplaceQuestion, whose answer is filled in
    RequestWrongPassword = 5, // no data: the password typed for the names did not open them
};

// An extraction found a file where an entry is to go.
struct ReplaceQuestion {
    std::wstring path;     // the file on disk
    std::wstring entry;    // the entry's path in the archive
    bool sameExtraction;   // this extraction wrote the file itself a moment ago
    std::wstring keptName; // the entry's name when both are kept
    int answer;            // a ReplaceAnswer, filled in
};
// 0 handled, 1 refused or cancelled.
int HandleArchiveRequest(int request, void* data, size_t capacity);

// What the user is told when the password typed for an archive's names did not open it.
extern const wchar_t wrongPasswordMessage[];

// A library callback's answer to "what is the password": the known one, or, when none is
// defined yet, the one the user types (asked once per callback). E_ABORT when declined.
// `typed`, when given, is set when the user typed it just now.
HRESULT GivePassword(bool& passwordDefined, std::wstring& password, BSTR* out,
                     bool* typed = nullptr);
// How often the user has declined to give a password, in this process.
extern std::atomic<int> passwordsDeclined;
