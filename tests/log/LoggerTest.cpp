#include "LogTestSupport.h"
#include "log/StreamWithRetry.h"
#include "platform/Messages.h"

#include <regex>

using namespace logtest;

namespace {

const char* const kStamp = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3})";

class LoggerTest : public TLogDirTest {};

int DrainMessages(platform::UINT message) {
    int count = 0;
    platform::TMsg msg;
    while (platform::PeekMessage(msg)) {
        EXPECT_EQ(msg.Message, message);
        EXPECT_EQ(msg.WParam, 0u);
        EXPECT_EQ(msg.LParam, 0);
        ++count;
    }
    return count;
}

} // namespace

TEST_F(LoggerTest, DefaultsOfANewLogger) {
    TNMQLogger log(PathOf("a.log"));
    EXPECT_EQ(log.GetFileName(), PathOf("a.log"));
    EXPECT_EQ(log.SizeLimit, 1048576);
    EXPECT_TRUE(log.TrimInPlace);
    EXPECT_TRUE(log.Enabled);
    EXPECT_EQ(log.Prefix, "");
    EXPECT_FALSE(log.ShowThreadId);
    EXPECT_FALSE(log.ShowProcessId);
    EXPECT_EQ(log.TimeFormat, "dd.mm.yyyy hh:nn:ss.zzzz");
    EXPECT_FALSE(log.ShowLevelChar);
    EXPECT_TRUE(log.ShowLevelTag);
    EXPECT_TRUE(log.GetUseMutex());
    EXPECT_TRUE(log.HasMutex());
    EXPECT_EQ(log.MaxArchives, 10);
    EXPECT_FALSE(log.NoErrorReport);
    EXPECT_EQ(log.Levels, 0xFF);
    EXPECT_EQ(log.NotifyWindow, 0u);
    EXPECT_EQ(log.NotifyMessage, 1345u);
    EXPECT_EQ(log.MaxRecentLines, 1024);
    EXPECT_TRUE(log.GetRecentLines().empty());

    TNMQLogger none("");
    EXPECT_EQ(none.GetFileName(), "");
    EXPECT_FALSE(none.HasMutex());
    none.Write("nothing", lvInfo); // no file, no failure
}

TEST_F(LoggerTest, WritesWindows1251LinesWithCrLf) {
    std::string path = PathOf("лог с пробелом.log");
    TNMQLogger log(path);
    log.Write(" \t Старт программы \r\n", lvEvent);
    log.Write("   ", lvInfo);
    log.Write("日本 a\r\nb", lvNone);
    std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("\xD1\xF2\xE0\xF0\xF2 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\r\n"),
              std::string::npos)
        << "Cyrillic must be single Windows-1251 bytes";
    std::string text = platform::CodePageToUtf8(bytes, 1251);
    std::regex expected(std::string("^") + kStamp + R"( \[событие\] Старт программы\r\n)" +
                        R"(\r\n)" + kStamp + R"( \?\? a\r\nb\r\n$)");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(LoggerTest, LevelsOutsideTheSetWriteAndPostNothing) {
    std::string path = PathOf("levels.log");
    TNMQLogger log(path);
    log.NotifyWindow = platform::CreateMessageWindow([](auto...) { return 0; });
    log.Levels = LevelBit(lvInfo) | LevelBit(lvError);
    log.Write("above seven", static_cast<TLogLevel>(8));
    log.Write("above seven", static_cast<TLogLevel>(255));
    log.Write("not in set", lvDebug);
    log.Enabled = false;
    log.Write("disabled", lvInfo);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(DrainMessages(log.NotifyMessage), 0);
    EXPECT_TRUE(log.GetRecentLines().empty());
    log.Enabled = true;
    log.Write("in set", lvError);
    EXPECT_EQ(ReadLines(path).size(), 1u);
    EXPECT_EQ(DrainMessages(log.NotifyMessage), 1);
    platform::DestroyMessageWindow(log.NotifyWindow);
}

