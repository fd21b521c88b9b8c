#pragma once
// Splits statement text into tokens; names in double quotes keep their case
// and may hold any character, strings are in single quotes.
#include <string>
#include <vector>

namespace db {

enum class TTokenKind { Name, QuotedName, String, Number, Param, Symbol, End };

struct TToken {
    TTokenKind Kind;
    std::string Text; // names, strings without quotes, parameter without ':'
    size_t Position;  // byte offset in the statement, for messages
};

// Throws EDatabaseError on an unterminated string or quoted name or a
// character that starts no token.
std::vector<TToken> Tokenize(const std::string& text);

} // namespace db
