#include "app/MainFrm.h"

#include "platform/System.h"

std::string AppDir;
std::unique_ptr<TNMQLogger> AppLog;
TForm1* Form1 = nullptr;

void MainFrmStartup() {
    AppDir = platform::GetExecutableDir();
    AppLog = std::make_unique<TNMQLogger>(AppDir + AppLogName);
    AppLog->Write("Старт программы", lvEvent);
}

void MainFrmShutdown() {
    if (AppLog) {
        AppLog->Write("Выход из программы", lvEvent);
        AppLog.reset();
    }
    AppDir.clear();
}
