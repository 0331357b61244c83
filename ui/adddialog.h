#pragma once

#include "archive/addoptions.h"

#include <windows.h>

#include <string>
#include <vector>

// The add-to-archive dialog: an archive name and an optional password for the files it
// collects. The browser opens it with the files selected on disk (ShowAddDialog). The
// shell's "Add to archive..." verb starts one process per selected file: the first shows
// the dialog, every later one hands its file to that dialog and ends (CollectAddRequest).

// The dialog's title, by which later processes find it.
extern const wchar_t addDialogTitle[];

// Shows the dialog for `files` (full paths, at least one) owned by the main window. Always 1.
int ShowAddDialog(const std::vector<std::wstring>& files);

// Carries out one "/a" request; `argument` is the quoted path behind the verb. The exit
// code of the add (see ExitCodeOf): 0 when the path went to an earlier process's dialog.
int CollectAddRequest(const std::wstring& argument);

// The archive a file is added to by default: beside it, named after it, with the
// extension "zip" (or another), and not the name of a file that exists.
std::wstring DefaultArchiveName(const std::wstring& folder, const std::wstring& file,
                               const std::wstring& extension = L"zip");
// The same for an archive of `format`: a single file's compressed form keeps the file's
// whole name ("notes.txt.gz").
std::wstring ArchiveNameFor(const std::wstring& folder, const std::wstring& item, AddFormat format);
// The archive the dialog offers for these items: one item's as above; several go into one
// named after the folder that holds them ("photos\\photos.7z").
std::wstring ArchiveNameForItems(const std::vector<std::wstring>& items, AddFormat format);
// The same name, whether or not a file of that name is there.
std::wstring PlainArchiveName(const std::vector<std::wstring>& items, AddFormat format);
// The folder that holds an item: its path up to the last backslash.
std::wstring FolderOfItem(const std::wstring& path);

// The path in a request. The shell's command puts it in double quotes, which go; a script
// or another program may give it bare, and then it is taken as it is.
std::wstring Unquoted(const std::wstring& argument);

// Hands a request to the window titled `title` of an earlier process, which collects the
// paths of the processes the shell started together. It may not be up yet (that process is
// still starting) or may refuse (its add has begun): then it is asked again until
// collectorWaitLimit has passed. False when no window took it.
bool DeliverToCollector(const wchar_t* title, const std::wstring& argument);

// How long a later "/a" process waits for the first one's dialog to take its path before
// it collects on its own.
const DWORD collectorWaitLimit = 10000;
