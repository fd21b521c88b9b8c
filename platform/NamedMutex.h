#pragma once
// A mutex shared by name between threads and processes, with the original
// platform's semantics: the owning thread may wait on it again (it counts),
// waits have no time-out, and a holder that dies releases it (the kernel
// drops its flock). Every object of one name in this process shares one
// in-process state, so two objects of one name serialise like two handles of
// one mutex, across threads, without the kernel lock deadlocking a thread
// that already holds it.
#include "platform/Exception.h"

#include <memory>
#include <string>

namespace platform {

class TNamedMutex {
public:
    // Creates or opens the mutex. Throws EOSError when its lock file cannot
    // be made.
    explicit TNamedMutex(const std::string& name);
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    const std::string& Name() const { return MutexName; }
    // Waits without a time-out. Re-entrant for the owning thread.
    void Wait();
    // Releases one level of ownership; a thread that does not own it does
    // nothing.
    void Release();

    struct TState;

private:
    std::string MutexName;
    std::shared_ptr<TState> State;
};

// The directory of the lock files: one fixed directory per user under /tmp,
// private to that user. Tests may point it elsewhere (empty restores it).
std::string NamedMutexDirectory();
void SetNamedMutexDirectory(const std::string& directory);

// The lock file name that stands for a mutex name: bytes outside
// [A-Za-z0-9_-] and a leading "." become %XX, and a long result keeps its
// head and gets a hash of the whole name, so every name maps to one safe,
// short file name.
std::string NamedMutexFileName(const std::string& name);

} // namespace platform
