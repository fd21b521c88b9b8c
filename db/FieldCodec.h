#pragma once
// Field bytes of a table record to values and back. Numbers are stored
// big-endian with the sign bit flipped so that all-zero bytes mean blank.
#include "db/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace db {

enum class TFieldType : uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FmtMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoInc = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

// Whether the byte is a field type we know, and the record bytes a field of
// that type with the header's size byte takes (0 when the size is invalid).
bool IsKnownFieldType(uint8_t type);
int FieldLength(TFieldType type, int sizeByte);
bool IsWritableFieldType(TFieldType type);
const char* FieldTypeName(TFieldType type);

TValue DecodeField(TFieldType type, int sizeByte, std::string_view bytes, int codePage);

// A number field's value as a double without building a TValue, for scans
// over millions of rows; false for blank fields and other types.
bool DecodeNumber(TFieldType type, std::string_view bytes, double& value);

// The bytes for value in a field of this type; nullopt with a reason when the
// value cannot be stored there (out of range, wrong kind).
std::optional<std::string> EncodeField(TFieldType type, int sizeByte, int length,
                                       const TValue& value, std::string& reason);

// The exact decimal text of a BCD field's digits.
std::string BcdToText(std::string_view bytes, int decimals, bool& isNull);

} // namespace db
