#pragma once
// What a person would see on the display, asked of the X server from the
// test's own connection: where a window is, whether it shows, what covers
// what; and input made the way a person makes it (xdotool).
#include <string>

namespace xprobe {

struct TGeometry {
    int X = 0, Y = 0, Width = 0, Height = 0;
    bool Viewable = false;
    bool Exists = false;
};

TGeometry Geometry(unsigned long window); // position relative to the root
// Position relative to the parent (for child windows).
TGeometry ChildGeometry(unsigned long window);
// True when a is stacked above b among the root's children.
bool IsAbove(unsigned long a, unsigned long b);
// An ordinary mapped window (no "above" state); Destroy takes it away.
unsigned long CreateNormalWindow(int x, int y, int width, int height);
void Raise(unsigned long window);
void Destroy(unsigned long window);
// The window manager's close request (WM_DELETE_WINDOW) sent to the window.
void SendCloseRequest(unsigned long window);
// Number of top-level windows named name that are mapped.
int CountMapped(const std::string& name);
// xdotool: click with the left button at a root position; type a key.
void Click(int x, int y);
void Key(const std::string& key);
// Saves the whole screen as PNG; false when it failed.
bool Screenshot(const std::string& path);

} // namespace xprobe
