#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/library/libraryobject.h"

#include <string>
#include <vector>

// Handed to the library while it opens an archive: supplies the password when the names
// are encrypted, the other volumes of a set by name, and stops the open when the job was
// cancelled.
class CArchiveOpenCallback : public sevenzip::LibraryObject<sevenzip::IArchiveOpenCallback,
                                                            sevenzip::ICryptoGetTextPassword,
                                                            sevenzip::IArchiveOpenVolumeCallback> {
  public:
    // `archivePath`: the file opened, whose folder holds the other volumes.
    CArchiveOpenCallback(CancelFlag cancelled, const std::wstring& archivePath);

    HRESULT STDMETHODCALLTYPE SetTotal(const UINT64* files, const UINT64* bytes) override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* files, const UINT64* bytes) override;
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override;
    HRESULT STDMETHODCALLTYPE GetProperty(PROPID propID, PROPVARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, sevenzip::IInStream** stream) override;

    // The name the handler is told it reads: the file's, or, for an archive inside it (the
    // tar of a .tar.gz), that one's.
    void SetName(const std::wstring& name) { name_ = name; }
    // The first volume the handler asked for that is not there; "" when all were.
    const std::wstring& missingVolume() const { return missingVolume_; }
    // The other volumes opened for the handler.
    const std::vector<win::ComPtr<CInFileStream>>& volumes() const { return volumes_; }
    // Their paths, in the same order.
    const std::vector<std::wstring>& volumePaths() const { return volumePaths_; }

    bool passwordDefined = false;
    std::wstring password;
    // The user typed the password during this open.
    bool passwordTyped = false;
    // The library asked for a password to open the archive: its names are encrypted.
    bool passwordAsked = false;

  private:
    CancelFlag cancelled_;
    std::wstring folder_; // with a trailing backslash
    std::wstring name_;
    std::wstring missingVolume_;
    std::vector<win::ComPtr<CInFileStream>> volumes_;
    std::vector<std::wstring> volumePaths_;
};
