#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

class FolderBrowser;

// Files on the clipboard, as Explorer puts them there and takes them (CF_HDROP, with
// "Preferred DropEffect" telling a cut from a copy).

// The paths a CF_HDROP block (a drop, the clipboard's files) names, each whole.
std::vector<std::wstring> DroppedPaths(HDROP drop);

// Puts the rows on the clipboard as files: in an archive, its entries (folders with what
// they hold), which come out into the program's own clipboard folder only when they are
// pasted; on the disk, the files themselves, to be copied or, `cut`, moved. False when
// there was nothing to put there (the up row, drives) or the clipboard could not be had.
bool CopyRowsToClipboard(FolderBrowser& model, const std::vector<int>& rows, bool cut);
// The files on the clipboard, and whether they were cut; false when it holds none.
bool FilesOnClipboard(std::vector<std::wstring>& paths, bool& cut);
// Entries of the archive being left are taken off the clipboard: they cannot come out of it
// any more.
void ForgetArchiveClipboard();
// After a cut's files were moved: the clipboard is emptied, as Explorer does.
void EmptyClipboardAfterMove();
