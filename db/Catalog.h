#pragma once
// The tables of one open connection: loaded on first use, reloaded when the
// file changed on disk, each with the hash indexes built on it so far.
#include "db/HashIndex.h"
#include "db/TableFile.h"

#include <map>
#include <memory>
#include <string>

namespace db {

struct TTableEntry {
    std::unique_ptr<TTableFile> File;
    std::map<int, std::unique_ptr<THashIndex>> Indexes;

    THashIndex& Index(int field);
};

class TCatalog {
public:
    // Throws EDatabaseError when the directory does not exist.
    explicit TCatalog(std::string directory);
    const std::string& Directory() const { return Dir; }
    // The table by name, without extension, in any letter case.
    TTableEntry& Table(const std::string& name);

private:
    std::string Dir;
    std::map<std::string, TTableEntry> Tables; // by upper-case name
};

} // namespace db
