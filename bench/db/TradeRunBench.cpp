// Times the correction run's database work (open the select of negative
// batches, then per row the movement update and the batch update) on our
// layer and on SQLite with the same data, each statement its own transaction.
#include "db/Database.h"
#include "tools/tradedb/TradeDb.h"

#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const SelectText = "SELECT b.*, g.\"Name\", g.Kod FROM Batches b, Goods g WHERE "
                               "(b.Ostatok < 0) and (b.id_goods=g.id_goods)";
const char* const MotionText = "UPDATE GoodsMotion gm SET gm.\"Count\" = gm.\"Count\" + :AddCount "
                               "WHERE gm.ID_P=:ID_P AND gm.\"Type\"=0";
const char* const BatchText =
    "UPDATE Batches b SET b.\"Count\" = b.\"Count\" + :AddCount, b.Ostatok=0 WHERE b.ID_P=:ID_P";

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct TConnection {
    std::unique_ptr<TDatabase> Database;
    TQuery* Select;
    TQuery* Motion;
    TQuery* Batch;
    explicit TConnection(const std::string& dir) : Database(std::make_unique<TDatabase>()) {
        Database->DriverName = "STANDARD";
        Database->Params = {"PATH=" + dir + "/"};
        Database->DatabaseName = "Tovira";
        Select = &Database->CreateQuery();
        Motion = &Database->CreateQuery();
        Batch = &Database->CreateQuery();
        for (TQuery* q : {Select, Motion, Batch})
            q->DatabaseName = "Tovira";
        Select->SetSQL(SelectText);
        Motion->SetSQL(MotionText);
        Batch->SetSQL(BatchText);
    }
};

int RunOurs(const std::string& dir) {
    TConnection c(dir);
    int rows = 0;
    c.Select->Open();
    while (!c.Select->Eof()) {
        const int32_t idP = c.Select->FieldByName("ID_P").AsInteger();
        const double add = std::fabs(c.Select->FieldByName("Ostatok").AsFloat());
        c.Select->FieldByName("Name").AsString();
        c.Select->FieldByName("Kod").AsString();
        c.Motion->ParamByName("AddCount").SetAsFloat(add);
        c.Motion->ParamByName("ID_P").SetAsInteger(idP);
        c.Motion->ExecSQL();
        c.Batch->ParamByName("AddCount").SetAsFloat(add);
        c.Batch->ParamByName("ID_P").SetAsInteger(idP);
        c.Batch->ExecSQL();
        c.Select->Next();
        ++rows;
    }
    c.Select->Close();
    return rows;
}

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(std::string(sql) + ": " + message);
    }
}

// Copies the tables into SQLite through our reader (not timed).
void BuildSqlite(const std::string& dir, const std::string& file) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(file.c_str(), &db), db, "open");
    Exec(db, "PRAGMA journal_mode=WAL");
    Exec(db, "CREATE TABLE Batches(ID_P INTEGER, ID_Goods INTEGER, Count REAL, Ostatok REAL);"
             "CREATE TABLE Goods(id_goods INTEGER, Name TEXT, Kod TEXT);"
             "CREATE TABLE GoodsMotion(ID INTEGER, ID_P INTEGER, Type INTEGER, Count REAL);");
    Exec(db, "BEGIN");
    TDatabase source;
    source.DriverName = "STANDARD";
    source.Params = {"PATH=" + dir + "/"};
    source.DatabaseName = "Source";
    struct TCopy {
        const char* Table;
        const char* Insert;
        std::vector<const char*> Columns;
        std::vector<char> Kinds; // i integer, f float, s text
    };
    const std::vector<TCopy> copies = {
        {"Batches",
         "INSERT INTO Batches VALUES(?,?,?,?)",
         {"ID_P", "ID_Goods", "Count", "Ostatok"},
         {'i', 'i', 'f', 'f'}},
        {"Goods", "INSERT INTO Goods VALUES(?,?,?)", {"id_goods", "Name", "Kod"}, {'i', 's', 's'}},
        {"GoodsMotion",
         "INSERT INTO GoodsMotion VALUES(?,?,?,?)",
         {"ID", "ID_P", "Type", "Count"},
         {'i', 'i', 'i', 'f'}},
    };
    for (const TCopy& copy : copies) {
        TQuery& q = source.CreateQuery();
        q.DatabaseName = "Source";
        q.SetSQL(std::string("SELECT * FROM ") + copy.Table);
        q.Open();
        sqlite3_stmt* insert = nullptr;
        Check(sqlite3_prepare_v2(db, copy.Insert, -1, &insert, nullptr), db, copy.Insert);
        for (; !q.Eof(); q.Next()) {
            for (size_t i = 0; i < copy.Columns.size(); ++i) {
                TField& f = q.FieldByName(copy.Columns[i]);
                const int at = static_cast<int>(i + 1);
                if (copy.Kinds[i] == 'i')
                    sqlite3_bind_int(insert, at, f.AsInteger());
                else if (copy.Kinds[i] == 'f')
                    sqlite3_bind_double(insert, at, f.AsFloat());
                else
                    sqlite3_bind_text(insert, at, f.AsString().c_str(), -1, SQLITE_TRANSIENT);
            }
            Check(sqlite3_step(insert), db, "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
    }
    Exec(db, "COMMIT");
    Exec(db, "CREATE INDEX BatchesIdP ON Batches(ID_P);"
             "CREATE INDEX GoodsId ON Goods(id_goods);"
             "CREATE INDEX MotionIdP ON GoodsMotion(ID_P);");
    sqlite3_close(db);
}

int RunSqlite(const std::string& file) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(file.c_str(), &db), db, "open");
    Exec(db, "PRAGMA journal_mode=WAL");
    Exec(db, "PRAGMA synchronous=OFF");
    sqlite3_stmt* select = nullptr;
    sqlite3_stmt* motion = nullptr;
    sqlite3_stmt* batch = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "SELECT b.*, g.Name, g.Kod FROM Batches b, Goods g WHERE "
                             "(b.Ostatok < 0) and (b.ID_Goods=g.id_goods)",
                             -1, &select, nullptr),
          db, "select");
    Check(sqlite3_prepare_v2(db,
                             "UPDATE GoodsMotion SET Count = Count + ?1 WHERE ID_P=?2 AND Type=0",
                             -1, &motion, nullptr),
          db, "motion");
    Check(sqlite3_prepare_v2(db, "UPDATE Batches SET Count = Count + ?1, Ostatok=0 WHERE ID_P=?2",
                             -1, &batch, nullptr),
          db, "batch");
    // The walk needs a snapshot, since the updates zero what selected the rows.
    struct TRow {
        int IdP;
        double Ostatok;
        std::string Name, Kod;
    };
    std::vector<TRow> rows;
    int rc;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int(select, 0), sqlite3_column_double(select, 3),
                        reinterpret_cast<const char*>(sqlite3_column_text(select, 4)),
                        reinterpret_cast<const char*>(sqlite3_column_text(select, 5))});
    Check(rc, db, "select step");
    for (const TRow& r : rows) {
        const double add = std::fabs(r.Ostatok);
        sqlite3_bind_double(motion, 1, add);
        sqlite3_bind_int(motion, 2, r.IdP);
        Check(sqlite3_step(motion), db, "motion step");
        sqlite3_reset(motion);
        sqlite3_bind_double(batch, 1, add);
        sqlite3_bind_int(batch, 2, r.IdP);
        Check(sqlite3_step(batch), db, "batch step");
        sqlite3_reset(batch);
    }
    sqlite3_finalize(select);
    sqlite3_finalize(motion);
    sqlite3_finalize(batch);
    sqlite3_close(db);
    return static_cast<int>(rows.size());
}

