#include "platform/X11Window.h"

#include "platform/Colors.h"
#include "platform/Fonts.h"
#include "platform/Thread.h"

#include <QFontMetrics>
#include <QPainter>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

// Xlib last: its macros (None, Bool, Status, ...) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace platform {
namespace {

struct TClassTable {
    std::mutex Lock;
    std::map<std::string, TWndProc> Classes;
};

TClassTable& Classes() {
    static auto* table = new TClassTable;
    return *table;
}

// Handles to X ids for any thread; the windows themselves are thread-bound.
struct TIdTable {
    std::mutex Lock;
    std::map<HWND, unsigned long> Ids;
    std::set<Display*> Displays;
};

TIdTable& Ids() {
    static auto* table = new TIdTable;
    return *table;
}

// X sizes are 16-bit and never 0; a wild size from a caller is kept within.
int Dimension(int size) {
    return size < 1 ? 1 : size > 32767 ? 32767 : size;
}

XErrorHandler previousErrorHandler = nullptr;

// A window that vanished between two requests (ours at thread end, or a
// stranger's while we look at the stacking order) must not end the process,
// which is what Xlib's default handler does. Errors on other connections go
// to whoever handled them before.
int IgnoreOwnErrors(Display* display, XErrorEvent* event) {
    {
        auto& ids = Ids();
        std::lock_guard guard(ids.Lock);
        if (ids.Displays.count(display))
            return 0;
    }
    return previousErrorHandler ? previousErrorHandler(display, event) : 0;
}

struct TWindow {
    HWND Handle = 0;
    Window Xid = 0;
    HWND Parent = 0;
    bool IsButton = false;
    bool Topmost = false;
    std::string Text;
    int X = 0, Y = 0, Width = 0, Height = 0;
    bool Visible = false;
    bool Pressed = false;
    bool Dirty = false;
};

class TConnection {
public:
    static TConnection* ForThisThread(bool open);

    Display* Dpy = nullptr;
    Window Root = 0;
    Visual* Vis = nullptr;
    int Depth = 0;
    GC Gc = nullptr;
    bool WindowManager = false;
    Atom WmProtocols = 0, WmDeleteWindow = 0, NetWmState = 0, NetWmStateAbove = 0,
         NetWmStateSkipTaskbar = 0, NetWmStateSkipPager = 0, NetWmWindowType = 0,
         NetWmWindowTypeUtility = 0, NetWmName = 0, Utf8String = 0, MotifWmHints = 0;
    std::map<HWND, std::unique_ptr<TWindow>> Windows;

    TWindow* Find(HWND handle) {
        auto found = Windows.find(handle);
        return found == Windows.end() ? nullptr : found->second.get();
    }
    TWindow* FindX(Window xid) {
        for (auto& [handle, window] : Windows)
            if (window->Xid == xid)
                return window.get();
        return nullptr;
    }

    // Gives a created X window its handle, visible to X11WindowId on any
    // thread, and shows it if asked.
    HWND Adopt(std::unique_ptr<TWindow> window, TWndProc proc, std::uint32_t style);
    void Pump();
    void PaintButton(TWindow& button);
    void KeepOnTop(TWindow& window);
    void Close();

private:
    bool Open();
};

thread_local std::unique_ptr<TConnection> threadConnection;

TConnection* TConnection::ForThisThread(bool open) {
    if (!threadConnection && open) {
        auto connection = std::make_unique<TConnection>();
        if (!connection->Open())
            return nullptr;
        threadConnection = std::move(connection);
        SetThreadMessagePump([] {
            if (threadConnection)
                threadConnection->Pump();
        });
        AtThreadExit([] {
            if (threadConnection) {
                threadConnection->Close();
                threadConnection.reset();
            }
        });
    }
    return threadConnection.get();
}

bool TConnection::Open() {
    InitWindowSystem();
    Dpy = XOpenDisplay(nullptr);
    if (!Dpy)
        return false;
    {
        auto& ids = Ids();
        std::lock_guard guard(ids.Lock);
        ids.Displays.insert(Dpy);
    }
    int screen = DefaultScreen(Dpy);
    Root = RootWindow(Dpy, screen);
    Vis = DefaultVisual(Dpy, screen);
    Depth = DefaultDepth(Dpy, screen);
    Gc = DefaultGC(Dpy, screen);
    auto atom = [&](const char* name) { return XInternAtom(Dpy, name, False); };
    WmProtocols = atom("WM_PROTOCOLS");
    WmDeleteWindow = atom("WM_DELETE_WINDOW");
    NetWmState = atom("_NET_WM_STATE");
    NetWmStateAbove = atom("_NET_WM_STATE_ABOVE");
    NetWmStateSkipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    NetWmStateSkipPager = atom("_NET_WM_STATE_SKIP_PAGER");
    NetWmWindowType = atom("_NET_WM_WINDOW_TYPE");
    NetWmWindowTypeUtility = atom("_NET_WM_WINDOW_TYPE_UTILITY");
    NetWmName = atom("_NET_WM_NAME");
    Utf8String = atom("UTF8_STRING");
    MotifWmHints = atom("_MOTIF_WM_HINTS");
    Atom check = XInternAtom(Dpy, "_NET_SUPPORTING_WM_CHECK", True);
    if (check != 0) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(Dpy, Root, check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                               &after, &data) == Success &&
            data) {
            WindowManager = count == 1;
            XFree(data);
        }
    }
    return true;
}

