// Real viewers on their own threads with real windows on the display.
#include "XProbe.h"
#include "platform/Screen.h"
#include "platform/Thread.h"
#include "platform/X11Window.h"
#include "progress/ProgressViewer.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace progress;

namespace {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The X window of a viewer, once its thread has made and sized it (the first
// layout changes the height, so the window is looked at after that).
unsigned long ShownWindow(TProgressViewer* viewer) {
    unsigned long xid = 0;
    WaitUntil([&] {
        HWND handle = viewer->WindowHandle;
        xid = handle ? platform::X11WindowId(handle) : 0;
        if (!xid)
            return false;
        auto g = xprobe::Geometry(xid);
        return g.Viewable && viewer->LinesLaidOut && g.Height == viewer->WindowHeight;
    });
    return xid;
}

// Ends a viewer however the test leaves, so that a failed check does not
// leave its thread drawing after the test. Now() ends it early; after that
// the viewer may be gone and is not touched again.
struct TTerminateAtEnd {
    TProgressViewer* Viewer;
    void Now() {
        if (Viewer)
            Viewer->Terminate();
        Viewer = nullptr;
    }
    ~TTerminateAtEnd() { Now(); }
};

class ViewerWindow : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs a display";
        platform::SetWorkAreaOverride(std::nullopt);
    }
    void TearDown() override {
        // Every viewer of a test has been terminated; its thread must end.
        EXPECT_TRUE(platform::TThread::WaitForAllThreads(5000));
    }
};

TEST_F(ViewerWindow, AppearsAtItsPlaceAboveOtherWindowsAndGoesAwayOnTerminate) {
    unsigned long below = xprobe::CreateNormalWindow(300, 700, 700, 300);
    auto* viewer = new TProgressViewer("Выполняется коррекция базы данных", true, false);
    TTerminateAtEnd end{viewer};
    viewer->Position = 42;
    unsigned long xid = ShownWindow(viewer);
    ASSERT_NE(xid, 0u);
    auto g = xprobe::Geometry(xid);
    EXPECT_EQ(g.X, viewer->WindowLeft.load());
    EXPECT_EQ(g.Y, viewer->WindowTop.load());
    EXPECT_EQ(g.Width, 450);
    EXPECT_EQ(g.Height, viewer->WindowHeight.load());
    platform::TRect area = platform::GetWorkArea();
    EXPECT_EQ(viewer->WindowLeft.load(), (area.Right - area.Left - 450) / 2);
    EXPECT_EQ(viewer->WindowTop.load(), area.Bottom - viewer->WindowHeight - 100);
    EXPECT_TRUE(xprobe::IsAbove(xid, below));

    // An ordinary window raised over it does not stay there.
    xprobe::Raise(below);
    EXPECT_TRUE(WaitUntil([&] { return xprobe::IsAbove(xid, below); }));

    std::filesystem::create_directories(ARTIFACT_DIR);
    EXPECT_TRUE(xprobe::Screenshot(std::string(ARTIFACT_DIR) + "/progress-viewer.png"));

    end.Now();
    EXPECT_TRUE(WaitUntil([&] { return !xprobe::Geometry(xid).Viewable; }, 2000));
    EXPECT_TRUE(platform::TThread::WaitForAllThreads(5000));
    EXPECT_FALSE(xprobe::Geometry(xid).Exists); // gone with its thread's connection
    xprobe::Destroy(below);
}

struct TCancelCount {
    std::atomic<int> Calls{0};
    TViewerEvent Handler() {
        return [this](TProgressViewer*) { ++Calls; };
    }
};

TEST_F(ViewerWindow, EscCancelsOnEveryKeyDownOtherKeysAndCloseDoNothing) {
    TCancelCount cancels;
    auto* viewer = new TProgressViewer("Esc", true, false);
    TTerminateAtEnd end{viewer};
    viewer->OnCancel = cancels.Handler();
    unsigned long xid = ShownWindow(viewer);
    ASSERT_NE(xid, 0u);
    auto g = xprobe::Geometry(xid);
    xprobe::Click(g.X + 10, g.Y + 10); // a click gives it the keyboard

    xprobe::Key("a");
    xprobe::SendCloseRequest(xid);
    platform::PostMessage(viewer->WindowHandle, platform::WM_COMMAND, 0, 0); // not a control
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(viewer->Cancelled);
    EXPECT_EQ(cancels.Calls, 0);
    EXPECT_TRUE(xprobe::Geometry(xid).Viewable);

    xprobe::Key("Escape");
    xprobe::Key("Escape");
    EXPECT_TRUE(WaitUntil([&] { return cancels.Calls == 2; }));
    EXPECT_TRUE(viewer->Cancelled);
    EXPECT_TRUE(xprobe::Geometry(xid).Viewable); // cancelling does not end the viewer
}

TEST_F(ViewerWindow, ClickOnCancelButtonCancels) {
    TCancelCount cancels;
    auto* viewer = new TProgressViewer("Кнопка", true, true);
    TTerminateAtEnd end{viewer};
    viewer->OnCancel = cancels.Handler();
    unsigned long xid = ShownWindow(viewer);
    ASSERT_NE(xid, 0u);
    auto g = xprobe::Geometry(xid);
    auto button = xprobe::ChildGeometry(platform::X11WindowId(viewer->CancelButtonHandle));
    EXPECT_TRUE(button.Viewable);
    EXPECT_EQ(button.X, g.Width - 120);
    EXPECT_EQ(button.Y, g.Height - 30);
    EXPECT_EQ(button.Width, 100);
    EXPECT_EQ(button.Height, 25);
    xprobe::Click(g.X + button.X + 50, g.Y + button.Y + 12);
    EXPECT_TRUE(WaitUntil([&] { return cancels.Calls == 1; }));
    EXPECT_TRUE(viewer->Cancelled);
}

