#include "platform/System.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

std::atomic<uint64_t> beepCount{0};
std::mutex beepLock;
TBeepHook beepHook;

} // namespace

uint32_t GetCurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

uint32_t GetCurrentThreadId() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

void Sleep(uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void Beep(uint32_t frequency, uint32_t durationMs) {
    beepCount.fetch_add(1, std::memory_order_relaxed);
    TBeepHook hook;
    {
        std::lock_guard guard(beepLock);
        hook = beepHook;
    }
    if (hook)
        hook(frequency, durationMs);
    if (isatty(STDERR_FILENO)) {
        ssize_t ignored = ::write(STDERR_FILENO, "\a", 1);
        (void)ignored;
    }
}

void SetBeepHook(TBeepHook hook) {
    std::lock_guard guard(beepLock);
    beepHook = std::move(hook);
}

uint64_t BeepCount() {
    return beepCount.load(std::memory_order_relaxed);
}

std::string GetTempDirectory() {
    std::string dir;
    const char* env = std::getenv("TMPDIR");
    struct stat st = {};
    if (env && *env && stat(env, &st) == 0 && S_ISDIR(st.st_mode))
        dir = env;
    else
        dir = "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

std::string GetExecutablePath() {
    std::string buffer(PATH_MAX, '\0');
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0)
        return std::string();
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

std::string GetExecutableDir() {
    std::string dir = ExtractFilePath(GetExecutablePath());
    return dir.empty() ? std::string("./") : dir;
}

std::string ExtractFilePath(std::string_view path) {
    auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExtractFileDir(std::string_view path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return std::string();
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

std::string ExtractFileName(std::string_view path) {
    auto slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
    auto dot = path.find_last_of("./");
    if (dot == std::string_view::npos || path[dot] != '.')
        return std::string();
    return std::string(path.substr(dot));
}

std::string AnsiLowerCase(std::string_view utf8) {
    std::string out(utf8);
    for (size_t i = 0; i < out.size(); ++i) {
        auto b = static_cast<unsigned char>(out[i]);
        if (b >= 'A' && b <= 'Z') {
            out[i] = static_cast<char>(b + 32);
            continue;
        }
        if (i + 1 >= out.size())
            break;
        auto next = static_cast<unsigned char>(out[i + 1]);
        if (b == 0xD0 && next >= 0x80 && next <= 0x8F) { // Ѐ..Џ -> ѐ..џ
            out[i] = static_cast<char>(0xD1);
            out[i + 1] = static_cast<char>(next + 0x10);
            ++i;
        } else if (b == 0xD0 && next >= 0x90 && next <= 0x9F) { // А..П
            out[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        } else if (b == 0xD0 && next >= 0xA0 && next <= 0xAF) { // Р..Я
            out[i] = static_cast<char>(0xD1);
            out[i + 1] = static_cast<char>(next - 0x20);
            ++i;
        } else if (b == 0xD2 && next == 0x90) { // Ґ
            out[i + 1] = static_cast<char>(0x91);
            ++i;
        }
    }
    return out;
}

} // namespace platform
