#include "archive/textconv.h"

#include "shell/paths.h"

#include <windows.h>

#include <vector>

// Plain ASCII is the same in both encodings: copied as it is, without a system call.
template <typename To, typename From> static bool CopyIfAscii(const From& text, To& out) {
    for (auto c : text) {
        if (static_cast<uint32_t>(c) >= 0x80)
            return false;
    }
    out.assign(text.begin(), text.end());
    return true;
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring wide;
    if (text.empty() || CopyIfAscii(text, wide))
        return wide;
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    wide.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string utf8;
    WideToUtf8(text, utf8);
    return utf8;
}

void WideToUtf8(const std::wstring& text, std::string& out) {
    if (text.empty() || CopyIfAscii(text, out)) {
        if (text.empty())
            out.clear();
        return;
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    out.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length,
                        nullptr, nullptr);
}

std::wstring GroupDigits(const std::wstring& text) {
    std::wstring grouped = text;
    for (ptrdiff_t position = static_cast<ptrdiff_t>(text.size()) - 3; position > 0; position -= 3)
        grouped.insert(static_cast<size_t>(position), L",");
    return grouped;
}

// The leading decimal digits of a piece ("07" -> 7, "12x" -> 12, "x" -> 0).
static WORD LeadingNumber(const std::string& piece) {
    unsigned value = 0;
    for (size_t i = 0; i < piece.size() && piece[i] >= '0' && piece[i] <= '9' && value < 100000;
         ++i)
        value = value * 10 + static_cast<unsigned>(piece[i] - '0');
    return static_cast<WORD>(value > 0xFFFF ? 0xFFFF : value);
}

// "2012-03-04" split at '-' into exactly three parts, each read by LeadingNumber.
static bool ThreeNumbers(const std::string& text, char separator, WORD numbers[3]) {
    size_t start = 0;
    for (int part = 0; part < 3; ++part) {
        size_t end = text.find(separator, start);
        if ((part < 2) != (end != std::string::npos))
            return false;
        size_t stop = end == std::string::npos ? text.size() : end;
        numbers[part] = LeadingNumber(text.substr(start, stop - start));
        start = stop + 1;
    }
    return true;
}

// The Modified text of a moment, its date and minute each made once with a cache.
static std::wstring FormatMoment(const SYSTEMTIME& when, ModifiedTextCache* cache) {
    // The date text depends on the day alone, the time text on the hour and minute: a
    // folder of 100,000 entries asks the locale once per day and minute that occur.
    uint64_t dayKey = (static_cast<uint64_t>(when.wYear) << 32) | (when.wMonth << 16) | when.wDay;
    uint32_t minuteKey = (static_cast<uint32_t>(when.wHour) << 16) | when.wMinute;
    if (cache) {
        auto cachedDay = cache->dates.find(dayKey);
        auto cachedMinute = cache->times.find(minuteKey);
        if (cachedDay != cache->dates.end() && cachedMinute != cache->times.end()) {
            if (cachedDay->second.empty() || cachedMinute->second.empty())
                return std::wstring();
            return cachedDay->second + L" " + cachedMinute->second;
        }
    }

    wchar_t dateText[256] = {};
    wchar_t timeText[256] = {};
    // A date the system cannot format (month 13, say) gives no text rather than half of one.
    // Each half formatted on its own, so that a cached half never depends on the other.
    SYSTEMTIME day = {when.wYear, when.wMonth, 0, when.wDay, 0, 0, 0, 0};
    SYSTEMTIME minute = {2000, 1, 0, 1, when.wHour, when.wMinute, when.wSecond, 0};
    bool dateMade =
        GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &day, nullptr, dateText, 256) != 0;
    bool timeMade =
        GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, &minute, nullptr, timeText, 256) != 0;
    if (cache) {
        cache->dates[dayKey] = dateMade ? dateText : L"";
        cache->times[minuteKey] = timeMade ? timeText : L"";
    }
    if (!dateMade || !timeMade)
        return std::wstring();
    return std::wstring(dateText) + L" " + timeText;
}

std::wstring FormatModified(const std::string& date, const std::string& time,
                            ModifiedTextCache* cache) {
    // Three parts each, and only the leading digits of a part count.
    WORD dateParts[3];
    WORD timeParts[3];
    if (!ThreeNumbers(date, '-', dateParts) || !ThreeNumbers(time, ':', timeParts))
        return std::wstring();
    SYSTEMTIME when = {};
    when.wYear = dateParts[0];
    when.wMonth = dateParts[1];
    when.wDay = dateParts[2];
    when.wHour = timeParts[0];
    when.wMinute = timeParts[1];
    when.wSecond = timeParts[2];
    return FormatMoment(when, cache);
}

std::wstring FormatModified(const FILETIME& time, ModifiedTextCache* cache) {
    // As the archive keeps it: no shift into the local time zone.
    SYSTEMTIME when;
    if (!FileTimeToSystemTime(&time, &when))
        return std::wstring();
    return FormatMoment(when, cache);
}

std::wstring LowerCase(std::wstring text) {
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}
