#include "db/Evaluator.h"
#include "db/Names.h"

#include "db/DatabaseError.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace db {

namespace {

TValue Bool(bool b) {
    TValue v;
    v.Kind = TValueKind::Logical;
    v.Int = b ? 1 : 0;
    return v;
}

bool IsOrdered(const TValue& v) {
    return v.IsNumeric() || v.Kind == TValueKind::Date || v.Kind == TValueKind::Time ||
           v.Kind == TValueKind::Timestamp || v.Kind == TValueKind::Logical;
}

std::optional<double> TextToNumber(const std::string& text) {
    std::string t = text;
    for (char& c : t)
        if (c == ',')
            c = '.';
    char* end = nullptr;
    errno = 0;
    double d = std::strtod(t.c_str(), &end);
    while (end && *end == ' ')
        ++end;
    if (t.empty() || !end || *end != '\0' || errno == ERANGE)
        return std::nullopt;
    return d;
}

// -1, 0 or 1; nullopt when either side is null.
std::optional<int> Compare(const TValue& a, const TValue& b) {
    if (a.IsNull() || b.IsNull())
        return std::nullopt;
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (a.Kind == TValueKind::Integer && b.Kind == TValueKind::Integer)
        return sign(a.Int, b.Int);
    const bool aText = a.Kind == TValueKind::Text || a.Kind == TValueKind::Bytes;
    const bool bText = b.Kind == TValueKind::Text || b.Kind == TValueKind::Bytes;
    if (aText && bText)
        return sign(a.Text.compare(b.Text), 0);
    if (IsOrdered(a) && IsOrdered(b))
        return sign(a.AsDouble(), b.AsDouble());
    if (aText != bText) {
        const TValue& text = aText ? a : b;
        auto number = TextToNumber(text.Text);
        if (number) {
            double other = aText ? b.AsDouble() : a.AsDouble();
            return aText ? sign(*number, other) : sign(other, *number);
        }
        throw EDatabaseError("Нельзя сравнить строку \"" + text.Text + "\" с числом");
    }
    throw EDatabaseError("Несовместимые типы в сравнении");
}

TValue Arithmetic(TBinaryOp op, const TValue& a, const TValue& b) {
    if (a.IsNull() || b.IsNull())
        return TValue::Null();
    if (!a.IsNumeric() || !b.IsNumeric())
        throw EDatabaseError("Арифметическое действие над нечисловым значением");
    if (a.Kind == TValueKind::Integer && b.Kind == TValueKind::Integer && op != TBinaryOp::Div) {
        int64_t r = 0;
        bool overflow = op == TBinaryOp::Add   ? __builtin_add_overflow(a.Int, b.Int, &r)
                        : op == TBinaryOp::Sub ? __builtin_sub_overflow(a.Int, b.Int, &r)
                                               : __builtin_mul_overflow(a.Int, b.Int, &r);
        if (!overflow)
            return TValue::Integer(r);
    }
    const double x = a.AsDouble(), y = b.AsDouble();
    switch (op) {
    case TBinaryOp::Add:
        return TValue::Number(x + y);
    case TBinaryOp::Sub:
        return TValue::Number(x - y);
    case TBinaryOp::Mul:
        return TValue::Number(x * y);
    default:
        if (y == 0)
            throw EDatabaseError("Деление на ноль");
        return TValue::Number(x / y);
    }
}

} // namespace

TValue TEvaluator::Evaluate(const TExpr& e, const IColumnSource& columns) const {
    switch (e.Kind) {
    case TExprKind::Literal:
        return e.Literal;
    case TExprKind::Param: {
        auto it = Params.find(Upper(e.Name));
        if (it == Params.end())
            throw EDatabaseError("Параметру \"" + e.Name + "\" не присвоено значение");
        return it->second;
    }
    case TExprKind::Column:
        return columns.Column(e.Slot, e.Field);
    case TExprKind::IsNull:
        return Bool(Evaluate(*e.Left, columns).IsNull());
    case TExprKind::IsNotNull:
        return Bool(!Evaluate(*e.Left, columns).IsNull());
    case TExprKind::Not: {
        TValue v = Evaluate(*e.Left, columns);
        if (v.IsNull())
            return v;
        if (v.Kind != TValueKind::Logical)
            throw EDatabaseError("NOT применён не к условию");
        return Bool(v.Int == 0);
    }
    case TExprKind::Negate: {
        TValue v = Evaluate(*e.Left, columns);
        if (v.IsNull())
            return v;
        if (!v.IsNumeric())
            throw EDatabaseError("Знак минус перед нечисловым значением");
        if (v.Kind == TValueKind::Integer && v.Int != INT64_MIN)
            return TValue::Integer(-v.Int);
        return TValue::Number(-v.AsDouble());
    }
    case TExprKind::Binary:
        break;
    }
    if (e.Op == TBinaryOp::And || e.Op == TBinaryOp::Or) {
        auto truth = [&](const TExpr& side) -> std::optional<bool> {
            TValue v = Evaluate(side, columns);
            if (v.IsNull())
                return std::nullopt;
            if (v.Kind != TValueKind::Logical)
                throw EDatabaseError("AND и OR соединяют только условия");
            return v.Int != 0;
        };
        std::optional<bool> left = truth(*e.Left);
        const bool isAnd = e.Op == TBinaryOp::And;
        // false AND x is false, true OR x is true, whatever x is.
        if (left && *left != isAnd)
            return Bool(*left);
        std::optional<bool> right = truth(*e.Right);
        if (right && *right != isAnd)
            return Bool(*right);
        if (!left || !right)
            return TValue::Null();
        return Bool(isAnd);
    }
    TValue a = Evaluate(*e.Left, columns);
    TValue b = Evaluate(*e.Right, columns);
    switch (e.Op) {
    case TBinaryOp::Add:
    case TBinaryOp::Sub:
    case TBinaryOp::Mul:
    case TBinaryOp::Div:
        return Arithmetic(e.Op, a, b);
    default:
        break;
    }
    std::optional<int> c = Compare(a, b);
    if (!c)
        return TValue::Null();
    switch (e.Op) {
    case TBinaryOp::Eq:
        return Bool(*c == 0);
    case TBinaryOp::Ne:
        return Bool(*c != 0);
    case TBinaryOp::Lt:
        return Bool(*c < 0);
    case TBinaryOp::Le:
        return Bool(*c <= 0);
    case TBinaryOp::Gt:
        return Bool(*c > 0);
    default:
        return Bool(*c >= 0);
    }
}

bool TEvaluator::IsTrue(const TExpr& e, const IColumnSource& columns) const {
    TValue v = Evaluate(e, columns);
    if (v.IsNull())
        return false;
    if (v.Kind != TValueKind::Logical)
        throw EDatabaseError("Условие WHERE не является логическим выражением");
    return v.Int != 0;
}

} // namespace db
