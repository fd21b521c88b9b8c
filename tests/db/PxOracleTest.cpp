// Every fixture table read by our reader agrees, value by value, with the
// independent reader; where that reader is wrong the test says what is right.
#include "TestDir.h"
#include "db/Database.h"
#include "db/TableFile.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

extern "C" {
#include <paradox.h>
}

using namespace db;
using namespace dbtest;

namespace {

void Quiet(pxdoc_t*, int, const char*, void*) {}

struct TOracle {
    pxdoc_t* Doc = nullptr;
    explicit TOracle(const fs::path& path) {
        Doc = PX_new2(Quiet, nullptr, nullptr, nullptr);
        if (PX_open_file(Doc, path.c_str()) < 0) {
            PX_delete(Doc);
            Doc = nullptr;
        }
    }
    ~TOracle() {
        if (Doc) {
            PX_close(Doc);
            PX_delete(Doc);
        }
    }
};

std::vector<fs::path> FixtureTables() {
    std::vector<fs::path> tables;
    for (const char* sub : {"fields", "mtdemo", "joins"}) {
        std::error_code ec;
        if (!fs::is_directory(FixtureDir(sub), ec)) {
            // Reported by the test that then fails to open it.
            tables.push_back(FixtureDir(sub) / "missing.db");
            continue;
        }
        for (const auto& e : fs::directory_iterator(FixtureDir(sub))) {
            std::string ext = e.path().extension().string();
            if (ext == ".db" || ext == ".DB")
                tables.push_back(e.path());
        }
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

class PxOracle : public ::testing::TestWithParam<fs::path> {};

TEST_P(PxOracle, ValuesAgree) {
    const fs::path path = GetParam();
    auto table = TTableFile::Load(path.string(), path.stem().string());
    TOracle oracle(path);
    ASSERT_NE(oracle.Doc, nullptr) << path;
    pxdoc_t* doc = oracle.Doc;
    ASSERT_EQ(static_cast<int>(table->RecordCount()), PX_get_num_records(doc));
    ASSERT_EQ(static_cast<int>(table->Fields().size()), PX_get_num_fields(doc));
    pxfield_t* pxFields = PX_get_fields(doc);
    std::vector<char> record(static_cast<size_t>(PX_get_recordsize(doc)));
    for (size_t row = 0; row < table->RecordCount(); ++row) {
        ASSERT_NE(PX_get_record(doc, static_cast<int>(row), record.data()), nullptr);
        int offset = 0;
        for (size_t f = 0; f < table->Fields().size(); ++f) {
            const TFieldInfo& info = table->Fields()[f];
            SCOPED_TRACE(path.filename().string() + " row " + std::to_string(row) + " field " +
                         info.Name);
            EXPECT_EQ(info.Name, platform::CodePageToUtf8(pxFields[f].px_fname, table->CodePage()));
            char* data = record.data() + offset;
            const int len = pxFields[f].px_flen;
            offset += len;
            // Our reader walks the block chain, the other reads blocks in file
            // order; in these files both orders are the same, so rows pair up.
            EXPECT_EQ(table->FieldBytes(row, static_cast<int>(f)), std::string_view(data, len));
            const TValue v = table->Value(row, static_cast<int>(f));
            switch (info.Type) {
            case TFieldType::Alpha: {
                char* s = nullptr;
                if (PX_get_data_alpha(doc, data, len, &s) > 0) {
                    EXPECT_EQ(v.Text, platform::CodePageToUtf8(s, table->CodePage()));
                    doc->free(doc, s);
                } else {
                    EXPECT_TRUE(v.IsNull());
                }
                break;
            }
            case TFieldType::Date:
            case TFieldType::Long:
            case TFieldType::Time:
            case TFieldType::AutoInc: {
                long l = 0;
                // All-zero bytes are a blank field. The other reader decodes
                // them as -2147483648, the blank marker read as a number; the
                // right value is null, as blank Short and Number fields are
                // for both readers.
                if (std::string_view(data, len) == std::string_view("\0\0\0\0", 4))
                    EXPECT_TRUE(v.IsNull()) << "reported " << l;
                else if (PX_get_data_long(doc, data, len, &l) > 0)
                    EXPECT_EQ(v.Int, l);
                else
                    EXPECT_TRUE(v.IsNull());
                break;
            }
            case TFieldType::Short: {
                short s = 0;
                if (PX_get_data_short(doc, data, len, &s) > 0)
                    EXPECT_EQ(v.Int, s);
                else
                    EXPECT_TRUE(v.IsNull());
                break;
            }
            case TFieldType::Number:
            case TFieldType::Currency:
            case TFieldType::Timestamp: {
                double d = 0;
                if (PX_get_data_double(doc, data, len, &d) > 0)
                    EXPECT_EQ(v.Float, d);
                else
                    EXPECT_TRUE(v.IsNull());
                break;
            }
            case TFieldType::Logical: {
                char b = 0;
                if (PX_get_data_byte(doc, data, len, &b) > 0)
                    EXPECT_EQ(v.Int, b != 0 ? 1 : 0);
                else
                    EXPECT_TRUE(v.IsNull());
                break;
            }
            case TFieldType::Bcd: {
                char* s = nullptr;
                if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(data), info.SizeByte,
                                    &s) > 0) {
                    // The other reader prints every one of the 32 digit
                    // nibbles, also those past the first that is no decimal
                    // digit (a writer fills the places past a double's
                    // precision with such nibbles). The right value ends at
                    // that nibble; both agree on the digits before it.
                    std::string theirs = s;
                    doc->free(doc, s);
                    ASSERT_FALSE(v.IsNull());
                    EXPECT_NEAR(v.Float, std::strtod(theirs.c_str(), nullptr),
                                1e-15 + std::fabs(v.Float) * 1e-15)
                        << theirs << " vs " << v.Text;
                } else {
                    EXPECT_TRUE(v.IsNull());
                }
                break;
            }
            case TFieldType::Bytes: {
                char* s = nullptr;
                if (PX_get_data_bytes(doc, data, len, &s) > 0) {
                    EXPECT_EQ(v.Text, std::string(s, static_cast<size_t>(len)));
                    doc->free(doc, s);
                } else {
                    EXPECT_TRUE(v.IsNull());
                }
                break;
            }
            default:
                // Blobs: the record holds a leader with the first bytes and
                // the blob's length; the bytes were compared above.
                break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PxOracle, ::testing::ValuesIn(FixtureTables()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.parent_path().filename().string() + "_" +
                                                info.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace

namespace {

// Dates and times as the program's fields give them as text, against the
// independent library's own calendar conversion.
TEST(PxOracleText, DatesAndTimesAsText) {
    for (const char* name : {"date35", "date4", "date5", "date7", "time"}) {
        SCOPED_TRACE(name);
        const fs::path path = FixtureDir("fields") / (std::string(name) + ".db");
        auto table = TTableFile::Load(path.string(), name);
        TDatabase database;
        Connect(database, FixtureDir("fields").string() + "/", "Fields");
        TQuery& q = Statement(database, std::string("SELECT * FROM ") + name);
        q.Open();
        for (size_t row = 0; !q.Eof(); q.Next(), ++row) {
            for (size_t f = 0; f < table->Fields().size(); ++f) {
                const TFieldInfo& info = table->Fields()[f];
                const TValue v = table->Value(row, static_cast<int>(f));
                const std::string text = q.FieldByName(info.Name).AsString();
                char expected[32] = "";
                if (v.IsNull()) {
                    EXPECT_EQ(text, "");
                    continue;
                }
                if (info.Type == TFieldType::Date) {
                    int y, m, d;
                    // Day 1 is 1 January of year 1, serial day 1721426.
                    PX_SdnToGregorian(v.Int + 1721425, &y, &m, &d);
                    std::snprintf(expected, sizeof expected, "%02d.%02d.%04d", d, m, y);
                } else if (info.Type == TFieldType::Time) {
                    const long s = static_cast<long>(v.Int / 1000);
                    std::snprintf(expected, sizeof expected, "%02ld:%02ld:%02ld", s / 3600,
                                  s / 60 % 60, s % 60);
                } else {
                    continue;
                }
                EXPECT_EQ(text, expected) << info.Name << " row " << row;
            }
        }
    }
}

} // namespace
