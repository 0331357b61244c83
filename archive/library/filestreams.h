#pragma once

#include "archive/library/libraryobject.h"
#include "win/handle.h"

#include <atomic>
#include <string>

// The archive file, read by the library.
class CInFileStream
    : public sevenzip::LibraryObject<sevenzip::IInStream, sevenzip::IStreamGetSize> {
  public:
    bool Open(const std::wstring& path);

    HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 seekOrigin, UINT64* newPosition) override;
    HRESULT STDMETHODCALLTYPE GetSize(UINT64* size) override;

    // How far it has been read, and its size: the progress of a reading front to back.
    // Another thread may ask while one reads: the file itself is not asked, since moving
    // its position by nothing is no single step and would set a reader back.
    UINT64 Position() const { return position_; }
    UINT64 Size() const;
    // Lets go of the file: a later read fails. The handler may outlive its last reading.
    void Close() { file_.reset(); }

  private:
    win::KernelHandle file_;
    std::atomic<UINT64> position_{0};
};

// One extracted file, written by the library. A write that fails (a full disk, say) does
// not stop the library: the rest of the entry is taken and dropped, so that the entries
// after it are still tried, and writeError() tells the entry is not whole.
class COutFileStream : public sevenzip::LibraryObject<sevenzip::IOutStream> {
  public:
    // Creates the file anew (an existing one is truncated).
    bool Open(const std::wstring& path, DWORD creationDisposition = CREATE_ALWAYS);
    // Looked at before every write, so that a cancel stops inside a huge entry.
    void StopWhen(const std::atomic<int32_t>* cancelled) { cancelled_ = cancelled; }

    HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 seekOrigin, UINT64* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(UINT64 newSize) override;

    // Sets the last-write time; creation and access times are left alone.
    bool SetModified(const FILETIME& modified);
    HRESULT Close();
    // The system's error code of the first write that failed; 0 when none did.
    DWORD writeError() const { return writeError_; }

  private:
    win::KernelHandle file_;
    const std::atomic<int32_t>* cancelled_ = nullptr;
    DWORD writeError_ = 0;
};
