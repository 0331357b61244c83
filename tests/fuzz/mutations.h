#pragma once

// Ways of breaking an archive, for the fuzz driver: generic byte damage, and changes that
// know the ZIP, 7z and RAR layouts well enough to get past their checksums and reach the
// parsers behind them.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace fuzz {

using Bytes = std::vector<uint8_t>;
using Random = std::mt19937;

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// One mutation of `seed`, chosen by `random`; `what` says which, for the report.
Bytes Mutate(const Bytes& seed, Random& random, std::string& what);

// A ZIP written from nothing with hostile entries: paths nested thousands of levels deep,
// names longer than any file system takes, "..", roots, drives and devices, entries that
// are file and folder at once, huge declared sizes, thousands of entries.
Bytes MakeHostileZip(Random& random, std::string& what);

} // namespace fuzz
