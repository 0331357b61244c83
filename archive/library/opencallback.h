#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/library/libraryobject.h"

#include <string>

// Handed to the library while it opens an archive: supplies the password when the names
// are encrypted, and stops the open when the job was cancelled.
class CArchiveOpenCallback : public sevenzip::LibraryObject<sevenzip::IArchiveOpenCallback,
                                                            sevenzip::ICryptoGetTextPassword> {
  public:
    explicit CArchiveOpenCallback(CancelFlag cancelled = nullptr) : cancelled_(cancelled) {}

    HRESULT STDMETHODCALLTYPE SetTotal(const UINT64* files, const UINT64* bytes) override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* files, const UINT64* bytes) override;
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override;

    bool passwordDefined = false;
    std::wstring password;
    // The user typed the password during this open.
    bool passwordTyped = false;

  private:
    CancelFlag cancelled_;
};
