#include "archive/shownpath.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// What one part of a path is.
enum class Part { Name, Here, Up, Empty, Drive };

Part KindOf(const wchar_t* part, size_t length, bool first) {
    if (length == 0)
        return Part::Empty;
    if (length == 1 && part[0] == L'.')
        return Part::Here;
    if (length == 2 && part[0] == L'.' && part[1] == L'.')
        return Part::Up;
    if (first && length == 2 && part[1] == L':')
        return Part::Drive;
    return Part::Name;
}

// Calls `take` with each part of the path and whether it is the first.
template <typename Take> void ForEachPart(const std::wstring& path, Take take) {
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            // A trailing separator (a folder's) ends the path; it adds no empty part.
            if (!(i == path.size() && start == i && start > 0))
                take(path.c_str() + start, i - start, start == 0);
            start = i + 1;
        }
    }
}

} // namespace

bool NeedsShownPath(const std::wstring& stored) {
    bool needs = false;
    ForEachPart(stored, [&](const wchar_t* part, size_t length, bool first) {
        needs = needs || KindOf(part, length, first) != Part::Name || (first && length == 0);
    });
    return needs || stored.find(L'/') != std::wstring::npos;
}

std::wstring ShownPath(const std::wstring& stored) {
    if (!NeedsShownPath(stored))
        return stored;
    bool outside = false;
    std::wstring shown;
    ForEachPart(stored, [&](const wchar_t* part, size_t length, bool first) {
        switch (KindOf(part, length, first)) {
        case Part::Here:
            return;
        case Part::Up:
        case Part::Empty:
        case Part::Drive:
            outside = true;
            return;
        case Part::Name:
            if (!shown.empty())
                shown += L'\\';
            shown.append(part, length);
            return;
        }
    });
    if (stored.empty())
        return stored; // an entry without a name gets the archive's name for it elsewhere
    if (!outside)
        return shown;
    std::wstring quoted = L"\"";
    for (wchar_t c : stored)
        quoted += IsSeparator(c) ? L'/' : c;
    return quoted + L"\"";
}

bool TreePathOf(const std::wstring& stored, bool folder, std::wstring& shown, bool& changed) {
    changed = NeedsShownPath(stored);
    if (!changed)
        return true;
    shown = ShownPath(stored);
    if (shown.empty() && !stored.empty()) {
        if (folder)
            return false;
        shown = L"\"" + stored + L"\"";
    }
    return true;
}
