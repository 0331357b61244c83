#include "archive/library/extractcallback.h"

#include "archive/library/diagnostics.h"
#include "archive/library/extraction.h"
#include "archive/library/propvariant.h"
#include "shell/paths.h"

using namespace sevenzip;

// Attribute bits that may be given to an extracted file or folder. Links (reparse points)
// are never made, and the Unix mode some archives keep in the high bits is no Windows
// attribute.
static const uint32_t settableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

void CArchiveExtractCallback::SetUp(IInArchive* archive, const std::wstring& outputFolder,
                                    const std::vector<std::wstring>* names, CancelFlag cancelled) {
    archive_ = archive;
    outputFolder_ = outputFolder;
    if (!outputFolder_.empty() && outputFolder_.back() != L'\\')
        outputFolder_ += L'\\';
    names_ = names;
    cancelled_ = cancelled;
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
    if (!names_ || names_->empty())
        return true;
    for (const std::wstring& name : *names_) {
        if (itemPath_.compare(0, name.size(), name) == 0)
            return true;
    }
    return false;
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
        itemPath_ = L"[Content]"; // the entry has no name of its own

    if (askExtractMode != AskExtract) {
        wanted_ = true; // tested or skipped as the library says, and reported
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
        relative = L"[Content]";
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

    if (GetFileAttributesW(LongPathForm(diskPath_).c_str()) != INVALID_FILE_ATTRIBUTES &&
        !DeleteFileForced(diskPath_)) {
        EmitText(L"ERROR: Can not delete output file " + diskPath_);
        return E_ABORT;
    }
    win::ComPtr<COutFileStream> file(new COutFileStream);
    if (!file->Open(LongPathForm(diskPath_))) {
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

HRESULT CArchiveExtractCallback::SetOperationResult(INT32 opRes) {
    if (!wanted_)
        return S_OK;
    if (opRes != ResultOk)
        ++failed_;
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

    if (outFile_) {
        if (modifiedDefined_)
            outFile_->SetModified(modified_);
        HRESULT closed = outFile_->Close();
        if (closed != S_OK)
            return closed;
    }
    outFile_.reset();

    if (writingItem_ && attributesDefined_ && !diskPath_.empty())
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
        DeleteFileForced(diskPath_);
    }
    // Innermost first; a folder that holds anything stays.
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it)
        RemoveDirectoryW(LongPathForm(*it).c_str());
}
