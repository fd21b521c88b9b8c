#pragma once
// Rows of a table by the value of one field, so that an equality lookup
// costs O(1) instead of a scan. Built once per field in two flat passes (a
// million rows take milliseconds, where a node per row would take far
// longer); a change to the indexed field drops it, to be rebuilt on the next
// lookup, so it is never stale.
#include "db/Value.h"

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace db {

class TTableFile;

// Equal keys exactly when the values compare equal; nulls get no key.
bool HashKey(const TValue& value, std::string& key);

class THashIndex {
public:
    THashIndex(const TTableFile& table, int field);
    // The rows holding the value, in table order.
    std::span<const uint32_t> Find(const TValue& value) const;

private:
    size_t Slot(uint64_t key) const;
    void Grow();

    bool Numeric = true;
    // Open addressing from a numeric key to its group of rows; key and group
    // share a slot so a probe touches one cache line.
    struct TSlot {
        uint64_t Key;
        uint32_t Group; // Empty when unused
    };
    std::vector<TSlot> Slots;
    std::vector<uint32_t> Starts; // per group, into Rows; one extra at the end
    std::vector<uint32_t> Rows;
    // Text keys, for Alpha fields.
    std::unordered_map<std::string, std::vector<uint32_t>> TextRows;
};

} // namespace db
