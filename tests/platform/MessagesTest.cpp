#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;

TEST(Messages, PostedFromManyThreadsArriveInOrderPerSender) {
    std::vector<TMsg> received;
    HWND window = CreateMessageWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        received.push_back({w, m, wp, lp});
        return 0;
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([=] {
            for (int i = 0; i < 500; ++i)
                PostMessage(window, WM_USER + t, static_cast<WPARAM>(i), 0);
        });
    for (auto& s : senders)
        s.join();
    TMsg msg;
    while (PeekMessage(msg))
        DispatchMessage(msg);
    ASSERT_EQ(received.size(), 2000u);
    int next[4] = {};
    for (const auto& m : received) {
        int t = static_cast<int>(m.Message - WM_USER);
        EXPECT_EQ(m.WParam, static_cast<WPARAM>(next[t]++));
    }
    DestroyMessageWindow(window);
}

TEST(Messages, GoneWindowsRefuseAndDropQueuedMessages) {
    int calls = 0;
    HWND window = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) { return ++calls; });
    EXPECT_TRUE(PostMessage(window, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(window, WM_USER, 0, 0), 1); // same thread: direct call
    DestroyMessageWindow(window);
    TMsg msg;
    EXPECT_FALSE(PeekMessage(msg));
    EXPECT_FALSE(PostMessage(window, WM_USER, 0, 0));
    EXPECT_FALSE(PostMessage(0, WM_USER, 0, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(calls, 1);
}

TEST(Messages, OtherThreadsQueueGoesToItsOwner) {
    std::atomic<HWND> window{0};
    std::atomic<int> got{0};
    std::thread owner([&] {
        window = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) {
            got = static_cast<int>(m);
            return 0;
        });
        TMsg msg;
        if (GetMessage(msg, 5000))
            DispatchMessage(msg);
        DestroyMessageWindow(window);
    });
    while (window == 0)
        std::this_thread::yield();
    EXPECT_EQ(SendMessage(window, WM_USER + 7, 0, 0), 0); // queued, not called here
    owner.join();
    EXPECT_EQ(got, static_cast<int>(WM_USER + 7));
    TMsg msg;
    EXPECT_FALSE(GetMessage(msg, 10));
}

TEST(Messages, AThreadWithAnOutsideSourceIsPolledUntilItDelivers) {
    HWND window = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) { return 0; });
    int polls = 0;
    SetThreadMessagePump([&] {
        if (++polls == 3)
            PostMessage(window, WM_USER + 1, 0, 0);
    });
    TMsg msg;
    ASSERT_TRUE(GetMessage(msg, 5000));
    EXPECT_EQ(msg.Message, WM_USER + 1);
    EXPECT_GE(polls, 3);
    EXPECT_FALSE(GetMessage(msg, 30));
    SetThreadMessagePump({});
    DestroyMessageWindow(window);
}
