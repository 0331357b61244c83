#pragma once

// Our declarations of the archive library's interfaces (7z.dll). The library's objects are
// COM-style: every interface derives from IUnknown, methods are __stdcall and return
// HRESULT. Method order is the vtable order.

#include <windows.h>

#include <objidl.h>
#include <oleauto.h>

#include <cstdint>

namespace sevenzip {

// Interface ids: {23170F69-40C1-278A-0000-00GG00NN0000}.
constexpr GUID InterfaceId(uint8_t group, uint8_t number) {
    return GUID{0x23170F69, 0x40C1, 0x278A, {0, 0, 0, group, 0, number, 0, 0}};
}

// Handler class ids: {23170F69-40C1-278A-1000-000110FF0000}.
constexpr GUID HandlerClassId(uint8_t format) {
    return GUID{0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, format, 0, 0}};
}

constexpr GUID IID_IProgress = InterfaceId(0x00, 0x05);
constexpr GUID IID_ISequentialInStream = InterfaceId(0x03, 0x01);
constexpr GUID IID_ISequentialOutStream = InterfaceId(0x03, 0x02);
constexpr GUID IID_IInStream = InterfaceId(0x03, 0x03);
constexpr GUID IID_IOutStream = InterfaceId(0x03, 0x04);
constexpr GUID IID_IStreamGetSize = InterfaceId(0x03, 0x06);
constexpr GUID IID_ICryptoGetTextPassword = InterfaceId(0x05, 0x10);
constexpr GUID IID_IArchiveOpenCallback = InterfaceId(0x06, 0x10);
constexpr GUID IID_IArchiveExtractCallback = InterfaceId(0x06, 0x20);
constexpr GUID IID_IInArchive = InterfaceId(0x06, 0x60);

constexpr GUID CLSID_Format7z = HandlerClassId(0x07);
constexpr GUID CLSID_FormatRar = HandlerClassId(0x03);  // RAR 1.5 to 4.x
constexpr GUID CLSID_FormatRar5 = HandlerClassId(0xCC); // RAR 5
constexpr GUID CLSID_FormatZip = HandlerClassId(0x01);

// Item properties.
enum PropertyId : PROPID {
    kpidPath = 3,
    kpidIsDir = 6,
    kpidSize = 7,
    kpidPackSize = 8,
    kpidAttrib = 9,
    kpidMTime = 12,
    kpidEncrypted = 15,
};

// What the library asks GetStream / PrepareOperation to do with an item.
enum AskMode : int32_t {
    AskExtract = 0,
    AskTest = 1,
    AskSkip = 2,
};

// How an item's extraction ended.
enum OperationResult : int32_t {
    ResultOk = 0,
    ResultUnsupportedMethod = 1,
    ResultDataError = 2,
    ResultCrcError = 3,
    ResultUnavailable = 4,
    ResultUnexpectedEnd = 5,
    ResultDataAfterEnd = 6,
    ResultIsNotArchive = 7,
    ResultHeadersError = 8,
    ResultWrongPassword = 9,
};

struct ISequentialInStream : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processedSize) = 0;
};

struct IInStream : public ISequentialInStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 seekOrigin,
                                           UINT64* newPosition) = 0;
};

struct ISequentialOutStream : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size,
                                            UINT32* processedSize) = 0;
};

struct IOutStream : public ISequentialOutStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 seekOrigin,
                                           UINT64* newPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(UINT64 newSize) = 0;
};

struct IStreamGetSize : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSize(UINT64* size) = 0;
};

struct IProgress : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* completeValue) = 0;
};

struct IArchiveOpenCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTotal(const UINT64* files, const UINT64* bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* files, const UINT64* bytes) = 0;
};

struct IArchiveExtractCallback : public IProgress {
    virtual HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialOutStream** outStream,
                                                INT32 askExtractMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE PrepareOperation(INT32 askExtractMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 opRes) = 0;
};

struct ICryptoGetTextPassword : public IUnknown {
    // The callee allocates the text with SysAllocString; the library frees it.
    virtual HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) = 0;
};

struct IInArchive : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Open(IInStream* stream, const UINT64* maxCheckStartPosition,
                                           IArchiveOpenCallback* openCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfItems(UINT32* numItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID propID,
                                                  PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Extract(const UINT32* indices, UINT32 numItems,
                                              INT32 testMode,
                                              IArchiveExtractCallback* extractCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchiveProperty(PROPID propID, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfProperties(UINT32* numProps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyInfo(UINT32 index, BSTR* name, PROPID* propID,
                                                      VARTYPE* varType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfArchiveProperties(UINT32* numProps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchivePropertyInfo(UINT32 index, BSTR* name,
                                                             PROPID* propID, VARTYPE* varType) = 0;
};

using CreateObjectFunction = HRESULT(WINAPI*)(const GUID* classId, const GUID* interfaceId,
                                              void** object);

} // namespace sevenzip
