#include "archive/library/opencallback.h"

#include "archive/library/filestreams.h"
#include "shell/paths.h"

CArchiveOpenCallback::CArchiveOpenCallback(CancelFlag cancelled, const std::wstring& archivePath)
    : cancelled_(cancelled) {
    size_t slash = archivePath.rfind(L'\\');
    folder_ = slash == std::wstring::npos ? std::wstring() : archivePath.substr(0, slash + 1);
    name_ = slash == std::wstring::npos ? archivePath : archivePath.substr(slash + 1);
}

// Opening shows no progress; the calls only give a cancelled job the chance to stop.
HRESULT CArchiveOpenCallback::SetTotal(const UINT64*, const UINT64*) {
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

HRESULT CArchiveOpenCallback::SetCompleted(const UINT64*, const UINT64*) {
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR* out) {
    passwordAsked = true;
    return GivePassword(passwordDefined, password, out, &passwordTyped);
}

HRESULT CArchiveOpenCallback::GetProperty(PROPID propID, PROPVARIANT* value) {
    if (!value)
        return E_POINTER;
    PropVariantInit(value);
    // A handler of a set names the next volume after the one it reads.
    if (propID == sevenzip::kpidName) {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(name_.c_str());
        if (!value->bstrVal) {
            value->vt = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

HRESULT CArchiveOpenCallback::GetStream(const wchar_t* name, sevenzip::IInStream** stream) {
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    if (IsCancelled(cancelled_))
        return E_ABORT;
    if (!name || !*name || wcschr(name, L'\\') || wcschr(name, L'/'))
        return S_FALSE; // only files beside the one opened belong to its set
    win::ComPtr<CInFileStream> volume(new CInFileStream);
    if (!volume->Open(LongPathForm(folder_ + name))) {
        if (missingVolume_.empty())
            missingVolume_ = name;
        return S_FALSE;
    }
    volumes_.push_back(volume);
    volumePaths_.push_back(folder_ + name);
    *stream = volume.get();
    volume->AddRef(); // the library's reference
    return S_OK;
}