HWND TConnection::Adopt(std::unique_ptr<TWindow> window, TWndProc proc, std::uint32_t style) {
    HWND handle = CreateMessageWindow(std::move(proc));
    window->Handle = handle;
    {
        auto& ids = Ids();
        std::lock_guard guard(ids.Lock);
        ids.Ids[handle] = window->Xid;
    }
    Windows[handle] = std::move(window);
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOW);
    XFlush(Dpy);
    return handle;
}

void TConnection::Close() {
    SetThreadMessagePump({});
    {
        auto& ids = Ids();
        std::lock_guard guard(ids.Lock);
        for (auto& [handle, window] : Windows)
            ids.Ids.erase(handle);
        ids.Displays.erase(Dpy);
    }
    for (auto& [handle, window] : Windows)
        DestroyMessageWindow(handle);
    Windows.clear();
    // Closing the connection destroys every window made on it.
    XCloseDisplay(Dpy);
    Dpy = nullptr;
}

WPARAM VirtualKey(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z)
        return sym - XK_a + 'A';
    if ((sym >= XK_A && sym <= XK_Z) || (sym >= XK_0 && sym <= XK_9) || sym == XK_space)
        return sym;
    if (sym >= XK_F1 && sym <= XK_F24)
        return 0x70 + (sym - XK_F1);
    switch (sym) {
    case XK_Escape:
        return VK_ESCAPE;
    case XK_Return:
    case XK_KP_Enter:
        return 0x0D;
    case XK_Tab:
        return 0x09;
    case XK_BackSpace:
        return 0x08;
    case XK_Left:
        return 0x25;
    case XK_Up:
        return 0x26;
    case XK_Right:
        return 0x27;
    case XK_Down:
        return 0x28;
    default:
        return sym & 0xFF;
    }
}

void TConnection::Pump() {
    while (XPending(Dpy) > 0) {
        XEvent event;
        XNextEvent(Dpy, &event);
        TWindow* window = FindX(event.xany.window);
        if (!window)
            continue;
        HWND topLevel = window->IsButton ? window->Parent : window->Handle;
        TWindow* top = Find(topLevel);
        switch (event.type) {
        case Expose:
            if (window->IsButton)
                window->Dirty = true;
            break;
        case KeyPress:
            PostMessage(topLevel, WM_KEYDOWN, VirtualKey(XLookupKeysym(&event.xkey, 0)), 0);
            break;
        case ButtonPress:
            // Clicked: take the keyboard, as the desktop does for a window
            // that the window manager may not manage.
            if (top && top->Visible)
                XSetInputFocus(Dpy, top->Xid, RevertToParent, event.xbutton.time);
            if (window->IsButton && event.xbutton.button == Button1) {
                window->Pressed = true;
                window->Dirty = true;
            }
            break;
        case ButtonRelease:
            if (window->IsButton && event.xbutton.button == Button1 && window->Pressed) {
                window->Pressed = false;
                window->Dirty = true;
                if (event.xbutton.x >= 0 && event.xbutton.x < window->Width &&
                    event.xbutton.y >= 0 && event.xbutton.y < window->Height)
                    PostMessage(window->Parent, WM_COMMAND, 0, static_cast<LPARAM>(window->Handle));
            }
            break;
        case ClientMessage:
            if (event.xclient.message_type == WmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == WmDeleteWindow)
                PostMessage(topLevel, WM_CLOSE, 0, 0);
            break;
        case VisibilityNotify:
            if (!window->IsButton && window->Topmost && window->Visible &&
                event.xvisibility.state != VisibilityUnobscured)
                KeepOnTop(*window);
            break;
        default:
            break;
        }
    }
    for (auto& [handle, window] : Windows)
        if (window->IsButton && window->Dirty && window->Visible)
            PaintButton(*window);
}

