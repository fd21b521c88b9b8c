#pragma once
// A plain-text log that many threads and processes can share. Each line is
// appended by opening, writing and closing the file, under a critical
// section and a named mutex derived from the file's path, so readers can
// look at the file at any time and every line reaches the system before
// Write returns. A failed write never reaches the caller: it beeps and goes
// to the errors writer in the temporary directory.
#include "log/LogLevels.h"
#include "log/StreamWithRetry.h"
#include "platform/CriticalSection.h"
#include "platform/Format.h"
#include "platform/Messages.h"
#include "platform/NamedMutex.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class TNMQLogger {
public:
    // Throws platform::Exception "Ошибка при создании объекта "мьютекс""
    // when the named mutex cannot be made.
    explicit TNMQLogger(const std::string& fileName);
    ~TNMQLogger();
    TNMQLogger(const TNMQLogger&) = delete;
    TNMQLogger& operator=(const TNMQLogger&) = delete;

    // Never throws for failures of the file work.
    void Write(const std::string& text, TLogLevel level);
    // Throws the formatting error before anything is written.
    void WriteFmt(const std::string& format, std::initializer_list<platform::TVarRec> args,
                  TLogLevel level);

    // A name without a directory goes beside the executable; the same name
    // in another letter case changes nothing. Throws like the constructor.
    void SetFileName(const std::string& value);
    void SetUseMutex(bool value);
    const std::string& GetFileName() const { return FileName; }
    bool GetUseMutex() const { return UseMutex; }
    bool HasMutex() const { return MutexHandle != nullptr; }
    // The file name lower-cased and with "*/:<>?\| and double quotes as "_".
    std::string GetMutexName() const;

    // Write's own locking: the critical section, then the named mutex.
    void Lock();
    void Unlock();

    // The line for a text at a level, stamped now; empty for a blank text.
    std::string FormatLine(const std::string& text, TLogLevel level) const;
    // Keeps the file within SizeLimit; called by Write under the lock.
    void ApplySizeLimit();
    int CollectArchives(std::vector<std::string>& list) const;
    void RenumberArchives(const std::vector<std::string>& list) const;
    int CompareArchiveNumbers(const std::vector<std::string>& list, size_t first,
                              size_t second) const;

    // A copy of RecentLines, oldest first, taken under RecentLinesLock.
    std::vector<std::string> GetRecentLines() const;

    // Settings the owner reads and writes directly, without a lock.
    int64_t SizeLimit = 1048576; // greater than 0 and less than 2^31
    bool TrimInPlace = true;
    bool Enabled = true;
    std::string Prefix;
    bool ShowThreadId = false;
    bool ShowProcessId = false;
    std::string TimeFormat = "dd.mm.yyyy hh:nn:ss.zzzz";
    bool ShowLevelChar = false;
    bool ShowLevelTag = true;
    int32_t MaxArchives = 10;
    bool NoErrorReport = false;
    TLogLevels Levels = AllLogLevels;
    platform::HWND NotifyWindow = 0;
    platform::UINT NotifyMessage = platform::WM_USER + 321;
    int32_t MaxRecentLines = 1024;

private:
    platform::TCriticalSection WriteLock;
    mutable platform::TCriticalSection RecentLinesLock;
    std::unique_ptr<platform::TNamedMutex> MutexHandle;
    std::string FileName;
    bool UseMutex = true;
    std::deque<std::string> RecentLines;

    // Opens for appending ("fmOpenWrite") or creates ("fmCreate"); sets the
    // mode name before the open that may fail.
    platform::TFile OpenLogFile(std::string& modeName);
    void Remember(const std::string& line);
};

// The unit's errors writer: "NMQLoggerErrorsWriter.log" in the temporary
// directory, shared by every program that uses this unit. None outside
// NMQLoggerStartup .. NMQLoggerShutdown.
extern std::unique_ptr<TNMQLogger> ErrorsWriter;

void NMQLoggerStartup();  // creates ErrorsWriter
void NMQLoggerShutdown(); // frees it
