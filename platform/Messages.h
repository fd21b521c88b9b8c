#pragma once
// Window messages with the original platform's semantics: a window procedure
// per window, a queue per thread, PostMessage from any thread, SendMessage to
// a window of the calling thread as a direct call, Peek/Dispatch on the
// owning thread. Windows here are handles with a procedure; an on-screen
// window (X11) registers itself here and turns its events into messages.
#include <cstdint>
#include <functional>

namespace platform {

using HWND = std::uintptr_t;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_USER = 0x0400;
constexpr WPARAM VK_ESCAPE = 0x1B;

struct TMsg {
    HWND Window = 0;
    UINT Message = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
};

using TWndProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// A window owned by the calling thread; its messages go to that thread's
// queue. Never returns 0.
HWND CreateMessageWindow(TWndProc proc);
// Forgets the window; messages still queued for it are dropped. Any thread.
void DestroyMessageWindow(HWND window);
bool IsWindow(HWND window);

// Queues a message for the window's thread. False when the window does not
// exist. Never blocks beyond the queue's lock.
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A window of the calling thread: calls its procedure now and returns the
// result. A window of another thread: queued like PostMessage, returns 0.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The calling thread's queue. Peek returns false at once when it is empty;
// Get waits up to timeoutMs (negative: no limit) for a message.
bool PeekMessage(TMsg& msg, bool remove = true);
bool GetMessage(TMsg& msg, int timeoutMs);
// Calls the procedure of msg.Window (nothing when it is gone) on the calling
// thread.
LRESULT DispatchMessage(const TMsg& msg);

// A source of messages outside the queue, such as the calling thread's X
// connection: PeekMessage and GetMessage on this thread run it first so that
// it can post what it has into the queue. An empty function removes it.
void SetThreadMessagePump(std::function<void()> pump);

} // namespace platform
