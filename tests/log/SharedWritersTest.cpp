// Many writers on one file, in threads and in processes: whole lines, in
// time order, and one lock for names that differ only in letter case.
#include "LogTestSupport.h"

#include <map>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace logtest;

namespace {

class SharedWritersTest : public TLogDirTest {};

constexpr int kWriters = 4;
constexpr int kLines = 2000;

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, LOG_TEST_HELPER, nullptr, nullptr, argv.data(), environ);
    EXPECT_EQ(rc, 0);
    return pid;
}

void WaitAll(const std::vector<pid_t>& pids) {
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

// Every line whole, every (writer, number) once, each writer's lines in its
// own order, and the time stamps never decreasing in file order.
void CheckLines(const std::string& path, int writers, int lines) {
    auto all = ReadLines(path);
    ASSERT_EQ(all.size(), static_cast<size_t>(writers * lines));
    std::regex shape(R"(^(\d\d)\.(\d\d)\.(\d{4}) (\d\d:\d\d:\d\d\.\d{3}) \[информ\.\])"
                     R"((?: <ID процесса: \d+>)? w(\d+) n(\d+) строка целиком, без разрывов$)");
    std::map<int, int> nextOf;
    std::string lastStamp;
    for (size_t i = 0; i < all.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(all[i], m, shape)) << "line " << i << ": " << all[i];
        std::string stamp = m[3].str() + m[2].str() + m[1].str() + m[4].str();
        ASSERT_LE(lastStamp, stamp) << "line " << i;
        lastStamp = stamp;
        int writer = std::stoi(m[5].str());
        int number = std::stoi(m[6].str());
        ASSERT_EQ(number, nextOf[writer]) << "writer " << writer << ", line " << i;
        ++nextOf[writer];
    }
    ASSERT_EQ(nextOf.size(), static_cast<size_t>(writers));
}

} // namespace

TEST_F(SharedWritersTest, ProcessesWriteWholeLinesInTimeOrder) {
    std::string path = PathOf("общий лог.log");
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w)
        pids.push_back(
            Spawn({"log_test_helper", "write", path, std::to_string(kLines), std::to_string(w)}));
    WaitAll(pids);
    CheckLines(path, kWriters, kLines);
}

TEST_F(SharedWritersTest, ThreadsWriteWholeLinesInTimeOrder) {
    std::string path = PathOf("общий лог.log");
    // Two objects on one file: threads of one object meet in its critical
    // section, the two objects meet in the named mutex.
    TNMQLogger first(path);
    TNMQLogger second(path);
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([&, w] {
            TNMQLogger& log = w % 2 ? second : first;
            for (int k = 0; k < kLines; ++k)
                log.WriteFmt("w%d n%d %s", {w, k, "строка целиком, без разрывов"}, lvInfo);
        });
    for (auto& t : threads)
        t.join();
    CheckLines(path, kWriters, kLines);
}

TEST_F(SharedWritersTest, NamesInAnotherLetterCaseShareTheLockAcrossThreads) {
    TNMQLogger lower(PathOf("a.log"));
    TNMQLogger upper(PathOf("A.LOG"));
    EXPECT_EQ(lower.GetMutexName(), upper.GetMutexName());
    // A plain counter guarded only by the loggers' locks: if the two names
    // did not share one lock, increments would be lost (and TSan would see
    // the race).
    long counter = 0;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters; ++t)
        threads.emplace_back([&, t] {
            TNMQLogger& log = t % 2 ? upper : lower;
            for (int k = 0; k < kRounds; ++k) {
                log.Lock();
                long seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                log.Unlock();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, kWriters * kRounds);
}

TEST_F(SharedWritersTest, NamesInAnotherLetterCaseShareTheLockAcrossProcesses) {
    std::string counter = PathOf("counter");
    WriteBytes(counter, "0");
    constexpr int kRounds = 150;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w)
        pids.push_back(Spawn({"log_test_helper", "count", PathOf(w % 2 ? "Общий.LOG" : "общий.log"),
                              counter, std::to_string(kRounds)}));
    WaitAll(pids);
    EXPECT_EQ(ReadBytes(counter), std::to_string(kWriters * kRounds));
}

TEST_F(SharedWritersTest, ALockLeftByADeadProcessIsTakenAsUsual) {
    std::string path = PathOf("abandoned.log");
    WaitAll({Spawn({"log_test_helper", "die", path})});
    TNMQLogger log(path);
    log.Write("after the holder died", lvInfo);
    EXPECT_EQ(ReadLines(path).size(), 1u);
}

TEST_F(SharedWritersTest, TheLockIsReentrantForItsThread) {
    std::string path = PathOf("nested.log");
    TNMQLogger outer(path);
    TNMQLogger inner(path);
    outer.Lock();
    inner.Write("written while the same thread holds the file's lock", lvInfo);
    outer.Unlock();
    std::thread other([&] { inner.Write("and another thread after it", lvInfo); });
    other.join();
    EXPECT_EQ(ReadLines(path).size(), 2u);
}
