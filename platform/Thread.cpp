#include "platform/Thread.h"

#include <chrono>
#include <vector>

namespace platform {
namespace {

struct TRunning {
    std::mutex Lock;
    std::condition_variable Changed;
    int Count = 0;
    bool HoldStarts = false;
    // Threads that freed their own object: joined later by somebody else, so
    // that "ended" also covers what the system does after the body (the
    // thread's TLS destructors, Qt's per-thread data among them).
    std::vector<std::thread> Ended;
};

TRunning& Running() {
    static auto* running = new TRunning; // outlives threads still ending at exit
    return *running;
}

void JoinEnded() {
    std::vector<std::thread> ended;
    {
        auto& running = Running();
        std::lock_guard guard(running.Lock);
        ended.swap(running.Ended);
    }
    for (auto& thread : ended)
        if (thread.joinable())
            thread.join();
}

struct TExitHooks {
    std::vector<std::function<void()>> Hooks;
    void Run() {
        while (!Hooks.empty()) {
            auto hook = std::move(Hooks.back());
            Hooks.pop_back();
            try {
                hook();
            } catch (...) {
                // A failing clean-up must not keep the others from running.
            }
        }
    }
    ~TExitHooks() { Run(); }
};

thread_local TExitHooks exitHooks;

} // namespace

void AtThreadExit(std::function<void()> fn) {
    exitHooks.Hooks.push_back(std::move(fn));
}

TThread::TThread(bool createSuspended) : CreateSuspended(createSuspended) {}

TThread::~TThread() {
    StopBeforeDestruction();
}

void TThread::AfterConstruction() {
    if (!CreateSuspended)
        Start();
}

void TThread::Resume() {
    Start();
}

void TThread::Start() {
    JoinEnded(); // keeps finished threads from piling up in a long run
    std::lock_guard guard(StateLock);
    if (Started)
        return;
    // The new thread waits for StateLock, so Handle is set and the thread
    // counted before it can run (and, freeing itself, detach it).
    Handle = std::thread(ThreadProc, this);
    OwnId = Handle.get_id();
    Started = true;
    auto& running = Running();
    std::lock_guard count(running.Lock);
    ++running.Count;
}

void TThread::ThreadProc(TThread* self) {
    { std::lock_guard guard(self->StateLock); }
    {
        auto& running = Running();
        std::unique_lock guard(running.Lock);
        running.Changed.wait(guard, [&] { return !running.HoldStarts; });
    }
    if (!self->Terminated()) {
        try {
            self->Execute();
        } catch (...) {
            self->FatalException = std::current_exception();
        }
    }
    bool freeSelf = self->FreeOnTerminate.load();
    if (freeSelf) {
        delete self;
    } else {
        std::lock_guard guard(self->StateLock);
        self->Done = true;
        self->StateChanged.notify_all();
        // Nothing of self may be touched after this point: a waiter may
        // destroy the object as soon as the lock is free.
    }
    exitHooks.Run();
    auto& running = Running();
    std::lock_guard count(running.Lock);
    --running.Count;
    running.Changed.notify_all();
}

void TThread::WaitFor() {
    std::unique_lock guard(StateLock);
    if (!Started || OwnId == std::this_thread::get_id())
        return;
    StateChanged.wait(guard, [&] { return Done; });
}

bool TThread::Finished() const {
    std::lock_guard guard(StateLock);
    return Done;
}

bool TThread::IsCurrentThread() const {
    std::lock_guard guard(StateLock);
    return Started && OwnId == std::this_thread::get_id();
}

void TThread::StopBeforeDestruction() {
    // Once destruction has begun the thread must not release the object a
    // second time.
    FreeOnTerminate.store(false);
    bool started;
    {
        std::lock_guard guard(StateLock);
        started = Started;
    }
    if (!started)
        return;
    if (IsCurrentThread()) {
        // Freeing itself: the handle outlives the object, to be joined.
        if (Handle.joinable()) {
            auto& running = Running();
            std::lock_guard guard(running.Lock);
            running.Ended.push_back(std::move(Handle));
        }
        return;
    }
    Terminate();
    WaitFor();
    if (Handle.joinable())
        Handle.join();
}

void TThread::HoldStarts(bool hold) {
    auto& running = Running();
    std::lock_guard guard(running.Lock);
    running.HoldStarts = hold;
    running.Changed.notify_all();
}

bool TThread::WaitForAllThreads(int timeoutMs) {
    auto& running = Running();
    bool none;
    {
        std::unique_lock guard(running.Lock);
        none = running.Changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                        [&] { return running.Count == 0; });
    }
    if (none)
        JoinEnded();
    return none;
}

} // namespace platform
