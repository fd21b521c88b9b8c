// Updates through SQL on copies of real tables: the independent reader sees
// the new values, and only the changed fields' bytes differ.
#include "TestDir.h"
#include "db/Database.h"
#include "db/TableFile.h"

#include <gtest/gtest.h>

#include <cmath>

extern "C" {
#include <paradox.h>
}

using namespace dbtest;

namespace {

void Quiet(pxdoc_t*, int, const char*, void*) {}

// A numeric column of every row as the independent reader sees it; NAN for blank.
std::vector<double> OracleColumn(const fs::path& path, const std::string& column) {
    pxdoc_t* doc = PX_new2(Quiet, nullptr, nullptr, nullptr);
    EXPECT_GE(PX_open_file(doc, path.c_str()), 0);
    pxfield_t* fields = PX_get_fields(doc);
    int offset = 0, index = -1;
    for (int i = 0; i < PX_get_num_fields(doc); ++i) {
        if (column == fields[i].px_fname) {
            index = i;
            break;
        }
        offset += fields[i].px_flen;
    }
    EXPECT_GE(index, 0) << column;
    std::vector<double> values;
    std::vector<char> record(static_cast<size_t>(PX_get_recordsize(doc)));
    for (int r = 0; index >= 0 && r < PX_get_num_records(doc); ++r) {
        PX_get_record(doc, r, record.data());
        char* data = record.data() + offset;
        const int len = fields[index].px_flen;
        double v = NAN;
        switch (fields[index].px_ftype) {
        case pxfShort: {
            short s;
            if (PX_get_data_short(doc, data, len, &s) > 0)
                v = s;
            break;
        }
        case pxfLong:
        case pxfAutoInc: {
            long l;
            // The other reader takes a blank Long for -2147483648; it is blank.
            if (std::string_view(data, 4) != std::string_view("\0\0\0\0", 4) &&
                PX_get_data_long(doc, data, len, &l) > 0)
                v = static_cast<double>(l);
            break;
        }
        case pxfBCD: {
            char* s = nullptr;
            if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(data), fields[index].px_fdc,
                                &s) > 0) {
                v = std::strtod(s, nullptr);
                doc->free(doc, s);
            }
            break;
        }
        default: {
            double d;
            if (PX_get_data_double(doc, data, len, &d) > 0)
                v = d;
            break;
        }
        }
        values.push_back(v);
    }
    PX_close(doc);
    PX_delete(doc);
    return values;
}

struct TUpdateCase {
    std::string Folder, File, Sql, Column;
    std::vector<std::string> Changed; // fields whose bytes may differ
    // Expected new value from the old one and the row number.
    std::function<double(double, size_t)> Expect;
};

void PrintTo(const TUpdateCase& c, std::ostream* os) {
    *os << c.Sql;
}

class FixtureUpdate : public ::testing::TestWithParam<TUpdateCase> {};

TEST_P(FixtureUpdate, OtherReaderSeesNewValuesAndOnlyThoseBytesChange) {
    const TUpdateCase& c = GetParam();
    TTempDir dir;
    CopyDir(FixtureDir(c.Folder), dir());
    const fs::path path = dir() / c.File;
    const std::string before = ReadBytes(path);
    const std::vector<double> old = OracleColumn(path, c.Column);
    // Other files of the folder (indexes, validity checks) stay as they were.
    std::map<std::string, std::string> others;
    for (const auto& e : fs::directory_iterator(dir()))
        if (e.path() != path)
            others[e.path().filename().string()] = ReadBytes(e.path());

    ExecIn(dir(), c.Sql);

    const std::vector<double> now = OracleColumn(path, c.Column);
    ASSERT_EQ(old.size(), now.size());
    for (size_t r = 0; c.Expect && r < old.size(); ++r) {
        const double expected = c.Expect(old[r], r);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(now[r])) << "row " << r;
        else
            EXPECT_NEAR(now[r], expected, 1e-9) << "row " << r;
    }
    const std::string after = ReadBytes(path);
    ASSERT_EQ(before.size(), after.size());
    auto table = db::TTableFile::Load(path.string(), c.File);
    size_t differing = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i])
            continue;
        ++differing;
        bool inside = false;
        for (size_t row = 0; row < table->RecordCount() && !inside; ++row)
            for (const std::string& f : c.Changed) {
                const auto& info = table->Fields()[table->FieldIndex(f)];
                const int64_t at = table->RecordOffset(row) + info.Offset;
                if (static_cast<int64_t>(i) >= at && static_cast<int64_t>(i) < at + info.Length)
                    inside = true;
            }
        EXPECT_TRUE(inside) << "byte " << i << " outside the changed fields";
    }
    EXPECT_GT(differing, 0u);
    for (const auto& [name, bytes] : others)
        EXPECT_EQ(bytes, ReadBytes(dir() / name)) << name;
}

