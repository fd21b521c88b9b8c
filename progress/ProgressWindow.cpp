// The viewer's thread: its window and cancel button, the tick loop, and the
// worker thread beside it.
#include "platform/System.h"
#include "platform/X11Window.h"
#include "progress/ProgressViewer.h"

namespace progress {

void TProgressViewer::Execute() {
    // Whatever escapes, the end steps run: the worker must be told to stop
    // and the window must leave the screen and the registry.
    std::exception_ptr escaped;
    try {
        ApplyPendingSettings();
        CreateProgressWindow();
        StartTime = platform::Time();
        if (Worker) {
            WorkerStarted = true;
            Worker->Resume();
        }
        while (!Terminated()) {
            Tick();
            std::int32_t interval = ProgressTickInterval;
            platform::Sleep(interval > 0 ? static_cast<std::uint32_t>(interval) : 0);
        }
    } catch (...) {
        escaped = std::current_exception();
    }
    EndRun();
    if (escaped)
        std::rethrow_exception(escaped);
}

void TProgressViewer::Tick() {
    ApplyPendingSettings();
    PumpMessages();
    {
        platform::TCriticalSectionGuard guard(*LinesLock);
        if (!LinesLaidOut) {
            try {
                RebuildLayout();
            } catch (...) {
                // A failed layout waits for the next change of lines or size.
            }
            LinesLaidOut = true;
        }
    }
    if (WindowHandle) {
        try {
            ComposeFrame();
        } catch (...) {
            // The next tick tries again.
        }
    }
    RefreshCancelButton();
}

void TProgressViewer::EndRun() {
    if (Worker && WorkerStarted)
        Worker->Terminate();
    if (HWND window = WindowHandle) {
        platform::ShowWindow(window, platform::SW_HIDE);
        platform::SendMessage(window, platform::WM_DESTROY, 0, 0);
        UnregisterViewerWindow();
        WindowHandle = 0;
        // The window itself goes with this thread's display connection.
    }
}

void TProgressViewer::ApplyPendingSettings() {
    platform::TCriticalSectionGuard guard(*SettingsLock);
    if (RequestedWidth != WindowWidth)
        SetWindowSize(RequestedWidth, -1);
    if (ShowCancel != ShowCancelRequested) {
        if (HWND button = CancelButtonHandle)
            platform::ShowWindow(button,
                                 ShowCancelRequested ? platform::SW_SHOW : platform::SW_HIDE);
        ShowCancel = ShowCancelRequested;
    }
}

void TProgressViewer::CreateProgressWindow() {
    HWND window = platform::CreateWindowEx(platform::WS_EX_TOPMOST | platform::WS_EX_TOOLWINDOW,
                                           ProgressWindowClassName, ProgressWindowName,
                                           platform::WS_POPUP | platform::WS_VISIBLE, WindowLeft,
                                           WindowTop, WindowWidth, WindowHeight, 0);
    if (!window)
        return;
    platform::ShowWindow(window, platform::SW_SHOW);
    WindowHandle = window;
    RegisterViewerWindow();
    HWND button = platform::CreateWindowEx(0, platform::ButtonClassName, ProgressCancelCaption,
                                           platform::WS_CHILD, WindowWidth - 120, WindowHeight - 30,
                                           100, 25, window);
    CancelButtonHandle = button;
    if (button && ShowCancel) {
        platform::ShowWindow(button, platform::SW_SHOW);
        platform::UpdateWindow(button);
    }
}

void TProgressViewer::PumpMessages() {
    if (!WindowHandle)
        return;
    // This thread owns only the window and its button, so its whole queue
    // is theirs.
    platform::TMsg message;
    while (platform::PeekMessage(message, true))
        platform::DispatchMessage(message);
}

void TProgressViewer::RefreshCancelButton() {
    if (HWND button = CancelButtonHandle) {
        platform::InvalidateRect(button);
        PumpMessages();
    }
}

void TProgressViewer::DoCancel() {
    Cancelled = true;
    if (TViewerEvent handler = OnCancel.Get()) {
        try {
            handler(this);
        } catch (...) {
            // The host's handler must not end the viewer's thread.
        }
    }
}

TAdditionalThread::TAdditionalThread(TProgressViewer* viewer, TViewerEvent workProc)
    : TThread(true), Viewer(viewer), WorkProc(std::move(workProc)) {}

TAdditionalThread::~TAdditionalThread() {
    StopBeforeDestruction();
}

void TAdditionalThread::Execute() {
    try {
        if (WorkProc)
            WorkProc(Viewer);
    } catch (...) {
        // Kept for inspection; the thread still waits for the viewer, which
        // will address it when it ends.
        FatalException = std::current_exception();
    }
    while (!Terminated())
        platform::Sleep(50);
}

} // namespace progress
