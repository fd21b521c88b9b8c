#pragma once
// How one log line is laid out from its parts.
#include "log/LogLevels.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TLineLayout {
    std::string TimeFormat;
    std::string Prefix;
    bool ShowLevelChar = false;
    bool ShowLevelTag = true;
    bool ShowProcessId = false;
    bool ShowThreadId = false;
};

// Drops characters with codes 0 to 32 at both ends; inner ones stay.
std::string_view TrimLogText(std::string_view text);

// [char, space] timestamp [tag] [space, prefix] [space, process id]
// [space, thread id] space text. An empty (trimmed) text gives an empty line.
std::string LayoutLine(const TLineLayout& layout, std::string_view trimmedText, TLogLevel level,
                       platform::TDateTime when, uint32_t processId, uint32_t threadId);
