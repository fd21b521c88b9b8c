// Qt draws text only with a GUI application object; the offscreen platform
// gives it one without a display. The progress windows themselves are plain
// X11 windows and use the display (Xvfb) on their own.
#include "platform/Thread.h"
#include "progress/ProgressViewer.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ProgressViewerStartup();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // Viewers free themselves on their own threads; none may outlive main.
    if (!platform::TThread::WaitForAllThreads(10000)) {
        std::fprintf(stderr, "threads still running at exit\n");
        result = 1;
    }
    ProgressViewerShutdown();
    return result;
}
