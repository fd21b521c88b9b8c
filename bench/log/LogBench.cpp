// Lines per second of Write with the defaults (named mutex on) against a
// plain open, append, close loop writing the same bytes, in the same run.
#include "log/NMQLogger.h"
#include "platform/CodePage.h"
#include "platform/System.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLines = 15000; // 1.3 MB: stays below the trimming threshold
constexpr int kRounds = 5;
const char* const kText = "Партия 12345, товар 678: остаток -3.000 исправлен";

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double LoggerRun(const std::string& path) {
    std::filesystem::remove(path);
    TNMQLogger log(path);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i)
        log.Write(kText, lvInfo);
    return Seconds(std::chrono::steady_clock::now() - start);
}

double PlainRun(const std::string& path, const std::string& bytes) {
    std::filesystem::remove(path);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::perror("plain loop");
        ::close(fd);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main() {
    NMQLoggerStartup();
    std::string dir = platform::GetTempDirectory() + "bench_log " + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    std::string path = dir + "ViridazIZ.log";
    std::string bytes;
    {
        TNMQLogger probe(dir + "probe.log");
        bytes = platform::Utf8ToCodePage(probe.FormatLine(kText, lvInfo) + "\r\n", 1251);
    }
    // Best of several alternating rounds, so both sides see the same machine.
    double logger = 1e9;
    double plain = 1e9;
    for (int r = 0; r < kRounds; ++r) {
        logger = std::min(logger, LoggerRun(path));
        plain = std::min(plain, PlainRun(path, bytes));
    }
    std::filesystem::remove_all(dir);
    NMQLoggerShutdown();
    double loggerRate = kLines / logger;
    double plainRate = kLines / plain;
    std::printf("log Write, defaults:          %10.0f lines/s\n", loggerRate);
    std::printf("plain open/append/close loop: %10.0f lines/s (baseline, %zu bytes a line)\n",
                plainRate, bytes.size());
    std::printf("ratio logger/plain:           %10.2f (aim: at least 0.70)\n",
                loggerRate / plainRate);
    return 0;
}
