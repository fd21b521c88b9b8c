// The correction run on real table files, read back by the independent
// Paradox library.
#include "app/CorrectionRun.h"
#include "log/NMQLogger.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/WinExec.h"
#include "tests/app/TradeExpect.h"
#include "tools/tradedb/TradeDb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const NoDatabaseText = "Необходимо указать каталог, где хранится база данных товаров!";
const char* const NothingToCorrectText =
    "Отрицательные остатки не обнаружены! База данных в исправлении не нуждается!";

// A small database with every case the correction must tell apart.
TTradeData SampleData() {
    return {
        {{1, "Молоко \"Весёлое\"", "K-1"}, {2, "Хлеб", "K-2"}, {3, "Сахар", "K-3"}},
        {
            {10, 1, 40, 12},    // positive: untouched
            {11, 1, 25, -3},    // two Type 0 movements
            {12, 2, 30, -2.5},  // fractional remainder
            {13, 99, 15, -6},   // no goods row: not selected
            {14, 3, 12, -1},    // no Type 0 movement
            {15, 3, 8, 0},      // zero: untouched
            {16, 2, 50, -0.125} // rounding of the logged value
        },
        {
            {1, 10, 0, 40},
            {2, 11, 0, 20},
            {3, 11, 0, 5},
            {4, 11, 1, 22},
            {5, 12, 0, 30},
            {6, 12, 2, 32},
            {7, 13, 0, 15},
            {8, 14, 1, 13},
            {9, 16, 0, 50},
            {10, 16, 3, 1},
        },
    };
}

class CorrectionRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = fs::temp_directory_path() /
               ("коррекция тест " + std::to_string(getpid()) + " " +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        Db = Root / "База данных";
        fs::create_directories(Root);
        Log = std::make_unique<TNMQLogger>((Root / "ViridazIZ.log").string());
    }
    void TearDown() override {
        Log.reset();
        fs::permissions(Root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(Root);
    }

    void Make(const TTradeData& data, const TTradeDbOptions& options = {}) {
        Data = data;
        MakeTradeDatabase(Db.string(), data.Goods, data.Batches, data.Motions, options);
    }

    // Runs once; returns the error message, empty when the run completed.
    std::string Run(const std::string& directoryText) {
        Completed = false;
        try {
            CorrectNegativeRemainders(directoryText, *Log, [this] { Completed = true; });
        } catch (const std::exception& error) {
            EXPECT_FALSE(Completed);
            return error.what();
        }
        EXPECT_TRUE(Completed);
        return {};
    }
    std::string Run() { return Run(Db.string()); }

    // Lines after the time stamp and level tag.
    std::vector<std::string> LogTexts() {
        std::vector<std::string> texts;
        for (const std::string& line : ReadLogLines((Root / "ViridazIZ.log").string())) {
            texts.push_back(AfterTag(line, "[информ.]"));
            EXPECT_NE(texts.back(), "") << line;
        }
        return texts;
    }

    void ExpectTables(const TTradeData& expected) {
        std::vector<TBatchRow> batches = ReadBatches(Db.string());
        ASSERT_EQ(batches.size(), expected.Batches.size());
        for (size_t i = 0; i < batches.size(); ++i) {
            SCOPED_TRACE("batch " + std::to_string(expected.Batches[i].IdP));
            EXPECT_EQ(batches[i].IdP, expected.Batches[i].IdP);
            EXPECT_EQ(batches[i].IdGoods, expected.Batches[i].IdGoods);
            EXPECT_DOUBLE_EQ(batches[i].Count, expected.Batches[i].Count);
            EXPECT_DOUBLE_EQ(batches[i].Ostatok, expected.Batches[i].Ostatok);
        }
        std::vector<TMotionRow> motions = ReadMotions(Db.string());
        ASSERT_EQ(motions.size(), expected.Motions.size());
        for (size_t i = 0; i < motions.size(); ++i) {
            SCOPED_TRACE("motion " + std::to_string(expected.Motions[i].Id));
            EXPECT_EQ(motions[i].IdP, expected.Motions[i].IdP);
            EXPECT_EQ(motions[i].Type, expected.Motions[i].Type);
            EXPECT_DOUBLE_EQ(motions[i].Count, expected.Motions[i].Count);
        }
    }

    std::vector<std::string> ExpectedLines(size_t rows) { return ::ExpectedLines(Data, rows); }

    fs::path Root;
    fs::path Db;
    TTradeData Data;
    std::unique_ptr<TNMQLogger> Log;
    bool Completed = false;
};

} // namespace

