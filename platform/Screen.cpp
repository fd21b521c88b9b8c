#include "platform/Screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <mutex>

namespace platform {
namespace {

std::mutex overrideLock;
std::optional<TRect> workAreaOverride;

TRect QueryWorkArea() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {0, 0, 1024, 768};
    int screen = DefaultScreen(display);
    TRect area{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    Window root = RootWindow(display, screen);
    Atom workArea = XInternAtom(display, "_NET_WORKAREA", True);
    Atom current = XInternAtom(display, "_NET_CURRENT_DESKTOP", True);
    if (workArea != None) {
        long desktop = 0;
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (current != None &&
            XGetWindowProperty(display, root, current, 0, 1, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            if (count == 1)
                desktop = reinterpret_cast<long*>(data)[0];
            XFree(data);
            data = nullptr;
        }
        if (XGetWindowProperty(display, root, workArea, 0, 1024, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            auto* values = reinterpret_cast<long*>(data);
            if (count >= 4) {
                unsigned long at = count >= 4 * static_cast<unsigned long>(desktop + 1)
                                       ? static_cast<unsigned long>(desktop) * 4
                                       : 0;
                int left = static_cast<int>(values[at]);
                int top = static_cast<int>(values[at + 1]);
                int width = static_cast<int>(values[at + 2]);
                int height = static_cast<int>(values[at + 3]);
                if (width > 0 && height > 0)
                    area = {left, top, left + width, top + height};
            }
            XFree(data);
        }
    }
    XCloseDisplay(display);
    return area;
}

} // namespace

TRect GetWorkArea() {
    {
        std::lock_guard guard(overrideLock);
        if (workAreaOverride)
            return *workAreaOverride;
    }
    return QueryWorkArea();
}

void SetWorkAreaOverride(std::optional<TRect> area) {
    std::lock_guard guard(overrideLock);
    workAreaOverride = area;
}

} // namespace platform
