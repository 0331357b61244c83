#include "fuzz/mutations.h"

#include <algorithm>
#include <cstring>

namespace fuzz {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = (value >> 1) ^ (value & 1 ? 0xEDB88320u : 0);
            table[i] = value;
        }
        made = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace {

size_t Below(Random& random, size_t limit) {
    if (limit == 0)
        return 0;
    return std::uniform_int_distribution<size_t>(0, limit - 1)(random);
}

bool Chance(Random& random, int percent) {
    return static_cast<int>(Below(random, 100)) < percent;
}

void PutLE(Bytes& data, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width && at + i < data.size(); ++i)
        data[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLE(const Bytes& data, size_t at, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width && at + i < data.size(); ++i)
        value |= static_cast<uint64_t>(data[at + i]) << (8 * i);
    return value;
}

// The values that break size and count fields most often, for a field of `width` bytes.
uint64_t InterestingValue(Random& random, int width, uint64_t current) {
    static const uint64_t values[] = {0,
                                      1,
                                      2,
                                      0x7F,
                                      0x80,
                                      0xFF,
                                      0x100,
                                      0x7FFF,
                                      0x8000,
                                      0xFFFF,
                                      0x10000,
                                      0x7FFFFFFF,
                                      0x80000000,
                                      0xFFFFFFFF,
                                      0x100000000,
                                      1ull << 40,
                                      1ull << 62,
                                      0x7FFFFFFFFFFFFFFF,
                                      0xFFFFFFFFFFFFFFFF};
    uint64_t value;
    switch (Below(random, 4)) {
    case 0:
        value = current + 1;
        break;
    case 1:
        value = current - 1;
        break;
    case 2:
        value = random();
        break;
    default:
        value = values[Below(random, sizeof values / sizeof values[0])];
        break;
    }
    if (width < 8)
        value &= (1ull << (8 * width)) - 1;
    return value;
}

void FlipBits(Bytes& data, Random& random, size_t from, size_t to, int count) {
    if (to <= from)
        return;
    for (int i = 0; i < count; ++i)
        data[from + Below(random, to - from)] ^= static_cast<uint8_t>(1u << Below(random, 8));
}

std::vector<size_t> FindAll(const Bytes& data, const char* signature, size_t length) {
    std::vector<size_t> found;
    for (size_t at = 0; at + length <= data.size(); ++at) {
        if (std::memcmp(&data[at], signature, length) == 0)
            found.push_back(at);
    }
    return found;
}

bool StartsWith(const Bytes& data, const char* magic, size_t length) {
    return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

// --- ZIP: the size, count, length and offset fields of the three record kinds ---

struct Field {
    size_t offset;
    int width;
};

void MutateZipField(Bytes& data, Random& random, std::string& what) {
    static const Field local[] = {{6, 2}, {8, 2}, {14, 4}, {18, 4}, {22, 4}, {26, 2}, {28, 2}};
    static const Field central[] = {{8, 2},  {10, 2}, {16, 4}, {20, 4}, {24, 4},
                                    {28, 2}, {30, 2}, {32, 2}, {38, 4}, {42, 4}};
    static const Field end[] = {{4, 2}, {6, 2}, {8, 2}, {10, 2}, {12, 4}, {16, 4}, {20, 2}};
    std::vector<size_t> locals = FindAll(data, "PK\3\4", 4);
    std::vector<size_t> centrals = FindAll(data, "PK\1\2", 4);
    std::vector<size_t> ends = FindAll(data, "PK\5\6", 4);
    const Field* fields = nullptr;
    size_t fieldCount = 0;
    size_t record = 0;
    size_t kind = Below(random, 3);
    if (kind == 0 && !locals.empty()) {
        record = locals[Below(random, locals.size())];
        fields = local;
        fieldCount = std::size(local);
        what = "zip local header field";
    } else if (kind == 1 && !centrals.empty()) {
        record = centrals[Below(random, centrals.size())];
        fields = central;
        fieldCount = std::size(central);
        what = "zip central header field";
    } else if (!ends.empty()) {
        record = ends.back();
        fields = end;
        fieldCount = std::size(end);
        what = "zip end record field";
    } else {
        FlipBits(data, random, 0, data.size(), 4);
        what = "zip bit flips";
        return;
    }
    int changes = 1 + static_cast<int>(Below(random, 3));
    for (int i = 0; i < changes; ++i) {
        const Field& field = fields[Below(random, fieldCount)];
        size_t at = record + field.offset;
        PutLE(data, at, InterestingValue(random, field.width, GetLE(data, at, field.width)),
              field.width);
    }
}

// --- 7z: the start header and the next header, with both checksums made right again ---

void Fix7zStartHeader(Bytes& data) {
    uint32_t crc = Crc32(&data[12], 20);
    PutLE(data, 8, crc, 4);
}

void Mutate7z(Bytes& data, Random& random, std::string& what) {
    if (data.size() < 32) {
        FlipBits(data, random, 0, data.size(), 2);
        what = "7z bit flips";
        return;
    }
    uint64_t offset = GetLE(data, 12, 8);
    uint64_t size = GetLE(data, 20, 8);
    bool headerInside = 32 + offset < data.size() && size <= data.size() - 32 - offset && size > 0;
    if (headerInside && Chance(random, 70)) {
        size_t from = static_cast<size_t>(32 + offset);
        size_t to = static_cast<size_t>(from + size);
        if (Chance(random, 50)) {
            FlipBits(data, random, from, to, 1 + static_cast<int>(Below(random, 4)));
            what = "7z next header bit flips, checksums fixed";
        } else {
            // A number of the header's own encoding made as large as it gets.
            size_t at = from + Below(random, to - from);
            data[at] = Chance(random, 50) ? 0xFF : static_cast<uint8_t>(random());
            what = "7z next header byte, checksums fixed";
        }
        PutLE(data, 28, Crc32(&data[from], to - from), 4);
    } else {
        size_t at = Chance(random, 50) ? 12 : 20;
        PutLE(data, at, InterestingValue(random, 8, GetLE(data, at, 8)), 8);
        what = at == 12 ? "7z next header offset" : "7z next header size";
    }
    Fix7zStartHeader(data);
}

// --- RAR 5: header blocks with their CRC32 ---

bool ReadVint(const Bytes& data, size_t& at, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && at < data.size(); shift += 7) {
        uint8_t byte = data[at++];
        value |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

struct Block {
    size_t start;   // where its checksum is
    size_t crcFrom; // the checked bytes
    size_t headerEnd;
};

std::vector<Block> Rar5Blocks(const Bytes& data) {
    std::vector<Block> blocks;
    size_t at = 8;
    while (at + 6 < data.size() && blocks.size() < 10000) {
        size_t sizeAt = at + 4;
        uint64_t headerSize = 0;
        size_t cursor = sizeAt;
        if (!ReadVint(data, cursor, headerSize) || headerSize > data.size())
            break;
        size_t headerEnd = cursor + static_cast<size_t>(headerSize);
        if (headerEnd > data.size())
            break;
        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!ReadVint(data, cursor, type) || !ReadVint(data, cursor, flags))
            break;
        if ((flags & 1) && !ReadVint(data, cursor, extraSize))
            break;
        if ((flags & 2) && !ReadVint(data, cursor, dataSize))
            break;
        blocks.push_back({at, sizeAt, headerEnd});
        if (dataSize > data.size() - headerEnd)
            break;
        at = headerEnd + static_cast<size_t>(dataSize);
    }
    return blocks;
}

// --- RAR 4: header blocks with the low half of a CRC32 ---

std::vector<Block> Rar4Blocks(const Bytes& data) {
    std::vector<Block> blocks;
    size_t at = 7;
    while (at + 7 <= data.size() && blocks.size() < 10000) {
        uint8_t type = data[at + 2];
        uint16_t flags = static_cast<uint16_t>(GetLE(data, at + 3, 2));
        size_t headerSize = static_cast<size_t>(GetLE(data, at + 5, 2));
        if (headerSize < 7 || at + headerSize > data.size())
            break;
        uint64_t added = 0;
        if ((flags & 0x8000) || type == 0x74)
            added = GetLE(data, at + 7, 4);
        blocks.push_back({at, at + 2, at + headerSize});
        if (added > data.size() - at - headerSize)
            break;
        at += headerSize + static_cast<size_t>(added);
    }
    return blocks;
}

void MutateRar(Bytes& data, Random& random, bool rar5, std::string& what) {
    std::vector<Block> blocks = rar5 ? Rar5Blocks(data) : Rar4Blocks(data);
    if (blocks.empty()) {
        FlipBits(data, random, 0, data.size(), 3);
        what = "rar bit flips";
        return;
    }
    const Block& block = blocks[Below(random, blocks.size())];
    size_t from = block.crcFrom;
    if (Chance(random, 50)) {
        FlipBits(data, random, from, block.headerEnd, 1 + static_cast<int>(Below(random, 4)));
        what = rar5 ? "rar5 header bit flips, checksum fixed"
                    : "rar4 header bit flips, checksum fixed";
    } else {
        // A size or count field: any aligned run of 2, 4 or 8 bytes in the header.
        int width = 2 << Below(random, 3);
        size_t at = from + Below(random, block.headerEnd - from);
        PutLE(data, at, InterestingValue(random, width, GetLE(data, at, width)), width);
        what = rar5 ? "rar5 header field, checksum fixed" : "rar4 header field, checksum fixed";
    }
    uint32_t crc = Crc32(&data[from], block.headerEnd - from);
    if (rar5)
        PutLE(data, block.start, crc, 4);
    else
        PutLE(data, block.start, crc & 0xFFFF, 2);
}

} // namespace

Bytes Mutate(const Bytes& seed, Random& random, std::string& what) {
    Bytes data = seed;
    if (data.empty()) {
        what = "empty";
        return data;
    }
    switch (Below(random, 8)) {
    case 0:
        FlipBits(data, random, 0, data.size(), 1 + static_cast<int>(Below(random, 16)));
        what = "bit flips";
        break;
    case 1:
        data.resize(Below(random, data.size()));
        what = "truncated";
        break;
    case 2: {
        size_t at = Below(random, data.size());
        size_t length = std::min(data.size() - at, 1 + Below(random, 64));
        uint8_t fill = Chance(random, 50) ? 0x00 : 0xFF;
        std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(at), length, fill);
        what = "run overwritten";
        break;
    }
    case 3: {
        size_t at = Below(random, data.size());
        size_t length = std::min(data.size() - at, 1 + Below(random, 256));
        if (Chance(random, 50)) {
            data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                       data.begin() + static_cast<std::ptrdiff_t>(at + length));
            what = "chunk removed";
        } else {
            Bytes chunk(data.begin() + static_cast<std::ptrdiff_t>(at),
                        data.begin() + static_cast<std::ptrdiff_t>(at + length));
            data.insert(data.begin() + static_cast<std::ptrdiff_t>(Below(random, data.size())),
                        chunk.begin(), chunk.end());
            what = "chunk repeated";
        }
        break;
    }
    default:
        if (StartsWith(data, "7z\xBC\xAF\x27\x1C", 6))
            Mutate7z(data, random, what);
        else if (StartsWith(data, "Rar!\x1A\x07\x01\x00", 8))
            MutateRar(data, random, true, what);
        else if (StartsWith(data, "Rar!\x1A\x07\x00", 7))
            MutateRar(data, random, false, what);
        else
            MutateZipField(data, random, what);
        break;
    }
    return data;
}

