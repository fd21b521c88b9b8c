#include "log/NMQLogger.h"

#include "log/LineLayout.h"
#include "log/SizeLimit.h"
#include "platform/CodePage.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/System.h"

#include <new>

std::unique_ptr<TNMQLogger> ErrorsWriter;

namespace {

const char* const kMutexError = "Ошибка при создании объекта \"мьютекс\"";
const char* const kFailureMark = " <Ошибка при записи в лог>";
const char* const kFailureReport =
    "Ошибка при попытке записи (%0:s) в лог \"%1:s\" строки [%2:s]: %3:s <%4:s>";

} // namespace

TNMQLogger::TNMQLogger(const std::string& fileName) {
    SetFileName(fileName);
}

TNMQLogger::~TNMQLogger() {
    SetUseMutex(false);
}

void TNMQLogger::SetUseMutex(bool value) {
    platform::TCriticalSectionGuard guard(WriteLock);
    UseMutex = value;
    if (!value)
        MutexHandle.reset();
}

void TNMQLogger::SetFileName(const std::string& value) {
    platform::TCriticalSectionGuard guard(WriteLock);
    if (value.empty())
        return;
    std::string name = value;
    if (name.find('/') == std::string::npos)
        name = platform::GetExecutableDir() + name;
    if ((MutexHandle || !UseMutex) &&
        platform::AnsiLowerCase(name) == platform::AnsiLowerCase(FileName))
        return;
    MutexHandle.reset();
    FileName = name;
    if (UseMutex) {
        try {
            MutexHandle = std::make_unique<platform::TNamedMutex>(GetMutexName());
        } catch (const std::exception&) {
            throw platform::Exception(kMutexError);
        }
    }
}

std::string TNMQLogger::GetMutexName() const {
    std::string name = platform::AnsiLowerCase(FileName);
    for (char& c : name)
        if (c == '"' || c == '*' || c == '/' || c == ':' || c == '<' || c == '>' || c == '?' ||
            c == '\\' || c == '|')
            c = '_';
    return name;
}

void TNMQLogger::Lock() {
    WriteLock.Enter();
    if (MutexHandle)
        MutexHandle->Wait();
}

void TNMQLogger::Unlock() {
    if (MutexHandle)
        MutexHandle->Release();
    WriteLock.Leave();
}

std::string TNMQLogger::FormatLine(const std::string& text, TLogLevel level) const {
    TLineLayout layout{TimeFormat,   Prefix,        ShowLevelChar,
                       ShowLevelTag, ShowProcessId, ShowThreadId};
    return LayoutLine(layout, TrimLogText(text), level, platform::Now(),
                      ShowProcessId ? platform::GetCurrentProcessId() : 0,
                      ShowThreadId ? platform::GetCurrentThreadId() : 0);
}

void TNMQLogger::Write(const std::string& text, TLogLevel level) {
    if (!Enabled || FileName.empty() || level > 7 || !(Levels & LevelBit(level)))
        return;
    Lock();
    std::string line;
    std::string modeName;
    std::string written(TrimLogText(text));
    try {
        line = FormatLine(text, level);
        platform::TFile file = OpenLogFile(modeName);
        modeName += "-OK";
        written = line + "\r\n";
        std::string bytes = platform::Utf8ToCodePage(written, 1251);
        int64_t size = file.Seek(0, SEEK_END);
        file.Write(bytes.data(), bytes.size());
        size += static_cast<int64_t>(bytes.size());
        file.Close();
        if (size > SizeLimitThreshold(SizeLimit))
            ApplySizeLimit();
    } catch (...) {
        std::string message;
        std::string className;
        try {
            throw;
        } catch (const platform::Exception& e) {
            message = e.Message;
            className = e.ClassName();
        } catch (const std::bad_alloc&) {
            message = "Недостаточно памяти";
            className = "EOutOfMemory";
        } catch (const std::exception& e) {
            message = e.what();
            className = "Exception";
        } catch (...) {
            message = "Неизвестная ошибка";
            className = "Exception";
        }
        platform::Beep(500, 50);
        if (!NoErrorReport && ErrorsWriter) {
            try {
                ErrorsWriter->WriteFmt(
                    kFailureReport,
                    {modeName, FileName, std::string(TrimLogText(written)), message, className},
                    lvNone);
            } catch (...) {
                // The report is best effort; the caller must never see it fail.
            }
        }
        line += kFailureMark;
    }
    if (NotifyWindow != 0 && NotifyMessage != 0) {
        try {
            Remember(line);
        } catch (...) {
        }
    }
    Unlock();
}

platform::TFile TNMQLogger::OpenLogFile(std::string& modeName) {
    constexpr uint16_t kAppendMode = fmOpenWrite | fmShareDenyNone;
    // The usual case, a log that exists, costs one open; the existence test
    // decides the mode only when that open fails.
    try {
        platform::TFile file = OpenWithMode(FileName, kAppendMode);
        modeName = "fmOpenWrite";
        return file;
    } catch (const platform::EOSError&) {
    }
    if (platform::FileExists(FileName)) {
        modeName = "fmOpenWrite";
        return CreateStreamWithRetry(FileName, kAppendMode, DefaultOpenTimeout);
    }
    modeName = "fmCreate";
    return CreateStreamWithRetry(FileName, fmCreate, DefaultOpenTimeout);
}

void TNMQLogger::Remember(const std::string& line) {
    platform::TCriticalSectionGuard guard(RecentLinesLock);
    RecentLines.push_back(line);
    while (static_cast<int64_t>(RecentLines.size()) > static_cast<int64_t>(MaxRecentLines))
        RecentLines.pop_front();
    platform::PostMessage(NotifyWindow, NotifyMessage, 0, 0);
}

void TNMQLogger::WriteFmt(const std::string& format, std::initializer_list<platform::TVarRec> args,
                          TLogLevel level) {
    std::string text = platform::Format(format, args);
    Write(text, level);
}

std::vector<std::string> TNMQLogger::GetRecentLines() const {
    platform::TCriticalSectionGuard guard(RecentLinesLock);
    return std::vector<std::string>(RecentLines.begin(), RecentLines.end());
}

void TNMQLogger::ApplySizeLimit() {
    if (SizeLimit <= 0 || SizeLimit > INT32_MAX)
        throw platform::EConvertError("Недопустимый предел размера лога: " +
                                      std::to_string(SizeLimit));
    if (TrimInPlace)
        TrimLogFile(FileName, SizeLimit);
    else
        RotateLogFile(FileName, MaxArchives);
}

int TNMQLogger::CollectArchives(std::vector<std::string>& list) const {
    return ::CollectArchives(FileName, list);
}

void TNMQLogger::RenumberArchives(const std::vector<std::string>& list) const {
    ::RenumberArchives(FileName, list);
}

int TNMQLogger::CompareArchiveNumbers(const std::vector<std::string>& list, size_t first,
                                      size_t second) const {
    return ::CompareArchiveNumbers(FileName, list, first, second);
}

void NMQLoggerStartup() {
    auto writer =
        std::make_unique<TNMQLogger>(platform::GetTempDirectory() + "NMQLoggerErrorsWriter.log");
    writer->TrimInPlace = true;
    writer->NoErrorReport = true;
    ErrorsWriter = std::move(writer);
}

void NMQLoggerShutdown() {
    ErrorsWriter.reset();
}
