// The three statements of the correction run, word for word, on trade
// databases written by the independent library, and read back by it.
#include "TestDir.h"
#include "db/Database.h"
#include "db/TableFile.h"
#include "platform/Files.h"
#include "tools/tradedb/TradeDb.h"

#include <gtest/gtest.h>

#include <map>

using namespace dbtest;

namespace {

const char* const SelectText = "SELECT b.*, g.\"Name\", g.Kod FROM Batches b, Goods g WHERE "
                               "(b.Ostatok < 0) and (b.id_goods=g.id_goods)";
const char* const MotionText = "UPDATE GoodsMotion gm SET gm.\"Count\" = gm.\"Count\" + :AddCount "
                               "WHERE gm.ID_P=:ID_P AND gm.\"Type\"=0";
const char* const BatchText =
    "UPDATE Batches b SET b.\"Count\" = b.\"Count\" + :AddCount, b.Ostatok=0 WHERE b.ID_P=:ID_P";

struct TLogLine {
    int32_t IdP;
    int32_t IdGoods;
    std::string Name;
    std::string Kod;
    double Ostatok;
};

// What the correction run does with the layer, step by step.
struct TRun {
    std::vector<TLogLine> Lines;
    std::vector<std::pair<int32_t, int32_t>> RecNos; // RecNo, RecordCount
};

TRun CorrectionRun(const std::string& dir) {
    TRun run;
    auto database = std::make_unique<TDatabase>();
    Connect(*database, dir, "Tovira");
    TQuery& batchQuery = Statement(*database, SelectText);
    TQuery& motionUpdate = Statement(*database, MotionText);
    TQuery& batchUpdate = Statement(*database, BatchText);
    EXPECT_FALSE(database->Connected());
    batchQuery.Open();
    EXPECT_TRUE(database->Connected());
    while (!batchQuery.Eof()) {
        run.RecNos.emplace_back(batchQuery.RecNo(), batchQuery.RecordCount());
        TLogLine line{batchQuery.FieldByName("ID_P").AsInteger(),
                      batchQuery.FieldByName("ID_Goods").AsInteger(),
                      batchQuery.FieldByName("Name").AsString(),
                      batchQuery.FieldByName("Kod").AsString(),
                      batchQuery.FieldByName("Ostatok").AsFloat()};
        run.Lines.push_back(line);
        const double addCount = std::abs(line.Ostatok);
        motionUpdate.ParamByName("AddCount").SetAsFloat(addCount);
        motionUpdate.ParamByName("ID_P").SetAsInteger(line.IdP);
        motionUpdate.ExecSQL();
        batchUpdate.ParamByName("AddCount").SetAsFloat(addCount);
        batchUpdate.ParamByName("ID_P").SetAsInteger(line.IdP);
        batchUpdate.ExecSQL();
        batchQuery.Next();
    }
    batchQuery.Close();
    return run;
}

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = ReadBytes(e.path());
    return files;
}

// Every byte that differs lies inside one of the allowed fields of its record.
void ExpectOnlyFieldsChanged(const std::string& before, const fs::path& path,
                             const std::vector<std::string>& fields) {
    const std::string after = ReadBytes(path);
    ASSERT_EQ(before.size(), after.size());
    auto table = db::TTableFile::Load(path.string(), path.stem().string());
    std::vector<std::pair<int64_t, int64_t>> allowed;
    for (size_t row = 0; row < table->RecordCount(); ++row)
        for (const std::string& f : fields) {
            const auto& info = table->Fields()[table->FieldIndex(f)];
            int64_t at = table->RecordOffset(row) + info.Offset;
            allowed.emplace_back(at, at + info.Length);
        }
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i]) {
            bool inside = std::any_of(allowed.begin(), allowed.end(), [&](auto r) {
                return static_cast<int64_t>(i) >= r.first && static_cast<int64_t>(i) < r.second;
            });
            EXPECT_TRUE(inside) << path.filename() << " byte " << i << " changed";
        }
}

class TradeRun : public ::testing::Test {
protected:
    void Make(const TTradeDbOptions& options = {}) {
        goods = {{1, "Молоко 3,2%", "М-001"}, {2, "Хлеб ржаной", "Х-17"}, {3, "Sugar", "S3"}};
        batches = {
            {10, 1, 100, 5},   // not negative
            {11, 2, 40, -2.5}, // two movements of type 0
            {12, 99, 7, -4},   // no goods row: never selected
            {13, 3, 9, -1.25}, // no movement of type 0
            {14, 1, 0, 0},     // zero is not negative
            {15, 2, 30, -7},   // one movement of type 0, one of type 1
        };
        motions = {{1, 11, 0, 20}, {2, 11, 0, 20}, {3, 11, 1, 5}, {4, 13, 1, 9},
                   {5, 15, 0, 30}, {6, 15, 2, 1},  {7, 12, 0, 7}, {8, 10, 0, 100}};
        MakeTradeDatabase(dir.Str(), goods, batches, motions, options);
    }
    // The connection as the program sets it up.
    void Connect(TDatabase& database) { dbtest::Connect(database, dir.Slash(), "Tovira"); }
    TTempDir dir;
    std::vector<TGoodsRow> goods;
    std::vector<TBatchRow> batches;
    std::vector<TMotionRow> motions;
};

