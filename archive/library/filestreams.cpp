#include "archive/library/filestreams.h"

#include <algorithm>

using sevenzip::LastErrorResult;

// One system call moves at most this much; the library asks again for the rest.
static const UINT32 maxTransfer = 0x400000;

static HRESULT SeekFile(HANDLE file, INT64 offset, UINT32 origin, UINT64* newPosition) {
    if (origin > FILE_END)
        return STG_E_INVALIDFUNCTION;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(file, distance, &position, origin))
        return LastErrorResult();
    if (newPosition)
        *newPosition = static_cast<UINT64>(position.QuadPart);
    return S_OK;
}

bool CInFileStream::Open(const std::wstring& path) {
    file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.valid();
}

HRESULT CInFileStream::Read(void* data, UINT32 size, UINT32* processedSize) {
    DWORD read = 0;
    BOOL done = ReadFile(file_.get(), data, std::min(size, maxTransfer), &read, nullptr);
    if (processedSize)
        *processedSize = read;
    position_ += read;
    return done ? S_OK : LastErrorResult();
}

HRESULT CInFileStream::Seek(INT64 offset, UINT32 seekOrigin, UINT64* newPosition) {
    UINT64 position = 0;
    HRESULT result = SeekFile(file_.get(), offset, seekOrigin, &position);
    if (result == S_OK)
        position_ = position;
    if (newPosition)
        *newPosition = position;
    return result;
}

HRESULT CInFileStream::GetSize(UINT64* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file_.get(), &length))
        return LastErrorResult();
    *size = static_cast<UINT64>(length.QuadPart);
    return S_OK;
}

UINT64 CInFileStream::Size() const {
    LARGE_INTEGER length = {};
    return GetFileSizeEx(file_.get(), &length) ? static_cast<UINT64>(length.QuadPart) : 0;
}

bool COutFileStream::Open(const std::wstring& path, DWORD creationDisposition) {
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            creationDisposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.valid();
}

HRESULT COutFileStream::Write(const void* data, UINT32 size, UINT32* processedSize) {
    if (processedSize)
        *processedSize = 0;
    if (cancelled_ && *cancelled_)
        return E_ABORT;
    if (writeError_ != 0) {
        if (processedSize)
            *processedSize = size; // dropped: the entry is lost already
        return S_OK;
    }
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, std::min(size, maxTransfer), &written, nullptr)) {
        writeError_ = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
        written = size;
    }
    if (processedSize)
        *processedSize = written;
    return S_OK;
}

HRESULT COutFileStream::Seek(INT64 offset, UINT32 seekOrigin, UINT64* newPosition) {
    return SeekFile(file_.get(), offset, seekOrigin, newPosition);
}

HRESULT COutFileStream::SetSize(UINT64 newSize) {
    UINT64 current = 0;
    if (FAILED(SeekFile(file_.get(), 0, FILE_CURRENT, &current)) ||
        FAILED(SeekFile(file_.get(), static_cast<INT64>(newSize), FILE_BEGIN, nullptr)) ||
        !SetEndOfFile(file_.get()) ||
        FAILED(SeekFile(file_.get(), static_cast<INT64>(current), FILE_BEGIN, nullptr)))
        return E_FAIL;
    return S_OK;
}

bool COutFileStream::SetModified(const FILETIME& modified) {
    return SetFileTime(file_.get(), nullptr, nullptr, &modified) != FALSE;
}

HRESULT COutFileStream::Close() {
    if (!file_)
        return S_OK;
    if (!CloseHandle(file_.release()))
        return LastErrorResult();
    return S_OK;
}
