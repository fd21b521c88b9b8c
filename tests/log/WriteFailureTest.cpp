// A write that fails beeps, reports five parts to the errors log, marks the
// recent line and never reaches the caller.
#include "LogTestSupport.h"
#include "log/StreamWithRetry.h"
#include "platform/Files.h"
#include "platform/Messages.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace logtest;

namespace {

class WriteFailureTest : public TLogDirTest {
protected:
    void SetUp() override {
        TLogDirTest::SetUp();
        ErrorsBefore = ReadLines(ErrorsLogPath()).size();
        BeepsBefore = platform::BeepCount();
    }
    std::vector<std::string> NewErrorLines() const {
        auto lines = ReadLines(ErrorsLogPath());
        return std::vector<std::string>(lines.begin() + static_cast<long>(ErrorsBefore),
                                        lines.end());
    }
    uint64_t NewBeeps() const { return platform::BeepCount() - BeepsBefore; }

    size_t ErrorsBefore = 0;
    uint64_t BeepsBefore = 0;
};

} // namespace

TEST_F(WriteFailureTest, MissingDirectoryFailsAtOnceAndIsReported) {
    DefaultOpenTimeout = 600000;
    std::string path = PathOf("нет такого/ViridazIZ.log");
    TNMQLogger log(path);
    log.NotifyWindow = platform::CreateMessageWindow([](auto...) { return 0; });
    std::vector<uint32_t> frequencies;
    platform::SetBeepHook([&](uint32_t f, uint32_t ms) { frequencies.push_back(f * 1000 + ms); });
    // Should the open be retried, the directory appears after a while and
    // the line lands in the file, which the test would see.
    std::mutex lock;
    std::condition_variable returned;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock guard(lock);
        if (!returned.wait_for(guard, std::chrono::seconds(20), [&] { return done; }))
            fs::create_directories(fs::path(path).parent_path());
    });
    EXPECT_NO_THROW(log.Write("  Партия 1  ", lvInfo));
    {
        std::lock_guard guard(lock);
        done = true;
    }
    returned.notify_all();
    watchdog.join();
    platform::SetBeepHook(nullptr);
    EXPECT_FALSE(fs::exists(path)) << "a missing directory must fail at the first attempt";

    EXPECT_EQ(NewBeeps(), 1u);
    EXPECT_EQ(frequencies, std::vector<uint32_t>{500050});
    auto errors = NewErrorLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].ends_with(" Ошибка при попытке записи (fmCreate) в лог \"" + path +
                                    "\" строки [Партия 1]: Путь не найден (код 3): \"" + path +
                                    "\" <EFOpenError>"))
        << errors[0];
    EXPECT_EQ(errors[0].find(" Ошибка при попытке"), 23u) << "lvNone: the stamp, then the text";
    auto recent = log.GetRecentLines();
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_TRUE(recent[0].ends_with(" [информ.] Партия 1 <Ошибка при записи в лог>")) << recent[0];
    platform::DestroyMessageWindow(log.NotifyWindow);

    log.NoErrorReport = true;
    log.Write("again", lvInfo);
    EXPECT_EQ(NewBeeps(), 2u);
    EXPECT_EQ(NewErrorLines().size(), 1u) << "NoErrorReport keeps the errors log out of it";
}

TEST_F(WriteFailureTest, AFileHeldWithoutSharingIsRetriedThenReported) {
    std::string path = PathOf("held.log");
    TNMQLogger log(path);
    log.Write("first", lvInfo);
    {
        platform::TFile holder(path, platform::TAccess::ReadWrite, platform::TShare::Exclusive,
                               platform::TDisposition::OpenExisting);
        log.Write("blocked", lvInfo);
    }
    EXPECT_EQ(NewBeeps(), 1u);
    auto errors = NewErrorLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("(fmOpenWrite) в лог \"" + path + "\" строки [blocked]: "),
              std::string::npos)
        << errors[0];
    EXPECT_NE(errors[0].find("(код 32)"), std::string::npos) << errors[0];
    EXPECT_EQ(ReadLines(path).size(), 1u) << "the failed line is lost, nothing else";

    // Released while the writer is still retrying: the line gets through.
    DefaultOpenTimeout = 600000;
    auto holder = std::make_unique<platform::TFile>(path, platform::TAccess::ReadWrite,
                                                    platform::TShare::Exclusive,
                                                    platform::TDisposition::OpenExisting);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        holder.reset();
    });
    log.Write("after release", lvInfo);
    release.join();
    EXPECT_EQ(ReadLines(path).size(), 2u);
    EXPECT_EQ(NewBeeps(), 1u);
}

TEST_F(WriteFailureTest, ADirectoryInPlaceOfTheLogIsReported) {
    std::string path = PathOf("dir.log");
    fs::create_directory(path);
    DefaultOpenTimeout = 0;
    TNMQLogger log(path);
    log.Write("x", lvInfo);
    EXPECT_EQ(NewBeeps(), 1u);
    auto errors = NewErrorLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("(fmCreate) в лог"), std::string::npos) << errors[0];
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(WriteFailureTest, TheErrorsWriterReportsNothingOfItsOwn) {
    ASSERT_TRUE(ErrorsWriter);
    EXPECT_TRUE(ErrorsWriter->NoErrorReport);
    EXPECT_TRUE(ErrorsWriter->TrimInPlace);
    EXPECT_EQ(ErrorsWriter->GetFileName(), ErrorsLogPath());
    TNMQLogger errorsTwin(PathOf("missing/x.log"));
    errorsTwin.NoErrorReport = true;
    errorsTwin.Write("x", lvInfo);
    EXPECT_EQ(NewBeeps(), 1u);
    EXPECT_TRUE(NewErrorLines().empty());
}
