#include "platform/CodePage.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

std::string IconvName(int codePage) {
    bool dos = codePage == 437 || codePage == 737 || codePage == 775 ||
               (codePage >= 850 && codePage <= 869);
    bool windows = codePage >= 1250 && codePage <= 1258;
    return dos || windows ? "CP" + std::to_string(codePage) : std::string();
}

// A single-byte code page is decoded through a table built once with iconv;
// the reverse map serves encoding. Both live for the process.
struct TCodePageMaps {
    std::array<char32_t, 256> Decode{};
    // Byte + 1 for each character of the Basic Multilingual Plane the code
    // page holds, 0 for none; single-byte code pages hold nothing beyond it.
    std::array<uint16_t, 0x10000> Encode{};
};

const TCodePageMaps* Maps(int codePage) {
    static std::mutex lock;
    static std::unordered_map<int, std::unique_ptr<TCodePageMaps>> cache;
    std::lock_guard guard(lock);
    auto found = cache.find(codePage);
    if (found != cache.end())
        return found->second.get();
    std::string name = IconvName(codePage);
    std::unique_ptr<TCodePageMaps> maps;
    iconv_t cd =
        name.empty() ? reinterpret_cast<iconv_t>(-1) : iconv_open("UTF-32LE", name.c_str());
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        maps = std::make_unique<TCodePageMaps>();
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char32_t out[2] = {};
            char* inPtr = &in;
            size_t inLeft = 1;
            char* outPtr = reinterpret_cast<char*>(out);
            size_t outLeft = sizeof(out);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
                      inLeft == 0 && sizeof(out) - outLeft == sizeof(char32_t);
            maps->Decode[b] = ok ? out[0] : char32_t(0xFFFD);
        }
        iconv_close(cd);
        // Lowest byte wins where two bytes decode to one character.
        for (int b = 255; b >= 0; --b)
            if (maps->Decode[b] != 0xFFFD && maps->Decode[b] < 0x10000)
                maps->Encode[maps->Decode[b]] = static_cast<uint16_t>(b + 1);
    }
    return (cache[codePage] = std::move(maps)).get();
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; a malformed sequence yields U+FFFD and
// advances one byte, so bad input never swallows the text after it.
char32_t NextCodePoint(std::string_view s, size_t& i) {
    unsigned char b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t extra = b0 >= 0xF0 && b0 < 0xF5   ? 3
                   : b0 >= 0xE0 && b0 < 0xF0 ? 2
                   : b0 >= 0xC2 && b0 < 0xE0 ? 1
                                             : 0;
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = b0 & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        unsigned char bk = static_cast<unsigned char>(s[i + k]);
        if ((bk & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (bk & 0x3F);
    }
    i += extra + 1;
    return c;
}

} // namespace

bool IsCodePageSupported(int codePage) {
    return Maps(codePage) != nullptr;
}

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    const TCodePageMaps* maps = Maps(codePage);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        if (b < 0x80)
            out += static_cast<char>(b);
        else
            AppendUtf8(out, maps ? maps->Decode[b] : char32_t(0xFFFD));
    }
    return out;
}

std::string Utf8ToCodePage(std::string_view utf8, int codePage) {
    const TCodePageMaps* maps = Maps(codePage);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        // Runs of ASCII, most of any log line, are copied whole.
        size_t run = i;
        while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80)
            ++run;
        out.append(utf8.data() + i, run - i);
        i = run;
        if (i == utf8.size())
            break;
        char32_t c = NextCodePoint(utf8, i);
        uint16_t encoded = maps && c < 0x10000 ? maps->Encode[c] : 0;
        out += encoded != 0 ? static_cast<char>(encoded - 1) : '?';
    }
    return out;
}

} // namespace platform
