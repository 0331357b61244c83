#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The texts of a job's progress and of its end: sizes, times, speed and how well it packed.
// Sizes go in units of 1024, with at most three figures: "512 bytes", "1.2 GB", "420 MB".
std::wstring AmountText(uint64_t bytes);

// "120 MB of 1.2 GB".
std::wstring BytesOfText(uint64_t done, uint64_t total);

// "35 MB/s"; empty before any time has passed.
std::wstring SpeedText(uint64_t bytes, uint64_t milliseconds);

// "0:12", "1:40", "2:05:09".
std::wstring DurationText(uint64_t seconds);

// "Elapsed 0:12, remaining 1:40". The time remaining is guessed from the pace so far, so it
// is said only once something is done.
std::wstring TimesText(uint64_t elapsedMilliseconds, uint64_t done, uint64_t total);

// "photos.7z: 1.2 GB packed into 420 MB (35 %)", the size of the archive against that of
// its sources; without the share when the sources held nothing.
std::wstring PackedText(const std::wstring& archiveName, uint64_t sourceBytes,
                        uint64_t archiveBytes);

// `path` as it fits (`fits` says whether a text does): its middle gives way to "…", so that
// the drive at the start and the file's name at the end stay as long as they can.
std::wstring ShortenInMiddle(const std::wstring& path,
                             const std::function<bool(const std::wstring&)>& fits);
