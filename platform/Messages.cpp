#include "platform/Messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct TThreadQueue {
    std::mutex Lock;
    std::condition_variable Ready;
    std::deque<TMsg> Messages;
};

struct TWindowEntry {
    std::shared_ptr<TThreadQueue> Queue;
    std::shared_ptr<TWndProc> Proc;
};

// The registry outlives every thread that may still post during shutdown.
struct TRegistry {
    std::mutex Lock;
    std::unordered_map<HWND, TWindowEntry> Windows;
    HWND NextHandle = 0x10000;
};

TRegistry& Registry() {
    static auto* registry = new TRegistry;
    return *registry;
}

std::shared_ptr<TThreadQueue> CurrentQueue() {
    thread_local std::shared_ptr<TThreadQueue> queue = std::make_shared<TThreadQueue>();
    return queue;
}

bool Find(HWND window, TWindowEntry& entry) {
    auto& registry = Registry();
    std::lock_guard guard(registry.Lock);
    auto found = registry.Windows.find(window);
    if (found == registry.Windows.end())
        return false;
    entry = found->second;
    return true;
}

thread_local std::function<void()> threadPump;

void RunThreadPump() {
    if (threadPump)
        threadPump();
}

} // namespace

void SetThreadMessagePump(std::function<void()> pump) {
    threadPump = std::move(pump);
}

HWND CreateMessageWindow(TWndProc proc) {
    auto& registry = Registry();
    std::lock_guard guard(registry.Lock);
    HWND handle = registry.NextHandle;
    registry.NextHandle += 4;
    registry.Windows[handle] = {CurrentQueue(), std::make_shared<TWndProc>(std::move(proc))};
    return handle;
}

void DestroyMessageWindow(HWND window) {
    std::shared_ptr<TThreadQueue> queue;
    {
        auto& registry = Registry();
        std::lock_guard guard(registry.Lock);
        auto found = registry.Windows.find(window);
        if (found == registry.Windows.end())
            return;
        queue = found->second.Queue;
        registry.Windows.erase(found);
    }
    std::lock_guard guard(queue->Lock);
    std::erase_if(queue->Messages, [&](const TMsg& m) { return m.Window == window; });
}

bool IsWindow(HWND window) {
    TWindowEntry entry;
    return window != 0 && Find(window, entry);
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TWindowEntry entry;
    if (window == 0 || !Find(window, entry))
        return false;
    {
        std::lock_guard guard(entry.Queue->Lock);
        entry.Queue->Messages.push_back({window, message, wParam, lParam});
    }
    entry.Queue->Ready.notify_one();
    return true;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TWindowEntry entry;
    if (window == 0 || !Find(window, entry))
        return 0;
    if (entry.Queue == CurrentQueue())
        return (*entry.Proc)(window, message, wParam, lParam);
    PostMessage(window, message, wParam, lParam);
    return 0;
}

bool PeekMessage(TMsg& msg, bool remove) {
    RunThreadPump();
    auto queue = CurrentQueue();
    std::lock_guard guard(queue->Lock);
    if (queue->Messages.empty())
        return false;
    msg = queue->Messages.front();
    if (remove)
        queue->Messages.pop_front();
    return true;
}

bool GetMessage(TMsg& msg, int timeoutMs) {
    auto queue = CurrentQueue();
    auto ready = [&] { return !queue->Messages.empty(); };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // An outside source such as the thread's X connection cannot wake the
    // queue, so with one set the queue is polled.
    const bool polled = static_cast<bool>(threadPump);
    for (;;) {
        RunThreadPump();
        std::unique_lock guard(queue->Lock);
        bool got = true;
        if (polled)
            got = queue->Ready.wait_for(guard, std::chrono::milliseconds(10), ready);
        else if (timeoutMs < 0)
            queue->Ready.wait(guard, ready);
        else
            got = queue->Ready.wait_until(guard, deadline, ready);
        if (got) {
            msg = queue->Messages.front();
            queue->Messages.pop_front();
            return true;
        }
        if (!polled || (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline))
            return false;
    }
}

LRESULT DispatchMessage(const TMsg& msg) {
    TWindowEntry entry;
    if (!Find(msg.Window, entry))
        return 0;
    return (*entry.Proc)(msg.Window, msg.Message, msg.WParam, msg.LParam);
}

} // namespace platform