TEST_F(LoggerTest, RecentLinesAndNotification) {
    std::string path = PathOf("recent.log");
    TNMQLogger log(path);
    log.NotifyWindow = platform::CreateMessageWindow([](auto...) { return 0; });

    log.MaxRecentLines = 2;
    log.Write("one", lvInfo);
    log.Write("  ", lvInfo);
    log.Write("three", lvInfo);
    auto recent = log.GetRecentLines();
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0], "") << "a blank text is kept as an empty line";
    EXPECT_EQ(recent[1], ReadLines(path).back());
    EXPECT_EQ(DrainMessages(1345), 3);

    log.MaxRecentLines = 0;
    log.Write("four", lvInfo);
    EXPECT_TRUE(log.GetRecentLines().empty());
    EXPECT_EQ(DrainMessages(1345), 1) << "nothing kept, but still posted";

    log.MaxRecentLines = 10;
    log.NotifyMessage = 0;
    log.Write("five", lvInfo);
    EXPECT_TRUE(log.GetRecentLines().empty());
    EXPECT_EQ(DrainMessages(0), 0);

    log.NotifyMessage = 2000;
    log.NotifyWindow = 0;
    log.Write("six", lvInfo);
    EXPECT_TRUE(log.GetRecentLines().empty());
    EXPECT_EQ(ReadLines(path).size(), 6u);
}

TEST_F(LoggerTest, FileNamesAndMutexNames) {
    TNMQLogger bare("ViridazIZ test.log");
    EXPECT_EQ(bare.GetFileName(), platform::GetExecutableDir() + "ViridazIZ test.log");
    bare.SetFileName("VIRIDAZIZ TEST.LOG");
    EXPECT_EQ(bare.GetFileName(), platform::GetExecutableDir() + "ViridazIZ test.log")
        << "the same name in another letter case changes nothing";
    bare.SetFileName("");
    EXPECT_EQ(bare.GetFileName(), platform::GetExecutableDir() + "ViridazIZ test.log");

    TNMQLogger relative("sub/x.log");
    EXPECT_EQ(relative.GetFileName(), "sub/x.log") << "a relative directory stays relative";

    TNMQLogger log("/Tmp/Каталог Ёлка/A\"*:<>?\\|B.LOG");
    EXPECT_EQ(log.GetMutexName(), "_tmp_каталог ёлка_a________b.log");
    log.SetFileName(std::string("/x/\x01\x7F") + "Ґ€.log");
    EXPECT_EQ(log.GetMutexName(), std::string("_x_\x01\x7F") + "ґ€.log");
}

TEST_F(LoggerTest, UseMutexSwitchesAndTheMutexError) {
    std::string path = PathOf("m.log");
    TNMQLogger log(path);
    log.SetUseMutex(false);
    EXPECT_FALSE(log.HasMutex());
    log.SetUseMutex(true);
    EXPECT_FALSE(log.HasMutex()) << "switching on creates nothing by itself";
    log.SetFileName(path);
    EXPECT_TRUE(log.HasMutex()) << "the same name gets its mutex";

    platform::SetNamedMutexDirectory(PathOf("missing/dir"));
    try {
        TNMQLogger failing(PathOf("n.log"));
        ADD_FAILURE() << "the constructor must fail";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message, "Ошибка при создании объекта \"мьютекс\"");
    }
    EXPECT_THROW(log.SetFileName(PathOf("other.log")), platform::Exception);
    platform::SetNamedMutexDirectory("");
    EXPECT_EQ(log.GetFileName(), PathOf("other.log"));
    EXPECT_FALSE(log.HasMutex());
    log.Write("written without the mutex", lvInfo);
    EXPECT_EQ(ReadLines(PathOf("other.log")).size(), 1u);
    log.SetFileName(PathOf("other.log"));
    EXPECT_TRUE(log.HasMutex()) << "the next SetFileName tries again, even with the same name";
}

TEST_F(LoggerTest, WriteFmtFormatsOrRaisesBeforeWriting) {
    std::string path = PathOf("fmt.log");
    TNMQLogger log(path);
    platform::SetDecimalSeparatorOverride(",");
    log.WriteFmt("%0:s/%1:d/%2:.3f/%3:x %0:s", {"Партия", 42, -1.5, 255}, lvInfo);
    platform::SetDecimalSeparatorOverride("");
    auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(" [информ.] Партия/42/-1,500/FF Партия")) << lines[0];
    EXPECT_THROW(log.WriteFmt("%d", {"строка"}, lvInfo), platform::EConvertError);
    EXPECT_THROW(log.WriteFmt("%s %s", {"one"}, lvInfo), platform::EConvertError);
    EXPECT_EQ(ReadLines(path).size(), 1u);
}

TEST_F(LoggerTest, CreatingAMissingLogNeverEmptiesAFile) {
    std::string path = PathOf("appeared.log");
    WriteBytes(path, "kept\r\n");
    platform::TFile file = CreateStreamWithRetry(path, fmCreate, 0);
    EXPECT_EQ(file.Size(), 6);
    file.Close();
    EXPECT_EQ(ReadBytes(path), "kept\r\n");
}
