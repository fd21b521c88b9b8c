#include "platform/System.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace platform;

TEST(System, PathPieces) {
    struct TCase {
        const char* Path;
        const char* FilePath;
        const char* Dir;
        const char* Name;
        const char* Ext;
    };
    const TCase cases[] = {
        {"/a/b/c.log", "/a/b/", "/a/b", "c.log", ".log"},
        {"/a.b/c", "/a.b/", "/a.b", "c", ""},
        {"c.tar.gz", "", "", "c.tar.gz", ".gz"},
        {"/c.log", "/", "/", "c.log", ".log"},
        {"/dir/", "/dir/", "/dir", "", ""},
        {"/каталог с пробелом/лог.Лог", "/каталог с пробелом/", "/каталог с пробелом", "лог.Лог",
         ".Лог"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(ExtractFilePath(c.Path), c.FilePath);
        EXPECT_EQ(ExtractFileDir(c.Path), c.Dir);
        EXPECT_EQ(ExtractFileName(c.Path), c.Name);
        EXPECT_EQ(ExtractFileExt(c.Path), c.Ext);
    }
}

TEST(System, LowerCaseFollowsTheCyrillicCodePage) {
    struct TCase {
        const char* Text;
        const char* Expected;
    };
    const TCase cases[] = {
        {"ABC xyz 019", "abc xyz 019"},
        {"АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", "абвгдежзийклмнопрстуфхцчшщъыьэюя"},
        {"ЁЂЃЄЅІЇЈЉЊЋЌЎЏҐ", "ёђѓєѕіїјљњћќўџґ"},
        {"ёж уже", "ёж уже"},
        {"ÄÖ €", "ÄÖ €"}, // not letters of the code page
        {"\xD0", "\xD0"}, // a cut sequence stays as it is
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnsiLowerCase(c.Text), c.Expected) << c.Text;
}

TEST(System, TemporaryAndExecutableDirectories) {
    const char* saved = std::getenv("TMPDIR");
    std::string savedValue = saved ? saved : "";
    auto dir = std::filesystem::temp_directory_path() / "tmp dir тест";
    std::filesystem::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);
    EXPECT_EQ(GetTempDirectory(), dir.string() + "/");
    setenv("TMPDIR", (dir / "missing").c_str(), 1);
    EXPECT_EQ(GetTempDirectory(), "/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempDirectory(), "/tmp/");
    if (saved)
        setenv("TMPDIR", savedValue.c_str(), 1);
    std::filesystem::remove_all(dir);

    std::string exe = GetExecutablePath();
    EXPECT_TRUE(std::filesystem::is_regular_file(exe)) << exe;
    EXPECT_EQ(GetExecutableDir() + ExtractFileName(exe), exe);
    EXPECT_EQ(GetExecutableDir().back(), '/');
}

TEST(System, IdsSleepAndBeep) {
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentProcessId()) << "the main thread";
    uint32_t other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, GetCurrentThreadId());
    Sleep(1);

    uint64_t before = BeepCount();
    uint32_t heard = 0;
    SetBeepHook([&](uint32_t frequency, uint32_t ms) { heard = frequency + ms; });
    Beep(500, 50);
    SetBeepHook(nullptr);
    Beep(500, 50);
    EXPECT_EQ(heard, 550u);
    EXPECT_EQ(BeepCount() - before, 2u);
}
