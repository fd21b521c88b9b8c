#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("files test " + std::to_string(getpid()) + " каталог");
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Path = (Dir / "файл.txt").string();
        std::ofstream(Path) << "hello";
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
    std::string Path;
};

unsigned OpenCode(const std::string& path, TAccess access, TShare share,
                  TDisposition disposition = TDisposition::OpenExisting) {
    try {
        TFile file(path, access, share, disposition);
        return 0;
    } catch (const EOSError& e) {
        return e.Code;
    }
}

TEST_F(FilesTest, SharingModesFollowTheOriginalRules) {
    struct TCase {
        TAccess HeldAccess;
        TShare HeldShare;
        TAccess Access;
        TShare Share;
        unsigned Code;
    };
    const TCase cases[] = {
        {TAccess::Write, TShare::DenyNone, TAccess::Write, TShare::DenyNone, 0},
        {TAccess::ReadWrite, TShare::Exclusive, TAccess::Read, TShare::DenyNone, 32},
        {TAccess::ReadWrite, TShare::Exclusive, TAccess::Write, TShare::DenyNone, 32},
        {TAccess::Read, TShare::DenyWrite, TAccess::Read, TShare::DenyNone, 0},
        {TAccess::Read, TShare::DenyWrite, TAccess::Read, TShare::DenyWrite, 0},
        {TAccess::Read, TShare::DenyWrite, TAccess::Write, TShare::DenyNone, 32},
        {TAccess::Write, TShare::DenyNone, TAccess::Read, TShare::DenyWrite, 32},
        {TAccess::Write, TShare::DenyNone, TAccess::ReadWrite, TShare::Exclusive, 32},
        {TAccess::Read, TShare::DenyNone, TAccess::ReadWrite, TShare::DenyRead, 32},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        TFile held(Path, c.HeldAccess, c.HeldShare, TDisposition::OpenExisting);
        EXPECT_EQ(OpenCode(Path, c.Access, c.Share), c.Code);
    }
    // Every lock byte is gone with the handles.
    EXPECT_EQ(OpenCode(Path, TAccess::ReadWrite, TShare::Exclusive), 0u);
}

TEST_F(FilesTest, RefusedCreateLeavesContents) {
    TFile held(Path, TAccess::Read, TShare::DenyWrite, TDisposition::OpenExisting);
    EXPECT_EQ(OpenCode(Path, TAccess::ReadWrite, TShare::Exclusive, TDisposition::CreateAlways),
              32u);
    EXPECT_EQ(fs::file_size(Path), 5u);
}

TEST_F(FilesTest, SharingHoldsAcrossProcesses) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        TFile held(Path, TAccess::ReadWrite, TShare::Exclusive, TDisposition::OpenExisting);
        char c = 1;
        (void)!write(ready[1], &c, 1);
        sleep(2);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(OpenCode(Path, TAccess::Read, TShare::DenyNone), 32u);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // The kernel drops a dead holder's locks.
    EXPECT_EQ(OpenCode(Path, TAccess::Read, TShare::DenyNone), 0u);
    close(ready[0]);
    close(ready[1]);
}

TEST_F(FilesTest, ErrorCodes) {
    EXPECT_EQ(OpenCode((Dir / "нет.txt").string(), TAccess::Read, TShare::DenyNone), 2u);
    EXPECT_EQ(OpenCode((Dir / "нет" / "x.txt").string(), TAccess::Read, TShare::DenyNone), 3u);
    EXPECT_EQ(OpenCode(Dir.string(), TAccess::Read, TShare::DenyNone), 5u);
    EXPECT_EQ(OpenCode(Path, TAccess::Write, TShare::DenyNone, TDisposition::CreateNew), 80u);
    EXPECT_EQ(OpenCode((Dir / "new").string(), TAccess::Write, TShare::DenyNone,
                       TDisposition::OpenAlways),
              0u);
    EXPECT_TRUE(FileExists((Dir / "new").string()));
    EXPECT_FALSE(FileExists(Dir.string()));
    EXPECT_TRUE(DirectoryExists(Dir.string()));
}

TEST_F(FilesTest, RenameNeverReplaces) {
    std::string other = (Dir / "other").string();
    std::ofstream(other) << "keep";
    try {
        RenameNoReplace(Path, other);
        FAIL() << "rename replaced a file";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Code, 80u);
    }
    std::ifstream in(other);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "keep");
    RenameNoReplace(Path, (Dir / "moved").string());
    EXPECT_TRUE(FileExists((Dir / "moved").string()));
    EXPECT_FALSE(FileExists(Path));
}
