#include "archive/library/extractcallback.h"

#include "archive/library/diagnostics.h"
#include "archive/library/extraction.h"
#include "archive/library/propvariant.h"
#include "archive/library/webmark.h"
#include "shell/paths.h"
#include "ui/replaceprompt.h"

using namespace sevenzip;

// Attribute bits that may be given to an extracted file or folder. Links (reparse points)
// are never made, and the Unix mode some archives keep in the high bits is no Windows
// attribute.
static const uint32_t settableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

namespace {

// A hash of a path as Windows compares names: blind to letter case.
uint64_t PathHash(const std::wstring& path) {
    std::wstring upper = path;
    if (!upper.empty())
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : upper) {
        hash ^= static_cast<uint64_t>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// The first of "name (2).ext", "name (3).ext", ... that names nothing yet.
std::wstring NumberedName(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    size_t dot = path.rfind(L'.');
    size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    if (dot == std::wstring::npos || dot <= nameStart)
        dot = path.size(); // no extension (".profile" is all name)
    std::wstring stem = path.substr(0, dot);
    std::wstring extension = path.substr(dot);
    std::wstring candidate;
    for (int number = 2;; ++number) {
        candidate = stem + L" (" + std::to_wstring(number) + L")" + extension;
        if (!PathExists(candidate) || number == 100000)
            return candidate;
    }
}

} // namespace

void CArchiveExtractCallback::SetUp(IInArchive* archive, const std::wstring& outputFolder,
                                    const ExtractOptions& options) {
    archive_ = archive;
    outputFolder_ = outputFolder;
    if (!outputFolder_.empty() && outputFolder_.back() != L'\\')
        outputFolder_ += L'\\';
    selection_ = EntrySelection(options.names);
    cancelled_ = options.cancelled;
    askBeforeReplacing_ = options.askBeforeReplacing;
    if (!outputFolder_.empty())
        CreateFolderPath(outputFolder_, &createdFolders_);
}

HRESULT CArchiveExtractCallback::SetTotal(UINT64 total) {
    HandleArchiveRequest(RequestTotal, &total, 0);
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

HRESULT CArchiveExtractCallback::SetCompleted(const UINT64* completeValue) {
    HandleArchiveRequest(RequestCompleted, const_cast<UINT64*>(completeValue), 0);
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

bool CArchiveExtractCallback::IsWanted() const {
    return selection_.Takes(itemPath_);
}

HRESULT CArchiveExtractCallback::ReadItemProperties(UINT32 index) {
    PropVariant value;
    HRESULT result = archive_->GetProperty(index, kpidAttrib, value.Reset());
    if (result != S_OK)
        return result;
    attributes_ = 0;
    attributesDefined_ = false;
    if (value.vt == VT_UI4) {
        attributes_ = value.ulVal;
        attributesDefined_ = true;
    } else if (value.vt != VT_EMPTY) {
        return E_FAIL;
    }

    result = archive_->GetProperty(index, kpidIsDir, value.Reset());
    if (result != S_OK)
        return result;
    if (value.vt == VT_BOOL)
        isFolder_ = value.boolVal != VARIANT_FALSE;
    else if (value.vt == VT_EMPTY)
        isFolder_ = false;
    else
        return E_FAIL;

    result = archive_->GetProperty(index, kpidMTime, value.Reset());
    if (result != S_OK)
        return result;
    modifiedDefined_ = false;
    if (value.vt == VT_FILETIME) {
        modified_ = value.filetime;
        modifiedDefined_ = true;
    } else if (value.vt != VT_EMPTY) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CArchiveExtractCallback::GetStream(UINT32 index, ISequentialOutStream** outStream,
                                           INT32 askExtractMode) {
    if (!outStream)
        return E_POINTER;
    *outStream = nullptr;
    outFile_.reset();
    diskPath_.clear();
    writePath_.clear();
    replacing_ = false;
    wanted_ = false;
    isFolder_ = false;
    attributesDefined_ = false;
    modifiedDefined_ = false;
    if (IsCancelled(cancelled_))
        return E_ABORT;

    PropVariant path;
    HRESULT result = archive_->GetProperty(index, kpidPath, path.Reset());
    if (result != S_OK)
        return result;
    if (path.vt == VT_BSTR && path.bstrVal)
        itemPath_.assign(path.bstrVal, SysStringLen(path.bstrVal));
    else if (path.vt == VT_EMPTY || path.vt == VT_BSTR)
        itemPath_.clear();
    else
        return E_FAIL;
    if (itemPath_.empty())
        itemPath_ = defaultItemName; // the entry has no name of its own

    if (askExtractMode != AskExtract) {
        // Tested: no stream, the library checks the data itself, and the result counts. An
        // entry the library only reads past (skip) to reach the tested ones does not.
        wanted_ = askExtractMode == AskTest;
        return S_OK;
    }
    if (!IsWanted())
        return S_OK; // no stream: the library skips the entry
    wanted_ = true;

    result = ReadItemProperties(index);
    if (result != S_OK)
        return result;

    std::wstring relative = SafeItemPath(itemPath_);
    if (relative.empty()) {
        if (isFolder_)
            return S_OK; // the output folder itself
        relative = SafeItemPath(defaultItemName);
    }
    if (!IsExtractablePath(outputFolder_ + relative, relative)) {
        // Refused, never cut short into the name of something else.
        EmitText(L"ERROR: Path too long, not extracted: " + itemPath_);
        EmitNewLine();
        ++refused_;
        wanted_ = false;
        return S_OK;
    }
    size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos)
        CreateFolderPath(outputFolder_ + relative.substr(0, slash), &createdFolders_, cancelled_);
    diskPath_ = outputFolder_ + relative;

    if (isFolder_) {
        CreateFolderPath(diskPath_, &createdFolders_, cancelled_);
        return IsCancelled(cancelled_) ? E_ABORT : S_OK;
    }
    if (IsCancelled(cancelled_))
        return E_ABORT;

    writePath_ = diskPath_;
    DWORD existing = GetFileAttributesW(LongPathForm(diskPath_).c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) {
            EmitText(L"ERROR: Can not delete output file " + diskPath_);
            return E_ABORT;
        }
        switch (DecideOnExisting()) {
        case Existing::Skip:
            wanted_ = false; // the file stays as it is
            diskPath_.clear();
            return S_OK;
        case Existing::Stop:
            stoppedByUser_ = true;
            return E_ABORT;
        case Existing::Write:
            break;
        }
    }
    win::ComPtr<COutFileStream> file(new COutFileStream);
    if (!file->Open(LongPathForm(writePath_))) {
        EmitText(L"can not open output file " + diskPath_);
        return E_ABORT;
    }
    outFile_ = file;
    *outStream = file.get();
    file->AddRef(); // the library's reference
    return S_OK;
}

HRESULT CArchiveExtractCallback::PrepareOperation(INT32 askExtractMode) {
    writingItem_ = wanted_ && askExtractMode == AskExtract;
    if (!wanted_)
        return IsCancelled(cancelled_) ? E_ABORT : S_OK; // an entry the names left out
    switch (askExtractMode) {
    case AskExtract:
        EmitText(L"Extracting  ");
        break;
    case AskTest:
        EmitText(L"Testing     ");
        break;
    case AskSkip:
        EmitText(L"Skipping    ");
        break;
    }
    EmitText(itemPath_);
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

CArchiveExtractCallback::Existing CArchiveExtractCallback::DecideOnExisting() {
    ReplaceAnswer answer = rule_ == Rule::SkipAll ? ReplaceAnswer::Skip : ReplaceAnswer::Replace;
    if (askBeforeReplacing_ && rule_ == Rule::Ask) {
        ReplaceQuestion question{diskPath_, itemPath_, WrittenHere(diskPath_),
                                 FileNamePart(NumberedName(diskPath_)),
                                 static_cast<int>(ReplaceAnswer::Cancel)};
        HandleArchiveRequest(RequestReplace, &question, 0);
        answer = static_cast<ReplaceAnswer>(question.answer);
    }
    switch (answer) {
    case ReplaceAnswer::ReplaceAll:
        rule_ = Rule::ReplaceAll;
        [[fallthrough]];
    case ReplaceAnswer::Replace:
        // Written beside it first: the file goes only once the entry came out whole.
        replacing_ = true;
        writePath_ = diskPath_ + L".partial";
        if (PathExists(writePath_))
            writePath_ = NumberedName(writePath_);
        return Existing::Write;
    case ReplaceAnswer::KeepBoth:
        diskPath_ = NumberedName(diskPath_);
        writePath_ = diskPath_;
        return Existing::Write;
    case ReplaceAnswer::SkipAll:
        rule_ = Rule::SkipAll;
        [[fallthrough]];
    case ReplaceAnswer::Skip:
        return Existing::Skip;
    case ReplaceAnswer::Cancel:
        break;
    }
    return Existing::Stop;
}

bool CArchiveExtractCallback::WrittenHere(const std::wstring& path) const {
    uint64_t hash = PathHash(path);
    for (uint64_t written : written_) {
        if (written == hash)
            return true;
    }
    return false;
}

bool CArchiveExtractCallback::PutInPlace() {
    if (!replacing_)
        return true;
    std::wstring target = LongPathForm(diskPath_);
    DWORD attributes = GetFileAttributesW(target.c_str());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL); // a read-only one too
    if (MoveFileExW(LongPathForm(writePath_).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(target.c_str(), attributes);
    DeleteFileForced(writePath_);
    return false;
}

void CArchiveExtractCallback::Fail(INT32 result) {
    failed_.push_back(itemPath_);
    failureResults_.push_back(result);
}

HRESULT CArchiveExtractCallback::SetOperationResult(INT32 opRes) {
    if (!wanted_)
        return S_OK;
    switch (opRes) {
    case ResultOk:
        break;
    case ResultUnsupportedMethod:
        EmitText(L"     Unsupported Method");
        break;
    case ResultDataError:
        EmitText(L"     Data Error");
        break;
    case ResultCrcError:
        EmitText(L"     CRC Failed");
        break;
    default:
        EmitText(L"     Unknown Error");
        break;
    }

    bool whole = opRes == ResultOk;
    if (outFile_) {
        if (whole && modifiedDefined_)
            outFile_->SetModified(modified_);
        HRESULT closed = outFile_->Close();
        outFile_.reset();
        if (closed != S_OK) {
            DeleteFileForced(writePath_);
            Fail(opRes);
            return closed;
        }
        if (!whole) {
            // A cut-off or undecrypted file would pass for the entry: it goes.
            DeleteFileForced(writePath_);
        } else if (!PutInPlace()) {
            EmitText(L"     Can not replace the file");
            whole = false;
        } else if (!webMark.empty() && !WriteWebMark(diskPath_, webMark)) {
            // Unmarked, it would pass for a file that never came from the Internet. It is
            // marked before its attributes are set: a read-only file takes no new stream.
            EmitText(L"     Can not mark the file as downloaded");
            DeleteFileForced(diskPath_);
            whole = false;
        } else {
            written_.push_back(PathHash(diskPath_));
        }
    }
    if (!whole)
        Fail(opRes);
    else if (writingItem_ && attributesDefined_ && !diskPath_.empty())
        SetFileAttributesW(LongPathForm(diskPath_).c_str(), attributes_ & settableAttributes);
    EmitNewLine();
    return S_OK;
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR* out) {
    return GivePassword(passwordDefined, password, out);
}

void CArchiveExtractCallback::DiscardUnfinishedWork() {
    if (outFile_) {
        outFile_->Close();
        outFile_.reset();
        DeleteFileForced(writePath_); // never the file it was to replace
    }
    // Innermost first; a folder that holds anything stays.
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it)
        RemoveDirectoryW(LongPathForm(*it).c_str());
}
