#include "XProbe.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace xprobe {
namespace {

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

Display* Dpy() {
    static Display* display = [] {
        Display* d = XOpenDisplay(nullptr);
        XSetErrorHandler(IgnoreErrors);
        return d;
    }();
    return display;
}

std::vector<Window> RootChildren() {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    XSync(Dpy(), False);
    if (XQueryTree(Dpy(), DefaultRootWindow(Dpy()), &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        XFree(children);
    }
    return result;
}

} // namespace

TGeometry Geometry(unsigned long window) {
    TGeometry g;
    XSync(Dpy(), False);
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(Dpy(), window, &attributes))
        return g;
    Window child;
    XTranslateCoordinates(Dpy(), window, DefaultRootWindow(Dpy()), 0, 0, &g.X, &g.Y, &child);
    g.Width = attributes.width;
    g.Height = attributes.height;
    g.Viewable = attributes.map_state == IsViewable;
    g.Exists = true;
    return g;
}

TGeometry ChildGeometry(unsigned long window) {
    TGeometry g;
    XSync(Dpy(), False);
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(Dpy(), window, &attributes))
        return g;
    g = {attributes.x,
         attributes.y,
         attributes.width,
         attributes.height,
         attributes.map_state == IsViewable,
         true};
    return g;
}

bool IsAbove(unsigned long a, unsigned long b) {
    int ia = -1, ib = -1, i = 0;
    for (Window w : RootChildren()) {
        if (w == a)
            ia = i;
        if (w == b)
            ib = i;
        ++i;
    }
    return ia >= 0 && ib >= 0 && ia > ib;
}

unsigned long CreateNormalWindow(int x, int y, int width, int height) {
    Display* d = Dpy();
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, width, height, 0,
                                   BlackPixel(d, 0), 0x336699);
    XStoreName(d, w, "normal");
    XMapRaised(d, w);
    XSync(d, False);
    return w;
}

void Raise(unsigned long window) {
    XRaiseWindow(Dpy(), window);
    XSync(Dpy(), False);
}

void Destroy(unsigned long window) {
    XDestroyWindow(Dpy(), window);
    XSync(Dpy(), False);
}

void SendCloseRequest(unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(Dpy(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(Dpy(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(Dpy(), window, False, NoEventMask, &event);
    XSync(Dpy(), False);
}

int CountMapped(const std::string& name) {
    int count = 0;
    for (Window w : RootChildren()) {
        char* windowName = nullptr;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(Dpy(), w, &attributes) && attributes.map_state == IsViewable &&
            XFetchName(Dpy(), w, &windowName) && windowName) {
            count += name == windowName;
        }
        if (windowName)
            XFree(windowName);
    }
    return count;
}

void Click(int x, int y) {
    std::string command =
        "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1";
    [[maybe_unused]] int rc = std::system(command.c_str());
}

void Key(const std::string& key) {
    std::string command = "xdotool key " + key;
    [[maybe_unused]] int rc = std::system(command.c_str());
}

bool Screenshot(const std::string& path) {
    std::string command = "import -window root '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

} // namespace xprobe
