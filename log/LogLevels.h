#pragma once
// The eight levels of a log line, the set of them, and their marks in a line.
#include <cstdint>
#include <string>

enum TLogLevel : uint8_t {
    lvNone,
    lvInfo,
    lvError,
    lvFailure,
    lvWarning,
    lvEvent,
    lvDebug,
    lvOther
};
using TLogLevels = uint8_t; // bit n = level n

constexpr TLogLevels AllLogLevels = 0xFF;

constexpr TLogLevels LevelBit(TLogLevel level) {
    return static_cast<TLogLevels>(1u << level);
}

// "-+?!#$%@" in level order.
extern const char LevelChars[8];
// Level tags with their leading space; lvNone has none.
extern const std::string LevelTags[8];