TEST_F(ViewerWindow, TwoViewersCancelIndependently) {
    TCancelCount wideCancels, tallCancels;
    auto* wide = new TProgressViewer("Широкое", true, false);
    TTerminateAtEnd endWide{wide};
    wide->SetRequestedWidth(800);
    wide->OnCancel = wideCancels.Handler();
    // Narrow and taller: its top rises above the wide one, whichever of the
    // two is raised last.
    auto* tall = new TProgressViewer("Высокое", false, false);
    TTerminateAtEnd endTall{tall};
    tall->SetRequestedWidth(225);
    tall->SetString(2000, "1\n2\n3\n4\n5\n6", taCenter, false, 0, 0, 12, "");
    tall->OnCancel = tallCancels.Handler();
    unsigned long wideWindow = ShownWindow(wide);
    unsigned long tallWindow = ShownWindow(tall);
    ASSERT_TRUE(WaitUntil([&] { return xprobe::Geometry(wideWindow).Width == 800; }));
    ASSERT_TRUE(WaitUntil([&] {
        auto t = xprobe::Geometry(tallWindow);
        return t.Width == 225 && t.Y + 20 < xprobe::Geometry(wideWindow).Y;
    }));
    auto w = xprobe::Geometry(wideWindow);
    auto t = xprobe::Geometry(tallWindow);

    xprobe::Click(w.X + 10, w.Y + w.Height - 10); // left of the tall one
    xprobe::Key("Escape");
    EXPECT_TRUE(WaitUntil([&] { return wideCancels.Calls == 1; }));
    xprobe::Click(t.X + t.Width / 2, t.Y + 10); // above the wide one
    xprobe::Key("Escape");
    EXPECT_TRUE(WaitUntil([&] { return tallCancels.Calls == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(wideCancels.Calls, 1);
    EXPECT_EQ(tallCancels.Calls, 1);
    EXPECT_TRUE(wide->Cancelled);
    EXPECT_TRUE(tall->Cancelled);
}

TEST_F(ViewerWindow, ShowCancelRequestedShowsAndHidesTheButton) {
    auto* viewer = new TProgressViewer("Кнопка по запросу", true, false);
    TTerminateAtEnd end{viewer};
    unsigned long xid = ShownWindow(viewer);
    ASSERT_NE(xid, 0u);
    unsigned long button = platform::X11WindowId(viewer->CancelButtonHandle);
    ASSERT_NE(button, 0u);
    EXPECT_FALSE(xprobe::ChildGeometry(button).Viewable);
    viewer->SetShowCancelRequested(true);
    EXPECT_TRUE(WaitUntil([&] { return xprobe::ChildGeometry(button).Viewable; }));
    auto g = xprobe::ChildGeometry(button);
    EXPECT_EQ(g.X, viewer->WindowWidth - 120);
    EXPECT_EQ(g.Y, viewer->WindowHeight - 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(120)); // a frame with the button
    std::filesystem::create_directories(ARTIFACT_DIR);
    EXPECT_TRUE(xprobe::Screenshot(std::string(ARTIFACT_DIR) + "/progress-viewer-cancel.png"));
    viewer->SetShowCancelRequested(false);
    EXPECT_TRUE(WaitUntil([&] { return !xprobe::ChildGeometry(button).Viewable; }));
}

TEST_F(ViewerWindow, TerminatedBeforeItsThreadBeganShowsNothingAndRunsNoWorker) {
    std::atomic<bool> worked{false};
    int before = xprobe::CountMapped(ProgressWindowName);
    platform::TThread::HoldStarts(true);
    auto* viewer =
        new TProgressViewer("Никогда", true, false, [&](TProgressViewer*) { worked = true; });
    viewer->Terminate();
    platform::TThread::HoldStarts(false);
    // The viewer frees itself, and with it the worker that never started
    // (the leak check of the sanitizer build would report it otherwise).
    EXPECT_TRUE(platform::TThread::WaitForAllThreads(5000));
    EXPECT_FALSE(worked);
    EXPECT_EQ(xprobe::CountMapped(ProgressWindowName), before);
}

TEST_F(ViewerWindow, WorkerStaysValidUntilTheViewerEndsEvenWhenWorkProcThrows) {
    std::atomic<bool> worked{false};
    auto* viewer = new TProgressViewer("Работа", true, false, [&](TProgressViewer*) {
        worked = true;
        throw std::runtime_error("сбой в работе");
    });
    EXPECT_TRUE(WaitUntil([&] { return worked.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    // The viewer's end addresses the worker: it must still be there.
    viewer->Terminate();
    EXPECT_TRUE(platform::TThread::WaitForAllThreads(5000));
}

TEST_F(ViewerWindow, PaintRequestForAnotherObjectIsIgnored) {
    auto* viewer = new TProgressViewer("Чужой запрос", true, false);
    TTerminateAtEnd end{viewer};
    unsigned long xid = ShownWindow(viewer);
    ASSERT_NE(xid, 0u);
    int notAViewer = 0;
    platform::PostMessage(viewer->WindowHandle, WM_PAINTREQUEST,
                          reinterpret_cast<platform::WPARAM>(&notAViewer), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(xprobe::Geometry(xid).Viewable);
}

} // namespace
