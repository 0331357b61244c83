#include "archive/namematch.h"

#include "archive/textconv.h"

#include <windows.h>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

NameMatcher::NameMatcher(const std::wstring& text) : lowerText_(LowerCase(text)) {
    for (wchar_t c : lowerText_) {
        if (c >= 0x80) {
            ascii_ = false;
            break;
        }
        asciiText_ += static_cast<char>(c);
    }
}

bool NameMatcher::Matches(std::string_view name) const {
    if (!ascii_)
        return Matches(Utf8ToWide(std::string(name)));
    // The bytes of a UTF-8 name that are ASCII are its ASCII characters: a multi-byte
    // character never holds one, so comparing bytes finds exactly the ASCII text.
    const size_t length = asciiText_.size();
    if (length == 0)
        return true;
    if (name.size() < length)
        return false;
    const char first = asciiText_[0];
    for (size_t at = 0; at + length <= name.size(); ++at) {
        if (Lower(name[at]) != first)
            continue;
        size_t i = 1;
        while (i < length && Lower(name[at + i]) == asciiText_[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

bool NameMatcher::Matches(const std::wstring& name) const {
    return LowerCase(name).find(lowerText_) != std::wstring::npos;
}

bool NameMatcher::Narrows(const NameMatcher& other) const {
    return lowerText_.find(other.lowerText_) != std::wstring::npos;
}
