#include "archive/progresstext.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

std::wstring AmountText(uint64_t bytes) {
    if (bytes < 1024)
        return std::to_wstring(bytes) + (bytes == 1 ? L" byte" : L" bytes");
    static const wchar_t* const units[] = {L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};
    const size_t lastUnit = sizeof units / sizeof units[0] - 1;
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    // Rounded first, so that 1023.7 KB is said as 1.0 MB, not as 1024 KB.
    while (unit < lastUnit && std::round(value) >= 1024) {
        value /= 1024;
        ++unit;
    }
    wchar_t text[32];
    if (value < 9.95)
        swprintf(text, 32, L"%.1f %ls", value, units[unit]);
    else
        swprintf(text, 32, L"%.0f %ls", value, units[unit]);
    return text;
}

std::wstring BytesOfText(uint64_t done, uint64_t total) {
    return AmountText(done) + L" of " + AmountText(total);
}

std::wstring SpeedText(uint64_t bytes, uint64_t milliseconds) {
    if (milliseconds == 0)
        return std::wstring();
    double perSecond = static_cast<double>(bytes) * 1000 / static_cast<double>(milliseconds);
    return AmountText(static_cast<uint64_t>(perSecond)) + L"/s";
}

std::wstring DurationText(uint64_t seconds) {
    wchar_t text[48];
    if (seconds >= 3600)
        swprintf(text, 48, L"%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                 static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    else
        swprintf(text, 48, L"%u:%02u", static_cast<unsigned>(seconds / 60),
                 static_cast<unsigned>(seconds % 60));
    return text;
}

std::wstring TimesText(uint64_t elapsedMilliseconds, uint64_t done, uint64_t total) {
    std::wstring text = L"Elapsed " + DurationText(elapsedMilliseconds / 1000);
    if (done > 0 && done < total) {
        double left = static_cast<double>(elapsedMilliseconds) * static_cast<double>(total - done) /
                      static_cast<double>(done) / 1000;
        // A guess from a start of a few bytes can be absurd: it is capped at a year.
        const double year = 365.0 * 24 * 3600;
        text +=
            L", remaining " + DurationText(static_cast<uint64_t>(std::ceil(std::min(left, year))));
    }
    return text;
}

std::wstring PackedText(const std::wstring& archiveName, uint64_t sourceBytes,
                        uint64_t archiveBytes) {
    std::wstring text =
        archiveName + L": " + AmountText(sourceBytes) + L" packed into " + AmountText(archiveBytes);
    if (sourceBytes > 0) {
        double share = static_cast<double>(archiveBytes) * 100 / static_cast<double>(sourceBytes);
        text += L" (" + std::to_wstring(static_cast<uint64_t>(std::llround(share))) + L" %)";
    }
    return text;
}

// The first `head` and the last `tail` characters of `path` around "…", never splitting a
// character that takes two.
static std::wstring CutOut(const std::wstring& path, size_t head, size_t tail) {
    if (head > 0 && path[head - 1] >= 0xD800 && path[head - 1] <= 0xDBFF)
        --head;
    size_t tailStart = path.size() - tail;
    if (tail > 0 && path[tailStart] >= 0xDC00 && path[tailStart] <= 0xDFFF)
        ++tailStart;
    return path.substr(0, head) + L"\u2026" + path.substr(tailStart);
}

std::wstring ShortenInMiddle(const std::wstring& path,
                             const std::function<bool(const std::wstring&)>& fits) {
    if (fits(path))
        return path;
    // How many characters are kept, found by halving: a third before the cut, the rest
    // after it, where the file's name is.
    auto keeping = [&path](size_t kept) { return CutOut(path, kept / 3, kept - kept / 3); };
    size_t low = 0, high = path.size(); // keeping `low` fits (or nothing does), `high` not
    while (high - low > 1) {
        size_t middle = low + (high - low) / 2;
        if (fits(keeping(middle)))
            low = middle;
        else
            high = middle;
    }
    return keeping(low);
}