namespace {

std::string RandomLetters(Random& random, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>('a' + Below(random, 26));
    return text;
}

std::string HostileName(Random& random, std::string& kind) {
    static const char* const escapes[] = {"../escape.txt",
                                          "..\\escape.txt",
                                          "a/../../escape.txt",
                                          "/root.txt",
                                          "\\root.txt",
                                          "C:/drive.txt",
                                          "C:drive.txt",
                                          "\\\\server\\share\\unc.txt",
                                          "//?/C:/device.txt",
                                          "\\\\.\\C:\\dev.txt",
                                          "CON",
                                          "aux.txt",
                                          "nul/inside.txt",
                                          "LPT1.log",
                                          "name:stream",
                                          "file.txt::$DATA",
                                          "trailing. ",
                                          "dots...",
                                          "   ",
                                          "",
                                          "a/./b/../c.txt",
                                          "dir",
                                          "dir/",
                                          "dir/child.txt",
                                          "\xC3\xA4\xC3\xB6.txt",
                                          "bad\xFF\xFEutf8.txt",
                                          "tab\tname",
                                          "ctl\x01name",
                                          "star*?<>|\".txt"};
    switch (Below(random, 5)) {
    case 0: {
        // Nested thousands of levels deep, past the longest path Windows takes.
        size_t depth = 50 + Below(random, 1000);
        std::string name;
        for (size_t i = 0; i < depth; ++i)
            name += RandomLetters(random, 1 + Below(random, 3)) + "/";
        kind = "deep path";
        return name + "leaf.txt";
    }
    case 1:
        kind = "long name";
        return RandomLetters(random, 200 + Below(random, 3000)) + ".txt";
    case 2: {
        // Longer than MAX_PATH in all, every part within the file system's limit.
        std::string name;
        size_t parts = 3 + Below(random, 30);
        for (size_t i = 0; i < parts; ++i)
            name += RandomLetters(random, 20 + Below(random, 200)) + "/";
        kind = "long path";
        return name + "leaf.txt";
    }
    default:
        kind = "escape or odd name";
        return escapes[Below(random, std::size(escapes))];
    }
}

struct ZipWriter {
    Bytes local;
    Bytes central;
    uint16_t count = 0;

