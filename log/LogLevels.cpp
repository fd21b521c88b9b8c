#include "log/LogLevels.h"

const char LevelChars[8] = {'-', '+', '?', '!', '#', '$', '%', '@'};

const std::string LevelTags[8] = {
    "",           " [информ.]", " [ошибка]", " [сбой]", " [внимание]",
    " [событие]", " [отладка]", " [другое]",
};