bool HasAboveState(TConnection& c, Window xid) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool above = false;
    if (XGetWindowProperty(c.Dpy, xid, c.NetWmState, 0, 32, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        auto* atoms = reinterpret_cast<Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            above = above || atoms[i] == c.NetWmStateAbove;
        XFree(data);
    }
    return above;
}

// Without a window manager nobody honours "above": the window raises itself
// when an ordinary window covers it, but yields to other topmost windows so
// that two of them do not fight.
void TConnection::KeepOnTop(TWindow& window) {
    if (WindowManager)
        return;
    Window rootReturn, parentReturn, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(Dpy, Root, &rootReturn, &parentReturn, &children, &count))
        return;
    bool raise = false;
    bool seen = false;
    for (unsigned int i = 0; i < count && !raise; ++i) {
        if (children[i] == window.Xid) {
            seen = true;
            continue;
        }
        if (!seen)
            continue;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(Dpy, children[i], &attributes) ||
            attributes.map_state != IsViewable || attributes.override_redirect)
            continue;
        bool overlaps =
            attributes.x < window.X + window.Width && window.X < attributes.x + attributes.width &&
            attributes.y < window.Y + window.Height && window.Y < attributes.y + attributes.height;
        if (overlaps && !HasAboveState(*this, children[i]))
            raise = true;
    }
    if (children)
        XFree(children);
    if (raise) {
        XRaiseWindow(Dpy, window.Xid);
        XFlush(Dpy);
    }
}

void PutImage(TConnection& c, Window xid, const QImage& source) {
    QImage image = source.format() == QImage::Format_RGB32
                       ? source
                       : source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return;
    bool direct = c.Depth >= 24 && c.Vis->red_mask == 0xFF0000 && c.Vis->green_mask == 0xFF00 &&
                  c.Vis->blue_mask == 0xFF;
    XImage* ximage = nullptr;
    std::vector<char> buffer;
    if (direct) {
        ximage = XCreateImage(c.Dpy, c.Vis, c.Depth, ZPixmap, 0,
                              const_cast<char*>(reinterpret_cast<const char*>(image.constBits())),
                              image.width(), image.height(), 32, image.bytesPerLine());
        if (!ximage)
            return;
        // QImage keeps 0xffRRGGBB words in the machine's byte order.
        ximage->byte_order = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? LSBFirst : MSBFirst;
        ximage->bits_per_pixel = 32;
    } else {
        // Any other visual: pixel by pixel, slower but right.
        buffer.resize(static_cast<size_t>(image.width()) * image.height() * 4);
        ximage = XCreateImage(c.Dpy, c.Vis, c.Depth, ZPixmap, 0, buffer.data(), image.width(),
                              image.height(), 32, 0);
        if (!ximage)
            return;
        for (int row = 0; row < image.height(); ++row) {
            auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
            for (int col = 0; col < image.width(); ++col) {
                XColor color;
                color.red = static_cast<unsigned short>(qRed(line[col]) * 257);
                color.green = static_cast<unsigned short>(qGreen(line[col]) * 257);
                color.blue = static_cast<unsigned short>(qBlue(line[col]) * 257);
                color.flags = DoRed | DoGreen | DoBlue;
                XAllocColor(c.Dpy, DefaultColormap(c.Dpy, DefaultScreen(c.Dpy)), &color);
                XPutPixel(ximage, col, row, color.pixel);
            }
        }
    }
    XPutImage(c.Dpy, xid, c.Gc, ximage, 0, 0, 0, 0, image.width(), image.height());
    ximage->data = nullptr; // the pixels belong to the QImage or the buffer
    XDestroyImage(ximage);
    XFlush(c.Dpy);
}

