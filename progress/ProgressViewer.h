#pragma once
// A small always-on-top progress window that lives on a thread of its own, so
// that the caller can work on its thread and only write a number now and then.
// It shows ordered text lines, a percentage bar or a moving marquee block and
// the elapsed time, and can offer a cancel button and run a worker procedure.
//
// The host creates a viewer with new, writes Position, and calls Terminate();
// from then on it must not touch the viewer: the viewer frees itself on its
// own thread within a tick.
#include "platform/Bitmap.h"
#include "platform/Colors.h"
#include "platform/CriticalSection.h"
#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "platform/Fonts.h"
#include "platform/Messages.h"
#include "platform/Thread.h"
#include "platform/Variant.h"
#include "progress/Guarded.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace progress {

using platform::HWND;
using platform::TColor;
using platform::TFontStyles;

class TProgressViewer;
class TAdditionalThread;

// Called with the viewer: OnCancel on the viewer's thread, WorkProc on the
// worker's thread.
using TViewerEvent = std::function<void(TProgressViewer*)>;

class EProgressException : public platform::Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EProgressException"; }
};

using TAlignment = std::uint8_t;
constexpr TAlignment taLeftJustify = 0;
constexpr TAlignment taRightJustify = 1;
constexpr TAlignment taCenter = 2;

enum TStringParam : std::uint8_t {
    spText = 0,
    spAlignment = 1,
    spWordWrap = 2,
    spFontName = 3,
    spFontSize = 4,
    spFontStyle = 5,
    spFontColor = 6,
};

// One text line of the window.
struct TStringInfo {
    std::int32_t Number = 0;
    std::string Text; // UTF-8; a line break starts a new row on screen
    TAlignment Alignment = taLeftJustify;
    bool WordWrap = false;
    std::string FontName;
    std::int32_t FontSize = 0; // points
    TFontStyles FontStyle = 0;
    TColor FontColor = 0;
    std::int32_t Height = 0; // pixels, as measured by the last layout
};

// The unit's settings. Plain globals: a host sets them before it creates a
// viewer; viewers read them whenever they need them.
extern std::string ProgressApplicationName;
extern bool ProgressShowPercentText;
extern std::int32_t ProgressTickInterval; // milliseconds
extern bool ProgressShowElapsedTime;
extern TColor ProgressBarColor;
extern std::string ProgressCancelCaption;
extern std::string ProgressCancelledText; // for hosts; the viewer never shows it
extern std::string ProgressWaitText1;
extern std::string ProgressWaitText2;
extern std::string ProgressElapsedFormat;
extern std::string ProgressDefaultFontName;
extern TColor ProgressDefaultFontColor;
extern std::int32_t ProgressDefaultFontSize;
extern TFontStyles ProgressDefaultFontStyle;

inline constexpr const char* ProgressWindowClassName = "ProgressViewerFormClass";
inline constexpr const char* ProgressWindowName = "ProgressWnd";
constexpr platform::UINT WM_PAINTREQUEST = platform::WM_USER + 1;
// Set by the unit's start-up; the constructor refuses to work without it.
extern std::atomic<bool> ProgressWindowClassRegistered;

class TProgressViewer : public platform::TThread {
public:
    TProgressViewer(const std::string& caption, bool percentMode, bool showCancel,
                    TViewerEvent workProc = {});
    ~TProgressViewer() override;

