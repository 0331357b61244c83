#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/library/filestreams.h"
#include "archive/library/libraryobject.h"
#include "win/comptr.h"

#include <string>
#include <vector>

// Handed to the library for one extraction: decides which entries are written, makes
// their folders and files, and gives each file its time and attributes.
class CArchiveExtractCallback : public sevenzip::LibraryObject<sevenzip::IArchiveExtractCallback,
                                                               sevenzip::ICryptoGetTextPassword> {
  public:
    void SetUp(sevenzip::IInArchive* archive, const std::wstring& outputFolder,
               const std::vector<std::wstring>* names, CancelFlag cancelled);

    HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* completeValue) override;
    HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, sevenzip::ISequentialOutStream** outStream,
                                        INT32 askExtractMode) override;
    HRESULT STDMETHODCALLTYPE PrepareOperation(INT32 askExtractMode) override;
    HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 opRes) override;
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override;

    // After the library stopped: the file of the entry it stopped in is incomplete and
    // goes, and so do the folders this extraction made that are still empty (a declined
    // password or an early cancel then leaves nothing behind).
    void DiscardUnfinishedWork();

    // Entries not written because their paths are too deep or too long for the disk.
    int refusedEntries() const { return refused_; }
    // Entries the library reported damaged, unsupported or not decrypted.
    int failedEntries() const { return failed_; }

    bool passwordDefined = false;
    std::wstring password;

  private:
    bool IsWanted() const;
    HRESULT ReadItemProperties(UINT32 index);

    sevenzip::IInArchive* archive_ = nullptr; // the caller keeps it alive
    std::wstring outputFolder_;               // ends in a backslash unless empty
    const std::vector<std::wstring>* names_ = nullptr;
    CancelFlag cancelled_ = nullptr;

    // The entry being processed.
    std::wstring itemPath_; // as the library reports it, "[Content]" when it has none
    std::wstring diskPath_; // where it goes
    bool wanted_ = false;   // selected by the names: reported and written
    bool writingItem_ = false;
    bool isFolder_ = false;
    uint32_t attributes_ = 0;
    bool attributesDefined_ = false;
    FILETIME modified_ = {};
    bool modifiedDefined_ = false;
    win::ComPtr<COutFileStream> outFile_;
    std::vector<std::wstring> createdFolders_; // outermost first
    int refused_ = 0;
    int failed_ = 0;
};
