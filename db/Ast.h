#pragma once
// The parsed form of the statements the layer runs.
#include "db/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace db {

enum class TExprKind { Literal, Param, Column, Not, Negate, IsNull, IsNotNull, Binary };

enum class TBinaryOp { Or, And, Eq, Ne, Lt, Le, Gt, Ge, Add, Sub, Mul, Div };

struct TExpr {
    TExprKind Kind;
    TBinaryOp Op = TBinaryOp::Eq;
    TValue Literal;
    std::string Qualifier; // table name or alias; empty when not given
    std::string Name;      // column or parameter name
    std::unique_ptr<TExpr> Left, Right;
    // Where a column reference was found when the statement was planned.
    int Slot = -1;
    int Field = -1;
};
using TExprPtr = std::unique_ptr<TExpr>;

struct TTableRef {
    std::string Name; // without a ".db" extension
    std::string Alias;
};

struct TSelectItem {
    bool Star = false;     // "*" or "alias.*"
    std::string Qualifier; // for "alias.*"
    TExprPtr Expr;         // a column reference otherwise
    std::string As;        // result column name
};

struct TSelect {
    std::vector<TSelectItem> Items;
    std::vector<TTableRef> From;
    TExprPtr Where;
};

struct TAssignment {
    std::string Qualifier;
    std::string Column;
    TExprPtr Value;
};

struct TUpdate {
    TTableRef Table;
    std::vector<TAssignment> Set;
    TExprPtr Where;
};

struct TStatement {
    std::unique_ptr<TSelect> Select;
    std::unique_ptr<TUpdate> Update;
};

} // namespace db