struct TFigures {
    double Ours, Sqlite;
    int Rows;
};

void DropFromCache(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

TFigures Measure(const fs::path& root, int batches, int negative, int motions) {
    const fs::path dir = root / ("trade" + std::to_string(batches));
    MakeSyntheticTradeDatabase(dir.string(), batches, negative, motions, 7);
    const std::string sqliteFile =
        (root / ("trade" + std::to_string(batches) + ".sqlite")).string();
    BuildSqlite(dir.string(), sqliteFile);
    // Both engines start from tables on disk, as a user's run does: freshly
    // made files would still sit in the page cache the way their writer left
    // them, which times the generator's traces, not the engines.
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_regular_file())
            DropFromCache(entry.path());
    for (const auto& entry : fs::directory_iterator(dir))
        DropFromCache(entry.path());

    auto start = std::chrono::steady_clock::now();
    const int oursRows = RunOurs(dir.string());
    const double ours = Seconds(start);
    start = std::chrono::steady_clock::now();
    const int sqliteRows = RunSqlite(sqliteFile);
    const double sqlite = Seconds(start);
    if (oursRows != sqliteRows)
        throw std::runtime_error("the two runs selected different rows: " +
                                 std::to_string(oursRows) + " and " + std::to_string(sqliteRows));
    return {ours, sqlite, oursRows};
}

} // namespace

int main(int argc, char** argv) {
    // An optional argument scales the data (1 = 100,000 batches and 1,000,000 movements).
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int batches = static_cast<int>(100000 * scale);
    const int negative = static_cast<int>(10000 * scale);
    const int motions = static_cast<int>(1000000 * scale);
    std::random_device rd;
    const fs::path root = fs::temp_directory_path() / ("bench_db_" + std::to_string(rd()));
    fs::create_directories(root);
    try {
        TFigures tenth = Measure(root, batches / 10, negative / 10, motions / 10);
        TFigures full = Measure(root, batches, negative, motions);
        std::printf("trade run, %d batches (%d negative), %d movements, %d rows corrected\n",
                    batches, negative, motions, full.Rows);
        std::printf("  ours:   %8.3f s\n  SQLite: %8.3f s (baseline: WAL, synchronous=OFF, "
                    "indexes on keys, prepared statements, a transaction per statement)\n",
                    full.Ours, full.Sqlite);
        std::printf("  ratio ours/SQLite: %.3f\n", full.Ours / full.Sqlite);
        std::printf("a tenth of the data: ours %.3f s, SQLite %.3f s, ratio %.3f\n", tenth.Ours,
                    tenth.Sqlite, tenth.Ours / tenth.Sqlite);
        std::printf("growth for 10x the data: ours x%.1f, SQLite x%.1f\n", full.Ours / tenth.Ours,
                    full.Sqlite / tenth.Sqlite);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_db: %s\n", e.what());
        fs::remove_all(root);
        return 1;
    }
    fs::remove_all(root);
    return 0;
}
