// The yardstick for opening: the library's IInArchive called directly on an archive, the
// same properties read for every item as the program's listing reads, nothing kept.
// Not a test: it prints figures for scripts/bench.sh.
//   raw_client <archive>            lists it
//   raw_client --unpack <archive>   unpacks a compressed file's one item into nothing (what
//                                   reading the tar of a .tar.gz costs the engine at least)
// prints "raw: <items> items in <seconds> s, peak working set <bytes>"
#include "archive/library/archivelibrary.h"
#include "archive/library/filestreams.h"
#include "archive/library/formats.h"
#include "archive/library/libraryobject.h"
#include "archive/library/sevenzip.h"
#include "shell/paths.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

// Takes what it is given and keeps nothing.
class CNullStream : public sevenzip::LibraryObject<sevenzip::ISequentialOutStream> {
  public:
    HRESULT STDMETHODCALLTYPE Write(const void*, UINT32 size, UINT32* processedSize) override {
        if (processedSize)
            *processedSize = size;
        return S_OK;
    }
};

class CUnpackCallback : public sevenzip::LibraryObject<sevenzip::IArchiveExtractCallback> {
  public:
    HRESULT STDMETHODCALLTYPE SetTotal(UINT64) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetStream(UINT32, sevenzip::ISequentialOutStream** out,
                                        INT32) override {
        *out = new CNullStream;
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PrepareOperation(INT32) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOperationResult(INT32) override { return S_OK; }
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    bool unpack = std::wstring(argv[1]) == L"--unpack";
    if (unpack && argc < 3)
        return 2;
    std::wstring path = argv[unpack ? 2 : 1];
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    HMODULE library = LoadLibraryW(GetLibraryPath().c_str());
    auto createObject = library
                            ? reinterpret_cast<sevenzip::CreateObjectFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(library, "CreateObject")))
                            : nullptr;
    if (!createObject) {
        std::printf("raw: no library\n");
        return 1;
    }
    // The handler the extension names, as the library lists it.
    std::wstring extension = path.substr(path.rfind(L'.') + 1);
    int format = FindFormatByExtension(extension);
    if (format < 0) {
        std::printf("raw: no format\n");
        return 1;
    }
    GUID classId = ArchiveFormats()[static_cast<size_t>(format)].classId;
    sevenzip::IInArchive* archive = nullptr;
    if (createObject(&classId, &sevenzip::IID_IInArchive, reinterpret_cast<void**>(&archive)) !=
        S_OK) {
        std::printf("raw: no handler\n");
        return 1;
    }
    auto* stream = new CInFileStream;
    stream->AddRef();
    UINT64 maxCheck = 1 << 20;
    if (!stream->Open(path) || archive->Open(stream, &maxCheck, nullptr) != S_OK) {
        std::printf("raw: could not open\n");
        return 1;
    }
    UINT32 count = 0;
    archive->GetNumberOfItems(&count);
    if (unpack) {
        auto* callback = new CUnpackCallback;
        callback->AddRef();
        const UINT32 first = 0;
        archive->Extract(&first, 1, 0, callback);
        callback->Release();
    }
    static const PROPID properties[] = {sevenzip::kpidPath,     sevenzip::kpidAttrib,
                                        sevenzip::kpidIsDir,    sevenzip::kpidSize,
                                        sevenzip::kpidPackSize, sevenzip::kpidMTime};
    size_t pathCharacters = 0;
    for (UINT32 i = 0; i < count; ++i) {
        for (PROPID id : properties) {
            PROPVARIANT value;
            PropVariantInit(&value);
            archive->GetProperty(i, id, &value);
            if (value.vt == VT_BSTR && value.bstrVal)
                pathCharacters += SysStringLen(value.bstrVal);
            PropVariantClear(&value);
        }
    }
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("raw: %u items in %.3f s, peak working set %zu (%zu path characters)\n", count,
                static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart,
                static_cast<size_t>(memory.PeakWorkingSetSize), pathCharacters);
    archive->Close();
    archive->Release();
    stream->Release();
    return 0;
}
