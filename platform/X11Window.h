#pragma once
// On-screen windows with the original platform's calls, made of plain X11
// windows on the calling thread's own display connection. A window belongs to
// the thread that created it: only that thread may call the functions below
// on it (X11WindowId aside), and its X events reach that thread's message
// queue whenever the thread peeks (key presses as WM_KEYDOWN, clicks on a
// push button as WM_COMMAND to its parent, the window manager's close request
// as WM_CLOSE). When the thread ends, its connection closes and its windows
// disappear with it.
#include "platform/Messages.h"

#include <QImage>
#include <cstdint>
#include <string>

namespace platform {

constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

constexpr HWND HWND_TOP = 0;
constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

// The built-in push button class: drawn by us, it posts WM_COMMAND with
// wParam 0 and lParam the button's handle to its parent when clicked.
inline constexpr const char* ButtonClassName = "BUTTON";

// Makes Xlib safe for threads with a connection each and keeps X errors on
// those connections from ending the process. Best called at start-up, before
// anything else talks to X; the first window does it otherwise.
void InitWindowSystem();

// Registers a class of top-level windows by name. False when the name is
// empty or taken. Any thread; classes stay registered for the process.
bool RegisterClass(const std::string& className, TWndProc proc);
bool IsClassRegistered(const std::string& className);

// A top-level window of a registered class (parent 0) or a button (class
// "BUTTON", with a parent). WS_EX_TOPMOST keeps it above ordinary windows,
// WS_EX_TOOLWINDOW keeps it off the taskbar, WS_POPUP gives it no frame,
// WS_VISIBLE shows it at once. 0 when there is no display or the class is
// unknown.
HWND CreateWindowEx(std::uint32_t exStyle, const std::string& className,
                    const std::string& windowName, std::uint32_t style, int x, int y, int width,
                    int height, HWND parent);
bool ShowWindow(HWND window, int command);
// Moves and sizes (a child relative to its parent); HWND_TOPMOST or HWND_TOP
// also raises; SWP_SHOWWINDOW / SWP_HIDEWINDOW show or hide.
bool SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
// Marks the whole window for repainting at the thread's next peek.
void InvalidateRect(HWND window);
// Repaints a marked window now.
void UpdateWindow(HWND window);
// Copies the image to the window's top-left corner in one request.
void PaintWindowImage(HWND window, const QImage& image);
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The X window behind a handle (0 when there is none); any thread. For tests
// and diagnostics.
unsigned long X11WindowId(HWND window);

} // namespace platform
