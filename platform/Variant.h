#pragma once
// A tagged value (string, integer, float or Boolean) with the class library's
// variant conversions: a float becomes an integer by rounding half to even,
// numbers become their usual decimal text, strings are parsed, and anything
// that cannot be converted raises EConvertError.
#include <cstdint>
#include <string>
#include <variant>

namespace platform {

class TVariant {
public:
    TVariant() : Value(std::int64_t{0}) {}
    TVariant(const char* value) : Value(std::string(value)) {}
    TVariant(std::string value) : Value(std::move(value)) {}
    TVariant(int value) : Value(std::int64_t{value}) {}
    TVariant(std::int64_t value) : Value(value) {}
    TVariant(std::uint32_t value) : Value(std::int64_t{value}) {}
    TVariant(double value) : Value(value) {}
    TVariant(bool value) : Value(value) {}

    std::string ToString() const;
    // Whole 64-bit value; floats round half to even.
    std::int64_t ToInt64() const;
    // Raises EConvertError when the value does not fit 32 bits signed.
    std::int32_t ToInt32() const;
    double ToDouble() const;
    bool ToBool() const;
    // "String", "Integer", "Double" or "Boolean", as conversion errors name it.
    const char* TypeName() const;

private:
    std::int64_t ToInteger(const char* target) const;

    std::variant<std::string, std::int64_t, double, bool> Value;
};

} // namespace platform