TEST_F(TradeRun, CorrectsNegativeBatchesAndTheirTypeZeroMovements) {
    Make();
    const auto before = Snapshot(dir());
    TRun run = CorrectionRun(dir.Slash());

    ASSERT_EQ(run.Lines.size(), 3u);
    EXPECT_EQ(run.Lines[0].IdP, 11);
    EXPECT_EQ(run.Lines[0].IdGoods, 2); // found as "ID_Goods" though the select says id_goods
    EXPECT_EQ(run.Lines[0].Name, "Хлеб ржаной");
    EXPECT_EQ(run.Lines[0].Kod, "Х-17");
    EXPECT_EQ(run.Lines[0].Ostatok, -2.5);
    EXPECT_EQ(run.Lines[1].IdP, 13);
    EXPECT_EQ(run.Lines[2].IdP, 15);
    EXPECT_EQ(run.Lines[2].Name, "Хлеб ржаной");
    // The result is a snapshot: the updates zero Ostatok underneath it.
    std::vector<std::pair<int32_t, int32_t>> recNos = {{1, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(run.RecNos, recNos);

    std::map<int32_t, TBatchRow> batchAfter;
    for (const auto& b : ReadBatches(dir.Str()))
        batchAfter[b.IdP] = b;
    EXPECT_EQ(batchAfter[11].Count, 42.5);
    EXPECT_EQ(batchAfter[11].Ostatok, 0);
    EXPECT_EQ(batchAfter[13].Count, 10.25);
    EXPECT_EQ(batchAfter[13].Ostatok, 0);
    EXPECT_EQ(batchAfter[15].Count, 37);
    EXPECT_EQ(batchAfter[12].Count, 7); // no goods: untouched
    EXPECT_EQ(batchAfter[12].Ostatok, -4);
    EXPECT_EQ(batchAfter[10].Count, 100);

    std::map<int32_t, double> motionCount;
    for (const auto& m : ReadMotions(dir.Str()))
        motionCount[m.Id] = m.Count;
    std::map<int32_t, double> expected = {{1, 22.5}, {2, 22.5}, {3, 5}, {4, 9},
                                          {5, 37},   {6, 1},    {7, 7}, {8, 100}};
    EXPECT_EQ(motionCount, expected);

    ExpectOnlyFieldsChanged(before.at("Batches.db"), dir() / "Batches.db", {"Count", "Ostatok"});
    ExpectOnlyFieldsChanged(before.at("GoodsMotion.db"), dir() / "GoodsMotion.db", {"Count"});
    EXPECT_EQ(before.at("Goods.db"), ReadBytes(dir() / "Goods.db"));
    EXPECT_EQ(before.at("Documents.db"), ReadBytes(dir() / "Documents.db"));

    // A second run finds nothing left to correct.
    EXPECT_TRUE(CorrectionRun(dir.Slash()).Lines.empty());
}

TEST_F(TradeRun, DecodesTheTablesCodePage) {
    TTradeDbOptions options;
    options.CodePage = 866;
    Make(options);
    TRun run = CorrectionRun(dir.Slash());
    ASSERT_EQ(run.Lines.size(), 3u);
    EXPECT_EQ(run.Lines[0].Name, "Хлеб ржаной");
    EXPECT_EQ(run.Lines[0].Kod, "Х-17");
}

TEST_F(TradeRun, ShortCountColumnsTakeTheRoundedSum) {
    TTradeDbOptions options;
    options.CountAsShort = true;
    Make(options);
    CorrectionRun(dir.Slash());
    std::map<int32_t, TBatchRow> after;
    for (const auto& b : ReadBatches(dir.Str()))
        after[b.IdP] = b;
    EXPECT_EQ(after[11].Count, 43); // 40 + 2.5 rounds to the nearest
    EXPECT_EQ(after[13].Count, 10); // 9 + 1.25
    for (const auto& m : ReadMotions(dir.Str())) {
        if (m.Id == 1) {
            EXPECT_EQ(m.Count, 23);
        }
    }
}

TEST_F(TradeRun, ValueTooBigForShortColumnIsRefusedBeforeAnyWrite) {
    TTradeDbOptions options;
    options.CountAsShort = true;
    goods = {{1, "A", "a"}};
    batches = {{1, 1, 32000, -1000}};
    motions = {{1, 1, 0, 100}, {2, 1, 0, 32700}};
    MakeTradeDatabase(dir.Str(), goods, batches, motions, options);
    const auto before = Snapshot(dir());
    try {
        CorrectionRun(dir.Slash());
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.Message).find("Count"), std::string::npos) << e.Message;
    }
    // The first movement would fit, but the statement changes all or nothing.
    EXPECT_EQ(before, Snapshot(dir()));
}

