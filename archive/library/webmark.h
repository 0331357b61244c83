#pragma once

#include <string>

// The web mark: the "Zone.Identifier" stream Windows gives downloaded files. Office and
// SmartScreen hold back macros and programs from marked files, so whatever an extraction
// writes from a marked archive carries the same mark; without it, extracting would launder
// a download.

// The stream of `path` as it is, when it places the file in the Internet zone (3) or the
// untrusted one (4); empty for any other zone or no stream. A stream too big to copy gives
// only its zone.
std::string ReadWebMark(const std::wstring& path);

// Gives the file `path` the mark `mark`, keeping the file's times. False when the mark could
// not be written on a volume that keeps streams; true on one that keeps none (FAT, say), where
// no file can carry it.
bool WriteWebMark(const std::wstring& path, const std::string& mark);

// Of two marks, the one that places a file in the stricter zone (untrusted before Internet,
// either before none): a set of volumes is as trusted as its least trusted volume.
const std::string& StricterWebMark(const std::string& first, const std::string& second);
