#include "archive/library/opencallback.h"

// Opening shows no progress; the calls only give a cancelled job the chance to stop.
HRESULT CArchiveOpenCallback::SetTotal(const UINT64*, const UINT64*) {
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

HRESULT CArchiveOpenCallback::SetCompleted(const UINT64*, const UINT64*) {
    return IsCancelled(cancelled_) ? E_ABORT : S_OK;
}

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR* out) {
    return GivePassword(passwordDefined, password, out, &passwordTyped);
}
