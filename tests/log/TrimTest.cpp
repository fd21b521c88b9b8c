#include "LogTestSupport.h"
#include "log/SizeLimit.h"

using namespace logtest;

namespace {

class TrimTest : public TLogDirTest {};

// Lines of 101 bytes (99 letters and CR LF), the first one shortened so the
// whole is exactly `size` bytes.
std::string Filler(size_t size) {
    std::string line = std::string(99, 'a') + "\r\n";
    std::string text;
    size_t head = size % line.size();
    if (head >= 2)
        text = std::string(head - 2, 'b') + "\r\n";
    else
        text = std::string(head, '\n');
    while (text.size() < size)
        text += line;
    return text;
}

// With lvNone and the default time format a line of text "x" is 27 bytes.
constexpr size_t kLineBytes = 27;

} // namespace

TEST_F(TrimTest, TheThresholdIsOneThirdAboveTheLimit) {
    EXPECT_EQ(SizeLimitThreshold(1048576), 1398101);

    std::string path = PathOf("ViridazIZ.log");
    WriteBytes(path, Filler(1398101 - kLineBytes));
    TNMQLogger log(path);
    log.Write("x", lvNone);
    EXPECT_EQ(fs::file_size(path), 1398101u) << "at the threshold the file is left alone";

    WriteBytes(path, Filler(1398102 - kLineBytes));
    log.Write("x", lvNone);
    std::string kept = ReadBytes(path);
    EXPECT_GE(kept.size(), 1048576u);
    EXPECT_LT(kept.size(), 1048576u + 101u);
    EXPECT_EQ(kept.substr(0, 99), std::string(99, 'a')) << "starts at the start of a line";
    EXPECT_TRUE(kept.ends_with(" x\r\n"));
    EXPECT_FALSE(fs::exists(path + ".trimming"));
}

TEST_F(TrimTest, CutPoints) {
    struct TCase {
        const char* Name;
        std::string Content;
        int64_t Limit;
        std::string Expected;
    };
    const TCase cases[] = {
        {"cut just after a line end keeps exactly the limit", "aaaa\r\nbbbb\r\ncccc\r\n", 12,
         "bbbb\r\ncccc\r\n"},
        {"cut just after a bare LF", "aaaa\nbbbb\ncccc\n", 10, "bbbb\ncccc\n"},
        {"cut inside a line keeps that line", "aaaa\r\nbbbb\r\ncccc\r\n", 10, "bbbb\r\ncccc\r\n"},
        {"cut between CR and LF", "aaaa\r\nbbbb\r\ncccc\r\n", 7, "\ncccc\r\n"},
        {"first line past the cut point", "aaaaaaaaaa\r\nb\r\n", 5, "aaaaaaaaaa\r\nb\r\n"},
        {"not above the limit", "aaaa\r\n", 6, "aaaa\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string path = PathOf("trim.log");
        WriteBytes(path, c.Content);
        TrimLogFile(path, c.Limit);
        EXPECT_EQ(ReadBytes(path), c.Expected);
    }
}

TEST_F(TrimTest, AFailedSaveLeavesTheLogWhole) {
    std::string path = PathOf("ViridazIZ.log");
    WriteBytes(path, Filler(4000));
    // The replacement file cannot be made: a directory has its name.
    fs::create_directory(path + ".trimming");
    TNMQLogger log(path);
    log.SizeLimit = 1000;
    uint64_t beeps = platform::BeepCount();
    size_t errorsBefore = ReadLines(ErrorsLogPath()).size();
    log.Write("x", lvNone);
    std::string after = ReadBytes(path);
    EXPECT_EQ(after.size(), 4000 + kLineBytes);
    EXPECT_EQ(after.substr(0, 4000), Filler(4000));
    EXPECT_EQ(platform::BeepCount() - beeps, 1u);
    auto errors = ReadLines(ErrorsLogPath());
    ASSERT_EQ(errors.size(), errorsBefore + 1);
    EXPECT_NE(errors.back().find("(fmOpenWrite-OK) в лог"), std::string::npos) << errors.back();
    EXPECT_TRUE(errors.back().find(" x]: ") != std::string::npos) << "the whole line is reported";

    fs::remove(path + ".trimming");
    log.Write("y", lvNone);
    EXPECT_LE(fs::file_size(path), 1000u + 101u);
    EXPECT_TRUE(ReadBytes(path).ends_with(" y\r\n"));
}

TEST_F(TrimTest, AnInvalidLimitIsReportedAndChangesNothing) {
    std::string path = PathOf("zero.log");
    WriteBytes(path, "aaaa\r\n");
    TNMQLogger log(path);
    log.SizeLimit = 0;
    uint64_t beeps = platform::BeepCount();
    log.Write("x", lvNone);
    EXPECT_EQ(ReadBytes(path).size(), 6 + kLineBytes);
    EXPECT_EQ(platform::BeepCount() - beeps, 1u);
}
