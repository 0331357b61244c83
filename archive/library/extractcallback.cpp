#include "archive/library/extractcallback.h"

#include "archive/library/diagnostics.h"
#include "archive/library/extraction.h"
#include "archive/library/propvariant.h"
#include "archive/library/webmark.h"
#include "archive/shownpath.h"
#include "shell/paths.h"
#include "archive/questions.h"

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

// A path with every name's trailing dots and blanks dropped, as Windows drops them.
std::wstring WithoutTrailingDots(const std::wstring& path) {
    std::wstring result;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring name = path.substr(start, end - start);
        while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
            name.pop_back();
        if (!result.empty() || start > 0)
            result += L'\\';
        result += name;
        start = end + 1;
    }
    return result;
}

// Why two entries of an archive became one file on the disk.
NameClash ClashOf(const std::wstring& earlier, const std::wstring& entry) {
    if (earlier == entry)
        return NameClash::SameName;
    if (_wcsicmp(earlier.c_str(), entry.c_str()) == 0)
        return NameClash::LetterCase;
    if (_wcsicmp(WithoutTrailingDots(earlier).c_str(), WithoutTrailingDots(entry).c_str()) == 0)
        return NameClash::TrailingDots;
    return NameClash::MadeValid;
}

// Whether an entry is written under another path than the one it has in the archive. "."
// parts name the folder they are in: leaving them out changes nothing.
bool NameChanged(const std::wstring& stored, const std::wstring& written) {
    std::wstring plain;
    size_t start = 0;
    while (start <= stored.size()) {
        size_t end = stored.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = stored.size();
        std::wstring name = stored.substr(start, end - start);
        start = end + 1;
        if (name == L"." || (name.empty() && end == stored.size() && !plain.empty()))
            continue; // this folder, or a folder's trailing separator
        if (name.empty())
            return true; // a path from the root, or two separators in a row
        if (!plain.empty())
            plain += L'\\';
        plain += name;
    }
    return plain != written;
}

} // namespace

