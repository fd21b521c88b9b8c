#include "log/LineLayout.h"

std::string_view TrimLogText(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

std::string LayoutLine(const TLineLayout& layout, std::string_view trimmedText, TLogLevel level,
                       platform::TDateTime when, uint32_t processId, uint32_t threadId) {
    if (trimmedText.empty())
        return std::string();
    std::string line;
    if (layout.ShowLevelChar) {
        line += LevelChars[level & 7];
        line += ' ';
    }
    line += platform::FormatDateTime(layout.TimeFormat, when);
    if (layout.ShowLevelTag)
        line += LevelTags[level & 7];
    if (!layout.Prefix.empty()) {
        line += ' ';
        line += layout.Prefix;
    }
    if (layout.ShowProcessId)
        line += " <ID процесса: " + std::to_string(processId) + ">";
    if (layout.ShowThreadId)
        line += " <ID потока: " + std::to_string(threadId) + ">";
    line += ' ';
    line += trimmedText;
    return line;
}
