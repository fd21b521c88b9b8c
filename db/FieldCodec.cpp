#include "db/FieldCodec.h"

#include "platform/CodePage.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace db {

namespace {

bool AllZero(std::string_view bytes) {
    for (char c : bytes)
        if (c != 0)
            return false;
    return true;
}

uint64_t ReadBigEndian(std::string_view bytes) {
    uint64_t v = 0;
    for (unsigned char c : bytes)
        v = (v << 8) | c;
    return v;
}

std::string WriteBigEndian(uint64_t v, size_t n) {
    std::string out(n, '\0');
    for (size_t i = n; i-- > 0;) {
        out[i] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    return out;
}

int64_t DecodeInteger(std::string_view bytes) {
    const unsigned bits = static_cast<unsigned>(bytes.size() * 8);
    uint64_t raw = ReadBigEndian(bytes) ^ (uint64_t{1} << (bits - 1));
    // Sign-extend from the field's width.
    if (raw & (uint64_t{1} << (bits - 1)))
        return static_cast<int64_t>(raw | (~uint64_t{0} << bits));
    return static_cast<int64_t>(raw);
}

double DecodeDouble(std::string_view bytes) {
    uint64_t raw = ReadBigEndian(bytes);
    if (raw & 0x8000000000000000ull)
        raw ^= 0x8000000000000000ull;
    else
        raw = ~raw;
    double v;
    std::memcpy(&v, &raw, sizeof v);
    return v;
}

std::string EncodeDouble(double v) {
    uint64_t raw;
    std::memcpy(&raw, &v, sizeof raw);
    if (raw & 0x8000000000000000ull)
        raw = ~raw;
    else
        raw ^= 0x8000000000000000ull;
    return WriteBigEndian(raw, 8);
}

// The stored part of a blob: the leader holds the first bytes, the last ten
// give the blob's place in the blob file and its length.
std::string_view BlobLeader(std::string_view bytes, bool& isNull) {
    isNull = AllZero(bytes);
    if (isNull || bytes.size() < 10)
        return {};
    std::string_view leader = bytes.substr(0, bytes.size() - 10);
    const auto* info = reinterpret_cast<const unsigned char*>(bytes.data() + leader.size());
    uint32_t length = info[4] | (info[5] << 8) | (info[6] << 16) | (uint32_t(info[7]) << 24);
    if (length == 0) {
        isNull = true;
        return {};
    }
    return leader.substr(0, std::min<size_t>(leader.size(), length));
}

} // namespace

bool IsKnownFieldType(uint8_t type) {
    switch (type) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x09:
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
    case 0x10:
    case 0x14:
    case 0x15:
    case 0x16:
    case 0x17:
    case 0x18:
        return true;
    default:
        return false;
    }
}

int FieldLength(TFieldType type, int sizeByte) {
    switch (type) {
    case TFieldType::Alpha:
    case TFieldType::Bytes:
        return sizeByte >= 1 ? sizeByte : 0;
    case TFieldType::Date:
    case TFieldType::Long:
    case TFieldType::Time:
    case TFieldType::AutoInc:
        return sizeByte == 4 ? 4 : 0;
    case TFieldType::Short:
        return sizeByte == 2 ? 2 : 0;
    case TFieldType::Currency:
    case TFieldType::Number:
    case TFieldType::Timestamp:
        return sizeByte == 8 ? 8 : 0;
    case TFieldType::Logical:
        return sizeByte == 1 ? 1 : 0;
    case TFieldType::Bcd:
        // The size byte is the count of decimals; the field is always 17 bytes.
        return sizeByte <= 32 ? 17 : 0;
    case TFieldType::Memo:
    case TFieldType::Blob:
    case TFieldType::FmtMemo:
    case TFieldType::Ole:
    case TFieldType::Graphic:
        return sizeByte >= 10 ? sizeByte : 0;
    }
    return 0;
}

bool IsWritableFieldType(TFieldType type) {
    return type == TFieldType::Number || type == TFieldType::Currency ||
           type == TFieldType::Short || type == TFieldType::Long || type == TFieldType::Bcd;
}

