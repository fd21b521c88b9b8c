#include "db/Parser.h"
#include "db/Names.h"

#include "db/DatabaseError.h"
#include "db/Tokenizer.h"

#include <algorithm>
#include <cstdlib>

namespace db {

namespace {

class TParser {
public:
    explicit TParser(const std::string& text) : Tokens(Tokenize(text)) {}

    TStatement Statement() {
        TStatement statement;
        const TToken& first = Peek();
        const std::string word = first.Kind == TTokenKind::Name ? Upper(first.Text) : "";
        if (word == "SELECT") {
            Advance();
            statement.Select = Select();
        } else if (word == "UPDATE") {
            Advance();
            statement.Update = Update();
        } else if (first.Kind == TTokenKind::End) {
            Fail("пустой текст запроса");
        } else {
            throw EDatabaseError("Оператор SQL не поддерживается: " +
                                 (word.empty() ? first.Text : word));
        }
        if (IsSymbol(";"))
            Advance();
        if (Peek().Kind != TTokenKind::End) {
            if (Peek().Kind == TTokenKind::Name)
                throw EDatabaseError("Конструкция SQL не поддерживается: " + Upper(Peek().Text));
            Fail("лишний текст \"" + Peek().Text + "\"");
        }
        return statement;
    }

private:
    const TToken& Peek(size_t ahead = 0) const {
        return Tokens[std::min(Pos + ahead, Tokens.size() - 1)];
    }
    void Advance() {
        if (Pos + 1 < Tokens.size())
            ++Pos;
    }
    bool IsSymbol(const char* s, size_t ahead = 0) const {
        return Peek(ahead).Kind == TTokenKind::Symbol && Peek(ahead).Text == s;
    }
    bool IsKeyword(const char* k, size_t ahead = 0) const {
        return Peek(ahead).Kind == TTokenKind::Name && Upper(Peek(ahead).Text) == k;
    }
    static bool IsReserved(const std::string& word) {
        static const char* const reserved[] = {"SELECT", "FROM",  "WHERE", "SET",  "AND",
                                               "OR",     "NOT",   "AS",    "IS",   "NULL",
                                               "UPDATE", "ORDER", "GROUP", "JOIN", "ON"};
        std::string u = Upper(word);
        return std::any_of(std::begin(reserved), std::end(reserved),
                           [&](const char* r) { return u == r; });
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw EDatabaseError("Ошибка в тексте SQL (позиция " + std::to_string(Peek().Position + 1) +
                             "): " + what);
    }
    void Expect(const char* symbol) {
        if (!IsSymbol(symbol))
            Fail(std::string("ожидается \"") + symbol + "\"");
        Advance();
    }
    void ExpectKeyword(const char* keyword) {
        if (!IsKeyword(keyword))
            Fail(std::string("ожидается ") + keyword);
        Advance();
    }
    bool IsName(size_t ahead = 0) const {
        const TToken& t = Peek(ahead);
        return t.Kind == TTokenKind::QuotedName ||
               (t.Kind == TTokenKind::Name && !IsReserved(t.Text));
    }
    std::string Name(const char* what) {
        if (!IsName())
            Fail(std::string("ожидается ") + what);
        std::string name = Peek().Text;
        Advance();
        return name;
    }

    TTableRef TableRef() {
        TTableRef ref;
        const bool quoted = Peek().Kind == TTokenKind::QuotedName;
        ref.Name = Name("имя таблицы");
        if (!quoted && IsSymbol(".") && Peek(1).Kind == TTokenKind::Name &&
            Upper(Peek(1).Text) == "DB") {
            Advance();
            Advance();
        }
        if (ref.Name.size() > 3 && Upper(ref.Name.substr(ref.Name.size() - 3)) == ".DB")
            ref.Name.resize(ref.Name.size() - 3);
        if (IsKeyword("AS")) {
            Advance();
            ref.Alias = Name("псевдоним таблицы");
        } else if (IsName()) {
            ref.Alias = Name("псевдоним таблицы");
        }
        return ref;
    }

    std::unique_ptr<TSelect> Select() {
        auto select = std::make_unique<TSelect>();
        if (IsKeyword("DISTINCT"))
            throw EDatabaseError("Конструкция SQL не поддерживается: DISTINCT");
        do {
            TSelectItem item;
            if (IsSymbol("*")) {
                item.Star = true;
                Advance();
            } else if (IsName() && IsSymbol(".", 1) && IsSymbol("*", 2)) {
                item.Star = true;
                item.Qualifier = Peek().Text;
                Advance();
                Advance();
                Advance();
            } else {
                item.Expr = Expression();
                if (IsKeyword("AS")) {
                    Advance();
                    item.As = Name("имя столбца");
                } else if (IsName()) {
                    item.As = Name("имя столбца");
                } else if (item.Expr->Kind == TExprKind::Column) {
                    item.As = item.Expr->Name;
                }
            }
            select->Items.push_back(std::move(item));
        } while (IsSymbol(",") && (Advance(), true));
        ExpectKeyword("FROM");
        do {
            select->From.push_back(TableRef());
        } while (IsSymbol(",") && (Advance(), true));
        if (IsKeyword("WHERE")) {
            Advance();
            select->Where = Expression();
        }
        return select;
    }

    std::unique_ptr<TUpdate> Update() {
        auto update = std::make_unique<TUpdate>();
        update->Table = TableRef();
        ExpectKeyword("SET");
        do {
            TAssignment a;
            std::string first = Name("имя столбца");
            if (IsSymbol(".")) {
                Advance();
                a.Qualifier = first;
                a.Column = Name("имя столбца");
            } else {
                a.Column = first;
            }
            Expect("=");
            a.Value = Expression();
            update->Set.push_back(std::move(a));
        } while (IsSymbol(",") && (Advance(), true));
        if (IsKeyword("WHERE")) {
            Advance();
            update->Where = Expression();
        }
        return update;
    }

