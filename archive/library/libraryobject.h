#pragma once

#include "archive/library/sevenzip.h"

#include <atomic>

namespace sevenzip {

// Which interface ids an interface answers to: its own and those of its bases.
template <typename Interface> bool Answers(REFIID iid);
template <> inline bool Answers<ISequentialInStream>(REFIID iid) {
    return iid == IID_ISequentialInStream;
}
template <> inline bool Answers<ISequentialOutStream>(REFIID iid) {
    return iid == IID_ISequentialOutStream;
}
template <> inline bool Answers<IInStream>(REFIID iid) {
    return iid == IID_IInStream || iid == IID_ISequentialInStream;
}
template <> inline bool Answers<IStreamGetSize>(REFIID iid) {
    return iid == IID_IStreamGetSize;
}
template <> inline bool Answers<IOutStream>(REFIID iid) {
    return iid == IID_IOutStream || iid == IID_ISequentialOutStream;
}
template <> inline bool Answers<IArchiveOpenCallback>(REFIID iid) {
    return iid == IID_IArchiveOpenCallback;
}
template <> inline bool Answers<IArchiveExtractCallback>(REFIID iid) {
    return iid == IID_IArchiveExtractCallback || iid == IID_IProgress;
}
template <> inline bool Answers<ICryptoGetTextPassword>(REFIID iid) {
    return iid == IID_ICryptoGetTextPassword;
}
template <> inline bool Answers<IArchiveOpenVolumeCallback>(REFIID iid) {
    return iid == IID_IArchiveOpenVolumeCallback;
}

// Reference counting and QueryInterface for an object we hand to the library. It starts
// with no reference: whoever makes it takes the first (a ComPtr does).
template <typename First, typename... Others> class LibraryObject : public First, public Others... {
  public:
    virtual ~LibraryObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown)
            *object = static_cast<First*>(this);
        Offer<First>(iid, object);
        (Offer<Others>(iid, object), ...);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

  private:
    // Hands out this object as `Interface` when that is what was asked for.
    template <typename Interface> void Offer(REFIID iid, void** object) {
        if (!*object && Answers<Interface>(iid))
            *object = static_cast<Interface*>(this);
    }

    std::atomic<ULONG> references_{0};
};

// An HRESULT for the system call that just failed.
inline HRESULT LastErrorResult() {
    DWORD error = GetLastError();
    return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

} // namespace sevenzip
