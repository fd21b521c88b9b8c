#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace platform;

TEST(NamedMutex, NamesBecomeSafeDistinctFileNames) {
    struct TCase {
        std::string Name;
        std::string Expected;
    };
    const TCase cases[] = {
        {"_tmp_a.log", "_tmp_a.log"},
        {"", "%"},
        {".", "%2E"},
        {"..", "%2E."},
        {"a/b", "a%2Fb"},
        {"a%2Fb", "a%252Fb"},
        {"лог", "%D0%BB%D0%BE%D0%B3"},
        {std::string("a\x01 b\n", 5), "a%01%20b%0A"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NamedMutexFileName(c.Name), c.Expected);

    std::string head(300, 'x');
    std::string one = NamedMutexFileName(head + "1");
    std::string two = NamedMutexFileName(head + "2");
    EXPECT_LE(one.size(), 200u);
    EXPECT_NE(one, two);
}

TEST(NamedMutex, OneNameOneLockAcrossObjectsAndThreads) {
    auto dir = std::filesystem::temp_directory_path() /
               ("mutex test " + std::to_string(getpid()) + " каталог");
    SetNamedMutexDirectory(dir.string());
    {
        TNamedMutex a("общее имя");
        TNamedMutex b("общее имя");
        TNamedMutex other("другое");
        // Re-entrant for its thread, through either object.
        a.Wait();
        b.Wait();
        other.Wait();
        other.Release();
        b.Release();
        a.Release();
        a.Release(); // not owned any more: nothing happens

        long counter = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                TNamedMutex& m = t % 2 ? a : b;
                for (int k = 0; k < 1000; ++k) {
                    m.Wait();
                    long seen = counter;
                    std::this_thread::yield();
                    counter = seen + 1;
                    m.Release();
                }
            });
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(counter, 4000);
    }
    struct stat st = {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the lock directory is private";
    SetNamedMutexDirectory("");
    std::filesystem::remove_all(dir);

    SetNamedMutexDirectory("/proc/no such place");
    EXPECT_THROW(TNamedMutex("x"), EOSError);
    SetNamedMutexDirectory("");
}
