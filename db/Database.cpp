#include "db/Database.h"
#include "db/Names.h"

#include "db/Catalog.h"

#include <algorithm>
#include <mutex>

namespace db {

namespace {

// Live connections of the process, so a statement can find one by name.
struct TRegistry {
    std::mutex Lock;
    std::vector<TDatabase*> Connections;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

} // namespace

TDatabase::TDatabase() {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Connections.push_back(this);
}

TDatabase::~TDatabase() {
    {
        TRegistry& r = Registry();
        std::lock_guard<std::mutex> guard(r.Lock);
        r.Connections.erase(std::remove(r.Connections.begin(), r.Connections.end(), this),
                            r.Connections.end());
    }
    Queries.clear();
    Close();
}

TDatabase* TDatabase::Find(const std::string& databaseName) {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    if (databaseName.empty())
        return nullptr;
    for (TDatabase* d : r.Connections)
        if (SameName(d->DatabaseName, databaseName))
            return d;
    return nullptr;
}

TQuery& TDatabase::CreateQuery() {
    Queries.push_back(std::make_unique<TQuery>(this));
    return *Queries.back();
}

void TDatabase::Open() {
    if (Catalog)
        return;
    if (!SameName(DriverName, "STANDARD"))
        throw EDatabaseError("Драйвер базы данных \"" + DriverName +
                             "\" не поддерживается; нужен STANDARD");
    std::string path;
    for (const std::string& line : Params) {
        auto eq = line.find('=');
        if (eq != std::string::npos && SameName(std::string_view(line).substr(0, eq), "PATH"))
            path = line.substr(eq + 1);
    }
    if (path.empty())
        throw EDatabaseError("В параметрах базы данных \"" + DatabaseName + "\" не указан PATH");
    Catalog = std::make_unique<TCatalog>(path);
}

void TDatabase::Close() {
    for (auto& q : Queries)
        q->Close();
    Catalog.reset();
}

TCatalog& TDatabase::Tables() {
    Open();
    return *Catalog;
}

} // namespace db
