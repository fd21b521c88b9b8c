#include "db/HashIndex.h"

#include "db/TableFile.h"

#include <bit>
#include <cstring>

namespace db {

namespace {

constexpr uint32_t Empty = UINT32_MAX;

// Numbers of every kind meet as doubles, so 5 finds 5.0; -0 is 0.
bool NumericKey(const TValue& value, uint64_t& key) {
    if (!value.IsNumeric())
        return false;
    double d = value.AsDouble();
    if (d == 0)
        d = 0;
    std::memcpy(&key, &d, sizeof key);
    return true;
}

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

bool HashKey(const TValue& value, std::string& key) {
    uint64_t bits;
    if (NumericKey(value, bits)) {
        key.assign(1, 'N');
        key.append(reinterpret_cast<const char*>(&bits), sizeof bits);
        return true;
    }
    switch (value.Kind) {
    case TValueKind::Null:
        return false;
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

size_t THashIndex::Slot(uint64_t key) const {
    const size_t mask = Slots.size() - 1;
    size_t slot = Mix(key) & mask;
    while (Slots[slot].Group != Empty && Slots[slot].Key != key)
        slot = (slot + 1) & mask;
    return slot;
}

void THashIndex::Grow() {
    std::vector<TSlot> old(Slots.size() * 2, TSlot{0, Empty});
    old.swap(Slots);
    for (const TSlot& s : old)
        if (s.Group != Empty)
            Slots[Slot(s.Key)] = s;
}

THashIndex::THashIndex(const TTableFile& table, int field) {
    const TFieldType type = table.Fields()[static_cast<size_t>(field)].Type;
    const size_t count = table.RecordCount();
    if (type == TFieldType::Alpha) {
        Numeric = false;
        std::string key;
        for (size_t row = 0; row < count; ++row) {
            TValue v = table.Value(row, field);
            if (!v.IsNull())
                TextRows[v.Text].push_back(static_cast<uint32_t>(row));
        }
        return;
    }
    // The slot table grows with the number of distinct values, not rows:
    // many rows share a value, and a small table stays in the cache.
    Slots.assign(1024, TSlot{0, Empty});
    std::vector<uint32_t> rowGroup(count, Empty);
    // Keys first, then the probes, each prefetched some rows ahead: the
    // slots spread over megabytes, and a probe would otherwise wait for memory.
    const bool plain = type == TFieldType::Short || type == TFieldType::Long ||
                       type == TFieldType::AutoInc || type == TFieldType::Number ||
                       type == TFieldType::Currency;
    std::vector<uint64_t> keys(count);
    std::vector<uint8_t> present(count, 0);
    for (size_t row = 0; row < count; ++row) {
        if (plain) {
            double d;
            if (!DecodeNumber(type, table.FieldBytes(row, field), d))
                continue;
            if (d == 0)
                d = 0;
            std::memcpy(&keys[row], &d, sizeof d);
            present[row] = 1;
        } else {
            present[row] = NumericKey(table.Value(row, field), keys[row]) ? 1 : 0;
        }
    }
    constexpr size_t Ahead = 8;
    for (size_t row = 0; row < count; ++row) {
        if (row + Ahead < count)
            __builtin_prefetch(&Slots[Mix(keys[row + Ahead]) & (Slots.size() - 1)]);
        if (!present[row])
            continue;
        const uint64_t key = keys[row];
        size_t slot = Slot(key);
        if (Slots[slot].Group == Empty) {
            if ((Starts.size() + 1) * 2 > Slots.size()) {
                Grow();
                slot = Slot(key);
            }
            Slots[slot] = {key, static_cast<uint32_t>(Starts.size())};
            Starts.push_back(0);
        }
        rowGroup[row] = Slots[slot].Group;
        ++Starts[Slots[slot].Group];
    }
    // Counts to start positions, then rows in table order.
    uint32_t total = 0;
    for (uint32_t& s : Starts) {
        const uint32_t n = s;
        s = total;
        total += n;
    }
    Starts.push_back(total);
    Rows.resize(total);
    std::vector<uint32_t> fill(Starts.begin(), Starts.end() - 1);
    for (size_t row = 0; row < count; ++row)
        if (rowGroup[row] != Empty)
            Rows[fill[rowGroup[row]]++] = static_cast<uint32_t>(row);
}

std::span<const uint32_t> THashIndex::Find(const TValue& value) const {
    if (!Numeric) {
        if (value.Kind != TValueKind::Text)
            return {};
        auto it = TextRows.find(value.Text);
        return it == TextRows.end() ? std::span<const uint32_t>() : std::span(it->second);
    }
    uint64_t key;
    if (!NumericKey(value, key))
        return {};
    const size_t slot = Slot(key);
    if (Slots[slot].Group == Empty)
        return {};
    const uint32_t g = Slots[slot].Group;
    return std::span(Rows.data() + Starts[g], Starts[g + 1] - Starts[g]);
}

} // namespace db
