#pragma once

#include "archive/archivetree.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One entry as the library's listing reports it: its path (backslash-separated) and what
// it says of itself.
struct DirItem {
    std::wstring path;
    ArchiveTree::Entry entry;
};

// What a listing or an extraction hands to the library and gets back.
struct ArchiveContents {
    std::wstring password; // the password that opened the archive; empty if none
    std::vector<DirItem> items;
};

// One row of the list, with its texts as shown.
struct ItemData {
    std::wstring name;
    std::wstring path;         // full path inside the archive; empty for the ".." row
    HICON icon = nullptr;      // owned by the list that made the row
    HICON largeIcon = nullptr; // the same, at the shell's large size
    std::wstring size;
    std::wstring type;
    std::wstring modifiedText;
    std::wstring packedSize;
    uint32_t attributes = 0; // 0x10 for folder rows
    uint64_t bytes = 0;      // a file's size, as a number (for the status line)
    FILETIME modified = {};
    // A disk row of a kind whose icon the file itself decides (a program, a shortcut): it is
    // asked for when the row is first drawn.
    bool iconPending = false;
    // A disk row whose icon is its own: the large one is asked for only when the row is
    // drawn at a size that needs it.
    bool largeIconPending = false;
};
