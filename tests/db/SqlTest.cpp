// The SQL subset: selection with SQL's null rules, joins, names in any
// letter case or quoted, parameters, and clear errors for the rest.
#include "TestDir.h"
#include "db/Database.h"
#include "db/TableFile.h"
#include "tools/tradedb/TradeDb.h"

#include <gtest/gtest.h>

using namespace dbtest;

namespace {

// Blanks one field of one record, as a user's program leaves an empty cell.
void Blank(const fs::path& path, size_t row, const std::string& field) {
    auto table = db::TTableFile::Load(path.string(), "t");
    const auto& info = table->Fields()[table->FieldIndex(field)];
    std::string bytes = ReadBytes(path);
    bytes.replace(table->RecordOffset(row) + info.Offset, info.Length, info.Length, '\0');
    WriteBytes(path, bytes);
}

class Sql : public ::testing::Test {
protected:
    void SetUp() override {
        MakeTradeDatabase(
            dir.Str(), {{1, "Молоко", "M1"}, {2, "Хлеб", "H2"}, {4, "O'Brien", "Q"}},
            {{1, 1, 10, -1}, {2, 1, 20, 0}, {3, 2, 0, -3}, {4, 2, 5, 0}, {5, 3, 7, 2.5}},
            {{1, 1, 0, 1}, {2, 1, 1, 2}, {3, 3, 0, 3}});
        Blank(dir() / "Batches.db", 2, "Count");
        Blank(dir() / "Batches.db", 3, "Ostatok");
        Connect(database, dir.Slash(), "Sql");
    }
    TQuery& Query(const std::string& sql) { return Statement(database, sql); }
    std::vector<int32_t> Ids(const std::string& sql, const char* column = "ID_P") {
        TQuery& q = Query(sql);
        if (q.SQL().find(":P") != std::string::npos)
            q.ParamByName("P").SetAsInteger(4);
        q.Open();
        std::vector<int32_t> ids;
        for (; !q.Eof(); q.Next())
            ids.push_back(q.FieldByName(column).AsInteger());
        return ids;
    }
    TTempDir dir;
    TDatabase database;
};

TEST_F(Sql, ConditionsFollowNullRules) {
    struct TCase {
        std::string Where;
        std::vector<int32_t> Ids;
    };
    // Row 3 has a blank Count, row 4 a blank Ostatok.
    const std::vector<TCase> cases = {
        {"Ostatok < 0", {1, 3}},
        {"NOT (Ostatok < 0)", {2, 5}},
        {"Ostatok < 0 OR \"Count\" > 15", {1, 2, 3}},
        {"\"Count\" > 6 OR Ostatok < 0", {1, 2, 3, 5}},
        {"NOT (\"Count\" > 6 AND Ostatok < 0)", {2, 4, 5}},
        {"\"Count\" + Ostatok > 8", {1, 2, 5}},
        {"Ostatok IS NULL", {4}},
        {"\"Count\" IS NOT NULL AND Ostatok >= 0", {2, 5}},
        {"(ID_P = 1 OR ID_P = 5) AND NOT ID_P = 5", {1}},
        {"ID_P * 2 - 1 = 5", {3}},
        {"\"Count\" / 4 = 2.5", {1}},
        {"-Ostatok = 3", {3}},
        {"ID_P <> 2 AND ID_P != 4", {1, 3, 5}},
        {"ID_P = :P", {4}},
        {"ID_P = '3'", {3}},
        {"ID_P <= 2.5 AND ID_P >= 1.5", {2}},
        {"Ostatok = NULL", {}},
        {"1 = 1", {1, 2, 3, 4, 5}},
        {"1 = 0", {}},
        {"ID_P + 1.5e1 = 16", {1}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Ids("SELECT * FROM Batches WHERE " + c.Where), c.Ids) << c.Where;
}

TEST_F(Sql, JoinsAliasesAndNames) {
    struct TCase {
        std::string Sql;
        std::vector<int32_t> Ids;
        const char* Column;
    };
    const std::vector<TCase> cases = {
        {"SELECT b.ID_P FROM Batches b, Goods g WHERE b.ID_Goods = g.id_goods",
         {1, 2, 3, 4},
         "ID_P"},
        {"SELECT b.ID_P FROM Goods g, Batches b WHERE g.id_goods = b.id_goods AND g.Kod = 'H2'",
         {3, 4},
         "ID_P"},
        {"SELECT * FROM Goods g WHERE g.\"Name\" = 'Хлеб'", {2}, "id_goods"},
        {"SELECT * FROM \"Goods.db\" WHERE Kod = 'Q'", {4}, "ID_GOODS"},
        {"SELECT g.* FROM goods AS g WHERE g.Name = 'O''Brien'", {4}, "id_goods"},
        {"select b.ID_P from BATCHES b, Goods g where g.id_goods = 4 and b.ID_P < 3",
         {1, 2},
         "id_p"},
        {"SELECT m.ID FROM Batches b, Goods g, GoodsMotion m WHERE b.ID_Goods = g.id_goods AND "
         "m.ID_P = b.ID_P AND m.\"Type\" = 0",
         {1, 3},
         "ID"},
        {"SELECT Batches.ID_P FROM Batches WHERE Batches.ID_P > 4", {5}, "ID_P"},
        {"SELECT ID_P AS Key FROM Batches WHERE ID_P < 2", {1}, "Key"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Ids(c.Sql, c.Column), c.Ids) << c.Sql;
}

TEST_F(Sql, ResultColumnsOfTheBatchSelect) {
    TQuery& q = Query("SELECT b.*, g.\"Name\", g.Kod FROM Batches b, Goods g WHERE b.id_goods = "
                      "g.id_goods AND b.ID_P = 1");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("id_p").AsInteger(), 1);
    EXPECT_EQ(q.FieldByName("COUNT").AsFloat(), 10);
    EXPECT_EQ(q.FieldByName("count").AsString(), "10");
    EXPECT_EQ(q.FieldByName("Name").AsString(), "Молоко");
    EXPECT_EQ(q.FieldByName("kod").AsString(), "M1");
    // Same-named columns of two tables both stay reachable.
    TQuery& both =
        Query("SELECT * FROM Batches b, GoodsMotion m WHERE b.ID_P = m.ID_P AND m.ID = 2");
    both.Open();
    EXPECT_EQ(both.FieldByName("Count").AsFloat(), 10);
    EXPECT_EQ(both.FieldByName("Count_1").AsFloat(), 2);
    // Blank fields are null: empty text, zero numbers.
    TQuery& blank = Query("SELECT * FROM Batches WHERE ID_P = 3");
    blank.Open();
    EXPECT_TRUE(blank.FieldByName("Count").IsNull());
    EXPECT_EQ(blank.FieldByName("Count").AsString(), "");
    EXPECT_EQ(blank.FieldByName("Count").AsFloat(), 0);
    EXPECT_FALSE(blank.FieldByName("Ostatok").IsNull());
}

TEST_F(Sql, UpdatesKeepNullsAndSeeTheOldRow) {
    TQuery& u = Query("UPDATE Batches SET \"Count\" = \"Count\" + Ostatok, Ostatok = \"Count\"");
    u.ExecSQL();
    EXPECT_EQ(u.RowsAffected(), 5u);
    TQuery& q = Query("SELECT * FROM Batches");
    q.Open();
    std::vector<std::pair<double, double>> rows;
    std::vector<bool> nulls;
    for (; !q.Eof(); q.Next()) {
        rows.emplace_back(q.FieldByName("Count").AsFloat(), q.FieldByName("Ostatok").AsFloat());
        nulls.push_back(q.FieldByName("Count").IsNull());
    }
    const std::vector<std::pair<double, double>> expected = {
        {9, 10}, {20, 20}, {0, 0}, {0, 5}, {9.5, 7}};
    EXPECT_EQ(rows, expected);
    // null + x stays null; a null Ostatok makes the sum null, not 5.
    EXPECT_EQ(nulls, (std::vector<bool>{false, false, true, true, false}));
}

TEST_F(Sql, LookupsFollowAChangedKeyColumn) {
    // The first statement builds the connection's index on ID_P; the second
    // changes ID_P itself; later lookups must see the new values.
    auto affected = [&](const std::string& sql) {
        TQuery& q = Query(sql);
        q.ExecSQL();
        return q.RowsAffected();
    };
    EXPECT_EQ(affected("UPDATE Batches SET Ostatok = 1 WHERE ID_P = 1"), 1u);
    EXPECT_EQ(affected("UPDATE Batches SET ID_P = 100 WHERE ID_P = 1"), 1u);
    EXPECT_EQ(affected("UPDATE Batches SET Ostatok = 2 WHERE ID_P = 1"), 0u);
    EXPECT_EQ(affected("UPDATE Batches SET Ostatok = 3 WHERE ID_P = 100.0"), 1u);
    EXPECT_EQ(affected("UPDATE Batches SET Ostatok = 4 WHERE ID_P = NULL"), 0u);
    EXPECT_EQ(affected("UPDATE Batches SET Ostatok = 5 WHERE 2 = ID_P"), 1u);
    EXPECT_EQ(Ids("SELECT * FROM Batches WHERE Ostatok >= 3"), (std::vector<int32_t>{100, 2}));
}

TEST_F(Sql, ParametersAreFoundOutsideStringsAndQuotes) {
    TQuery& q = Query("UPDATE GoodsMotion SET \"Count\" = \"Count\" + :AddCount WHERE "
                      "ID_P = :ID_P AND ':NotOne' <> \":Neither\" OR ID = :addcount");
    EXPECT_NO_THROW(q.ParamByName("addcount"));
    EXPECT_NO_THROW(q.ParamByName("id_p"));
    EXPECT_THROW(q.ParamByName("NotOne"), EDatabaseError);
    EXPECT_THROW(q.ParamByName("Neither"), EDatabaseError);
    // Executing with a parameter never bound names it.
    TQuery& u = Query("UPDATE GoodsMotion SET \"Count\" = \"Count\" + :AddCount WHERE "
                      "ID_P = :ID_P AND ':NotOne' <> 'x'");
    u.ParamByName("AddCount").SetAsFloat(1);
    try {
        u.ExecSQL();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("ID_P"), std::string::npos) << e.Message;
    }
}

TEST_F(Sql, UnsupportedOrWrongStatementsAreClearErrors) {
    struct TCase {
        std::string Sql, Expected;
    };
    const std::vector<TCase> cases = {
        {"INSERT INTO Batches VALUES (1)", "не поддерживается: INSERT"},
        {"DELETE FROM Batches", "не поддерживается: DELETE"},
        {"SELECT * FROM Batches ORDER BY ID_P", "не поддерживается: ORDER"},
        {"SELECT DISTINCT ID_P FROM Batches", "DISTINCT"},
        {"SELECT ID_P FROM Batches b, GoodsMotion m", "Неоднозначное"},
        {"SELECT x.ID_P FROM Batches b", "\"x\""},
        {"SELECT * FROM Batches WHERE Kod + 1 = 2", "Kod"},
        {"SELECT * FROM Goods WHERE Name + 1 = 2", "нечисловым"},
        {"SELECT * FROM Goods WHERE Name = 5", "Молоко"},
        {"SELECT * FROM Batches WHERE ID_P", "логическим"},
        {"SELECT * FROM Batches WHERE ID_P = 1 AND", "конец"},
        {"SELECT * FROM Batches WHERE ID_P = 1 @", "символ"},
        {"SELECT * FROM", "имя таблицы"},
        {"", "пустой"},
        {"SELECT * FROM Batches WHERE " + std::string(5000, '(') + "1=1" + std::string(5000, ')'),
         "вложенность"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sql.substr(0, 80));
        TQuery& q = Query(c.Sql);
        try {
            q.Open();
            FAIL() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_NE(e.Message.find(c.Expected), std::string::npos) << e.Message;
        }
    }
    // A select run by ExecSQL is harmless; an update cannot be opened.
    EXPECT_NO_THROW(Query("SELECT * FROM Batches").ExecSQL());
    EXPECT_THROW(Query("UPDATE Batches SET Ostatok = 0").Open(), EDatabaseError);
}

TEST_F(Sql, TableFilesInAnyLetterCase) {
    fs::rename(dir() / "Goods.db", dir() / "GOODS.DB");
    EXPECT_EQ(Ids("SELECT * FROM goods WHERE id_goods > 1", "id_goods"),
              (std::vector<int32_t>{2, 4}));
    // A directory named like a table is no table.
    fs::create_directory(dir() / "Ghost.db");
    EXPECT_THROW(Query("SELECT * FROM Ghost").Open(), EDatabaseError);
}

TEST_F(Sql, ChangesByAnotherProgramAreSeenByTheNextStatement) {
    TQuery& q = Query("SELECT * FROM Batches WHERE ID_P = 1");
    q.Open();
    EXPECT_EQ(q.FieldByName("Ostatok").AsFloat(), -1);
    q.Close();
    // Another program rewrites the table under the open connection.
    MakeTradeDatabase(dir.Str(), {{1, "x", "y"}}, {{1, 1, 10, -42}}, {});
    q.Open();
    EXPECT_EQ(q.FieldByName("Ostatok").AsFloat(), -42);
    TQuery& u = Query("UPDATE Batches SET Ostatok = 0 WHERE ID_P = 1");
    u.ExecSQL();
    EXPECT_EQ(ReadBatches(dir.Str()).at(0).Ostatok, 0);
}

} // namespace
