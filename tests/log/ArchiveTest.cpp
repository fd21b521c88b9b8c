#include "LogTestSupport.h"
#include "log/SizeLimit.h"

#include <map>

using namespace logtest;

namespace {

class ArchiveTest : public TLogDirTest {
protected:
    // Every file of the directory with its contents.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(Dir))
            files[entry.path().filename().string()] =
                entry.is_directory() ? "<dir>" : ReadBytes(entry.path().string());
        return files;
    }
    void Put(const std::map<std::string, std::string>& files) {
        for (const auto& [name, content] : files)
            WriteBytes(PathOf(name), content);
    }
};

using TFiles = std::map<std::string, std::string>;

} // namespace

TEST_F(ArchiveTest, TheExampleWithTwoArchivesThroughWrite) {
    Put({{"ViridazIZ.log000", "0"}, {"ViridazIZ.log001", "1"}, {"ViridazIZ.log002", "2"}});
    TNMQLogger log(PathOf("ViridazIZ.log"));
    log.TrimInPlace = false;
    log.MaxArchives = 2;
    log.SizeLimit = 30; // threshold 40: the second line rotates
    log.Write("x", lvNone);
    EXPECT_EQ(Files().size(), 4u);
    log.Write("y", lvNone);
    auto files = Files();
    EXPECT_EQ(files.count("ViridazIZ.log"), 0u) << "the next write starts a new file";
    EXPECT_EQ(files["ViridazIZ.log001"], "0");
    EXPECT_EQ(files["ViridazIZ.log002"], "1");
    EXPECT_TRUE(files["ViridazIZ.log000"].ends_with(" y\r\n"));
    EXPECT_EQ(files.size(), 3u);
    log.Write("z", lvNone);
    EXPECT_TRUE(ReadBytes(PathOf("ViridazIZ.log")).ends_with(" z\r\n"));
}