    // Percent mode: the completed percentage, clamped to 0..100 by the
    // viewer. Marquee mode: the block's left edge, advanced by the viewer.
    std::atomic<double> Position{0};
    const bool PercentMode;
    std::atomic<std::int32_t> WindowLeft{0};
    std::atomic<std::int32_t> WindowTop{0};
    std::unique_ptr<platform::TBitmap> FrameBitmap;
    std::unique_ptr<platform::TBitmap> BackgroundBitmap;
    std::unique_ptr<platform::TBitmap> TextBitmap;
    std::unique_ptr<platform::TBitmap> BarBitmap;
    std::atomic<HWND> WindowHandle{0};
    std::atomic<HWND> CancelButtonHandle{0};
    platform::TDateTime StartTime = 0;   // the viewer thread's own
    TAdditionalThread* Worker = nullptr; // frees itself; see the destructor
    std::unique_ptr<platform::TCriticalSection> LinesLock;
    std::unique_ptr<platform::TCriticalSection> SettingsLock;
    std::vector<TStringInfo> Lines; // under LinesLock
    std::atomic<bool> LinesLaidOut{false};
    std::atomic<std::int32_t> WindowWidth{450};
    std::atomic<std::int32_t> WindowHeight{70};
    std::int32_t RequestedWidth = 450; // under SettingsLock
    bool ShowCancelRequested;          // under SettingsLock
    std::atomic<bool> Cancelled{false};
    std::atomic<bool> ShowCancel;
    std::atomic<TColor> BackColor{platform::clBtnFace};
    std::string Caption;
    TGuarded<TViewerEvent> OnCancel;
    std::atomic<TColor> DefaultFontColor{platform::clDefault};
    std::atomic<std::int32_t> DefaultFontSize{-1};
    std::atomic<TFontStyles> DefaultFontStyle{15};
    TGuarded<std::string> DefaultFontName;

    // Host requests, applied by the viewer's thread at its next tick.
    void SetRequestedWidth(std::int32_t width);
    void SetShowCancelRequested(bool show);

    // Lines. FindString and SortLines take no lock: callers hold LinesLock.
    void SetString(std::int32_t number, const std::string& text, TAlignment alignment,
                   bool wordWrap, TColor fontColor, TFontStyles fontStyle, std::int32_t fontSize,
                   const std::string& fontName);
    void ChangeStringParams(std::int32_t number, const std::vector<TStringParam>& selectors,
                            const std::vector<platform::TVariant>& values);
    std::int32_t FindString(std::int32_t number) const;
    void SortLines();
    void SetCaption(const std::string& value);
    // -1 keeps a dimension; at least 225 x 70; re-centres the window.
    void SetWindowSize(std::int32_t width, std::int32_t height);

    // The window thread's work; public so that a viewer can be driven one
    // tick at a time where there is no thread (see the detached constructor).
    void Tick();
    void ApplyPendingSettings();
    void CreateProgressWindow();
    void PumpMessages();
    void RefreshCancelButton();
    void DoCancel();
    void RegisterViewerWindow();
    void UnregisterViewerWindow();
    void LockCanvases();
    void UnlockCanvases();
    void LayoutLines();
    void DrawBackground();
    void RebuildLayout();
    void ComposeFrame();
    // The paint request's drawing: the whole frame onto the window at once.
    void PaintFrame(HWND window);

protected:
    // A viewer whose thread never starts: everything else as usual. For
    // drawing a viewer's frames where no thread should run (tests, tools).
    struct TDetached {};
    TProgressViewer(TDetached, const std::string& caption, bool percentMode, bool showCancel,
                    TViewerEvent workProc = {});

    void Execute() override;

private:
    void Build(const std::string& caption, bool showCancel, TViewerEvent workProc);
    void PlaceWindow();
    void EndRun();

    bool WorkerStarted = false;
};

// The worker thread: runs the caller's procedure, then idles until the
// viewer ends it.
class TAdditionalThread : public platform::TThread {
public:
    TAdditionalThread(TProgressViewer* viewer, TViewerEvent workProc);
    ~TAdditionalThread() override;
    TProgressViewer* const Viewer;
    const TViewerEvent WorkProc;

protected:
    void Execute() override;
};

// The window procedure of the progress window class.
platform::LRESULT ProgressWndProc(HWND window, platform::UINT message, platform::WPARAM wParam,
                                  platform::LPARAM lParam);
TProgressViewer* FindViewerByWindow(HWND window);
// Registers the window class and sets ProgressWindowClassRegistered; part of
// the unit's start-up.
void RegisterProgressWindowClass();

// The elapsed time between two times of day; a run that passes midnight
// counts on from the day before instead of going negative.
platform::TDateTime ElapsedTimeOfDay(platform::TDateTime start, platform::TDateTime now);

} // namespace progress

using progress::EProgressException;
using progress::TProgressViewer;
using progress::TViewerEvent;

// Unit start-up: the registry of viewer windows and the window class. Unit
// shutdown: the registry freed (the class stays registered).
void ProgressViewerStartup();
void ProgressViewerShutdown();
