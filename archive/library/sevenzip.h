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
constexpr GUID IID_IArchiveOpenVolumeCallback = InterfaceId(0x06, 0x30);
constexpr GUID IID_IInArchiveGetStream = InterfaceId(0x06, 0x40);
constexpr GUID IID_IInArchive = InterfaceId(0x06, 0x60);
constexpr GUID IID_IArchiveOpenSeq = InterfaceId(0x06, 0x61);

constexpr GUID CLSID_Format7z = HandlerClassId(0x07);
constexpr GUID CLSID_FormatRar = HandlerClassId(0x03);  // RAR 1.5 to 4.x
constexpr GUID CLSID_FormatRar5 = HandlerClassId(0xCC); // RAR 5
constexpr GUID CLSID_FormatZip = HandlerClassId(0x01);

// Item properties, and properties of the archive as a whole.
enum PropertyId : PROPID {
    kpidPath = 3,
    kpidName = 4,
    kpidIsDir = 6,
    kpidSize = 7,
    kpidPackSize = 8,
    kpidAttrib = 9,
    kpidMTime = 12,
    kpidEncrypted = 15,
    kpidMethod = 22,
    kpidPhySize = 44,
    kpidErrorFlags = 71,
    kpidWarningFlags = 72,
};

// Bits of kpidErrorFlags and kpidWarningFlags: what the handler found wrong with the
// archive it opened, or read through.
enum ErrorFlag : uint32_t {
    ErrorIsNotArchive = 1u << 0,
    ErrorHeaders = 1u << 1,
    ErrorEncryptedHeaders = 1u << 2,
    ErrorUnavailableStart = 1u << 3,
    ErrorUnconfirmedStart = 1u << 4,
    ErrorUnexpectedEnd = 1u << 5,
    ErrorDataAfterEnd = 1u << 6,
    ErrorUnsupportedMethod = 1u << 7,
    ErrorUnsupportedFeature = 1u << 8,
    ErrorData = 1u << 9,
    ErrorCrc = 1u << 10,
};

// Properties of the library's archive formats (GetHandlerProperty2).
enum HandlerPropertyId : PROPID {
    HandlerPropName = 0,
    HandlerPropClassId = 1,
    HandlerPropExtension = 2,    // the format's extensions, separated by blanks
    HandlerPropAddExtension = 3, // per extension: what the contained file's name adds ("*": none)
    HandlerPropUpdate = 4,
    HandlerPropSignature = 6,
    HandlerPropMultiSignature = 7, // several signatures, each after a byte with its length
    HandlerPropSignatureOffset = 8,
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

// Asked by handlers of sets that span files: the name of the file they read, and the
// other files of the set by name.
struct IArchiveOpenVolumeCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetProperty(PROPID propID, PROPVARIANT* value) = 0;
    // S_FALSE (and no stream) when there is no file of that name.
    virtual HRESULT STDMETHODCALLTYPE GetStream(const wchar_t* name, IInStream** inStream) = 0;
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

// The content of one item as a stream: a compressed file's, or a split set's joined.
struct IInArchiveGetStream : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialInStream** stream) = 0;
};

// Opens an archive from a stream that is read once, front to back (a tar inside a gzip).
// The handler then knows its items only while it extracts them.
struct IArchiveOpenSeq : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OpenSeq(ISequentialInStream* stream) = 0;
};

using CreateObjectFunction = HRESULT(WINAPI*)(const GUID* classId, const GUID* interfaceId,
                                              void** object);
using GetNumberOfFormatsFunction = HRESULT(WINAPI*)(UINT32* count);
using GetHandlerProperty2Function = HRESULT(WINAPI*)(UINT32 formatIndex, PROPID propID,
                                                     PROPVARIANT* value);

} // namespace sevenzip
