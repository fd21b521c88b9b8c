#pragma once
// Expression values under SQL's rules: null in arithmetic gives null, a
// comparison with null is unknown, and only true passes a condition.
#include "db/Ast.h"

#include <map>
#include <string>

namespace db {

struct IColumnSource {
    virtual TValue Column(int slot, int field) const = 0;

protected:
    ~IColumnSource() = default;
};

class TEvaluator {
public:
    explicit TEvaluator(const std::map<std::string, TValue>& params) : Params(params) {}
    TValue Evaluate(const TExpr& e, const IColumnSource& columns) const;
    bool IsTrue(const TExpr& e, const IColumnSource& columns) const;

private:
    const std::map<std::string, TValue>& Params;
};

} // namespace db