TEST_F(ArchiveTest, RotationRules) {
    struct TCase {
        const char* Name;
        std::string Log;
        int MaxArchives;
        TFiles Before;
        TFiles After;
    };
    const TCase cases[] = {
        {"no archives yet",
         "ViridazIZ.log",
         10,
         {{"ViridazIZ.log", "L"}},
         {{"ViridazIZ.log000", "L"}}},
        {"gaps are kept",
         "ViridazIZ.log",
         10,
         {{"ViridazIZ.log", "L"}, {"ViridazIZ.log000", "0"}, {"ViridazIZ.log005", "5"}},
         {{"ViridazIZ.log000", "L"}, {"ViridazIZ.log001", "0"}, {"ViridazIZ.log006", "5"}}},
        {"numbers sort as numbers",
         "ViridazIZ.log",
         2,
         {{"ViridazIZ.log", "L"},
          {"ViridazIZ.log000", "0"},
          {"ViridazIZ.log999", "999"},
          {"ViridazIZ.log1000", "1000"}},
         {{"ViridazIZ.log000", "L"}, {"ViridazIZ.log001", "0"}, {"ViridazIZ.log1000", "999"}}},
        {"up to MaxArchives + 1 archives",
         "ViridazIZ.log",
         1,
         {{"ViridazIZ.log", "L"}, {"ViridazIZ.log000", "0"}, {"ViridazIZ.log001", "1"}},
         {{"ViridazIZ.log000", "L"}, {"ViridazIZ.log001", "0"}}},
        {"MaxArchives 0 deletes nothing",
         "ViridazIZ.log",
         0,
         {{"ViridazIZ.log", "L"}, {"ViridazIZ.log000", "0"}, {"ViridazIZ.log012", "12"}},
         {{"ViridazIZ.log000", "L"}, {"ViridazIZ.log001", "0"}, {"ViridazIZ.log013", "12"}}},
        {"negative MaxArchives deletes nothing",
         "ViridazIZ.log",
         -1,
         {{"ViridazIZ.log", "L"}, {"ViridazIZ.log000", "0"}},
         {{"ViridazIZ.log000", "L"}, {"ViridazIZ.log001", "0"}}},
        {"other names are never touched",
         "ViridazIZ.log",
         1,
         {{"ViridazIZ.log", "L"},
          {"ViridazIZ.log.bak", "b"},
          {"ViridazIZ.logs", "s"},
          {"ViridazIZ.log-1", "m"},
          {"ViridazIZ.log+1", "p"},
          {"ViridazIZ.log 1", "sp"},
          {"ViridazIZ.log.7", "7"},
          {"ViridazIZ.txt000", "t"},
          {"Other.log000", "o"}},
         {{"ViridazIZ.log000", "L"},
          {"ViridazIZ.log.bak", "b"},
          {"ViridazIZ.logs", "s"},
          {"ViridazIZ.log-1", "m"},
          {"ViridazIZ.log+1", "p"},
          {"ViridazIZ.log 1", "sp"},
          {"ViridazIZ.log.7", "7"},
          {"ViridazIZ.txt000", "t"},
          {"Other.log000", "o"}}},
        {"archives in another letter case count",
         "ViridazIZ.log",
         10,
         {{"ViridazIZ.log", "L"}, {"VIRIDAZIZ.LOG003", "3"}},
         {{"ViridazIZ.log000", "L"}, {"ViridazIZ.log004", "3"}}},
        {"a name without extension: the first time",
         "ViridazIZ",
         10,
         {{"ViridazIZ", "L"}},
         {{"ViridazIZ000", "L"}}},
        {"a name without extension recognises no archive",
         "ViridazIZ",
         10,
         {{"ViridazIZ", "L"}, {"ViridazIZ000", "0"}, {"ViridazIZ001", "1"}},
         {{"ViridazIZ", "L"}, {"ViridazIZ000", "0"}, {"ViridazIZ001", "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Put(c.Before);
        RotateLogFile(PathOf(c.Log), c.MaxArchives);
        EXPECT_EQ(Files(), c.After);
    }
}

TEST_F(ArchiveTest, CollectArchivesSortsAndCompares) {
    Put({{"a.log", ""},
         {"a.log1000", ""},
         {"a.log999", ""},
         {"a.log002", ""},
         {"a.log.bak", ""},
         {"a.log0x1", ""}});
    fs::create_directory(PathOf("a.log003"));
    TNMQLogger log(PathOf("a.log"));
    std::vector<std::string> list;
    EXPECT_EQ(log.CollectArchives(list), 3);
    EXPECT_EQ(list, (std::vector<std::string>{PathOf("a.log002"), PathOf("a.log999"),
                                              PathOf("a.log1000")}));
    EXPECT_EQ(log.CompareArchiveNumbers(list, 0, 1), -1);
    EXPECT_EQ(log.CompareArchiveNumbers(list, 2, 1), 1);
    EXPECT_EQ(log.CompareArchiveNumbers(list, 1, 1), 0);
    log.RenumberArchives(list);
    EXPECT_TRUE(fs::exists(PathOf("a.log003"))) << "a directory in the way stays";
    EXPECT_TRUE(fs::exists(PathOf("a.log002"))) << "its rename failed silently";
    EXPECT_TRUE(fs::exists(PathOf("a.log1000")));
    EXPECT_TRUE(fs::exists(PathOf("a.log1001")));
}

TEST_F(ArchiveTest, ALogThatCannotBecomeArchiveZeroCostsNoArchive) {
    // Something that is not an archive holds the name of archive 000.
    fs::create_directory(PathOf("ViridazIZ.log000"));
    Put({{"ViridazIZ.log001", "1"}, {"ViridazIZ.log002", "2"}});
    TNMQLogger log(PathOf("ViridazIZ.log"));
    log.TrimInPlace = false;
    log.MaxArchives = 2;
    log.SizeLimit = 30;
    for (int i = 0; i < 5; ++i)
        log.Write("line", lvNone);
    auto files = Files();
    EXPECT_EQ(files["ViridazIZ.log000"], "<dir>");
    EXPECT_EQ(files["ViridazIZ.log001"], "1");
    EXPECT_EQ(files["ViridazIZ.log002"], "2");
    EXPECT_EQ(ReadLines(PathOf("ViridazIZ.log")).size(), 5u) << "the log keeps growing";

    // A shifted archive that finds its new name taken stops the archives
    // below it; the log still moves when 000 ends up free.
    fs::remove(PathOf("ViridazIZ.log000"));
    fs::create_directory(PathOf("ViridazIZ.log003"));
    log.Write("line", lvNone);
    files = Files();
    EXPECT_EQ(files["ViridazIZ.log001"], "1");
    EXPECT_EQ(files["ViridazIZ.log002"], "2");
    EXPECT_EQ(files["ViridazIZ.log003"], "<dir>");
    EXPECT_EQ(ReadLines(PathOf("ViridazIZ.log000")).size(), 6u);
    EXPECT_EQ(files.count("ViridazIZ.log"), 0u);
}
