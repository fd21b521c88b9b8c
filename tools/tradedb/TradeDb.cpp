#include "tools/tradedb/TradeDb.h"

#include "platform/CodePage.h"

// The library's header has no C++ linkage guard of its own.
extern "C" {
#include <paradox.h>
}

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

namespace {

struct TColumn {
    const char* Name;
    char Type;
    int Length;
};

void ErrorHandler(pxdoc_t*, int, const char* message, void* data) {
    auto* text = static_cast<std::string*>(data);
    if (text->empty())
        *text = message;
}

// One open table document; PX_delete frees the field list and names, so they
// are allocated through the document's own allocator.
class TPxTable {
public:
    TPxTable() {
        Doc = PX_new2(ErrorHandler, nullptr, nullptr, nullptr);
        if (!Doc)
            throw std::runtime_error("pxlib: PX_new2 failed");
        Doc->errorhandler_user_data = &Error;
    }
    ~TPxTable() {
        if (Opened)
            PX_close(Doc);
        PX_delete(Doc);
    }
    TPxTable(const TPxTable&) = delete;
    TPxTable& operator=(const TPxTable&) = delete;

    void Create(const std::string& path, const std::vector<TColumn>& columns, int codePage) {
        auto* fields =
            static_cast<pxfield_t*>(Doc->malloc(Doc, sizeof(pxfield_t) * columns.size(), "fields"));
        for (size_t i = 0; i < columns.size(); ++i) {
            size_t len = std::strlen(columns[i].Name) + 1;
            fields[i].px_fname = static_cast<char*>(Doc->malloc(Doc, len, "name"));
            std::memcpy(fields[i].px_fname, columns[i].Name, len);
            fields[i].px_ftype = columns[i].Type;
            fields[i].px_flen = columns[i].Length;
            fields[i].px_fdc = 0;
        }
        if (PX_create_file(Doc, fields, static_cast<int>(columns.size()), path.c_str(),
                           pxfFileTypNonIndexDB) < 0)
            Fail("cannot create " + path);
        Opened = true;
        if (PX_set_value(Doc, "codepage", static_cast<float>(codePage)) < 0)
            Fail("cannot set the code page of " + path);
        std::string name = std::filesystem::path(path).stem().string();
        PX_set_tablename(Doc, name.c_str());
    }

    void Open(const std::string& path) {
        if (PX_open_file(Doc, path.c_str()) < 0)
            Fail("cannot open " + path);
        Opened = true;
    }

    void Fail(const std::string& what) const {
        throw std::runtime_error("pxlib: " + what + (Error.empty() ? "" : ": " + Error));
    }

    // Field offsets and lengths by column name, for building records.
    int Offset(const char* name, int* length = nullptr) const {
        int offset = 0;
        pxfield_t* fields = PX_get_fields(Doc);
        for (int i = 0; i < PX_get_num_fields(Doc); ++i) {
            if (strcasecmp(fields[i].px_fname, name) == 0) {
                if (length)
                    *length = fields[i].px_flen;
                return offset;
            }
            offset += fields[i].px_flen;
        }
        Fail(std::string("no column ") + name);
        return -1;
    }

