#pragma once
// Text is UTF-8 inside; single-byte code pages appear only at the edges
// (log file bytes, table Alpha fields).
#include <string>
#include <string_view>

namespace platform {

// Bytes in the given Windows/DOS code page (866, 1251, 437, 850, 1252, ...)
// to UTF-8. Bytes the code page leaves undefined become U+FFFD.
std::string CodePageToUtf8(std::string_view bytes, int codePage);

// UTF-8 to the code page; characters it cannot hold become "?".
// Invalid UTF-8 sequences also become "?".
std::string Utf8ToCodePage(std::string_view utf8, int codePage);

// True when iconv knows the code page.
bool IsCodePageSupported(int codePage);

} // namespace platform
