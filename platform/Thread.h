#pragma once
// A thread object with the class library's life rules: the body (Execute)
// runs only once the object is fully built, or at Resume when created
// suspended; Terminate only asks; FreeOnTerminate lets the thread release its
// own object when its body is done; destroying a running thread from outside
// terminates it and waits for it.
//
// C++ cannot run code after the most-derived constructor on its own, so the
// most-derived class calls AfterConstruction() as the last statement of its
// constructor. And because members of a derived class die before this base's
// destructor could wait, a derived class whose Execute uses its own members
// calls StopBeforeDestruction() first thing in its destructor.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class TThread {
public:
    explicit TThread(bool createSuspended);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts a thread created suspended (or one whose construction has not
    // released it yet). Further calls do nothing.
    void Resume();
    // Asks the body to end; returns at once.
    void Terminate() { TerminatedFlag.store(true); }
    bool Terminated() const { return TerminatedFlag.load(); }
    // Waits until the body has returned (or was skipped). Not from the
    // thread itself, and not for a FreeOnTerminate thread, which may be gone.
    void WaitFor();
    bool Finished() const;
    // True while the calling code runs on this object's own thread.
    bool IsCurrentThread() const;

    std::atomic<bool> FreeOnTerminate{false};
    // What escaped Execute, kept as the class library keeps it.
    std::exception_ptr FatalException;

    // Threads that release their own object are joined here: a process (or a
    // test) waits for every thread to end, its system clean-up included,
    // before it exits. True when none is left.
    static bool WaitForAllThreads(int timeoutMs);
    // While held, threads that start wait before they look at Terminated.
    // Lets a test call Terminate on a thread that has not begun yet, which
    // otherwise only a lucky race would show.
    static void HoldStarts(bool hold);

protected:
    virtual void Execute() = 0;
    void AfterConstruction();
    void StopBeforeDestruction();

private:
    static void ThreadProc(TThread* self);
    void Start();

    std::atomic<bool> TerminatedFlag{false};
    bool CreateSuspended;
    mutable std::mutex StateLock;
    std::condition_variable StateChanged;
    bool Started = false;
    bool Done = false;
    std::thread::id OwnId;
    std::thread Handle;
};

// Runs fn when the calling thread ends: at the end of a TThread's run, before
// the thread counts as ended, or at the exit of any other thread. Used for
// per-thread resources such as a display connection, whose closing must be
// seen before the thread is reported gone.
void AtThreadExit(std::function<void()> fn);

} // namespace platform