    pxdoc_t* Doc = nullptr;
    bool Opened = false;
    std::string Error;
};

void PutNumber(TPxTable& table, std::vector<char>& record, const char* column, double value,
               bool asShort) {
    int length = 0;
    int offset = table.Offset(column, &length);
    if (asShort)
        PX_put_data_short(table.Doc, record.data() + offset, length,
                          static_cast<short>(std::lround(value)));
    else
        PX_put_data_double(table.Doc, record.data() + offset, length, value);
}

void PutLong(TPxTable& table, std::vector<char>& record, const char* column, int32_t value) {
    int length = 0;
    int offset = table.Offset(column, &length);
    PX_put_data_long(table.Doc, record.data() + offset, length, value);
}

void PutShort(TPxTable& table, std::vector<char>& record, const char* column, int32_t value) {
    int length = 0;
    int offset = table.Offset(column, &length);
    PX_put_data_short(table.Doc, record.data() + offset, length, static_cast<short>(value));
}

void PutAlpha(TPxTable& table, std::vector<char>& record, const char* column,
              const std::string& utf8, int codePage) {
    int length = 0;
    int offset = table.Offset(column, &length);
    std::string bytes = platform::Utf8ToCodePage(utf8, codePage);
    if (bytes.size() > static_cast<size_t>(length))
        bytes.resize(length);
    // Raw copy: the library's own conversion would need its encoding set up
    // and we already hold the code page bytes.
    std::memset(record.data() + offset, 0, length);
    std::memcpy(record.data() + offset, bytes.data(), bytes.size());
}

void PatchU16(std::string& bytes, size_t at, unsigned value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// The library writes the header of an empty table; records are encoded by its
// field functions and laid into blocks here in one pass, as its own record
// writer would lay them (full blocks in order, the last one partly filled),
// because writing a million records through it one by one takes a minute.
void WriteTable(const std::string& path, const std::vector<TColumn>& columns, int codePage,
                size_t rows,
                const std::function<void(TPxTable&, std::vector<char>&, size_t)>& fill) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::string records;
    size_t recordSize = 0;
    {
        TPxTable table;
        table.Create(path, columns, codePage);
        recordSize = static_cast<size_t>(PX_get_recordsize(table.Doc));
        std::vector<char> record(recordSize);
        records.reserve(rows * recordSize);
        for (size_t i = 0; i < rows; ++i) {
            std::fill(record.begin(), record.end(), 0);
            fill(table, record, i);
            records.append(record.data(), record.size());
        }
    }
    if (rows == 0)
        return;
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (bytes.size() < 0x78)
        throw std::runtime_error("pxlib wrote no header to " + path);
    const size_t headerSize =
        static_cast<unsigned char>(bytes[2]) | (static_cast<unsigned char>(bytes[3]) << 8);
    int blockCode = static_cast<unsigned char>(bytes[5]);
    auto perBlock = [&](int code) { return (static_cast<size_t>(code) * 1024 - 6) / recordSize; };
    // Larger blocks when the table would need more block numbers than 16 bits hold.
    while ((rows + perBlock(blockCode) - 1) / perBlock(blockCode) > 65535 && blockCode < 32)
        ++blockCode;
    const size_t per = perBlock(blockCode);
    const size_t blocks = (rows + per - 1) / per;
    if (blocks > 65535)
        throw std::runtime_error("too many records for one table: " + path);
    const size_t blockSize = static_cast<size_t>(blockCode) * 1024;
    bytes.resize(headerSize);
    bytes[5] = static_cast<char>(blockCode);
    const uint32_t count = static_cast<uint32_t>(rows);
    for (int i = 0; i < 4; ++i)
        bytes[6 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    PatchU16(bytes, 0x0A, static_cast<unsigned>(blocks)); // next block to use
    PatchU16(bytes, 0x0C, static_cast<unsigned>(blocks)); // blocks in the file
    PatchU16(bytes, 0x0E, 1);                             // first data block
    PatchU16(bytes, 0x10, static_cast<unsigned>(blocks)); // last data block
    PatchU16(bytes, 0x3A, static_cast<unsigned>(blocks));
    bytes.reserve(headerSize + blocks * blockSize);
    for (size_t b = 0; b < blocks; ++b) {
        const size_t first = b * per;
        const size_t n = std::min(per, rows - first);
        std::string block(blockSize, '\0');
        PatchU16(block, 0, b + 1 < blocks ? static_cast<unsigned>(b + 2) : 0);
        PatchU16(block, 2, static_cast<unsigned>(b));
        PatchU16(block, 4, static_cast<unsigned>((n - 1) * recordSize));
        block.replace(6, n * recordSize, records, first * recordSize, n * recordSize);
        bytes += block;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::string TablePath(const std::string& dir, const char* name) {
    return (std::filesystem::path(dir) / name).string();
}

template <typename TRow>
std::vector<TRow> ReadTable(const std::string& path,
                            const std::function<TRow(TPxTable&, char*)>& read) {
    TPxTable table;
    table.Open(path);
    std::vector<char> record(PX_get_recordsize(table.Doc));
    std::vector<TRow> rows;
    int count = PX_get_num_records(table.Doc);
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (!PX_get_record(table.Doc, i, record.data()))
            table.Fail("cannot read record " + std::to_string(i) + " of " + path);
        rows.push_back(read(table, record.data()));
    }
    return rows;
}

double GetNumber(TPxTable& table, char* record, const char* column) {
    int length = 0;
    int offset = table.Offset(column, &length);
    pxfield_t* fields = PX_get_fields(table.Doc);
    for (int i = 0; i < PX_get_num_fields(table.Doc); ++i) {
        if (strcasecmp(fields[i].px_fname, column) != 0)
            continue;
        if (fields[i].px_ftype == pxfShort) {
            short value = 0;
            PX_get_data_short(table.Doc, record + offset, length, &value);
            return value;
        }
        if (fields[i].px_ftype == pxfLong) {
            long value = 0;
            PX_get_data_long(table.Doc, record + offset, length, &value);
            return static_cast<double>(value);
        }
        break;
    }
    double value = 0;
    PX_get_data_double(table.Doc, record + offset, length, &value);
    return value;
}

int32_t GetInt(TPxTable& table, char* record, const char* column) {
    return static_cast<int32_t>(std::lround(GetNumber(table, record, column)));
}

std::string GetAlpha(TPxTable& table, char* record, const char* column) {
    int length = 0;
    int offset = table.Offset(column, &length);
    const char* start = record + offset;
    size_t n = strnlen(start, length);
    return platform::CodePageToUtf8(std::string_view(start, n), table.Doc->px_head->px_doscodepage);
}

} // namespace

void MakeTradeDatabase(const std::string& dir, const std::vector<TGoodsRow>& goods,
                       const std::vector<TBatchRow>& batches,
                       const std::vector<TMotionRow>& motions, const TTradeDbOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        throw std::runtime_error("cannot create " + dir + ": " + ec.message());
    const int cp = options.CodePage;
    if (!platform::IsCodePageSupported(cp))
        throw std::runtime_error("unsupported code page " + std::to_string(cp));
    const char countType = options.CountAsShort ? pxfShort : pxfNumber;
    const int countLength = options.CountAsShort ? 2 : 8;

    WriteTable(TablePath(dir, "Batches.db"),
               {{"ID_P", pxfLong, 4},
                {"ID_Goods", pxfLong, 4},
                {"Count", countType, countLength},
                {"Ostatok", pxfNumber, 8}},
               cp, batches.size(), [&](TPxTable& t, std::vector<char>& r, size_t i) {
                   PutLong(t, r, "ID_P", batches[i].IdP);
                   PutLong(t, r, "ID_Goods", batches[i].IdGoods);
                   PutNumber(t, r, "Count", batches[i].Count, options.CountAsShort);
                   PutNumber(t, r, "Ostatok", batches[i].Ostatok, false);
               });
    WriteTable(TablePath(dir, "GoodsMotion.db"),
               {{"ID", pxfLong, 4},
                {"ID_P", pxfLong, 4},
                {"Type", pxfShort, 2},
                {"Count", countType, countLength}},
               cp, motions.size(), [&](TPxTable& t, std::vector<char>& r, size_t i) {
                   PutLong(t, r, "ID", motions[i].Id);
                   PutLong(t, r, "ID_P", motions[i].IdP);
                   PutShort(t, r, "Type", motions[i].Type);
                   PutNumber(t, r, "Count", motions[i].Count, options.CountAsShort);
               });
    if (options.WithGoods)
        WriteTable(TablePath(dir, "Goods.db"),
                   {{"id_goods", pxfLong, 4}, {"Name", pxfAlpha, 60}, {"Kod", pxfAlpha, 20}}, cp,
                   goods.size(), [&](TPxTable& t, std::vector<char>& r, size_t i) {
                       PutLong(t, r, "id_goods", goods[i].IdGoods);
                       PutAlpha(t, r, "Name", goods[i].Name, cp);
                       PutAlpha(t, r, "Kod", goods[i].Kod, cp);
                   });
    if (options.WithDocuments)
        WriteTable(TablePath(dir, "Documents.db"),
                   {{"ID_Doc", pxfLong, 4}, {"Number", pxfAlpha, 20}, {"Summa", pxfNumber, 8}}, cp,
                   3, [&](TPxTable& t, std::vector<char>& r, size_t i) {
                       PutLong(t, r, "ID_Doc", static_cast<int32_t>(i + 1));
                       PutAlpha(t, r, "Number", "Док-" + std::to_string(i + 1), cp);
                       PutNumber(t, r, "Summa", 100.5 * static_cast<double>(i + 1), false);
                   });
}

std::vector<TBatchRow> ReadBatches(const std::string& dir) {
    return ReadTable<TBatchRow>(TablePath(dir, "Batches.db"), [](TPxTable& t, char* r) {
        return TBatchRow{GetInt(t, r, "ID_P"), GetInt(t, r, "ID_Goods"), GetNumber(t, r, "Count"),
                         GetNumber(t, r, "Ostatok")};
    });
}

std::vector<TMotionRow> ReadMotions(const std::string& dir) {
    return ReadTable<TMotionRow>(TablePath(dir, "GoodsMotion.db"), [](TPxTable& t, char* r) {
        return TMotionRow{GetInt(t, r, "ID"), GetInt(t, r, "ID_P"), GetInt(t, r, "Type"),
                          GetNumber(t, r, "Count")};
    });
}

std::vector<TGoodsRow> ReadGoods(const std::string& dir) {
    return ReadTable<TGoodsRow>(TablePath(dir, "Goods.db"), [](TPxTable& t, char* r) {
        return TGoodsRow{GetInt(t, r, "id_goods"), GetAlpha(t, r, "Name"), GetAlpha(t, r, "Kod")};
    });
}
