#include "platform/NamedMutex.h"

#include "platform/Files.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

// One per name and process. Threads queue on Lock/Free; only the thread
// that owns the mutex holds the kernel lock on the file.
struct TNamedMutex::TState {
    std::mutex Lock;
    std::condition_variable Free;
    std::thread::id Owner;
    unsigned Depth = 0;
    int Fd = -1;
    pid_t Pid = 0;
    ~TState() {
        if (Fd >= 0)
            ::close(Fd);
    }
};

namespace {

std::mutex registryLock;
std::map<std::string, std::weak_ptr<TNamedMutex::TState>> registry;
std::string directoryOverride;

[[noreturn]] void Fail(int err, const std::string& path) {
    unsigned code = ErrnoToCode(err);
    throw EOSError(FileErrorMessage(code, path), code);
}

// The per-user directory must be ours and private; anything else (another
// user's directory, a symlink planted in /tmp) is refused.
void EnsurePrivateDirectory(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        Fail(errno, dir);
    struct stat st = {};
    if (::lstat(dir.c_str(), &st) != 0)
        Fail(errno, dir);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        Fail(EACCES, dir);
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace

std::string NamedMutexDirectory() {
    {
        std::lock_guard guard(registryLock);
        if (!directoryOverride.empty())
            return directoryOverride;
    }
    return "/tmp/.nmq-mutex-" + std::to_string(::getuid()) + "/";
}

void SetNamedMutexDirectory(const std::string& directory) {
    std::lock_guard guard(registryLock);
    directoryOverride = directory;
    if (!directoryOverride.empty() && directoryOverride.back() != '/')
        directoryOverride += '/';
}

std::string NamedMutexFileName(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-' || (c == '.' && i > 0);
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (out.empty())
        out = "%";
    constexpr size_t kMaxLength = 200;
    if (out.size() > kMaxLength) {
        char tail[20];
        std::snprintf(tail, sizeof(tail), "~%016llx", static_cast<unsigned long long>(Fnv1a(name)));
        out.resize(kMaxLength - 17);
        out += tail;
    }
    return out;
}

TNamedMutex::TNamedMutex(const std::string& name) : MutexName(name) {
    std::string dir = NamedMutexDirectory();
    std::string path = dir + NamedMutexFileName(name);
    std::lock_guard guard(registryLock);
    auto& slot = registry[path];
    State = slot.lock();
    // A child made by fork alone shares the parent's open file, and so its
    // flock; it must open the file afresh to be a separate holder.
    if (State && State->Pid == ::getpid())
        return;
    State.reset();
    EnsurePrivateDirectory(dir.substr(0, dir.size() - 1));
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        int err = errno;
        registry.erase(path);
        Fail(err, path);
    }
    State = std::make_shared<TState>();
    State->Fd = fd;
    State->Pid = ::getpid();
    slot = State;
}

TNamedMutex::~TNamedMutex() {
    // A handle closed while its thread owns the mutex gives the ownership up,
    // as the kernel would when that thread ended.
    {
        std::unique_lock lock(State->Lock);
        if (State->Depth > 0 && State->Owner == std::this_thread::get_id()) {
            State->Depth = 1;
            lock.unlock();
            Release();
        }
    }
    std::lock_guard guard(registryLock);
    State.reset();
    for (auto it = registry.begin(); it != registry.end();)
        it = it->second.expired() ? registry.erase(it) : std::next(it);
}

void TNamedMutex::Wait() {
    std::unique_lock lock(State->Lock);
    auto self = std::this_thread::get_id();
    if (State->Depth > 0 && State->Owner == self) {
        ++State->Depth;
        return;
    }
    State->Free.wait(lock, [&] { return State->Depth == 0; });
    State->Owner = self;
    State->Depth = 1;
    // Other threads of this process now queue on the condition, so the
    // kernel wait below only ever competes with other processes.
    lock.unlock();
    while (::flock(State->Fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

void TNamedMutex::Release() {
    std::unique_lock lock(State->Lock);
    if (State->Depth == 0 || State->Owner != std::this_thread::get_id())
        return;
    if (--State->Depth > 0)
        return;
    ::flock(State->Fd, LOCK_UN);
    State->Owner = std::thread::id();
    lock.unlock();
    State->Free.notify_one();
}

} // namespace platform
