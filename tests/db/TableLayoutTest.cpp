// Block sizes, partly filled blocks, chains out of file order, and corrupt
// or hostile files: read right, or refused with a clear error and no write.
#include "BlockLayout.h"
#include "TestDir.h"
#include "db/Database.h"
#include "db/TableFile.h"
#include "tools/tradedb/TradeDb.h"

#include <gtest/gtest.h>

using namespace dbtest;

namespace {

std::vector<TBatchRow> SampleBatches(int n) {
    std::vector<TBatchRow> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({i, i % 7 + 1, i * 1.5, i % 5 == 0 ? -i / 4.0 : i / 2.0});
    return rows;
}

std::vector<int32_t> IdsViaSql(const std::string& dir) {
    TDatabase database;
    Connect(database, dir + "/", "Layout");
    TQuery& q = Statement(database, "SELECT ID_P FROM Batches");
    q.Open();
    std::vector<int32_t> ids;
    for (; !q.Eof(); q.Next())
        ids.push_back(q.FieldByName("ID_P").AsInteger());
    return ids;
}

std::vector<int32_t> Range(int n) {
    std::vector<int32_t> ids;
    for (int i = 1; i <= n; ++i)
        ids.push_back(i);
    return ids;
}

struct TLayout {
    int BlockKiB;
    size_t PerBlock;
};

class BlockLayout : public ::testing::TestWithParam<TLayout> {};

TEST_P(BlockLayout, RecordsReadInChainOrderAndUpdatedInPlace) {
    TTempDir dir;
    MakeTradeDatabase(dir.Str(), {{1, "a", "b"}}, SampleBatches(300), {});
    const fs::path path = dir() / "Batches.db";
    WriteBytes(path, Relayout(ReadBytes(path), GetParam().BlockKiB, GetParam().PerBlock));
    EXPECT_EQ(IdsViaSql(dir.Str()), Range(300));
    // The independent reader agrees on every row.
    const auto oracle = ReadBatches(dir.Str());
    ASSERT_EQ(oracle.size(), 300u);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(oracle[i].IdP, i + 1);

    ExecIn(dir.Str(), "UPDATE Batches SET Ostatok = 0 WHERE ID_P = 250 OR ID_P = 3");
    for (const auto& b : ReadBatches(dir.Str()))
        EXPECT_EQ(b.Ostatok, b.IdP == 250 || b.IdP == 3 ? 0 : SampleBatches(300)[b.IdP - 1].Ostatok)
            << b.IdP;
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockLayout,
                         ::testing::Values(TLayout{1, 1000}, TLayout{1, 7}, TLayout{3, 1000},
                                           TLayout{4, 50}, TLayout{16, 1000}, TLayout{32, 1000},
                                           TLayout{32, 1}));

TEST(BlockChain, IsFollowedRatherThanFileOrder) {
    TTempDir dir;
    MakeTradeDatabase(dir.Str(), {{1, "a", "b"}}, SampleBatches(300), {});
    const fs::path path = dir() / "Batches.db";
    const std::string original = ReadBytes(path);
    const std::string swapped = SwapBlocks(original, 2, 3);
    ASSERT_NE(swapped, original);
    WriteBytes(path, swapped);
    EXPECT_EQ(IdsViaSql(dir.Str()), Range(300));

    // A row of the block that moved is found where it now lies.
    ExecIn(dir.Str(), "UPDATE Batches b SET b.\"Count\" = -1 WHERE b.ID_P = 100");
    auto table = db::TTableFile::Load(path.string(), "Batches");
    const std::string after = ReadBytes(path);
    size_t differing = 0;
    for (size_t i = 0; i < after.size(); ++i)
        differing += after[i] != swapped[i];
    EXPECT_GT(differing, 0u);
    EXPECT_LE(differing, 8u); // one Number field
    for (size_t r = 0; r < table->RecordCount(); ++r)
        EXPECT_EQ(table->Value(r, 2).Float, r == 99 ? -1 : (r + 1) * 1.5);
}

struct TDamage {
    const char* What;
    std::function<void(std::string&)> Apply;
    const char* Expected;
};

void PrintTo(const TDamage& d, std::ostream* os) {
    *os << d.What;
}

class CorruptTable : public ::testing::TestWithParam<TDamage> {};

TEST_P(CorruptTable, IsRefusedWithAClearErrorAndNeverWritten) {
    TTempDir dir;
    MakeTradeDatabase(dir.Str(), {{1, "a", "b"}}, SampleBatches(300), {{1, 1, 0, 1}});
    const fs::path path = dir() / "Batches.db";
    std::string bytes = ReadBytes(path);
    GetParam().Apply(bytes);
    WriteBytes(path, bytes);
    for (const char* sql : {"SELECT * FROM Batches", "UPDATE Batches SET Ostatok = 0"}) {
        SCOPED_TRACE(sql);
        try {
            ExecIn(dir.Str(), sql);
            FAIL() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_NE(e.Message.find("Batches"), std::string::npos) << e.Message;
            EXPECT_NE(e.Message.find(GetParam().Expected), std::string::npos) << e.Message;
        }
        EXPECT_EQ(ReadBytes(path), bytes);
    }
}

const size_t Header = 2048, Block = 2048;

INSTANTIATE_TEST_SUITE_P(
    Damage, CorruptTable,
    ::testing::Values(
        TDamage{"shorter than a header", [](std::string& b) { b.resize(40); }, "короче"},
        TDamage{"truncated in the data", [](std::string& b) { b.resize(b.size() - 1500); },
                "обрезан"},
        TDamage{"empty file", [](std::string& b) { b.clear(); }, "короче"},
        TDamage{"zero fields", [](std::string& b) { PutU16(b, 0x21, 0); }, "полей"},
        TDamage{"record size mismatch", [](std::string& b) { PutU16(b, 0, GetU16(b, 0) + 1); },
                "размер записи"},
        TDamage{"zero record size", [](std::string& b) { PutU16(b, 0, 0); }, "размер записи"},
        TDamage{"header beyond the file", [](std::string& b) { PutU16(b, 2, 0xFFFF); },
                "заголов"},
        TDamage{"looping chain", [](std::string& b) { PutU16(b, Header + Block, 1); },
                "зациклена"},
        TDamage{"chain to itself", [](std::string& b) { PutU16(b, Header, 1); }, "зациклена"},
        TDamage{"first block outside the file", [](std::string& b) { PutU16(b, 0x0E, 999); },
                "за пределы"},
        TDamage{"next block outside the file", [](std::string& b) { PutU16(b, Header, 60000); },
                "за пределы"},
        TDamage{"huge record count", [](std::string& b) { PutU32(b, 6, 0x7FFFFFFF); },
                "число записей"},
        TDamage{"negative record count", [](std::string& b) { PutU32(b, 6, 0x80000000); },
                "записей"},
        TDamage{"count one short", [](std::string& b) { PutU32(b, 6, 299); }, "записей"},
        TDamage{"count one over", [](std::string& b) { PutU32(b, 6, 301); }, "записей"},
        TDamage{"block data not whole records", [](std::string& b) { PutU16(b, Header + 4, 25); },
                "длина данных"},
        TDamage{"more records than a block holds",
                [](std::string& b) { PutU16(b, Header + 4, 24 * 100); }, "помещается"},
        TDamage{"unknown field type", [](std::string& b) { b[0x78] = 0x42; }, "тип поля"},
        TDamage{"Long field of the wrong length", [](std::string& b) { b[0x79] = 3; },
                "длина поля"},
        TDamage{"block size zero", [](std::string& b) { b[5] = 0; }, "размер блока"},
        TDamage{"unknown version", [](std::string& b) { b[0x39] = 2; }, "версия"},
        TDamage{"an index file", [](std::string& b) { b[4] = 1; }, "не файл данных"},
        TDamage{"password protected", [](std::string& b) { PutU32(b, 0x5C, 0x12345678); },
                "паролем"},
        TDamage{"field names cut off",
                [](std::string& b) {
                    for (size_t i = 0x78 + 8 + 4 + 16 + 261; i < Header; ++i)
                        b[i] = 'x';
                },
                "имена полей"}));

} // namespace