const char* FieldTypeName(TFieldType type) {
    switch (type) {
    case TFieldType::Alpha:
        return "Alpha";
    case TFieldType::Date:
        return "Date";
    case TFieldType::Short:
        return "Short";
    case TFieldType::Long:
        return "Long";
    case TFieldType::Currency:
        return "Currency";
    case TFieldType::Number:
        return "Number";
    case TFieldType::Logical:
        return "Logical";
    case TFieldType::Memo:
        return "Memo";
    case TFieldType::Blob:
        return "BLOB";
    case TFieldType::FmtMemo:
        return "Formatted Memo";
    case TFieldType::Ole:
        return "OLE";
    case TFieldType::Graphic:
        return "Graphic";
    case TFieldType::Time:
        return "Time";
    case TFieldType::Timestamp:
        return "Timestamp";
    case TFieldType::AutoInc:
        return "Autoincrement";
    case TFieldType::Bcd:
        return "BCD";
    case TFieldType::Bytes:
        return "Bytes";
    }
    return "?";
}

std::string BcdToText(std::string_view bytes, int decimals, bool& isNull) {
    isNull = AllZero(bytes);
    if (isNull || bytes.size() != 17)
        return {};
    const bool negative = (static_cast<unsigned char>(bytes[0]) & 0x80) == 0;
    std::string digits;
    digits.reserve(32);
    for (size_t i = 1; i < 17; ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (negative)
            b = static_cast<unsigned char>(~b);
        digits.push_back(static_cast<char>(b >> 4));
        digits.push_back(static_cast<char>(b & 0x0F));
    }
    // Writers fill the digits past a double's precision with nibbles that are
    // no decimal digits at all; the value ends at the first of them.
    for (size_t i = 0; i < digits.size(); ++i)
        if (digits[i] > 9)
            std::fill(digits.begin() + static_cast<long>(i), digits.end(), 0);
    std::string intPart, fracPart;
    const size_t split = 32 - static_cast<size_t>(decimals);
    for (size_t i = 0; i < 32; ++i)
        (i < split ? intPart : fracPart).push_back(static_cast<char>('0' + digits[i]));
    size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    while (!fracPart.empty() && fracPart.back() == '0')
        fracPart.pop_back();
    std::string text = intPart;
    if (!fracPart.empty())
        text += "." + fracPart;
    if (negative && text != "0")
        text = "-" + text;
    return text;
}

bool DecodeNumber(TFieldType type, std::string_view bytes, double& value) {
    switch (type) {
    case TFieldType::Short:
    case TFieldType::Long:
    case TFieldType::AutoInc:
        if (AllZero(bytes))
            return false;
        value = static_cast<double>(DecodeInteger(bytes));
        return true;
    case TFieldType::Number:
    case TFieldType::Currency:
        if (AllZero(bytes))
            return false;
        value = DecodeDouble(bytes);
        return true;
    default:
        return false;
    }
}

TValue DecodeField(TFieldType type, int sizeByte, std::string_view bytes, int codePage) {
    TValue v;
    switch (type) {
    case TFieldType::Alpha: {
        size_t n = strnlen(bytes.data(), bytes.size());
        if (n == 0)
            return v;
        v.Kind = TValueKind::Text;
        v.Text = platform::CodePageToUtf8(bytes.substr(0, n), codePage);
        return v;
    }
    case TFieldType::Bytes:
        if (AllZero(bytes))
            return v;
        v.Kind = TValueKind::Bytes;
        v.Text = std::string(bytes);
        return v;
    case TFieldType::Short:
    case TFieldType::Long:
    case TFieldType::AutoInc:
    case TFieldType::Date:
    case TFieldType::Time:
        if (AllZero(bytes))
            return v;
        v.Int = DecodeInteger(bytes);
        v.Kind = type == TFieldType::Date   ? TValueKind::Date
                 : type == TFieldType::Time ? TValueKind::Time
                                            : TValueKind::Integer;
        return v;
    case TFieldType::Number:
    case TFieldType::Currency:
    case TFieldType::Timestamp:
        if (AllZero(bytes))
            return v;
        v.Float = DecodeDouble(bytes);
        v.Kind = type == TFieldType::Timestamp ? TValueKind::Timestamp : TValueKind::Float;
        return v;
    case TFieldType::Logical: {
        unsigned char b = static_cast<unsigned char>(bytes[0]);
        if (b == 0)
            return v;
        v.Kind = TValueKind::Logical;
        v.Int = (b & 0x7F) != 0 ? 1 : 0;
        return v;
    }
    case TFieldType::Bcd: {
        bool isNull = false;
        std::string text = BcdToText(bytes, sizeByte, isNull);
        if (isNull)
            return v;
        v.Kind = TValueKind::Bcd;
        v.Text = text;
        v.Float = std::strtod(text.c_str(), nullptr);
        return v;
    }
    case TFieldType::Memo:
    case TFieldType::FmtMemo: {
        bool isNull = false;
        std::string_view leader = BlobLeader(bytes, isNull);
        if (isNull)
            return v;
        v.Kind = TValueKind::Text;
        v.Text = platform::CodePageToUtf8(leader, codePage);
        return v;
    }
    case TFieldType::Blob:
    case TFieldType::Ole:
    case TFieldType::Graphic: {
        bool isNull = false;
        std::string_view leader = BlobLeader(bytes, isNull);
        if (isNull)
            return v;
        v.Kind = TValueKind::Bytes;
        v.Text = std::string(leader);
        return v;
    }
    }
    return v;
}