TEST_F(CorrectionRunTest, CorrectsEverySelectedBatchAndLogsItInResultOrder) {
    Make(SampleData());
    TTradeData expected = Data;
    ApplyCorrection(expected, 100);

    ASSERT_EQ(Run(), "");
    ExpectTables(expected);
    std::vector<std::string> lines = LogTexts();
    EXPECT_EQ(lines, ExpectedLines(100));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[1].find("Ostatok=-2" + platform::DecimalSeparator() + "500"),
              std::string::npos);

    // Everything is at 0 now: the next run has nothing to do.
    EXPECT_EQ(Run(), NothingToCorrectText);
    ExpectTables(expected);
    EXPECT_EQ(LogTexts().size(), 4u);
}

TEST_F(CorrectionRunTest, TrailingDelimiterAndDefaultDirectoryText) {
    Make(SampleData());
    EXPECT_EQ(DatabaseDirFrom(""), "/");
    EXPECT_EQ(DatabaseDirFrom("C:\\VORN\\DB\\TradeDB"), "C:\\VORN\\DB\\TradeDB/");
    EXPECT_EQ(DatabaseDirFrom("/a b/"), "/a b/");
    EXPECT_EQ(DatabaseDirFrom(" /x "), " /x /");
    EXPECT_EQ(Run(Db.string() + "/"), "");
}

TEST_F(CorrectionRunTest, RefusesWhatIsNotATradeDatabase) {
    fs::create_directories(Root / "Каталог с Documents.db" / "Documents.db");
    TTradeData data = SampleData();
    fs::path noDocuments = Root / "без Documents";
    MakeTradeDatabase(noDocuments.string(), data.Goods, data.Batches, data.Motions,
                      {1251, false, false, true});
    ASSERT_FALSE(platform::FileExists("/Documents.db"));

    const std::string texts[] = {"", (Root / "Каталог с Documents.db").string(),
                                 noDocuments.string(), (Root / "нет такого").string(),
                                 "C:\\VORN\\DB\\TradeDB"};
    for (const std::string& text : texts)
        EXPECT_EQ(Run(text), NoDatabaseText) << "\"" << text << "\"";
    EXPECT_FALSE(fs::exists(Root / "ViridazIZ.log") && !LogTexts().empty());
}

TEST_F(CorrectionRunTest, NothingNegativeWithGoodsChangesNothing) {
    TTradeData data = SampleData();
    for (TBatchRow& b : data.Batches)
        if (b.IdGoods != 99)
            b.Ostatok = std::fabs(b.Ostatok);
    Make(data);
    EXPECT_EQ(Run(), NothingToCorrectText);
    ExpectTables(data);
    EXPECT_TRUE(!fs::exists(Root / "ViridazIZ.log") || LogTexts().empty());
}

TEST_F(CorrectionRunTest, MissingGoodsTableFailsBeforeAnyChange) {
    TTradeData data = SampleData();
    Make(data, {1251, false, true, false});
    std::string error = Run();
    EXPECT_NE(error, "");
    EXPECT_NE(error, NothingToCorrectText);
    EXPECT_TRUE(!fs::exists(Root / "ViridazIZ.log") || LogTexts().empty());
    std::vector<TBatchRow> batches = ReadBatches(Db.string());
    for (size_t i = 0; i < batches.size(); ++i)
        EXPECT_DOUBLE_EQ(batches[i].Ostatok, data.Batches[i].Ostatok);
}

