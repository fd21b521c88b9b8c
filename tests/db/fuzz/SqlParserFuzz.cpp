// Any text as a statement: parsed or refused with EDatabaseError.
#include "db/DatabaseError.h"
#include "db/Parser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        db::FindParams(text);
    } catch (const db::EDatabaseError&) {
    }
    try {
        db::Parse(text);
    } catch (const db::EDatabaseError&) {
    }
    return 0;
}
