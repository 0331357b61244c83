#pragma once

#include <string>
#include <string_view>

// Whether a name contains a text, letter case aside: what the find box looks for. Built
// once per text typed, then asked for every name, so the common case (an ASCII text and a
// UTF-8 name) compares bytes without converting anything.
class NameMatcher {
  public:
    explicit NameMatcher(const std::wstring& text);

    bool Matches(std::string_view utf8Name) const;
    bool Matches(const std::wstring& name) const;
    // Every name the other matcher finds, this one finds too: its text contains the other's.
    bool Narrows(const NameMatcher& other) const;

  private:
    std::wstring lowerText_;
    std::string asciiText_; // lower case; used when the text is all ASCII
    bool ascii_ = true;
};
