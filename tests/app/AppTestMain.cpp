// The program's units started as the program starts them, around the tests.
#include "log/NMQLogger.h"
#include "platform/Thread.h"
#include "progress/ProgressViewer.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest does it to find them) needs no display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    NMQLoggerStartup();
    ProgressViewerStartup();
#ifdef APP_TEST_QT_OFFSCREEN
    // Qt only draws text here (the progress window is our own X window), so
    // it needs no display connection and no event thread of its own.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    int result;
    {
        QApplication application(argc, argv);
        result = RUN_ALL_TESTS();
        // Viewers told to end are still closing their windows, and they
        // draw with Qt until then: wait for them while Qt is still here.
        if (!platform::TThread::WaitForAllThreads(5000)) {
            std::fprintf(stderr, "a progress viewer's thread outlived its run\n");
            result = 1;
        }
    }
    ProgressViewerShutdown();
    NMQLoggerShutdown();
    return result;
}
