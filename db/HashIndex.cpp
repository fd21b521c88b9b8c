#include "db/HashIndex.h"

#include "db/TableFile.h"

#include <algorithm>
#include <cstring>

namespace db {

bool HashKey(const TValue& value, std::string& key) {
    switch (value.Kind) {
    case TValueKind::Null:
        return false;
    case TValueKind::Integer:
    case TValueKind::Float:
    case TValueKind::Bcd: {
        // Numbers of every kind meet as doubles, so 5 finds 5.0; -0 is 0.
        double d = value.AsDouble();
        if (d == 0)
            d = 0;
        key.assign(1, 'N');
        key.append(reinterpret_cast<const char*>(&d), sizeof d);
        return true;
    }
    case TValueKind::Text:
    case TValueKind::Bytes:
        key.assign(1, 'T');
        key.append(value.Text);
        return true;
    default:
        key.assign(1, static_cast<char>('a' + static_cast<int>(value.Kind)));
        key.append(reinterpret_cast<const char*>(&value.Int), sizeof value.Int);
        key.append(reinterpret_cast<const char*>(&value.Float), sizeof value.Float);
        return true;
    }
}

THashIndex::THashIndex(const TTableFile& table, int field) {
    std::string key;
    Rows.reserve(table.RecordCount());
    for (size_t row = 0; row < table.RecordCount(); ++row)
        if (HashKey(table.Value(row, field), key))
            Rows[key].push_back(static_cast<uint32_t>(row));
}

const std::vector<uint32_t>* THashIndex::Find(const TValue& value) const {
    std::string key;
    if (!HashKey(value, key))
        return nullptr;
    auto it = Rows.find(key);
    return it == Rows.end() ? nullptr : &it->second;
}

void THashIndex::Move(uint32_t row, const TValue& from, const TValue& to) {
    std::string key;
    if (HashKey(from, key)) {
        auto it = Rows.find(key);
        if (it != Rows.end()) {
            auto& rows = it->second;
            rows.erase(std::remove(rows.begin(), rows.end(), row), rows.end());
            if (rows.empty())
                Rows.erase(it);
        }
    }
    if (HashKey(to, key)) {
        auto& rows = Rows[key];
        // Keep rows in table order so lookups visit them as a scan would.
        rows.insert(std::lower_bound(rows.begin(), rows.end(), row), row);
    }
}

} // namespace db
