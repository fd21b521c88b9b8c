// Command lines split and started like the original platform's WinExec.
#include "platform/WinExec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::SplitCommandLine;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheOriginalQuotingRules) {
    struct Case {
        const char* line;
        Args expected;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"notepad.exe", {"notepad.exe"}},
        {"notepad.exe \"/tmp/с пробелом/ViridazIZ.log\"",
         {"notepad.exe", "/tmp/с пробелом/ViridazIZ.log"}},
        {"  a\tb  c ", {"a", "b", "c"}},
        {"\"C:\\Program Files\\x.exe\" arg", {"C:\\Program Files\\x.exe", "arg"}},
        {"C:\\dir\\x.exe a\\\\b", {"C:\\dir\\x.exe", "a\\\\b"}},
        {"x a\\\"b", {"x", "a\"b"}},
        {"x a\\\\\"b c\"", {"x", "a\\b c"}},
        {"x a\\\\\\\"b", {"x", "a\\\"b"}},
        {"x \"a \"\"quoted\"\" b\"", {"x", "a \"quoted\" b"}},
        {"x \"\"", {"x", ""}},
        {"x \"unterminated arg", {"x", "unterminated arg"}},
        {"x ab\"c d\"e f", {"x", "abc de", "f"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(SplitCommandLine, EscapedArgumentComesBackUnchanged) {
    const char* arguments[] = {"plain",
                               "with blank",
                               "quote\"inside",
                               "ends with\\",
                               "two\\\\\"x",
                               "/путь/к \"логу\"/ViridazIZ.log",
                               ""};
    for (const char* argument : arguments) {
        const std::string line = "prog \"" + platform::EscapeInsideQuotes(argument) + "\"";
        EXPECT_EQ(SplitCommandLine(line), (Args{"prog", argument})) << line;
    }
}

class WinExecTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("winexec каталог " + std::to_string(getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir / "bin");
        OldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", ((Dir / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", OldPath.c_str(), 1);
        platform::SetProgramSubstitute("notepad.exe", "");
        fs::remove_all(Dir);
    }

    // A program that writes its arguments, one a line, to record.
    fs::path MakeRecorder(const fs::path& where, const std::string& name) {
        fs::path program = where / name;
        std::ofstream(program) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \""
                               << (Dir / "record.tmp").string() << "\"\nmv \""
                               << (Dir / "record.tmp").string() << "\" \"" << Record().string()
                               << "\"\n";
        fs::permissions(program, fs::perms::owner_all);
        return program;
    }
    fs::path Record() const { return Dir / "record"; }

    std::string WaitForRecord() {
        for (int i = 0; i < 500 && !fs::exists(Record()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(Record());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path Dir;
    std::string OldPath;
};

TEST_F(WinExecTest, StartsTheProgramFoundOnPathWithItsArguments) {
    MakeRecorder(Dir / "bin", "notepad.exe");
    const std::string log = (Dir / "лог с пробелами" / "ViridazIZ.log").string();
    unsigned result = platform::WinExec("notepad.exe \"" + log + "\"", platform::SW_SHOWNORMAL);
    EXPECT_GT(result, 31u);
    EXPECT_EQ(WaitForRecord(), log + "\n");
    // The caller is left with no child to reap.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(WinExecTest, ReportsWhatKeptTheProgramFromStarting) {
    std::ofstream(Dir / "bin" / "not-executable") << "#!/bin/sh\n";
    struct Case {
        std::string line;
        unsigned code;
    };
    const Case cases[] = {
        {"", 2},
        {"no-such-program-here arg", 2},
        {"\"" + (Dir / "missing-dir" / "prog").string() + "\"", 3},
        {"not-executable", 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::WinExec(c.line, platform::SW_SHOWNORMAL), c.code) << c.line;
}

TEST_F(WinExecTest, SubstituteStandsInOnlyWhenPathHasNone) {
    fs::create_directories(Dir / "own");
    fs::path substitute = MakeRecorder(Dir / "own", "viewer");
    platform::SetProgramSubstitute("notepad.exe", substitute.string());

    EXPECT_GT(platform::WinExec("NOTEPAD.EXE \"a b\"", platform::SW_SHOWNORMAL), 31u);
    EXPECT_EQ(WaitForRecord(), "a b\n");
    fs::remove(Record());

    // Cyrillic names fold as well, as the original platform's names do.
    platform::SetProgramSubstitute("Просмотр", substitute.string());
    EXPECT_GT(platform::WinExec("ПРОСМОТР c", platform::SW_SHOWNORMAL), 31u);
    platform::SetProgramSubstitute("Просмотр", "");
    EXPECT_EQ(WaitForRecord(), "c\n");
    fs::remove(Record());

    // A real one on PATH wins; the substitute is not asked.
    std::ofstream(Dir / "bin" / "notepad.exe")
        << "#!/bin/sh\nprintf 'path\\n' > \"" << (Dir / "record.tmp").string() << "\"\nmv \""
        << (Dir / "record.tmp").string() << "\" \"" << Record().string() << "\"\n";
    fs::permissions(Dir / "bin" / "notepad.exe", fs::perms::owner_all);
    EXPECT_GT(platform::WinExec("notepad.exe x", platform::SW_SHOWNORMAL), 31u);
    EXPECT_EQ(WaitForRecord(), "path\n");
}