const std::vector<TUpdateCase> UpdateCases = {
    {"mtdemo",
     "FILMS.DB",
     "UPDATE Films f SET f.\"# in Stock\" = f.\"# in Stock\" + 1 WHERE f.\"Film #\" = 'A1001'",
     "# in Stock",
     {"# in Stock"},
     [](double old, size_t r) { return r == 0 ? old + 1 : old; }},
    {"mtdemo",
     "FILMS.DB",
     "UPDATE \"FILMS.db\" SET \"Rental Fee\" = \"Rental Fee\" * 2",
     "Rental Fee",
     {"Rental Fee"},
     [](double old, size_t) { return old * 2; }},
    {"mtdemo",
     "CUSTOMER.DB",
     "UPDATE customer c SET c.\"Open Balance\" = 0 WHERE c.\"Customer State\" <> 'CA' OR "
     "c.\"Open Balance\" > 100",
     "Open Balance",
     {"Open Balance"},
     nullptr},
    {"mtdemo",
     "AMOUNT.DB",
     "UPDATE Amount SET \"Sales Tax Rate\" = \"Sales Tax Rate\" + 0.5",
     "Sales Tax Rate",
     {"Sales Tax Rate"},
     [](double old, size_t) { return std::isnan(old) ? old : old + 0.5; }},
    {"fields",
     "bcd.db",
     "UPDATE bcd SET A = A + 1, B = -B WHERE A IS NOT NULL",
     "A",
     {"A", "B"},
     [](double old, size_t) { return std::isnan(old) ? old : old + 1; }},
    {"fields",
     "long.db",
     "UPDATE long SET LONG = LONG - 7.6 WHERE Id >= 2",
     "LONG",
     {"LONG"},
     nullptr},
};

INSTANTIATE_TEST_SUITE_P(Tables, FixtureUpdate, ::testing::ValuesIn(UpdateCases));

// Cases whose expectation depends on other columns are filled in here.
TEST(FixtureUpdateValues, ConditionsSeeTheOldRow) {
    TTempDir dir;
    CopyDir(FixtureDir("mtdemo"), dir());
    const fs::path path = dir() / "CUSTOMER.DB";
    auto before = db::TTableFile::Load(path.string(), "CUSTOMER");
    std::vector<double> expected;
    const int state = before->FieldIndex("Customer State");
    const int balance = before->FieldIndex("Open Balance");
    for (size_t r = 0; r < before->RecordCount(); ++r) {
        db::TValue s = before->Value(r, state), b = before->Value(r, balance);
        bool hit = (!s.IsNull() && s.Text != "CA") || (!b.IsNull() && b.Float > 100);
        expected.push_back(hit ? 0 : (b.IsNull() ? NAN : b.Float));
    }
    ExecIn(dir(), UpdateCases[2].Sql);
    std::vector<double> now = OracleColumn(path, "Open Balance");
    ASSERT_EQ(now.size(), expected.size());
    for (size_t r = 0; r < now.size(); ++r) {
        if (std::isnan(expected[r]))
            EXPECT_TRUE(std::isnan(now[r]));
        else
            EXPECT_EQ(now[r], expected[r]) << r;
    }
}

TEST(FixtureUpdateValues, IntegerColumnsTakeTheNearestValue) {
    TTempDir dir;
    CopyDir(FixtureDir("fields"), dir());
    const std::vector<double> old = OracleColumn(dir() / "long.db", "LONG");
    ExecIn(dir(), UpdateCases[5].Sql);
    const std::vector<double> now = OracleColumn(dir() / "long.db", "LONG");
    auto ids = OracleColumn(dir() / "long.db", "Id");
    for (size_t r = 0; r < now.size(); ++r) {
        if (ids[r] >= 2 && !std::isnan(old[r]))
            EXPECT_EQ(now[r], std::round(old[r] - 7.6)) << r;
        else if (std::isnan(old[r]))
            EXPECT_TRUE(std::isnan(now[r])) << r;
        else
            EXPECT_EQ(now[r], old[r]) << r;
    }
}

struct TRefusal {
    std::string Folder, Sql, Expected;
};

void PrintTo(const TRefusal& c, std::ostream* os) {
    *os << c.Sql;
}

class RefusedUpdate : public ::testing::TestWithParam<TRefusal> {};

TEST_P(RefusedUpdate, NothingChanges) {
    const TRefusal& c = GetParam();
    TTempDir dir;
    CopyDir(FixtureDir(c.Folder), dir());
    std::map<std::string, std::string> before;
    for (const auto& e : fs::directory_iterator(dir()))
        before[e.path().filename().string()] = ReadBytes(e.path());
    try {
        ExecIn(dir(), c.Sql);
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find(c.Expected), std::string::npos) << e.Message;
    }
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(bytes, ReadBytes(dir() / name)) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RefusedUpdate,
    ::testing::Values(
        TRefusal{"joins", "UPDATE C SET C = C + 1", "первичный ключ"},
        TRefusal{"joins", "UPDATE C SET B = 0, A = 1 WHERE C = 1", "C.X03"},
        TRefusal{"joins", "UPDATE C x SET x.A = 1", "C.X02"},
        TRefusal{"joins", "UPDATE fk4 SET FK1 = 2", "fk4.XG0"},
        TRefusal{"joins", "UPDATE fk4 SET FK = 2", "fk4.XG0"},
        TRefusal{"mtdemo", "UPDATE Films SET \"Film Title\" = 'x'", "Alpha"},
        TRefusal{"mtdemo", "UPDATE Rental SET \"Date Returned\" = 1", "Date"},
        TRefusal{"mtdemo", "UPDATE Films SET Nothing = 1", "Nothing"},
        TRefusal{"mtdemo", "UPDATE Films f SET g.\"# in Stock\" = 1", "\"g\""},
        TRefusal{"mtdemo", "UPDATE Films SET \"# in Stock\" = 40000", "не помещается"},
        TRefusal{"mtdemo", "UPDATE Films SET \"# in Stock\" = 'many'", "не является числом"},
        TRefusal{"mtdemo", "UPDATE Films SET \"# in Stock\" = \"# in Stock\" / 0",
                 "Деление на ноль"},
        TRefusal{"mtdemo", "UPDATE Films SET \"# in Stock\" = :Count", "Count"},
        TRefusal{"fields", "UPDATE long SET Id = 5", "Autoincrement"}));

} // namespace