namespace {

std::optional<std::string> EncodeInteger(const TValue& value, size_t size, std::string& reason) {
    // The most negative value of the width is the blank marker, so it is out of range.
    const int64_t limit = (int64_t{1} << (size * 8 - 1)) - 1;
    double d = value.AsDouble();
    if (!std::isfinite(d)) {
        reason = "значение не является конечным числом";
        return std::nullopt;
    }
    double rounded = std::round(d);
    if (rounded > static_cast<double>(limit) || rounded < -static_cast<double>(limit)) {
        reason =
            "значение " + std::to_string(static_cast<long long>(rounded)) + " не помещается в поле";
        return std::nullopt;
    }
    int64_t i = static_cast<int64_t>(rounded);
    uint64_t raw =
        static_cast<uint64_t>(i) & (size == 8 ? ~uint64_t{0} : ((uint64_t{1} << (size * 8)) - 1));
    raw ^= uint64_t{1} << (size * 8 - 1);
    return WriteBigEndian(raw, size);
}

std::optional<std::string> EncodeBcd(const TValue& value, int decimals, std::string& reason) {
    double d = value.AsDouble();
    if (!std::isfinite(d)) {
        reason = "значение не является конечным числом";
        return std::nullopt;
    }
    const bool negative = d < 0;
    // Digits of the value rounded to the field's decimals; a double holds
    // 17 significant digits, beyond which zeros are written.
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(d));
    std::string text = buffer;
    std::string intPart = text.substr(0, text.find('.'));
    std::string fracPart =
        text.find('.') == std::string::npos ? "" : text.substr(text.find('.') + 1);
    size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "" : intPart.substr(nz);
    if (intPart.size() > static_cast<size_t>(32 - decimals)) {
        reason = "значение не помещается в поле BCD";
        return std::nullopt;
    }
    std::string digits = std::string(32 - decimals - intPart.size(), '0') + intPart + fracPart;
    bool allZero = digits.find_first_not_of('0') == std::string::npos;
    bool neg = negative && !allZero;
    std::string out(17, '\0');
    out[0] = static_cast<char>((neg ? 0x00 : 0x80) | 0x40 | decimals);
    for (size_t i = 0; i < 16; ++i) {
        unsigned char b =
            static_cast<unsigned char>(((digits[2 * i] - '0') << 4) | (digits[2 * i + 1] - '0'));
        out[1 + i] = static_cast<char>(neg ? ~b : b);
    }
    return out;
}

} // namespace

std::optional<std::string> EncodeField(TFieldType type, int sizeByte, int length,
                                       const TValue& value, std::string& reason) {
    if (value.IsNull())
        return std::string(static_cast<size_t>(length), '\0');
    if (!value.IsNumeric()) {
        reason = "значение не является числом";
        return std::nullopt;
    }
    switch (type) {
    case TFieldType::Number:
    case TFieldType::Currency: {
        double d = value.AsDouble();
        if (!std::isfinite(d)) {
            reason = "значение не является конечным числом";
            return std::nullopt;
        }
        return EncodeDouble(d);
    }
    case TFieldType::Short:
        return EncodeInteger(value, 2, reason);
    case TFieldType::Long:
        return EncodeInteger(value, 4, reason);
    case TFieldType::Bcd:
        return EncodeBcd(value, sizeByte, reason);
    default:
        reason = std::string("поле типа ") + FieldTypeName(type) + " не изменяется";
        return std::nullopt;
    }
}

} // namespace db
