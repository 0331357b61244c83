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
// archive, typed by the user if the library asked. Returns 0 when opened, 1 otherwise.
int OpenArchive(OpenedArchive& opened, const std::wstring& archiveName, int kind,
                std::wstring* password, CancelFlag cancelled = nullptr);

// What the library's callbacks ask of the rest of the program.
enum ArchiveRequest {
    RequestPassword = 1,  // data: a wide buffer of `capacity` characters for the password
    RequestTotal = 2,     // data: the total amount of work (uint64_t), or null
    RequestCompleted = 3, // data: the amount done (uint64_t), or null
};
// 0 handled, 1 refused or cancelled.
int HandleArchiveRequest(int request, void* data, size_t capacity);

// A library callback's answer to "what is the password": the known one, or, when none is
// defined yet, the one the user types (asked once per callback). E_ABORT when declined.
HRESULT GivePassword(bool& passwordDefined, std::wstring& password, BSTR* out);
// How often the user has declined to give a password, in this process.
extern std::atomic<int> passwordsDeclined;