void TConnection::PaintButton(TWindow& button) {
    button.Dirty = false;
    if (button.Width <= 0 || button.Height <= 0)
        return;
    QImage image(button.Width, button.Height, QImage::Format_RGB32);
    int w = button.Width, h = button.Height;
    {
        QPainter painter(&image);
        painter.fillRect(image.rect(), QColor::fromRgb(ColorToArgb(clBtnFace)));
        QColor light = QColor::fromRgb(ColorToArgb(0xFF000014));  // highlight
        QColor shadow = QColor::fromRgb(ColorToArgb(0xFF000010)); // shadow
        QColor dark = QColor::fromRgb(ColorToArgb(0xFF000015));   // dark shadow
        if (button.Pressed) {
            painter.fillRect(0, 0, w, 1, dark);
            painter.fillRect(0, 0, 1, h, dark);
            painter.fillRect(1, 1, w - 2, 1, shadow);
            painter.fillRect(1, 1, 1, h - 2, shadow);
        } else {
            painter.fillRect(0, 0, w - 1, 1, light);
            painter.fillRect(0, 0, 1, h - 1, light);
            painter.fillRect(0, h - 1, w, 1, dark);
            painter.fillRect(w - 1, 0, 1, h, dark);
            painter.fillRect(1, h - 2, w - 2, 1, shadow);
            painter.fillRect(w - 2, 1, 1, h - 2, shadow);
        }
        QFont font = MakeFont("MS Sans Serif", 8, 0);
        painter.setFont(font);
        painter.setPen(QColor::fromRgb(ColorToArgb(0xFF000012))); // button text
        int shift = button.Pressed ? 1 : 0;
        painter.drawText(QRect(shift, shift, w, h), Qt::AlignCenter,
                         QString::fromUtf8(button.Text));
    }
    PutImage(*this, button.Xid, image);
}

void SetSizeHints(TConnection& c, const TWindow& window) {
    XSizeHints hints{};
    hints.flags = USPosition | USSize | PPosition | PSize | PMinSize | PMaxSize;
    hints.x = window.X;
    hints.y = window.Y;
    hints.width = hints.min_width = hints.max_width = window.Width;
    hints.height = hints.min_height = hints.max_height = window.Height;
    XSetWMNormalHints(c.Dpy, window.Xid, &hints);
}

HWND CreateTopLevel(TConnection& c, std::uint32_t exStyle, const std::string& windowName,
                    std::uint32_t style, int x, int y, int width, int height, TWndProc proc) {
    auto window = std::make_unique<TWindow>();
    window->X = x;
    window->Y = y;
    window->Width = Dimension(width);
    window->Height = Dimension(height);
    window->Topmost = exStyle & WS_EX_TOPMOST;
    window->Text = windowName;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(c.Dpy, DefaultScreen(c.Dpy));
    attributes.event_mask =
        KeyPressMask | ButtonPressMask | ExposureMask | VisibilityChangeMask | StructureNotifyMask;
    window->Xid =
        XCreateWindow(c.Dpy, c.Root, x, y, window->Width, window->Height, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (!window->Xid)
        return 0;
    Window xid = window->Xid;
    XStoreName(c.Dpy, xid, windowName.c_str());
    XChangeProperty(c.Dpy, xid, c.NetWmName, c.Utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(windowName.data()),
                    static_cast<int>(windowName.size()));
    XClassHint classHint;
    std::string resName = windowName, resClass = "ProgressViewer";
    classHint.res_name = resName.data();
    classHint.res_class = resClass.data();
    XSetClassHint(c.Dpy, xid, &classHint);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(c.Dpy, xid, &wmHints);
    SetSizeHints(c, *window);
    XSetWMProtocols(c.Dpy, xid, &c.WmDeleteWindow, 1);
    if (style & WS_POPUP) {
        // No frame and no title: decorations off.
        long motif[5] = {2, 0, 0, 0, 0};
        XChangeProperty(c.Dpy, xid, c.MotifWmHints, c.MotifWmHints, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(motif), 5);
    }
    std::vector<Atom> states;
    if (exStyle & WS_EX_TOPMOST)
        states.push_back(c.NetWmStateAbove);
    if (exStyle & WS_EX_TOOLWINDOW) {
        states.push_back(c.NetWmStateSkipTaskbar);
        states.push_back(c.NetWmStateSkipPager);
        XChangeProperty(c.Dpy, xid, c.NetWmWindowType, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&c.NetWmWindowTypeUtility), 1);
    }
    if (!states.empty())
        XChangeProperty(c.Dpy, xid, c.NetWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(states.data()),
                        static_cast<int>(states.size()));
    return c.Adopt(std::move(window), std::move(proc), style);
}

