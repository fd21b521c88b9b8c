#pragma once
// Every failure of the database layer, with a Russian message that names the
// table, column or file concerned.
#include "platform/Exception.h"

namespace db {

class EDatabaseError : public platform::Exception {
public:
    using platform::Exception::Exception;
    const char* ClassName() const noexcept override { return "EDatabaseError"; }
};

} // namespace db

using db::EDatabaseError;
