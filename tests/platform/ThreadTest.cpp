#include "platform/Thread.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using platform::TThread;

namespace {

// Records what its body saw; the body needs a member set at the very end of
// construction, which is only there if the body waited for it.
class TProbe : public TThread {
public:
    TProbe(bool suspended, std::atomic<int>* destroyedOn = nullptr, bool loop = false)
        : TThread(suspended), DestroyedOn(destroyedOn), Loop(loop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Ready = 42;
        AfterConstruction();
    }
    ~TProbe() override {
        StopBeforeDestruction();
        if (DestroyedOn)
            *DestroyedOn = IsCurrentThread() ? 1 : 2;
    }
    std::atomic<int> SeenReady{0};
    std::atomic<bool> Ran{false};
    std::atomic<bool> Ended{false};
    bool Throw = false;

protected:
    void Execute() override {
        Ran = true;
        SeenReady = Ready;
        while (Loop && !Terminated())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Ended = true;
        if (Throw)
            throw std::runtime_error("сбой");
    }

private:
    std::atomic<int>* DestroyedOn;
    bool Loop;
    int Ready = 0;
};

TEST(Thread, NotSuspendedRunsOnlyAfterConstruction) {
    TProbe probe(false);
    probe.WaitFor();
    EXPECT_TRUE(probe.Ran);
    EXPECT_EQ(probe.SeenReady, 42);
}

TEST(Thread, SuspendedRunsAtResume) {
    TProbe probe(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(probe.Ran);
    probe.Resume();
    probe.WaitFor();
    EXPECT_TRUE(probe.Ran);
}

TEST(Thread, TerminatedBeforeItBeganSkipsTheBody) {
    TProbe probe(true);
    probe.Terminate();
    probe.Resume();
    probe.WaitFor();
    EXPECT_FALSE(probe.Ran);
    EXPECT_TRUE(probe.Finished());
}

TEST(Thread, FreeOnTerminateReleasesTheObjectOnItsOwnThread) {
    std::atomic<int> destroyedOn{0};
    auto* probe = new TProbe(true, &destroyedOn);
    probe->FreeOnTerminate = true;
    probe->Resume();
    ASSERT_TRUE(TThread::WaitForAllThreads(5000));
    EXPECT_EQ(destroyedOn, 1);
}

TEST(Thread, DestroyingARunningThreadTerminatesAndWaits) {
    std::atomic<int> destroyedOn{0};
    auto* probe = new TProbe(false, &destroyedOn, true);
    while (!probe->Ran)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    probe->FreeOnTerminate = true; // cleared by the destructor: no double release
    delete probe;
    EXPECT_EQ(destroyedOn, 2);
    EXPECT_TRUE(TThread::WaitForAllThreads(5000));
}

TEST(Thread, KeepsWhatEscapesTheBody) {
    TProbe probe(true);
    probe.Throw = true;
    probe.Resume();
    probe.WaitFor();
    ASSERT_TRUE(probe.FatalException);
    EXPECT_THROW(std::rethrow_exception(probe.FatalException), std::runtime_error);
}

TEST(Thread, ExitHooksRunBeforeTheThreadCountsAsEnded) {
    struct THooked : TThread {
        THooked() : TThread(true) {}
        std::atomic<bool>* Flag = nullptr;
        void Execute() override {
            platform::AtThreadExit([flag = Flag] { *flag = true; });
        }
    };
    std::atomic<bool> hookRan{false};
    auto* thread = new THooked;
    thread->Flag = &hookRan;
    thread->FreeOnTerminate = true;
    thread->Resume();
    ASSERT_TRUE(TThread::WaitForAllThreads(5000));
    EXPECT_TRUE(hookRan);
}

TEST(Thread, HeldStartsLetTerminateComeFirst) {
    TThread::HoldStarts(true);
    TProbe probe(false);
    probe.Terminate();
    TThread::HoldStarts(false);
    probe.WaitFor();
    EXPECT_FALSE(probe.Ran);
}

} // namespace
