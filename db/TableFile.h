#pragma once
// One Paradox table file: its header, its records along the block chain, and
// in-place writes of single fields. The whole file is validated when loaded,
// so a corrupt table is refused before anything could be written to it.
#include "db/FieldCodec.h"
#include "db/Value.h"
#include "platform/Files.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

struct TFieldInfo {
    std::string Name; // UTF-8
    TFieldType Type;
    int SizeByte; // as the header gives it (decimals for BCD)
    int Length;   // bytes in the record
    int Offset;   // from the start of the record
    // Non-empty when the field belongs to the primary key or a secondary
    // index: why it must not be changed.
    std::string IndexedAs;
};

// A change to the bytes of one field of one record.
struct TFieldWrite {
    size_t Row;
    int Field;
    std::string Bytes;
};

class TTableFile {
public:
    // Reads and validates the table; throws EDatabaseError naming the table.
    static std::unique_ptr<TTableFile> Load(const std::string& path, const std::string& name);
    // The same checks on bytes in memory (used by the fuzz target).
    static std::unique_ptr<TTableFile> FromBytes(std::string bytes, const std::string& name);

    const std::string& Name() const { return TableName; }
    const std::string& Path() const { return FilePath; }
    const std::vector<TFieldInfo>& Fields() const { return FieldList; }
    int FieldIndex(std::string_view name) const; // case-insensitive, -1 when absent
    size_t RecordCount() const { return RecordOffsets.size(); }
    int CodePage() const { return TableCodePage; }

    int64_t RecordOffset(size_t row) const { return RecordOffsets[row]; }
    std::string_view FieldBytes(size_t row, int field) const;
    TValue Value(size_t row, int field) const;

    // Why the table must not be written at all (an unreadable index file), or empty.
    const std::string& WriteProblem() const { return WriteRefusal; }

    // True when the file on disk is no longer the one loaded.
    bool ChangedOnDisk() const;

    // Writes the fields whose bytes differ; every other byte of the file
    // stays. Throws EDatabaseError (locked, permission, I/O).
    void Write(const std::vector<TFieldWrite>& writes);

private:
    TTableFile() = default;
    void Parse();
    void FindIndexes();

    std::string TableName;
    std::string FilePath;
    std::string Data;
    std::vector<TFieldInfo> FieldList;
    std::vector<int64_t> RecordOffsets;
    int RecordSize = 0;
    int TableCodePage = 437;
    int VersionByte = 0;
    bool IsKeyed = false;
    int KeyFields = 0;
    std::string WriteRefusal;
    int64_t StampTime = 0;
    platform::TFile Writer;
};

// The Russian message for a file error code, naming the table.
[[noreturn]] void ThrowFileError(const platform::EOSError& error, const std::string& table);

} // namespace db
