#include "archive/textconv.h"

#include "shell/paths.h"

#include <windows.h>

#include <vector>

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length,
                        nullptr, nullptr);
    return utf8;
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

std::wstring FormatModified(const std::string& date, const std::string& time) {
    std::vector<std::string> dateParts;
    std::vector<std::string> timeParts;
    if (SplitText(date, '-', dateParts) != 3 || SplitText(time, ':', timeParts) != 3)
        return std::wstring();

    SYSTEMTIME when = {};
    when.wYear = LeadingNumber(dateParts[0]);
    when.wMonth = LeadingNumber(dateParts[1]);
    when.wDay = LeadingNumber(dateParts[2]);
    when.wHour = LeadingNumber(timeParts[0]);
    when.wMinute = LeadingNumber(timeParts[1]);
    when.wSecond = LeadingNumber(timeParts[2]);

    wchar_t dateText[256] = {};
    wchar_t timeText[256] = {};
    // A date the system cannot format (month 13, say) gives no text rather than half of one.
    if (!GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &when, nullptr, dateText, 256) ||
        !GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, &when, nullptr, timeText, 256))
        return std::wstring();
    return std::wstring(dateText) + L" " + timeText;
}
