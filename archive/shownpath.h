#pragma once

#include <string>

// How an entry's path is shown: in the list, in a find, in messages, and how a selection
// names it. "." parts stand for the folder they are in and are left out: "./docs/a.txt"
// is "docs\a.txt", and a tar made of "." has no folder named ".". A path with a ".." part,
// an empty part (from the root, or two separators in a row) or a drive names no place
// inside the archive: it is shown whole, as stored, between double quotes (which no
// Windows name holds) as one name at the archive's root, so that it can pass neither for
// the up row nor for a folder without a name. An empty result is the archive's root.
std::wstring ShownPath(const std::wstring& stored);

// Whether ShownPath would change `stored`: checked first, so that the paths of a normal
// archive are taken as they are, without a copy.
bool NeedsShownPath(const std::wstring& stored);

// The path an entry goes into the archive's tree under (its ShownPath), into `shown` when
// that is not `stored` itself. False for "." itself, a folder entry for the archive's root;
// a file with no path left is shown as stored, between quotes.
bool TreePathOf(const std::wstring& stored, bool folder, std::wstring& shown, bool& changed);
