#pragma once
// Statement text to its parsed form. Anything beyond SELECT and UPDATE of
// the supported shape is refused with a message saying what is not supported.
#include "db/Ast.h"

#include <string>
#include <vector>

namespace db {

TStatement Parse(const std::string& text);

// The names of the :Name parameters in order of first appearance.
std::vector<std::string> FindParams(const std::string& text);

} // namespace db
