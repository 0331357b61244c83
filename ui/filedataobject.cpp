#include "ui/filedataobject.h"

#include "shell/paths.h"

#include <shlobj.h>

#include <cstring>

namespace {

FORMATETC Format(CLIPFORMAT format) {
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// A copy of a block of memory, for handing out what a target set: each taker frees its own.
HGLOBAL CopyBlock(HGLOBAL source) {
    SIZE_T size = GlobalSize(source);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    const void* from = GlobalLock(source);
    void* to = GlobalLock(copy);
    if (from && to)
        memcpy(to, from, size);
    if (to)
        GlobalUnlock(copy);
    if (from)
        GlobalUnlock(source);
    if (!from || !to) {
        GlobalFree(copy);
        return nullptr;
    }
    return copy;
}

HGLOBAL MakeEffect(DWORD effect) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (auto* value = memory ? static_cast<DWORD*>(GlobalLock(memory)) : nullptr) {
        *value = effect;
        GlobalUnlock(memory);
    }
    return memory;
}

bool AsksForMemory(const FORMATETC& format) {
    return (format.tymed & TYMED_HGLOBAL) && format.dwAspect == DVASPECT_CONTENT;
}

} // namespace

HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths) {
    // The header, then each path with its null, then one null more.
    size_t characters = 1;
    for (const std::wstring& path : paths)
        characters += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                 sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* header = memory ? static_cast<DROPFILES*>(GlobalLock(memory)) : nullptr;
    if (!header) {
        if (memory)
            GlobalFree(memory);
        return nullptr;
    }
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        memcpy(text, path.c_str(), path.size() * sizeof(wchar_t));
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

FileDataObject::FileDataObject(std::vector<std::wstring> paths, DWORD preferredEffect)
    : paths_(std::move(paths)), preferredEffect_(preferredEffect),
      preferredEffectFormat_(
          static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT))) {}

FileDataObject::~FileDataObject() {
    for (const SetBlock& block : set_)
        GlobalFree(block.memory);
}

const FileDataObject::SetBlock* FileDataObject::FindSet(CLIPFORMAT format) const {
    for (const SetBlock& block : set_) {
        if (block.format == format)
            return &block;
    }
    return nullptr;
}

HRESULT FileDataObject::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IDataObject) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

ULONG FileDataObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG FileDataObject::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT FileDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium)
        return E_INVALIDARG;
    HRESULT known = QueryGetData(format);
    if (known != S_OK)
        return known;
    HGLOBAL memory = nullptr;
    if (format->cfFormat == CF_HDROP && render_) {
        bool there = true;
        for (const std::wstring& path : paths_)
            there = there && PathExists(path);
        if (!there && !render_())
            return E_FAIL;
    }
    if (format->cfFormat == CF_HDROP)
        memory = MakeDropFiles(paths_);
    else if (const SetBlock* block = FindSet(format->cfFormat))
        memory = CopyBlock(block->memory);
    else
        memory = MakeEffect(preferredEffect_);
    if (!memory)
        return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT FileDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT FileDataObject::QueryGetData(FORMATETC* format) {
    if (!format)
        return E_INVALIDARG;
    bool offered = format->cfFormat == CF_HDROP || FindSet(format->cfFormat) ||
                   (format->cfFormat == preferredEffectFormat_ && preferredEffect_);
    if (!offered)
        return DV_E_FORMATETC;
    return AsksForMemory(*format) ? S_OK : DV_E_TYMED;
}

HRESULT FileDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (!out)
        return E_INVALIDARG;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT FileDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium)
        return E_INVALIDARG;
    // Our own formats stay as they are; only blocks of memory are kept.
    if (format->cfFormat == CF_HDROP || format->cfFormat == preferredEffectFormat_)
        return DV_E_FORMATETC;
    if (medium->tymed != TYMED_HGLOBAL || !medium->hGlobal)
        return DV_E_TYMED;
    // A copy: the medium may belong to another object (its pUnkForRelease).
    HGLOBAL memory = CopyBlock(medium->hGlobal);
    if (!memory)
        return E_OUTOFMEMORY;
    for (SetBlock& block : set_) {
        if (block.format == format->cfFormat) {
            GlobalFree(block.memory);
            block.memory = memory;
            memory = nullptr;
        }
    }
    if (memory)
        set_.push_back(SetBlock{format->cfFormat, memory});
    if (release)
        ReleaseStgMedium(medium);
    return S_OK;
}

HRESULT FileDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    if (!formats)
        return E_INVALIDARG;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> offered{Format(CF_HDROP)};
    if (preferredEffect_)
        offered.push_back(Format(preferredEffectFormat_));
    for (const SetBlock& block : set_)
        offered.push_back(Format(block.format));
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(offered.size()), offered.data(), formats);
}

HRESULT FileDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT FileDataObject::DUnadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT FileDataObject::EnumDAdvise(IEnumSTATDATA**) {
    return OLE_E_ADVISENOTSUPPORTED;
}
