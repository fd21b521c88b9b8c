// Any bytes as a table file: refused with EDatabaseError or read in full,
// never a crash, a hang or a read outside the file.
#include "db/DatabaseError.h"
#include "db/TableFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto table = db::TTableFile::FromBytes(
            std::string(reinterpret_cast<const char*>(data), size), "fuzz");
        for (size_t row = 0; row < table->RecordCount(); ++row)
            for (size_t f = 0; f < table->Fields().size(); ++f)
                table->Value(row, static_cast<int>(f));
    } catch (const db::EDatabaseError&) {
    }
    return 0;
}