    static TExprPtr MakeBinary(TBinaryOp op, TExprPtr l, TExprPtr r) {
        auto e = std::make_unique<TExpr>();
        e->Kind = TExprKind::Binary;
        e->Op = op;
        e->Left = std::move(l);
        e->Right = std::move(r);
        return e;
    }

    TExprPtr Expression() {
        if (++Depth > 200)
            Fail("слишком глубокая вложенность выражения");
        TExprPtr e = Or();
        --Depth;
        return e;
    }
    TExprPtr Or() {
        TExprPtr e = And();
        while (IsKeyword("OR")) {
            Advance();
            e = MakeBinary(TBinaryOp::Or, std::move(e), And());
        }
        return e;
    }
    TExprPtr And() {
        TExprPtr e = Not();
        while (IsKeyword("AND")) {
            Advance();
            e = MakeBinary(TBinaryOp::And, std::move(e), Not());
        }
        return e;
    }
    TExprPtr Not() {
        if (IsKeyword("NOT")) {
            Advance();
            if (++Depth > 200)
                Fail("слишком глубокая вложенность выражения");
            auto e = std::make_unique<TExpr>();
            e->Kind = TExprKind::Not;
            e->Left = Not();
            --Depth;
            return e;
        }
        return Comparison();
    }
    TExprPtr Comparison() {
        TExprPtr e = Additive();
        static const std::pair<const char*, TBinaryOp> ops[] = {
            {"=", TBinaryOp::Eq}, {"<>", TBinaryOp::Ne}, {"!=", TBinaryOp::Ne},
            {"<", TBinaryOp::Lt}, {"<=", TBinaryOp::Le}, {">", TBinaryOp::Gt},
            {">=", TBinaryOp::Ge}};
        for (const auto& [symbol, op] : ops)
            if (IsSymbol(symbol)) {
                Advance();
                return MakeBinary(op, std::move(e), Additive());
            }
        if (IsKeyword("IS")) {
            Advance();
            bool negated = false;
            if (IsKeyword("NOT")) {
                Advance();
                negated = true;
            }
            ExpectKeyword("NULL");
            auto test = std::make_unique<TExpr>();
            test->Kind = negated ? TExprKind::IsNotNull : TExprKind::IsNull;
            test->Left = std::move(e);
            return test;
        }
        return e;
    }
    TExprPtr Additive() {
        TExprPtr e = Multiplicative();
        while (IsSymbol("+") || IsSymbol("-")) {
            TBinaryOp op = IsSymbol("+") ? TBinaryOp::Add : TBinaryOp::Sub;
            Advance();
            e = MakeBinary(op, std::move(e), Multiplicative());
        }
        return e;
    }
    TExprPtr Multiplicative() {
        TExprPtr e = Unary();
        while (IsSymbol("*") || IsSymbol("/")) {
            TBinaryOp op = IsSymbol("*") ? TBinaryOp::Mul : TBinaryOp::Div;
            Advance();
            e = MakeBinary(op, std::move(e), Unary());
        }
        return e;
    }
    TExprPtr Unary() {
        if (IsSymbol("-") || IsSymbol("+")) {
            const bool negate = IsSymbol("-");
            Advance();
            if (++Depth > 200)
                Fail("слишком глубокая вложенность выражения");
            TExprPtr operand = Unary();
            --Depth;
            if (!negate)
                return operand;
            auto e = std::make_unique<TExpr>();
            e->Kind = TExprKind::Negate;
            e->Left = std::move(operand);
            return e;
        }
        return Primary();
    }
    TExprPtr Primary() {
        auto e = std::make_unique<TExpr>();
        const TToken& t = Peek();
        if (t.Kind == TTokenKind::Number) {
            e->Kind = TExprKind::Literal;
            const bool integral = t.Text.find_first_of(".eE") == std::string::npos;
            errno = 0;
            long long i = integral ? std::strtoll(t.Text.c_str(), nullptr, 10) : 0;
            if (integral && errno == 0)
                e->Literal = TValue::Integer(i);
            else
                e->Literal = TValue::Number(std::strtod(t.Text.c_str(), nullptr));
            Advance();
        } else if (t.Kind == TTokenKind::String) {
            e->Kind = TExprKind::Literal;
            e->Literal = TValue::String(t.Text);
            Advance();
        } else if (t.Kind == TTokenKind::Param) {
            e->Kind = TExprKind::Param;
            e->Name = t.Text;
            Advance();
        } else if (IsKeyword("NULL")) {
            e->Kind = TExprKind::Literal;
            Advance();
        } else if (IsSymbol("(")) {
            Advance();
            e = Expression();
            Expect(")");
        } else if (IsName()) {
            e->Kind = TExprKind::Column;
            std::string first = Name("имя столбца");
            if (IsSymbol(".")) {
                Advance();
                e->Qualifier = first;
                e->Name = Name("имя столбца");
            } else {
                e->Name = first;
            }
        } else {
            Fail(t.Kind == TTokenKind::End ? "неожиданный конец запроса"
                                           : "неожиданное \"" + t.Text + "\"");
        }
        return e;
    }

    std::vector<TToken> Tokens;
    size_t Pos = 0;
    int Depth = 0;
};

} // namespace

TStatement Parse(const std::string& text) {
    return TParser(text).Statement();
}

std::vector<std::string> FindParams(const std::string& text) {
    std::vector<std::string> names;
    for (const TToken& t : Tokenize(text))
        if (t.Kind == TTokenKind::Param &&
            std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return SameName(n, t.Text); }))
            names.push_back(t.Text);
    return names;
}

} // namespace db
