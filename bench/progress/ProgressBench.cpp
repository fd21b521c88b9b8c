// What a viewer costs: one tick's frame (composition and the copy to the
// window) against a plain copy of an image of the same size, and the CPU an
// idle viewer uses against a bare thread that only sleeps through the ticks.
#include "platform/Thread.h"
#include "platform/X11Window.h"
#include "progress/ProgressViewer.h"

#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace progress;

namespace {

class TBenchViewer : public TProgressViewer {
public:
    TBenchViewer()
        : TProgressViewer(TDetached{}, "Выполняется коррекция базы данных", true, false) {}
};

template <typename F> double MedianMicroseconds(int runs, F&& body) {
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        body(i);
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// CPU share of one core that the process uses while the caller's thread
// sleeps for the given time.
double CpuShareOver(std::chrono::milliseconds span) {
    double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(span);
    double used = ProcessCpuSeconds() - before;
    return 100.0 * used / (span.count() / 1000.0);
}

void TickCost() {
    const int runs = 2000;
    TBenchViewer viewer;
    // The bench's thread plays the viewer's thread, window included.
    viewer.CreateProgressWindow();
    bool painted = viewer.WindowHandle != 0;
    viewer.Tick();
    viewer.StartTime = platform::Time();
    double tick = MedianMicroseconds(runs, [&](int i) {
        viewer.Position = (i % 1000) / 10.0;
        viewer.ComposeFrame();
    });
    QImage frame = viewer.FrameBitmap->Pixels().copy();
    QImage sink;
    double copy = MedianMicroseconds(runs, [&](int) {
        sink = frame.copy();
        sink.bits();
    });
    std::printf("tick (ComposeFrame%s), %dx%d, median of %d: %.1f us\n",
                painted ? " + paint to an X window" : ", no display: paint not included",
                frame.width(), frame.height(), runs, tick);
    std::printf("baseline: QImage copy of the same size, median of %d: %.1f us\n", runs, copy);
    std::printf("ratio tick / copy: %.1f\n", tick / copy);
    if (HWND window = viewer.WindowHandle) {
        platform::ShowWindow(window, platform::SW_HIDE);
        viewer.UnregisterViewerWindow();
        viewer.WindowHandle = 0;
    }
}

void IdleCpu() {
    const auto span = std::chrono::milliseconds(5000);
    std::atomic<bool> stop{false};
    std::thread bare([&] {
        while (!stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(ProgressTickInterval));
    });
    double baseline = CpuShareOver(span);
    stop = true;
    bare.join();

    auto* viewer = new TProgressViewer("Выполняется коррекция базы данных", true, false);
    viewer->Position = 50;
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // past the first layout
    double idle = CpuShareOver(span);
    viewer->Terminate();
    platform::TThread::WaitForAllThreads(5000);
    std::printf("idle viewer over %lld s: %.2f %% of one core\n",
                static_cast<long long>(span.count() / 1000), idle);
    std::printf("baseline: bare thread sleeping %d ms per tick: %.2f %% of one core\n",
                ProgressTickInterval, baseline);
    std::printf("ratio viewer / bare: %.1f\n", baseline > 0 ? idle / baseline : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ProgressViewerStartup();
    TickCost();
    IdleCpu();
    ProgressViewerShutdown();
    return 0;
}