void CArchiveExtractCallback::SetUp(IInArchive* archive, const std::wstring& outputFolder,
                                    const ExtractOptions& options) {
    archive_ = archive;
    outputFolder_ = outputFolder;
    if (!outputFolder_.empty() && outputFolder_.back() != L'\\')
        outputFolder_ += L'\\';
    selection_ = EntrySelection(options.names, options.indices, options.notByName);
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

bool CArchiveExtractCallback::IsWanted(UINT32 index) const {
    if (selection_.TakesEverything())
        return true;
    return selection_.Takes(NeedsShownPath(itemPath_) ? shownPath_ : itemPath_, index);
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
    if (NeedsShownPath(itemPath_))
        shownPath_ = ShownPath(itemPath_);
    if (!IsWanted(index))
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
        Fail(ResultOk, Fault::NameTooLong);
        wanted_ = false;
        return S_OK;
    }
    renamedTo_.clear();
    if (itemPath_ != defaultItemName && NameChanged(itemPath_, relative))
        renamedTo_ = relative;
    // A folder that cannot be made fails this entry alone: a file of an earlier entry holds
    // its name ("link", then "link\x"), or the disk refuses it.
    size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos && !CreateFolderPath(outputFolder_ + relative.substr(0, slash),
                                                         &createdFolders_, cancelled_)) {
        if (IsCancelled(cancelled_))
            return E_ABORT;
        Fail(ResultOk, FolderFault(relative.substr(0, slash), GetLastError()));
        wanted_ = false;
        return S_OK;
    }
    diskPath_ = outputFolder_ + relative;

    if (isFolder_) {
        if (!CreateFolderPath(diskPath_, &createdFolders_, cancelled_) &&
            !IsCancelled(cancelled_)) {
            Fail(ResultOk, FolderFault(relative, GetLastError()));
            wanted_ = false;
        }
        return IsCancelled(cancelled_) ? E_ABORT : S_OK;
    }
    if (IsCancelled(cancelled_))
        return E_ABORT;

    writePath_ = diskPath_;
    DWORD existing = GetFileAttributesW(LongPathForm(diskPath_).c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) {
            // Not written; the entries after it still are.
            EmitText(L"ERROR: A folder is in the way of " + diskPath_);
            EmitNewLine();
            Fail(ResultOk, Fault::FolderInTheWay);
            wanted_ = false;
            return S_OK;
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
        // Said, and the entries after it are still tried: a name this disk cannot take, a
        // folder that is read-only or a file another program holds stops only this one.
        DWORD error = GetLastError();
        EmitText(L"can not open output file " + diskPath_);
        EmitNewLine();
        Fail(ResultOk, FaultOfSystemError(error));
        wanted_ = false;
        return S_OK;
    }
    file->StopWhen(cancelled_);
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
        const std::wstring* earlier = WrittenFrom(diskPath_);
        ReplaceQuestion question{diskPath_,
                                 itemPath_,
                                 earlier ? ClashOf(*earlier, itemPath_) : NameClash::None,
                                 earlier ? *earlier : std::wstring(),
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

const std::wstring* CArchiveExtractCallback::WrittenFrom(const std::wstring& path) const {
    auto found = written_.find(PathHash(path));
    return found == written_.end() ? nullptr : &found->second;
}

DWORD CArchiveExtractCallback::PutInPlace() {
    if (!replacing_)
        return 0;
    std::wstring target = LongPathForm(diskPath_);
    DWORD attributes = GetFileAttributesW(target.c_str());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL); // a read-only one too
    if (MoveFileExW(LongPathForm(writePath_).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 0;
    DWORD error = GetLastError() != 0 ? GetLastError() : ERROR_ACCESS_DENIED;
    // A file another program holds cannot be replaced, and Windows says only "access
    // denied": asked to share it, the system tells which it is.
    if (error == ERROR_ACCESS_DENIED) {
        HANDLE probe = CreateFileW(target.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (probe != INVALID_HANDLE_VALUE)
            CloseHandle(probe);
        else if (GetLastError() == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(target.c_str(), attributes);
    DeleteFileForced(writePath_);
    return error;
}

Fault CArchiveExtractCallback::FolderFault(const std::wstring& relativeFolder, DWORD error) const {
    for (std::wstring folder = relativeFolder; !folder.empty();) {
        DWORD attributes = GetFileAttributesW(LongPathForm(outputFolder_ + folder).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Fault::FileInTheWay;
        size_t slash = folder.rfind(L'\\');
        folder.resize(slash == std::wstring::npos ? 0 : slash);
    }
    return FaultOfSystemError(error);
}

void CArchiveExtractCallback::Fail(INT32 result, Fault fault) {
    faults_.push_back({itemPath_, fault});
    failureResults_.push_back(result);
}

// What the library's result for an entry means for the user.
static Fault FaultOfResult(INT32 result) {
    switch (result) {
    case ResultUnsupportedMethod:
        return Fault::UnsupportedMethod;
    case ResultDataError:
        return Fault::DataError;
    case ResultCrcError:
        return Fault::CrcError;
    case ResultUnavailable:
        return Fault::Unavailable;
    case ResultUnexpectedEnd:
        return Fault::CutShort;
    case ResultDataAfterEnd:
        return Fault::DataAfterEnd;
    case ResultHeadersError:
        return Fault::HeadersError;
    case ResultWrongPassword:
        return Fault::WrongPassword;
    default:
        return Fault::DataError;
    }
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

    Fault fault = opRes == ResultOk ? Fault::None : FaultOfResult(opRes);
    if (outFile_) {
        if (fault == Fault::None && outFile_->writeError() != 0) {
            EmitText(L"     Can not write the file");
            fault = FaultOfSystemError(outFile_->writeError());
        }
        if (fault == Fault::None && modifiedDefined_)
            outFile_->SetModified(modified_);
        HRESULT closed = outFile_->Close();
        outFile_.reset();
        if (closed != S_OK && fault == Fault::None)
            fault = Fault::CannotWrite;
        if (fault != Fault::None) {
            // A cut-off or undecrypted file would pass for the entry: it goes.
            DeleteFileForced(writePath_);
        } else if (DWORD error = PutInPlace()) {
            EmitText(L"     Can not replace the file");
            fault = FaultOfSystemError(error);
        } else if (!webMark.empty() && !WriteWebMark(diskPath_, webMark)) {
            // Unmarked, it would pass for a file that never came from the Internet. It is
            // marked before its attributes are set: a read-only file takes no new stream.
            EmitText(L"     Can not mark the file as downloaded");
            DeleteFileForced(diskPath_);
            fault = Fault::NotMarked;
        } else {
            written_[PathHash(diskPath_)] = itemPath_;
            writtenEntries_.push_back(itemPath_);
            writtenFiles_.push_back(diskPath_);
            if (!renamedTo_.empty())
                renamed_.push_back({itemPath_, renamedTo_});
        }
    }
    if (fault != Fault::None)
        Fail(opRes, fault);
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
