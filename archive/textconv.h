#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

// UTF-8 <-> UTF-16. Invalid sequences become U+FFFD instead of failing the conversion.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// The same into `out`, whose room is used again: a loop over 100,000 paths allocates little.
void WideToUtf8(const std::wstring& text, std::string& out);

// The text in lower case, as the system lowers letters.
std::wstring LowerCase(std::wstring text);

// "1048576" -> "1,048,576": a comma before every group of three digits from the right,
// whatever the locale.
std::wstring GroupDigits(const std::wstring& text);

// The Modified column's text for a date "YYYY-MM-DD" and a time "HH:MM:SS": the system
// locale's short date, a blank and its time without seconds. Texts in another form give "".
// With a cache, the texts of the days and minutes already seen are reused.
struct ModifiedTextCache {
    std::unordered_map<uint64_t, std::wstring> dates;
    std::unordered_map<uint32_t, std::wstring> times;
};
std::wstring FormatModified(const std::string& date, const std::string& time,
                            ModifiedTextCache* cache = nullptr);
// The same for a file time, taken as it is (archives keep their times without a zone).
std::wstring FormatModified(const FILETIME& time, ModifiedTextCache* cache = nullptr);
