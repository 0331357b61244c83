#include "archive/library/webmark.h"

#include "shell/paths.h"
#include "win/handle.h"

#include <cstdlib>

static const wchar_t zoneStream[] = L":Zone.Identifier";
// A real mark holds a zone and two addresses: a few hundred bytes.
static const DWORD maxMarkSize = 64 * 1024;

static std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The zone a mark names: the first "ZoneId" in its section [ZoneTransfer]; -1 when none.
static long ZoneOf(const std::string& text) {
    bool inZoneTransfer = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            inZoneTransfer = _stricmp(line.c_str(), "[ZoneTransfer]") == 0;
            continue;
        }
        size_t equals = line.find('=');
        if (inZoneTransfer && equals != std::string::npos &&
            _stricmp(Trimmed(line.substr(0, equals)).c_str(), "ZoneId") == 0)
            return std::strtol(Trimmed(line.substr(equals + 1)).c_str(), nullptr, 10);
    }
    return -1;
}

std::string ReadWebMark(const std::wstring& path) {
    win::KernelHandle stream(CreateFileW(LongPathForm(path + zoneStream).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!stream || !GetFileSizeEx(stream.get(), &size))
        return std::string();
    bool tooBig = size.QuadPart > maxMarkSize;
    std::string mark(tooBig ? maxMarkSize : static_cast<DWORD>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!mark.empty() &&
        !ReadFile(stream.get(), &mark[0], static_cast<DWORD>(mark.size()), &read, nullptr))
        return std::string();
    mark.resize(read);

    long zone = ZoneOf(mark);
    if (zone != 3 && zone != 4)
        return std::string();
    if (tooBig)
        return "[ZoneTransfer]\r\nZoneId=" + std::to_string(zone) + "\r\n";
    return mark;
}

const std::string& StricterWebMark(const std::string& first, const std::string& second) {
    return ZoneOf(second) > ZoneOf(first) ? second : first;
}

bool WriteWebMark(const std::wstring& path, const std::string& mark) {
    win::KernelHandle file(CreateFileW(LongPathForm(path).c_str(),
                                       FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    FILETIME created, accessed, modified;
    bool timed = GetFileTime(file.get(), &created, &accessed, &modified) != FALSE;

    win::KernelHandle stream(CreateFileW(LongPathForm(path + zoneStream).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    bool marked =
        stream &&
        WriteFile(stream.get(), mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr) &&
        written == mark.size();
    if (stream && !CloseHandle(stream.release()))
        marked = false;
    // Writing a stream counts as writing the file: the time the archive gave it comes back.
    if (timed)
        SetFileTime(file.get(), &created, &accessed, &modified);
    if (marked)
        return true;

    DWORD flags = 0;
    bool keepsStreams = !GetVolumeInformationByHandleW(file.get(), nullptr, 0, nullptr, nullptr,
                                                       &flags, nullptr, 0) ||
                        (flags & FILE_NAMED_STREAMS);
    return !keepsStreams;
}
