#include "db/Tokenizer.h"

#include "db/DatabaseError.h"

#include <cctype>

namespace db {

namespace {

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

[[noreturn]] void SyntaxError(const std::string& what, size_t at) {
    throw EDatabaseError("Ошибка в тексте SQL (позиция " + std::to_string(at + 1) + "): " + what);
}

} // namespace

std::vector<TToken> Tokenize(const std::string& text) {
    std::vector<TToken> tokens;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        const size_t start = i;
        if (c == '"' || c == '\'') {
            const char quote = static_cast<char>(c);
            std::string value;
            ++i;
            for (;;) {
                if (i >= n)
                    SyntaxError(quote == '"' ? "не закрыты двойные кавычки" : "не закрыта строка",
                                start);
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value.push_back(quote);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value.push_back(text[i++]);
            }
            tokens.push_back({quote == '"' ? TTokenKind::QuotedName : TTokenKind::String,
                              std::move(value), start});
        } else if (IsNameStart(c)) {
            while (i < n && IsNameChar(static_cast<unsigned char>(text[i])))
                ++i;
            tokens.push_back({TTokenKind::Name, text.substr(start, i - start), start});
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n &&
                                       std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
            while (i < n && std::isdigit(static_cast<unsigned char>(text[i])))
                ++i;
            if (i < n && text[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(text[i])))
                    ++i;
            }
            if (i < n && (text[i] == 'e' || text[i] == 'E')) {
                size_t j = i + 1;
                if (j < n && (text[j] == '+' || text[j] == '-'))
                    ++j;
                if (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(text[i])))
                        ++i;
                }
            }
            tokens.push_back({TTokenKind::Number, text.substr(start, i - start), start});
        } else if (c == ':' && i + 1 < n && IsNameStart(static_cast<unsigned char>(text[i + 1]))) {
            ++i;
            while (i < n && IsNameChar(static_cast<unsigned char>(text[i])))
                ++i;
            tokens.push_back({TTokenKind::Param, text.substr(start + 1, i - start - 1), start});
        } else {
            static const char* const twoChar[] = {"<=", ">=", "<>", "!="};
            std::string symbol;
            for (const char* s : twoChar)
                if (text.compare(i, 2, s) == 0)
                    symbol = s;
            if (symbol.empty()) {
                if (std::string("(),.*+-/=<>;").find(static_cast<char>(c)) == std::string::npos)
                    SyntaxError(std::string("недопустимый символ '") + static_cast<char>(c) + "'",
                                start);
                symbol = std::string(1, static_cast<char>(c));
            }
            i += symbol.size();
            tokens.push_back({TTokenKind::Symbol, symbol, start});
        }
    }
    tokens.push_back({TTokenKind::End, "", n});
    return tokens;
}

} // namespace db
