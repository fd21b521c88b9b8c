#pragma once
// One connection to a directory of Paradox tables. Statements find it by
// DatabaseName, a handle local to the process; freeing the connection
// destroys the statements it owns.
#include "db/DatabaseError.h"
#include "db/Query.h"

#include <memory>
#include <string>
#include <vector>

namespace db {

class TCatalog;

class TDatabase {
public:
    TDatabase();
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    std::string DriverName;          // "STANDARD"
    std::vector<std::string> Params; // {"PATH=/dir/"}
    std::string DatabaseName;        // the handle statements find it by

    TQuery& CreateQuery(); // a statement owned by this connection
    bool Connected() const { return Catalog != nullptr; }
    // Opens the connection if it is not open yet; throws EDatabaseError.
    void Open();
    void Close();

    // The live connection of that name, or nullptr.
    static TDatabase* Find(const std::string& databaseName);

    TCatalog& Tables(); // opens when needed

private:
    std::unique_ptr<TCatalog> Catalog;
    std::vector<std::unique_ptr<TQuery>> Queries;
};

} // namespace db

using db::TDatabase;
