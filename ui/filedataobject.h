#pragma once

#include <windows.h>

#include <objidl.h>

#include <functional>
#include <string>
#include <vector>

// What a drag of files carries, as Explorer's own drags do: CF_HDROP with the files' paths
// and, unless it is DROPEFFECT_NONE, the effect the source prefers ("Preferred DropEffect";
// without it the target chooses as it does for Explorer's files). What a drop target or the
// shell puts into it (the effect it performed, a drop description) is kept and handed back
// when asked for, as targets expect of a data object.
//
// It starts with no reference: whoever makes it takes the first (a ComPtr does).
class FileDataObject : public IDataObject {
  public:
    FileDataObject(std::vector<std::wstring> paths, DWORD preferredEffect);
    virtual ~FileDataObject();
    FileDataObject(const FileDataObject&) = delete;
    FileDataObject& operator=(const FileDataObject&) = delete;

    const std::vector<std::wstring>& paths() const { return paths_; }
    // The files are put in place by `render` when their paths are read, not before: the
    // clipboard's entries come out of the archive only when they are pasted. Read again
    // once they have gone, they are put in place again. A failed render gives no paths.
    void RenderWhenRead(std::function<bool()> render) { render_ = std::move(render); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                      DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

  private:
    // A block of memory a target set, under its format.
    struct SetBlock {
        CLIPFORMAT format;
        HGLOBAL memory;
    };
    const SetBlock* FindSet(CLIPFORMAT format) const;

    LONG references_ = 0;
    std::vector<std::wstring> paths_;
    std::function<bool()> render_;
    DWORD preferredEffect_;
    CLIPFORMAT preferredEffectFormat_;
    std::vector<SetBlock> set_;
};

// A DROPFILES block naming `paths` in wide characters, as CF_HDROP carries them; null when
// no memory was left.
HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths);
