#pragma once
// A re-entrant lock: the owning thread may enter again, and must leave as
// often as it entered. Loggers rely on this when a failing write reports
// itself through another logger on the same thread.
#include <mutex>

namespace platform {

class TCriticalSection {
public:
    TCriticalSection() = default;
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter() { Mutex.lock(); }
    void Leave() { Mutex.unlock(); }
    bool TryEnter() { return Mutex.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

    // So that std::lock_guard and std::unique_lock work as well.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex Mutex;
};

// Holds a critical section for one scope.
class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TCriticalSection& section) : Section(section) {
        Section.Enter();
    }
    ~TCriticalSectionGuard() { Section.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TCriticalSection& Section;
};

} // namespace platform
