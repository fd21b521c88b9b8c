// The window's image: laid out when lines or size change, composed on every
// tick off-screen and copied to the window in one piece, so that it never
// shows a half-drawn frame.
#include "platform/Format.h"
#include "platform/X11Window.h"
#include "progress/ProgressViewer.h"

#include <cmath>

namespace progress {

using platform::TRect;

void TProgressViewer::LockCanvases() {
    FrameBitmap->Canvas.Lock();
    BackgroundBitmap->Canvas.Lock();
    TextBitmap->Canvas.Lock();
    BarBitmap->Canvas.Lock();
}

void TProgressViewer::UnlockCanvases() {
    FrameBitmap->Canvas.Unlock();
    BackgroundBitmap->Canvas.Unlock();
    TextBitmap->Canvas.Unlock();
    BarBitmap->Canvas.Unlock();
}

namespace {

struct TCanvasesHeld {
    TProgressViewer& Viewer;
    explicit TCanvasesHeld(TProgressViewer& viewer) : Viewer(viewer) { Viewer.LockCanvases(); }
    ~TCanvasesHeld() { Viewer.UnlockCanvases(); }
};

void SetLineFont(platform::TCanvas& canvas, const TStringInfo& line) {
    canvas.Font.Name = line.FontName;
    canvas.Font.Size = line.FontSize;
    canvas.Font.Style = line.FontStyle;
}

} // namespace

void TProgressViewer::LayoutLines() {
    // Canvases first, then the lines: the tick already holds LinesLock, so
    // the order is the same everywhere.
    TCanvasesHeld canvases(*this);
    platform::TCriticalSectionGuard guard(*LinesLock);
    platform::TBitmap& text = *TextBitmap;
    platform::TCanvas& canvas = text.Canvas;
    int blockWidth = WindowWidth - 20;
    int total = 0;
    text.SetHeight(0);
    for (TStringInfo& line : Lines) {
        SetLineFont(canvas, line);
        TRect rect{0, 0, blockWidth, 0};
        canvas.DrawText(line.Text, rect,
                        platform::DT_CALCRECT | (line.WordWrap ? platform::DT_WORDBREAK : 0));
        line.Height = rect.Bottom;
        total += line.Height;
    }
    text.SetSize(blockWidth, total);
    canvas.Brush.SetColor(BackColor);
    canvas.FillRect({0, 0, text.Width(), text.Height()});
    int y = 0;
    for (const TStringInfo& line : Lines) {
        SetLineFont(canvas, line);
        canvas.Font.Color = line.FontColor;
        TRect rect{0, y, blockWidth, y + line.Height};
        unsigned flags = line.Alignment == taLeftJustify    ? platform::DT_LEFT
                         : line.Alignment == taRightJustify ? platform::DT_RIGHT
                                                            : platform::DT_CENTER;
        if (line.WordWrap)
            flags |= platform::DT_WORDBREAK;
        canvas.DrawText(line.Text, rect, flags);
        y += line.Height;
    }
    if (text.Height() > 0)
        SetWindowSize(-1, text.Height() + 70);
}

void TProgressViewer::DrawBackground() {
    TCanvasesHeld canvases(*this);
    FrameBitmap->FreeImage();
    BackgroundBitmap->FreeImage();
    FrameBitmap->SetSize(WindowWidth, WindowHeight);
    // The window's face is always the button face; BackColor is the text
    // block's alone.
    FrameBitmap->Canvas.Brush.SetColor(platform::clBtnFace);
    FrameBitmap->Canvas.Rectangle(0, 0, FrameBitmap->Width(), FrameBitmap->Height());
    BackgroundBitmap->Assign(*FrameBitmap);
    if (TextBitmap->Height() > 0)
        BackgroundBitmap->Canvas.Draw(10, 2, *TextBitmap);
}

void TProgressViewer::RebuildLayout() {
    LayoutLines();
    DrawBackground();
}

void TProgressViewer::ComposeFrame() {
    TCanvasesHeld canvases(*this);
    struct TPaintAtEnd {
        TProgressViewer& Viewer;
        // Sent on every path, so that the window shows whatever the frame
        // holds even after a failed composition.
        ~TPaintAtEnd() {
            try {
                platform::SendMessage(Viewer.WindowHandle, WM_PAINTREQUEST,
                                      reinterpret_cast<platform::WPARAM>(&Viewer), 0);
            } catch (...) {
                // The next tick paints again.
            }
        }
    } paint{*this};

    platform::TBitmap& frame = *FrameBitmap;
    platform::TBitmap& bar = *BarBitmap;
    frame.Assign(*BackgroundBitmap);
    bar.FreeImage();
    bar.SetSize(frame.Width() - 40, 20);
    int stripWidth = bar.Width(), stripHeight = bar.Height();
    bar.Canvas.Brush.SetColor(platform::clWhite);
    bar.Canvas.Rectangle(0, 0, stripWidth, stripHeight);
    bar.Canvas.Brush.SetColor(ProgressBarColor);
    if (!PercentMode) {
        double position = Position.load() + 10;
        // Also catches a position that is not a number.
        if (!(stripWidth >= position))
            position = -40;
        Position = position;
        int x = static_cast<int>(std::trunc(position));
        bar.Canvas.Rectangle(x, 2, x + 40, stripHeight - 2);
    } else {
        double position = Position.load();
        if (position > 100)
            position = 100;
        else if (!(position >= 0))
            position = 0;
        Position = position;
        int length = static_cast<int>(std::trunc(((stripWidth - 4) * position) / 100));
        bar.Canvas.Rectangle(2, 2, length + 2, stripHeight - 2);
        if (ProgressShowPercentText) {
            std::string text = std::to_string(static_cast<int>(std::trunc(position))) + " %";
            bar.Canvas.Brush.SetClear();
            bar.Canvas.Font.Style = platform::fsBold;
            int textWidth = bar.Canvas.TextWidth(text);
            bar.Canvas.TextOut((stripWidth - textWidth) / 2, 4, text);
        }
    }
    if (ProgressShowElapsedTime) {
        std::string elapsed =
            platform::FormatLongTime(ElapsedTimeOfDay(StartTime, platform::Time()));
        std::string text = platform::Format(ProgressElapsedFormat, {elapsed});
        frame.Canvas.Font.Style = 0;
        frame.Canvas.Brush.SetClear();
        int textWidth = frame.Canvas.TextWidth(text);
        if (ShowCancel)
            frame.Canvas.TextOut(20, WindowHeight - 25, text);
        else
            frame.Canvas.TextOut(WindowWidth - textWidth - 20, WindowHeight - 25, text);
    }
    frame.Canvas.Draw(20, WindowHeight - 60, bar);
}

void TProgressViewer::PaintFrame(HWND window) {
    TCanvasesHeld canvases(*this);
    platform::PaintWindowImage(window, FrameBitmap->Pixels());
}

platform::TDateTime ElapsedTimeOfDay(platform::TDateTime start, platform::TDateTime now) {
    platform::TDateTime elapsed = now - start;
    return elapsed < 0 ? elapsed + 1 : elapsed;
}

} // namespace progress
