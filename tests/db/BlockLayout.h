#pragma once
// Rewrites a table's records into blocks of another size and fill, and
// reorders blocks on disk while keeping their chain, for layout tests.
#include <cstdint>
#include <string>
#include <vector>

namespace dbtest {

inline uint16_t GetU16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 (static_cast<unsigned char>(b[at + 1]) << 8));
}
inline void PutU16(std::string& b, size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void PutU32(std::string& b, size_t at, uint32_t v) {
    PutU16(b, at, v & 0xFFFF);
    PutU16(b, at + 2, v >> 16);
}

// All records of a table whose blocks are in chain order on disk.
inline std::vector<std::string> Records(const std::string& table) {
    const size_t recordSize = GetU16(table, 0), headerSize = GetU16(table, 2);
    const size_t blockSize = static_cast<size_t>(static_cast<unsigned char>(table[5])) * 1024;
    std::vector<std::string> records;
    for (unsigned block = GetU16(table, 0x0E); block != 0;) {
        const size_t at = headerSize + (block - 1) * blockSize;
        const int add = static_cast<int16_t>(GetU16(table, at + 4));
        const size_t n = add < 0 ? 0 : static_cast<size_t>(add) / recordSize + 1;
        for (size_t r = 0; r < n; ++r)
            records.push_back(table.substr(at + 6 + r * recordSize, recordSize));
        block = GetU16(table, at);
    }
    return records;
}

// The same table with blockKiB-sized blocks holding at most perBlock records.
inline std::string Relayout(const std::string& table, int blockKiB, size_t perBlock) {
    const size_t recordSize = GetU16(table, 0), headerSize = GetU16(table, 2);
    const std::vector<std::string> records = Records(table);
    const size_t blockSize = static_cast<size_t>(blockKiB) * 1024;
    perBlock = std::min(perBlock, (blockSize - 6) / recordSize);
    const size_t blocks = (records.size() + perBlock - 1) / perBlock;
    std::string out = table.substr(0, headerSize);
    out[5] = static_cast<char>(blockKiB);
    PutU16(out, 0x0A, static_cast<unsigned>(blocks));
    PutU16(out, 0x0C, static_cast<unsigned>(blocks));
    PutU16(out, 0x0E, blocks ? 1 : 0);
    PutU16(out, 0x10, static_cast<unsigned>(blocks));
    for (size_t b = 0; b < blocks; ++b) {
        std::string block(blockSize, '\0');
        const size_t first = b * perBlock, n = std::min(perBlock, records.size() - first);
        PutU16(block, 0, b + 1 < blocks ? static_cast<unsigned>(b + 2) : 0);
        PutU16(block, 2, static_cast<unsigned>(b));
        PutU16(block, 4, static_cast<unsigned>((n - 1) * recordSize));
        for (size_t r = 0; r < n; ++r)
            block.replace(6 + r * recordSize, recordSize, records[first + r]);
        out += block;
    }
    return out;
}

// Swaps blocks a and b (1-based) on disk and mends the chain, so the records
// in chain order stay the same while file order changes.
inline std::string SwapBlocks(std::string table, unsigned a, unsigned b) {
    const size_t headerSize = GetU16(table, 2);
    const size_t blockSize = static_cast<size_t>(static_cast<unsigned char>(table[5])) * 1024;
    auto at = [&](unsigned n) { return headerSize + (n - 1) * blockSize; };
    auto rename = [&](unsigned n) { return n == a ? b : (n == b ? a : n); };
    const unsigned blocks = GetU16(table, 0x0C);
    for (unsigned n = 1; n <= blocks; ++n) {
        PutU16(table, at(n), rename(GetU16(table, at(n))));
        PutU16(table, at(n) + 2, rename(GetU16(table, at(n) + 2)));
    }
    std::string blockA = table.substr(at(a), blockSize);
    table.replace(at(a), blockSize, table.substr(at(b), blockSize));
    table.replace(at(b), blockSize, blockA);
    PutU16(table, 0x0E, rename(GetU16(table, 0x0E)));
    PutU16(table, 0x10, rename(GetU16(table, 0x10)));
    return table;
}

} // namespace dbtest
