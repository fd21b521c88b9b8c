#pragma once
// Scratch directories, file helpers and connections for the database tests.
#include "db/Database.h"
#include "db/Query.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace dbtest {

namespace fs = std::filesystem;

inline fs::path FixtureDir(const std::string& sub) {
    return fs::path(DB_FIXTURES) / sub;
}

// A fresh directory, removed with everything in it at scope exit. The name
// holds a space and Cyrillic letters, as users' paths do.
class TTempDir {
public:
    TTempDir() {
        std::random_device rd;
        Path = fs::temp_directory_path() /
               ("db test база " + std::to_string(rd()) + "_" + std::to_string(rd()));
        fs::create_directories(Path);
    }
    ~TTempDir() {
        std::error_code ec;
        fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(Path, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const fs::path& operator()() const { return Path; }
    std::string Str() const { return Path.string(); }
    std::string Slash() const { return Path.string() + "/"; }

private:
    fs::path Path;
};

inline std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void CopyDir(const fs::path& from, const fs::path& to) {
    for (const auto& e : fs::directory_iterator(from)) {
        fs::copy_file(e.path(), to / e.path().filename(), fs::copy_options::overwrite_existing);
        fs::permissions(to / e.path().filename(), fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add);
    }
}

// A connection to the tables in dir, set up as the program sets up its own.
inline void Connect(TDatabase& database, const std::string& dir, const std::string& name) {
    database.DriverName = "STANDARD";
    database.Params = {"PATH=" + dir};
    database.DatabaseName = name;
}

// A statement of the connection, found by its name.
inline TQuery& Statement(TDatabase& database, const std::string& sql) {
    TQuery& q = database.CreateQuery();
    q.DatabaseName = database.DatabaseName;
    q.SetSQL(sql);
    return q;
}

// Runs one changing statement on its own connection to the tables in dir.
inline void ExecIn(const fs::path& dir, const std::string& sql) {
    TDatabase database;
    Connect(database, dir.string() + "/", "Scratch");
    Statement(database, sql).ExecSQL();
}

} // namespace dbtest
