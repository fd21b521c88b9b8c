#pragma once
// The program's own unit: the directory it runs from, its log, the main
// window, and the start-up and shutdown that bracket the message loop.
#include "log/NMQLogger.h"

#include <memory>
#include <string>

class TForm1;

// The executable's directory with its trailing "/"; empty outside the
// program's lifetime.
extern std::string AppDir;
// "ViridazIZ.log" in AppDir; lives from MainFrmStartup to MainFrmShutdown.
extern std::unique_ptr<TNMQLogger> AppLog;
// The main window while the application object holds it; null otherwise.
extern TForm1* Form1;

// Sets AppDir, creates AppLog and writes the start line. Call after the log
// and progress units have started and before any window exists; a failure
// here is meant to end the program.
void MainFrmStartup();
// Writes the exit line, frees AppLog and clears AppDir.
void MainFrmShutdown();

// The name of the log file beside the executable.
inline constexpr const char* AppLogName = "ViridazIZ.log";