    static void Put(Bytes& out, uint64_t value, int width) {
        for (int i = 0; i < width; ++i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }

    void Add(const std::string& name, const Bytes& content, uint64_t declaredSize, bool zip64,
             uint32_t externalAttributes) {
        uint32_t crc = Crc32(content.data(), content.size());
        Bytes extra;
        uint32_t sizeField = static_cast<uint32_t>(std::min<uint64_t>(declaredSize, 0xFFFFFFFF));
        if (zip64) {
            Put(extra, 0x0001, 2);
            Put(extra, 16, 2);
            Put(extra, declaredSize, 8);
            Put(extra, content.size(), 8);
            sizeField = 0xFFFFFFFF;
        }
        uint32_t packedField = zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(content.size());
        uint32_t offset = static_cast<uint32_t>(local.size());
        Put(local, 0x04034B50, 4);
        Put(local, zip64 ? 45 : 20, 2);
        Put(local, 0x0800, 2); // UTF-8 names
        Put(local, 0, 2);      // stored
        Put(local, 0x5A21, 4); // a time and date
        Put(local, crc, 4);
        Put(local, packedField, 4);
        Put(local, sizeField, 4);
        Put(local, name.size(), 2);
        Put(local, extra.size(), 2);
        local.insert(local.end(), name.begin(), name.end());
        local.insert(local.end(), extra.begin(), extra.end());
        local.insert(local.end(), content.begin(), content.end());

        Put(central, 0x02014B50, 4);
        Put(central, 0x0314, 2); // made on Unix: the attributes may hold a mode
        Put(central, zip64 ? 45 : 20, 2);
        Put(central, 0x0800, 2);
        Put(central, 0, 2);
        Put(central, 0x5A21, 4);
        Put(central, crc, 4);
        Put(central, packedField, 4);
        Put(central, sizeField, 4);
        Put(central, name.size(), 2);
        Put(central, extra.size(), 2);
        Put(central, 0, 2); // comment
        Put(central, 0, 2); // disk
        Put(central, 0, 2); // internal attributes
        Put(central, externalAttributes, 4);
        Put(central, offset, 4);
        central.insert(central.end(), name.begin(), name.end());
        central.insert(central.end(), extra.begin(), extra.end());
        ++count;
    }

    Bytes Finish(uint16_t declaredCount) const {
        Bytes out = local;
        out.insert(out.end(), central.begin(), central.end());
        Put(out, 0x06054B50, 4);
        Put(out, 0, 2);
        Put(out, 0, 2);
        Put(out, declaredCount, 2);
        Put(out, declaredCount, 2);
        Put(out, central.size(), 4);
        Put(out, local.size(), 4);
        Put(out, 0, 2);
        return out;
    }
};

} // namespace

Bytes MakeHostileZip(Random& random, std::string& what) {
    ZipWriter zip;
    size_t entries = Chance(random, 10) ? 1000 + Below(random, 4000) : 1 + Below(random, 12);
    std::string kinds;
    for (size_t i = 0; i < entries; ++i) {
        std::string kind;
        std::string name =
            entries > 100 ? "many/" + std::to_string(Below(random, 200)) + "/" + std::to_string(i)
                          : HostileName(random, kind);
        if (name.size() > 0xFFFF)
            name.resize(0xFFFF);
        if (!kind.empty() && kinds.find(kind) == std::string::npos)
            kinds += (kinds.empty() ? "" : ", ") + kind;
        Bytes content(Below(random, 64), static_cast<uint8_t>('a' + i % 26));
        uint64_t declared = content.size();
        bool zip64 = false;
        if (Chance(random, 15)) {
            declared = Chance(random, 50) ? 0xFFFFFFFFull : (1ull << (32 + Below(random, 31)));
            zip64 = declared > 0xFFFFFFFF || Chance(random, 50);
            if (kinds.find("huge size") == std::string::npos)
                kinds += (kinds.empty() ? "" : ", ") + std::string("huge size");
        }
        // Now and then a Unix link or a folder bit, which must come out as plain entries.
        uint32_t attributes = 0;
        if (Chance(random, 10))
            attributes = 0xA1FF0000; // symbolic link mode
        else if (Chance(random, 10))
            attributes = 0x41ED0010; // folder
        zip.Add(name, content, declared, zip64, attributes);
    }
    uint16_t declaredCount = zip.count;
    if (Chance(random, 10))
        declaredCount = static_cast<uint16_t>(Chance(random, 50) ? 0xFFFF : declaredCount + 1);
    what = "made zip, " + std::to_string(zip.count) + " entries" +
           (kinds.empty() ? "" : " (" + kinds + ")");
    return zip.Finish(declaredCount);
}

} // namespace fuzz
