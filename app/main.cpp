// The program: the units start in dependency order, the main window runs
// until the user closes it, and the units shut down in reverse order before
// the window itself is destroyed.
#include "app/Form1.h"
#include "app/MainFrm.h"
#include "log/NMQLogger.h"
#include "platform/System.h"
#include "platform/Thread.h"
#include "platform/WinExec.h"
#include "progress/ProgressViewer.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    NMQLoggerStartup();
    ProgressViewerStartup();
    try {
        MainFrmStartup();
    } catch (const std::exception& error) {
        // Without its log the program has nothing to report into; it stops
        // before any window, but tells why instead of aborting.
        std::fprintf(stderr, "%s\n", error.what());
        ProgressViewerShutdown();
        NMQLoggerShutdown();
        return 1;
    }
    // Where no text editor of the original's name is installed, the log
    // opens in our own viewer installed beside the program.
    platform::SetProgramSubstitute("notepad.exe", platform::GetExecutableDir() + "ViridazIZ-log");

    // Qt aborts the process when it finds no display; started from a bare
    // console the program says why and shuts down in order instead.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "Нет графического дисплея: переменная DISPLAY не задана.\n");
        MainFrmShutdown();
        ProgressViewerShutdown();
        NMQLoggerShutdown();
        return 1;
    }

    auto application = std::make_unique<QApplication>(argc, argv);
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    QApplication::setWindowIcon(QIcon(":/ViridazIZ.png"));

    auto form = std::make_unique<TForm1>();
    Form1 = form.get();
    form->show();
    int exitCode = QApplication::exec();
    form->hide();

    MainFrmShutdown();
    // A progress window told to close a moment ago may still be on its way
    // out, and it unregisters itself from what the viewer unit frees next.
    platform::TThread::WaitForAllThreads(5000);
    ProgressViewerShutdown();
    NMQLoggerShutdown();
    Form1 = nullptr;
    form.reset();
    application.reset();
    return exitCode;
}