// Short Count columns: a sum past 32767 cannot be stored, so the update of
// the k-th selected batch fails. Earlier rows stay corrected, later ones
// untouched, and the failing row's movements are not left raised while its
// remainder is still negative (a second run would raise them again).
TEST_F(CorrectionRunTest, UpdateFailingOnRowKKeepsEarlierRowsAndLeavesRowKWhole) {
    struct Case {
        const char* what;
        bool motionOverflows; // else the batch's own Count overflows
    };
    const Case cases[] = {{"movement update fails", true}, {"batch update fails", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Db);
        fs::remove(Root / "ViridazIZ.log");
        TTradeData data = SampleData();
        for (TBatchRow& b : data.Batches)
            b.Ostatok = std::trunc(b.Ostatok) == b.Ostatok ? b.Ostatok : std::floor(b.Ostatok);
        // The third selected batch (ID_P 14) overflows.
        if (c.motionOverflows)
            data.Motions.push_back({11, 14, 0, 32767});
        else {
            data.Batches[4].Count = 32767;
            data.Motions.push_back({11, 14, 0, 7});
        }
        Make(data, {1251, true, true, true});

        std::string error = Run();
        EXPECT_NE(error, "");
        TTradeData expected = Data;
        ApplyCorrection(expected, 2);
        ExpectTables(expected);
        EXPECT_EQ(LogTexts(), ExpectedLines(3));
    }
}

// Another program holds Batches against writers: the first batch update is
// refused. The movement change made just before it is taken back, so the
// tables stay as they were and a later run corrects the batch exactly once.
TEST_F(CorrectionRunTest, LockedBatchesTableFailsOnTheFirstRowAndChangesNothing) {
    Make(SampleData());
    {
        platform::TFile holder((Db / "Batches.db").string(), platform::TAccess::Read,
                               platform::TShare::DenyWrite, platform::TDisposition::OpenExisting);
        EXPECT_NE(Run(), "");
    }
    ExpectTables(Data);
    EXPECT_EQ(LogTexts(), ExpectedLines(1));

    TTradeData expected = Data;
    ApplyCorrection(expected, 100);
    EXPECT_EQ(Run(), "");
    ExpectTables(expected);
}

TEST(NotepadCommandLine, GivesTheEditorThePathWhole) {
    const std::string paths[] = {
        "/opt/ViridazIZ/ViridazIZ.log",
        "/home/user/Мои программы/Виридаз ИЗ/ViridazIZ.log",
        "/tmp/a \"quoted\" dir/ViridazIZ.log",
        "/tmp/back\\slash\\\"/ViridazIZ.log",
    };
    for (const std::string& path : paths) {
        const std::string line = NotepadCommandLine(path);
        EXPECT_EQ(line.rfind("notepad.exe \"", 0), 0u) << line;
        EXPECT_EQ(platform::SplitCommandLine(line), (std::vector<std::string>{"notepad.exe", path}))
            << line;
    }
    EXPECT_EQ(NotepadCommandLine("/a b/ViridazIZ.log"), "notepad.exe \"/a b/ViridazIZ.log\"");
}

TEST_F(CorrectionRunTest, LoggedRemainderUsesTheUsersDecimalSeparator) {
    platform::SetDecimalSeparatorOverride(",");
    Make(SampleData());
    const std::string error = Run();
    platform::SetDecimalSeparatorOverride("");
    ASSERT_EQ(error, "");
    std::vector<std::string> lines = LogTexts();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1],
              "Найдена запись: ID_P=12, ID_Goods=2, Name=\"Хлеб\" Kod=\"K-2\", Ostatok=-2,500");
    EXPECT_EQ(lines[3].substr(lines[3].rfind(' ') + 1), "Ostatok=-0,125");
}
