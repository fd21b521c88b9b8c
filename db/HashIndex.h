#pragma once
// Rows of a table by the value of one field, so that an equality lookup
// costs O(1) instead of a scan. Built once per field and kept current as
// rows change.
#include "db/Value.h"

#include <cstdint>
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
    const std::vector<uint32_t>* Find(const TValue& value) const;
    void Move(uint32_t row, const TValue& from, const TValue& to);

private:
    std::unordered_map<std::string, std::vector<uint32_t>> Rows;
};

} // namespace db
