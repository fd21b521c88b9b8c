#pragma once
// Small helpers shared by the log tests.
#include "log/NMQLogger.h"
#include "platform/CodePage.h"
#include "platform/System.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace logtest {

namespace fs = std::filesystem;

// A fresh directory per test inside the run's temporary directory.
class TLogDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Dir = fs::path(platform::GetTempDirectory()) /
              (std::string(info->test_suite_name()) + "." + info->name() + " каталог");
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        SavedTimeout = DefaultOpenTimeout;
    }
    void TearDown() override {
        DefaultOpenTimeout = SavedTimeout;
        fs::remove_all(Dir);
    }
    std::string PathOf(const std::string& name) const { return (Dir / name).string(); }

    fs::path Dir;
    int32_t SavedTimeout = 200;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The file's lines as UTF-8, split at CR LF; a last line without CR LF is
// returned as well so that torn lines show.
inline std::vector<std::string> ReadLines(const std::string& path) {
    std::string text = platform::CodePageToUtf8(ReadBytes(path), 1251);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

inline std::string ErrorsLogPath() {
    return platform::GetTempDirectory() + "NMQLoggerErrorsWriter.log";
}

} // namespace logtest
