#include "progress/ProgressViewer.h"

#include "platform/Format.h"
#include "platform/Screen.h"
#include "platform/X11Window.h"

#include <cstdint>

namespace progress {

std::string ProgressApplicationName = "Ваше приложение";
bool ProgressShowPercentText = true;
std::int32_t ProgressTickInterval = 50;
bool ProgressShowElapsedTime = true;
TColor ProgressBarColor = platform::clAqua;
std::string ProgressCancelCaption = "Отмена (Esc)";
std::string ProgressCancelledText = "Прервано пользователем!";
std::string ProgressWaitText1 = "Выполняется длительная операция. Она может";
std::string ProgressWaitText2 = "продлиться несколько минут. Пожалуйста, подождите!";
std::string ProgressElapsedFormat = "Общее время: %s";
std::string ProgressDefaultFontName = "MS Sans Serif";
TColor ProgressDefaultFontColor = platform::clBlack;
std::int32_t ProgressDefaultFontSize = 8;
TFontStyles ProgressDefaultFontStyle = 0;

std::atomic<bool> ProgressWindowClassRegistered{false};

namespace {

// Runs before the thread base is built, so that a refused construction
// leaves nothing behind.
bool CheckClassRegistered() {
    if (!ProgressWindowClassRegistered.load())
        throw EProgressException(
            "Класс окна визуализации \"ProgressViewerFormClass\" не зарегистрирован!");
    return false; // "not suspended"
}

// A line's setting left at its "unset" value takes the viewer's default,
// and one the viewer leaves unset too takes the unit's.
template <typename T>
T OrDefault(const T& value, const T& unset, const T& viewerDefault, const T& unitDefault) {
    if (value != unset)
        return value;
    return viewerDefault != unset ? viewerDefault : unitDefault;
}

} // namespace

TProgressViewer::TProgressViewer(const std::string& caption, bool percentMode, bool showCancel,
                                 TViewerEvent workProc)
    : TThread(CheckClassRegistered()), PercentMode(percentMode), ShowCancelRequested(showCancel),
      ShowCancel(showCancel) {
    Build(caption, showCancel, std::move(workProc));
    // The thread may run only now that the object is whole.
    AfterConstruction();
}

TProgressViewer::TProgressViewer(TDetached, const std::string& caption, bool percentMode,
                                 bool showCancel, TViewerEvent workProc)
    : TThread(CheckClassRegistered()), PercentMode(percentMode), ShowCancelRequested(showCancel),
      ShowCancel(showCancel) {
    Build(caption, showCancel, std::move(workProc));
}

void TProgressViewer::Build(const std::string& caption, bool showCancel, TViewerEvent workProc) {
    LinesLock = std::make_unique<platform::TCriticalSection>();
    SettingsLock = std::make_unique<platform::TCriticalSection>();
    FrameBitmap = std::make_unique<platform::TBitmap>();
    BackgroundBitmap = std::make_unique<platform::TBitmap>();
    TextBitmap = std::make_unique<platform::TBitmap>();
    BarBitmap = std::make_unique<platform::TBitmap>();
    FreeOnTerminate = true;
    PlaceWindow();
    std::string text = caption.empty() ? " " : caption;
    SetCaption(text);
    SetString(-1, ProgressApplicationName, taCenter, false, platform::clBlack, platform::fsBold, 12,
              ProgressDefaultFontName);
    SetString(1000, " ", taCenter, false, platform::clBlack, platform::fsBold, 8, "");
    SetString(1001, ProgressWaitText1, taCenter, false, platform::clBlack, platform::fsBold, 10,
              ProgressDefaultFontName);
    SetString(1002, ProgressWaitText2, taCenter, false, platform::clBlack, platform::fsBold, 10,
              ProgressDefaultFontName);
    if (workProc) {
        Worker = new TAdditionalThread(this, std::move(workProc));
        Worker->FreeOnTerminate = true;
    }
}

TProgressViewer::~TProgressViewer() {
    // From another thread this ends a running viewer and waits for its end
    // steps, which still need every member below.
    StopBeforeDestruction();
    if (Worker && !WorkerStarted) {
        // Terminated before its thread began: the worker never ran and never
        // will, so nobody else would release it.
        delete Worker;
        Worker = nullptr;
    }
    LinesLock.reset();
    FrameBitmap.reset();
    BackgroundBitmap.reset();
    TextBitmap.reset();
    BarBitmap.reset();
    SettingsLock.reset();
}

void TProgressViewer::SetRequestedWidth(std::int32_t width) {
    platform::TCriticalSectionGuard guard(*SettingsLock);
    RequestedWidth = width;
}

void TProgressViewer::SetShowCancelRequested(bool show) {
    platform::TCriticalSectionGuard guard(*SettingsLock);
    ShowCancelRequested = show;
}

void TProgressViewer::PlaceWindow() {
    platform::TRect area = platform::GetWorkArea();
    // The work area's Left is not added and its Top is not used: the window
    // sits centred on an area that starts at x = 0.
    WindowLeft = (area.Right - area.Left - WindowWidth) / 2;
    WindowTop = area.Bottom - WindowHeight - 100;
}

void TProgressViewer::SetString(std::int32_t number, const std::string& text, TAlignment alignment,
                                bool wordWrap, TColor fontColor, TFontStyles fontStyle,
                                std::int32_t fontSize, const std::string& fontName) {
    platform::TCriticalSectionGuard guard(*LinesLock);
    std::int32_t index = FindString(number);
    if (index == -1) {
        Lines.push_back(TStringInfo{});
        index = static_cast<std::int32_t>(Lines.size()) - 1;
    }
    fontColor = OrDefault(fontColor, platform::clDefault, DefaultFontColor.load(),
                          ProgressDefaultFontColor);
    fontSize = OrDefault(fontSize, -1, DefaultFontSize.load(), ProgressDefaultFontSize);
    fontStyle =
        OrDefault<TFontStyles>(fontStyle, 15, DefaultFontStyle.load(), ProgressDefaultFontStyle);
    std::string name =
        OrDefault(fontName, std::string(), DefaultFontName.Get(), ProgressDefaultFontName);
    TStringInfo& line = Lines[index];
    line.Number = number;
    line.Text = text;
    line.Alignment = alignment;
    line.WordWrap = wordWrap;
    line.FontName = name;
    line.FontSize = fontSize;
    line.FontStyle = fontStyle;
    line.FontColor = fontColor;
    SortLines();
    LinesLaidOut = false;
}

void TProgressViewer::ChangeStringParams(std::int32_t number,
                                         const std::vector<TStringParam>& selectors,
                                         const std::vector<platform::TVariant>& values) {
    platform::TCriticalSectionGuard guard(*LinesLock);
    try {
        std::int32_t index = FindString(number);
        if (index == -1)
            throw EProgressException(platform::Format("Строка с номером %d не найдена!", {number}));
        TStringInfo copy = Lines[index];
        if (selectors.size() != values.size())
            throw EProgressException(
                "Количество параметров и соответствующих им значений не совпадают!");
        for (size_t i = 0; i < selectors.size(); ++i) {
            const platform::TVariant& value = values[i];
            switch (selectors[i]) {
            case spText:
                copy.Text = value.ToString();
                break;
            case spAlignment:
                copy.Alignment = static_cast<TAlignment>(value.ToInt64() & 0xFF);
                break;
            case spWordWrap:
                copy.WordWrap = value.ToBool();
                break;
            case spFontName:
                copy.FontName = value.ToString();
                break;
            case spFontSize:
                copy.FontSize = value.ToInt32();
                break;
            case spFontStyle:
                copy.FontStyle = static_cast<TFontStyles>(value.ToInt64() & 0xFF);
                break;
            case spFontColor: {
                // A colour is 32 bits whichever way the caller spelled it:
                // system colours such as 0xFF00000F do not fit a signed value.
                std::int64_t color = value.ToInt64();
                if (color < INT32_MIN || color > static_cast<std::int64_t>(UINT32_MAX))
                    value.ToInt32(); // raises the conversion error
                copy.FontColor = static_cast<TColor>(color);
                break;
            }
            default:
                break; // unknown selectors are skipped with their values
            }
        }
        Lines[index] = copy;
        LinesLaidOut = false;
    } catch (const std::exception& error) {
        throw EProgressException(std::string("TProgressViewer.ChangeStringParams -> ") +
                                 error.what());
    }
}

std::int32_t TProgressViewer::FindString(std::int32_t number) const {
    for (size_t i = 0; i < Lines.size(); ++i)
        if (Lines[i].Number == number)
            return static_cast<std::int32_t>(i);
    return -1;
}

void TProgressViewer::SortLines() {
    // Exchange sort: lines of equal Number (which cannot occur) never swap.
    std::int32_t n = static_cast<std::int32_t>(Lines.size());
    for (std::int32_t i = 0; i < n - 1; ++i)
        for (std::int32_t j = n - 1; j > i; --j)
            if (Lines[i].Number > Lines[j].Number)
                std::swap(Lines[i], Lines[j]);
}

void TProgressViewer::SetCaption(const std::string& value) {
    Caption = value;
    platform::TCriticalSectionGuard guard(*LinesLock);
    if (FindString(0) == -1)
        SetString(0, value, taCenter, false, platform::clBlack, platform::fsBold, 14, "");
    else
        ChangeStringParams(0, {spText}, {platform::TVariant(value)});
}

void TProgressViewer::SetWindowSize(std::int32_t width, std::int32_t height) {
    if (height == -1)
        height = WindowHeight;
    if (width == -1)
        width = WindowWidth;
    if (height < 70)
        height = 70;
    if (width < 225)
        width = 225;
    if (height == WindowHeight && width == WindowWidth)
        return;
    WindowHeight = height;
    WindowWidth = width;
    PlaceWindow();
    if (HWND window = WindowHandle)
        platform::SetWindowPos(window, platform::HWND_TOPMOST, WindowLeft, WindowTop, WindowWidth,
                               WindowHeight, platform::SWP_SHOWWINDOW);
    if (HWND button = CancelButtonHandle) {
        platform::SetWindowPos(button, platform::HWND_TOP, WindowWidth - 120, WindowHeight - 30,
                               100, 25, platform::SWP_HIDEWINDOW);
        if (ShowCancel) {
            platform::ShowWindow(button, platform::SW_SHOW);
            platform::UpdateWindow(button);
        }
    }
    LinesLaidOut = false;
}

} // namespace progress
