#pragma once
// Process, thread, time and path helpers that stand in for the original
// platform's kernel calls.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

uint32_t GetCurrentProcessId();
// The kernel's thread id (gettid), the number other tools show.
uint32_t GetCurrentThreadId();
void Sleep(uint32_t milliseconds);

// Rings the terminal bell when stderr is a terminal; a desktop program
// without one stays silent. Never blocks for the duration. Every call is
// counted and passed to the hook, so tests can see that it happened.
void Beep(uint32_t frequency, uint32_t durationMs);
using TBeepHook = std::function<void(uint32_t frequency, uint32_t durationMs)>;
void SetBeepHook(TBeepHook hook); // an empty hook removes it
uint64_t BeepCount();

// TMPDIR when it names a directory, else "/tmp"; always ends in "/".
std::string GetTempDirectory();
std::string GetExecutablePath();
// The executable's directory with its trailing "/".
std::string GetExecutableDir();

// Path pieces, split at the last "/" (the extension at the last "." after it).
std::string ExtractFilePath(std::string_view path); // directory with trailing "/"
std::string ExtractFileDir(std::string_view path);  // directory without it
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path); // from the last ".", or empty

// Lower-cases UTF-8 text the way the Windows-1251 code page does: Latin and
// Cyrillic capitals (Ё and the other letters of the code page included);
// every other character and any invalid byte stays as it is. Byte lengths
// never change.
std::string AnsiLowerCase(std::string_view utf8);

} // namespace platform
