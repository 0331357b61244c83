#pragma once

#include "ui/filedataobject.h"
#include "win/comptr.h"

#include <windows.h>

#include <oleidl.h>

#include <functional>
#include <string>
#include <vector>

class FolderBrowser;

// The drop source of a drag out of the list.
//
// An archive's entries are extracted when the drop happens, and not before: when the
// button goes up over a target that takes the files (the effect its last DragOver gave is
// not DROPEFFECT_NONE), QueryContinueDrag extracts them into the drag's scratch folder, and
// only once they are all there does it answer DRAGDROP_S_DROP, so that the target's Drop
// finds them. Targets read CF_HDROP while the pointer merely passes over them (Explorer does,
// to choose between copy and move): the data object hands out the paths the files will
// have, and nothing is extracted for that. A cancelled or failed extraction answers
// DRAGDROP_S_CANCEL: the target gets no drop, and what came out goes.
//
// A drop onto a window of this program is refused: the view would add the drag's own scratch
// files into the archive.
//
// It starts with no reference: whoever makes it takes the first (a ComPtr does).
class DragOutSource : public IDropSource {
  public:
    // `render` puts the files in place at the drop, true when they all are; null when they are
    // there already (files on the disk).
    explicit DragOutSource(std::function<bool()> render);
    virtual ~DragOutSource() = default;
    DragOutSource(const DragOutSource&) = delete;
    DragOutSource& operator=(const DragOutSource&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDropSource
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

    // Whether the pointer is over a window of this process; a test stands in for the pointer.
    std::function<bool()> overOwnWindow;
    // Whether it is over a folder row of the archive the rows come from (null: never); the
    // button let go there moves them into it (movedIntoOwnFolder), and nothing is dropped.
    std::function<bool()> overOwnFolder;
    bool movedIntoOwnFolder = false;

  private:
    LONG references_ = 0;
    std::function<bool()> render_;
    DWORD lastEffect_ = DROPEFFECT_NONE;
    bool rendering_ = false;
};

// What a drag of rows hands to DoDragDrop.
struct DragOut {
    win::ComPtr<FileDataObject> data;
    win::ComPtr<DragOutSource> source;
    DWORD allowedEffects = DROPEFFECT_NONE;
};

// Makes the drag of these rows: in an archive, copies of its entries (folders with what they
// hold) that come out into this process's drag folder at the drop; on the disk, the files
// themselves, to be copied, moved or linked. The up row and drives are never dragged. False
// when nothing is left to drag, or no scratch folder could be made.
bool PrepareDragOut(FolderBrowser& model, const std::vector<int>& rows, DragOut& drag);

// Drags the rows out with the left button until they are dropped or the drag is given up,
// the rows of `list` drawn under the pointer. True when files on the disk were moved away,
// and the folder must be listed again, or entries of the archive moved into one of its
// folders (the model shows the archive anew already).
bool DragRowsOut(FolderBrowser& model, const std::vector<int>& rows, HWND list = nullptr);

// The drags' scratch folders: one per running program, "Varnix Drag\<process id>" in Temp.
// Each drag empties it first; the target may still be copying after DoDragDrop has returned,
// so what a drag put there stays until the next drag or the program's end.
std::wstring DragScratchRoot();
std::wstring DragScratchFolder();
// At the program's end.
void RemoveDragScratch();
// At its start: the folders of programs that are not running any more.
void ClearDragLeftovers();
// Whether dropped files come from this program's own drag.
bool IsFromOwnDrag(const std::vector<std::wstring>& paths);
