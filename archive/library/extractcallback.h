#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/library/extraction.h"
#include "archive/library/filestreams.h"
#include "archive/library/libraryobject.h"
#include "archive/outcome.h"
#include "win/comptr.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Handed to the library for one extraction: decides which entries are written, makes
// their folders and files, and gives each file its time and attributes.
class CArchiveExtractCallback : public sevenzip::LibraryObject<sevenzip::IArchiveExtractCallback,
                                                               sevenzip::ICryptoGetTextPassword> {
  public:
    void SetUp(sevenzip::IInArchive* archive, const std::wstring& outputFolder,
               const ExtractOptions& options);

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
    // Entries the library reported damaged, unsupported or not decrypted, and files that
    // could not be written or put in place, each with why. None of them left a file.
    const std::vector<FaultyEntry>& faults() const { return faults_; }
    // The library's result for each of them, in the same order (a sevenzip::OperationResult;
    // ResultOk for a file that came out whole but could not be written or put in place).
    const std::vector<int32_t>& failureResults() const { return failureResults_; }
    // Entries written whole, by their paths in the archive.
    const std::vector<std::wstring>& writtenEntries() const { return writtenEntries_; }
    // The files they became, in the same order.
    const std::vector<std::wstring>& writtenFiles() const { return writtenFiles_; }
    // Entries written whole under another name than their own, to be valid on Windows.
    const std::vector<RenamedEntry>& renamedEntries() const { return renamed_; }
    // The user stopped the extraction at a question.
    bool stoppedByUser() const { return stoppedByUser_; }

    // What an entry without a name is written as: a compressed file's contained name.
    std::wstring defaultItemName = L"[Content]";
    bool passwordDefined = false;
    std::wstring password;
    // The archive's web mark (see webmark.h), given to every file written; empty: none.
    std::string webMark;

  private:
    // What becomes of an entry whose file is there already.
    enum class Existing { Write, Skip, Stop };

    bool IsWanted(UINT32 index) const;
    HRESULT ReadItemProperties(UINT32 index);
    Existing DecideOnExisting();
    // The entry this extraction wrote to `path` a moment ago; null when none did.
    const std::wstring* WrittenFrom(const std::wstring& path) const;
    // Puts the finished file in its place; the system's error when the file it replaces
    // cannot go, else 0.
    DWORD PutInPlace();
    void Fail(INT32 result, Fault fault);
    // Why the folder `relativeFolder` (below the output folder) could not be made, the
    // system having said `error`: a file is in its way, or the disk refused it.
    Fault FolderFault(const std::wstring& relativeFolder, DWORD error) const;

    sevenzip::IInArchive* archive_ = nullptr; // the caller keeps it alive
    std::wstring outputFolder_;               // ends in a backslash unless empty
    EntrySelection selection_;
    CancelFlag cancelled_ = nullptr;
    bool askBeforeReplacing_ = true;
    // The user's "to all" answer, once given.
    enum class Rule { Ask, ReplaceAll, SkipAll } rule_ = Rule::Ask;
    // The files this extraction wrote, by a hash of their paths in upper case, with the
    // entry each came from: to tell a clash of two entries from a file that was there before.
    std::unordered_map<uint64_t, std::wstring> written_;

    // The entry being processed.
    std::wstring itemPath_;  // as the library reports it, "[Content]" when it has none
    std::wstring shownPath_; // as a selection names it (see ShownPath)
    std::wstring diskPath_;  // where it goes
    std::wstring writePath_; // where it is written first: a scratch name when it replaces
                             // a file, which stays until the entry came out whole
    bool replacing_ = false;
    bool wanted_ = false; // selected by the names: reported and written
    bool writingItem_ = false;
    bool isFolder_ = false;
    uint32_t attributes_ = 0;
    bool attributesDefined_ = false;
    FILETIME modified_ = {};
    bool modifiedDefined_ = false;
    win::ComPtr<COutFileStream> outFile_;
    std::vector<std::wstring> createdFolders_; // outermost first
    // Where the entry goes, relative to the output folder, when that is not its own name.
    std::wstring renamedTo_;
    int refused_ = 0;
    std::vector<FaultyEntry> faults_;
    std::vector<int32_t> failureResults_;
    std::vector<std::wstring> writtenEntries_;
    std::vector<std::wstring> writtenFiles_;
    std::vector<RenamedEntry> renamed_;
    bool stoppedByUser_ = false;
};
