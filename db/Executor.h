#pragma once
// Plans and runs parsed statements against a connection's tables: filters
// pushed to each table, equality joins by hash, and updates that find their
// rows through the connection's hash indexes.
#include "db/Ast.h"
#include "db/Catalog.h"

#include <map>
#include <string>
#include <vector>

namespace db {

// Parameter values by upper-case name.
using TParamValues = std::map<std::string, TValue>;

struct TResultSet {
    std::vector<std::string> Columns;
    std::vector<std::vector<TValue>> Rows;
};

TResultSet ExecuteSelect(TSelect& select, TCatalog& catalog, const TParamValues& params);
// Returns the number of rows changed.
size_t ExecuteUpdate(TUpdate& update, TCatalog& catalog, const TParamValues& params);

} // namespace db
