#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One archive entry as the library's listing reports it.
struct DirItem {
    std::wstring path; // backslash-separated
    uint32_t attributes = 0;
    std::wstring size;       // decimal digits, empty when the archive gives none
    std::wstring packedSize; // decimal digits, empty when the archive gives none
    std::wstring date;       // YYYY-MM-DD
    std::wstring time;       // HH:MM:SS
    FILETIME modified = {};
};

// What a listing or an extraction hands to the library and gets back.
struct ArchiveContents {
    std::wstring password; // the password that opened the archive; empty if none
    std::vector<DirItem> items;
};

// One node of the archive tree: one path component. Texts are UTF-8.
struct FileTree {
    FileTree() = default;
    FileTree(const FileTree&) = delete;
    FileTree& operator=(const FileTree&) = delete;
    ~FileTree();

    // Deletes every node below this one. Done with a work list instead of recursion, so
    // that a hostile archive with a path nested thousands of levels deep cannot exhaust
    // the stack.
    void DeleteChildren();

    std::string name; // empty for the root
    uint32_t attributes = 0;
    std::string date;
    std::string time;
    std::string size;
    std::string packedSize;
    std::string path;
    FILETIME modified = {};
    std::vector<std::unique_ptr<FileTree>> children; // in order of first appearance

    // Children by name, so that finding one in a folder of 100,000 entries does not scan
    // them all. The keys point into the children's own names. Made with the first child:
    // most nodes are files, and an empty index for each would cost megabytes.
    std::unique_ptr<std::unordered_map<std::string_view, FileTree*>> childIndex;
};

// One row of the list.
struct ItemData {
    std::wstring name;
    std::wstring path;    // full path inside the archive; empty for the ".." row
    HICON icon = nullptr; // owned by the list that made the row
    std::wstring size;
    std::wstring type;
    std::wstring modifiedText;
    std::wstring packedSize;
    uint32_t attributes = 0; // 0x10 for folder rows
    FILETIME modified = {};
};
