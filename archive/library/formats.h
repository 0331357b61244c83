#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One archive format the library reads, as the library itself describes it.
struct ArchiveFormat {
    std::wstring name; // "7z", "zip", "gzip", "Split", ...
    GUID classId = {};
    // Its extensions in lower case, without the dot, and for each what the name of the file
    // it holds adds ("tgz": ".tar"; empty: nothing).
    std::vector<std::wstring> extensions;
    std::vector<std::wstring> addExtensions;
    bool canUpdate = false; // the library can write it
    // The bytes a file of the format begins with, at `signatureOffset`; none for formats
    // that are told only by their extension.
    std::vector<std::string> signatures;
    uint32_t signatureOffset = 0;
};

// Every format of core\7z.dll, asked of the library once per process. Empty when the
// library cannot be loaded.
const std::vector<ArchiveFormat>& ArchiveFormats();

// The index of the first format after `after` that names `extension` (lower case, no dot);
// -1 when none does.
int FindFormatByExtension(const std::wstring& extension, int after = -1);

// The index of the format with this name; -1 when there is none.
int FindFormatByName(const std::wstring& name);

// The formats whose signature the first bytes of a file (`head`) carry, in the library's
// order.
std::vector<int> FormatsBySignature(const std::string& head);

// The formats that hold exactly one stream (a compressed file, a split set): what they
// hold may itself be an archive, which is opened through them.
bool IsStreamFormat(const ArchiveFormat& format);