HWND CreateButton(TConnection& c, const std::string& text, std::uint32_t style, int x, int y,
                  int width, int height, HWND parent) {
    TWindow* owner = c.Find(parent);
    if (!owner || owner->IsButton)
        return 0;
    auto window = std::make_unique<TWindow>();
    window->IsButton = true;
    window->Parent = parent;
    window->Text = text;
    window->X = x;
    window->Y = y;
    window->Width = Dimension(width);
    window->Height = Dimension(height);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = ColorToArgb(clBtnFace) & 0xFFFFFF;
    attributes.event_mask = ButtonPressMask | ButtonReleaseMask | ExposureMask | KeyPressMask;
    unsigned long mask = CWEventMask;
    if (c.Depth >= 24)
        mask |= CWBackPixel;
    window->Xid = XCreateWindow(c.Dpy, owner->Xid, x, y, window->Width, window->Height, 0,
                                CopyFromParent, InputOutput, CopyFromParent, mask, &attributes);
    if (!window->Xid)
        return 0;
    return c.Adopt(std::move(window), DefWindowProc, style);
}

} // namespace

void InitWindowSystem() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        previousErrorHandler = XSetErrorHandler(IgnoreOwnErrors);
    });
}

bool RegisterClass(const std::string& className, TWndProc proc) {
    if (className.empty() || className == ButtonClassName || !proc)
        return false;
    auto& table = Classes();
    std::lock_guard guard(table.Lock);
    return table.Classes.emplace(className, std::move(proc)).second;
}

bool IsClassRegistered(const std::string& className) {
    auto& table = Classes();
    std::lock_guard guard(table.Lock);
    return table.Classes.count(className) > 0;
}

HWND CreateWindowEx(std::uint32_t exStyle, const std::string& className,
                    const std::string& windowName, std::uint32_t style, int x, int y, int width,
                    int height, HWND parent) {
    bool button = className == ButtonClassName;
    TWndProc proc;
    if (!button) {
        auto& table = Classes();
        std::lock_guard guard(table.Lock);
        auto found = table.Classes.find(className);
        if (found == table.Classes.end())
            return 0;
        proc = found->second;
    }
    TConnection* c = TConnection::ForThisThread(true);
    if (!c)
        return 0;
    if (button)
        return CreateButton(*c, windowName, style, x, y, width, height, parent);
    return CreateTopLevel(*c, exStyle, windowName, style, x, y, width, height, std::move(proc));
}

bool ShowWindow(HWND handle, int command) {
    TConnection* c = TConnection::ForThisThread(false);
    TWindow* window = c ? c->Find(handle) : nullptr;
    if (!window)
        return false;
    bool wasVisible = window->Visible;
    if (command == SW_HIDE) {
        if (window->IsButton)
            XUnmapWindow(c->Dpy, window->Xid);
        else
            XWithdrawWindow(c->Dpy, window->Xid, DefaultScreen(c->Dpy));
        window->Visible = false;
    } else {
        if (window->IsButton) {
            XMapWindow(c->Dpy, window->Xid);
            window->Dirty = true;
        } else {
            XMapRaised(c->Dpy, window->Xid);
        }
        window->Visible = true;
    }
    XFlush(c->Dpy);
    return wasVisible;
}

bool SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    TConnection* c = TConnection::ForThisThread(false);
    TWindow* window = c ? c->Find(handle) : nullptr;
    if (!window)
        return false;
    window->X = x;
    window->Y = y;
    window->Width = Dimension(width);
    window->Height = Dimension(height);
    if (!window->IsButton)
        SetSizeHints(*c, *window);
    XMoveResizeWindow(c->Dpy, window->Xid, x, y, window->Width, window->Height);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(handle, SW_HIDE);
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(handle, SW_SHOW);
    if ((insertAfter == HWND_TOPMOST || insertAfter == HWND_TOP) && window->Visible)
        XRaiseWindow(c->Dpy, window->Xid);
    window->Dirty = true;
    XFlush(c->Dpy);
    return true;
}

void InvalidateRect(HWND handle) {
    TConnection* c = TConnection::ForThisThread(false);
    if (TWindow* window = c ? c->Find(handle) : nullptr)
        window->Dirty = true;
}

void UpdateWindow(HWND handle) {
    TConnection* c = TConnection::ForThisThread(false);
    TWindow* window = c ? c->Find(handle) : nullptr;
    if (window && window->IsButton && window->Dirty && window->Visible)
        c->PaintButton(*window);
}

void PaintWindowImage(HWND handle, const QImage& image) {
    TConnection* c = TConnection::ForThisThread(false);
    TWindow* window = c ? c->Find(handle) : nullptr;
    if (window && window->Visible)
        PutImage(*c, window->Xid, image);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

unsigned long X11WindowId(HWND handle) {
    auto& ids = Ids();
    std::lock_guard guard(ids.Lock);
    auto found = ids.Ids.find(handle);
    return found == ids.Ids.end() ? 0 : found->second;
}

} // namespace platform
