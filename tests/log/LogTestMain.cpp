// Every run gets a temporary directory of its own (with a space and Cyrillic
// letters in its name), which also holds the errors log.
#include "log/NMQLogger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("log tests " + std::to_string(getpid()) + " лог");
    fs::remove_all(dir);
    fs::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);
    NMQLoggerStartup();
    int result = RUN_ALL_TESTS();
    NMQLoggerShutdown();
    fs::remove_all(dir);
    return result;
}
