// The process-wide registry that leads from a window to its viewer, the
// window class and the unit's start-up and shutdown.
#include "platform/X11Window.h"
#include "progress/ProgressViewer.h"

#include <mutex>
#include <vector>

namespace progress {
namespace {

// ViewerWindows and ViewerObjects are parallel lists under one lock: entry i
// of one is the window of entry i of the other. They live from the unit's
// start-up to its shutdown; the lock lives for the whole process, so that a
// viewer still ending at shutdown finds them gone rather than freed.
std::mutex& RegistryLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::vector<HWND>* ViewerWindows = nullptr;
std::vector<TProgressViewer*>* ViewerObjects = nullptr;

std::ptrdiff_t IndexOf(HWND window) {
    for (size_t i = 0; i < ViewerWindows->size(); ++i)
        if ((*ViewerWindows)[i] == window)
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

} // namespace

void TProgressViewer::RegisterViewerWindow() {
    HWND window = WindowHandle;
    if (!window)
        return;
    std::lock_guard guard(RegistryLock());
    if (ViewerWindows && IndexOf(window) == -1) {
        ViewerWindows->push_back(window);
        ViewerObjects->push_back(this);
    }
}

void TProgressViewer::UnregisterViewerWindow() {
    std::lock_guard guard(RegistryLock());
    if (!ViewerWindows)
        return;
    std::ptrdiff_t index = IndexOf(WindowHandle);
    if (index != -1) {
        ViewerWindows->erase(ViewerWindows->begin() + index);
        ViewerObjects->erase(ViewerObjects->begin() + index);
    }
}

TProgressViewer* FindViewerByWindow(HWND window) {
    std::lock_guard guard(RegistryLock());
    if (!ViewerWindows)
        return nullptr;
    std::ptrdiff_t index = IndexOf(window);
    return index == -1 ? nullptr : (*ViewerObjects)[index];
}

platform::LRESULT ProgressWndProc(HWND window, platform::UINT message, platform::WPARAM wParam,
                                  platform::LPARAM lParam) {
    switch (message) {
    case platform::WM_DESTROY:
        // The quit message that would be posted here has no reader.
        return 0;
    case platform::WM_CLOSE:
        return 0; // the user cannot close a progress window
    case platform::WM_KEYDOWN:
        if (wParam == platform::VK_ESCAPE)
            if (TProgressViewer* viewer = FindViewerByWindow(window))
                viewer->DoCancel();
        return 0;
    case platform::WM_COMMAND:
        // A non-zero lParam comes from a control, which can only be the
        // cancel button.
        if (lParam != 0)
            if (TProgressViewer* viewer = FindViewerByWindow(window))
                viewer->DoCancel();
        return 0;
    case WM_PAINTREQUEST: {
        if (wParam == 0)
            return platform::DefWindowProc(window, message, wParam, lParam);
        // Only the window's own viewer may be drawn: any other value in
        // wParam is not a viewer we could trust.
        TProgressViewer* viewer = FindViewerByWindow(window);
        if (!viewer || reinterpret_cast<platform::WPARAM>(viewer) != wParam)
            return 0;
        viewer->PaintFrame(window);
        return 0;
    }
    default:
        return platform::DefWindowProc(window, message, wParam, lParam);
    }
}

void RegisterProgressWindowClass() {
    // A second start-up finds the class there already and keeps it.
    bool registered =
        platform::RegisterClass(ProgressWindowClassName, ProgressWndProc) ||
        (ProgressWindowClassRegistered && platform::IsClassRegistered(ProgressWindowClassName));
    ProgressWindowClassRegistered = registered;
}

} // namespace progress

void ProgressViewerStartup() {
    using namespace progress;
    {
        std::lock_guard guard(RegistryLock());
        if (!ViewerWindows) {
            ViewerWindows = new std::vector<HWND>;
            ViewerObjects = new std::vector<TProgressViewer*>;
        }
    }
    platform::InitWindowSystem();
    RegisterProgressWindowClass();
}

void ProgressViewerShutdown() {
    using namespace progress;
    // Terminated viewers are at most a tick from their end; let them finish
    // before the process takes down what their threads still use.
    platform::TThread::WaitForAllThreads(2000);
    std::lock_guard guard(RegistryLock());
    delete ViewerWindows;
    delete ViewerObjects;
    ViewerWindows = nullptr;
    ViewerObjects = nullptr;
}
