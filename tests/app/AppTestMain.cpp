// The program's units started as the program starts them, around the tests.
#include "log/NMQLogger.h"
#include "progress/ProgressViewer.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    NMQLoggerStartup();
    ProgressViewerStartup();
    int result;
    {
        QApplication application(argc, argv);
        result = RUN_ALL_TESTS();
    }
    ProgressViewerShutdown();
    NMQLoggerShutdown();
    return result;
}