TEST_F(TradeRun, MissingGoodsTableFailsAtOpenWithNothingChanged) {
    TTradeDbOptions options;
    options.WithGoods = false;
    Make(options);
    const auto before = Snapshot(dir());
    try {
        CorrectionRun(dir.Slash());
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("Goods"), std::string::npos) << e.Message;
    }
    EXPECT_EQ(before, Snapshot(dir()));
}

TEST_F(TradeRun, TableHeldWithoutSharingIsReportedAsLocked) {
    Make();
    const auto before = Snapshot(dir());
    platform::TFile holder((dir() / "GoodsMotion.db").string(), platform::TAccess::ReadWrite,
                           platform::TShare::Exclusive, platform::TDisposition::OpenExisting);
    try {
        CorrectionRun(dir.Slash());
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("GoodsMotion"), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("заблокирована"), std::string::npos) << e.Message;
    }
    holder.Close();
    EXPECT_EQ(before, Snapshot(dir()));
}

TEST_F(TradeRun, ConnectionErrorsNameWhatIsMissing) {
    Make();
    struct TCase {
        std::string Driver, Path, Sql, Expected;
    };
    const std::vector<TCase> cases = {
        {"STANDARD", dir.Slash() + "нет такого/", SelectText, "нет такого"},
        {"STANDARD", dir.Slash(), "SELECT * FROM Nothing", "Nothing"},
        {"STANDARD", dir.Slash(), "SELECT b.Missing FROM Batches b", "Missing"},
        {"STANDARD", dir.Slash(), "SELECT * FROM Batches WHERE Ghost = 1", "Ghost"},
        {"ORACLE", dir.Slash(), SelectText, "ORACLE"},
        {"STANDARD", dir.Slash(), "DELETE FROM Batches", "DELETE"},
        {"STANDARD", dir.Slash(), "SELECT * FROM Batches ORDER BY ID_P", "ORDER"},
        {"STANDARD", dir.Slash(), "SELECT * FROM Batches WHERE (ID_P = 1", "SQL"},
        {"STANDARD", dir.Slash(), "SELECT * FROM Batches WHERE Name = 'open", "SQL"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sql + " on " + c.Path);
        TDatabase database;
        database.DriverName = c.Driver;
        database.Params = {"PATH=" + c.Path};
        database.DatabaseName = "Tovira";
        TQuery& q = Statement(database, c.Sql);
        try {
            q.Open();
            FAIL() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_NE(e.Message.find(c.Expected), std::string::npos) << e.Message;
        }
    }
}

TEST_F(TradeRun, FieldValuesThatCannotBeReadInTheTypeAskedFor) {
    Make();
    TDatabase database;
    Connect(database);
    TQuery& q = Statement(database, "SELECT * FROM Goods g WHERE g.id_goods = 2");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_THROW(q.FieldByName("Name").AsInteger(), EDatabaseError);
    EXPECT_THROW(q.FieldByName("Name").AsFloat(), EDatabaseError);
    EXPECT_THROW(q.FieldByName("NoSuchColumn"), EDatabaseError);
    EXPECT_EQ(q.FieldByName("ID_GOODS").AsString(), "2");
    EXPECT_EQ(q.FieldByName("id_goods").AsFloat(), 2.0);
    try {
        q.FieldByName("Kod").AsInteger();
        ADD_FAILURE() << "an Alpha code was read as an integer";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("Kod"), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("Х-17"), std::string::npos) << e.Message;
    }
    q.Close();
    EXPECT_THROW(q.FieldByName("Name"), EDatabaseError);
}

TEST_F(TradeRun, StatementsFindTheirConnectionByName) {
    Make();
    TDatabase database;
    Connect(database);
    // A statement of its own, not created by the connection.
    TQuery q;
    q.DatabaseName = "TOVIRA";
    q.SetSQL("SELECT * FROM Batches");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 6);
    TQuery lost;
    lost.DatabaseName = "Other";
    lost.SetSQL("SELECT * FROM Batches");
    EXPECT_THROW(lost.Open(), EDatabaseError);
}

TEST_F(TradeRun, EmptyResultStartsAtEnd) {
    Make();
    TDatabase database;
    Connect(database);
    TQuery& q = Statement(database, "SELECT * FROM Batches WHERE Ostatok < -1000");
    q.Open();
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.RecordCount(), 0);
}

} // namespace
