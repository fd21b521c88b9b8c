#include "db/Query.h"
#include "db/Names.h"
#include "platform/DateTime.h"

#include "db/Ast.h"
#include "db/Database.h"
#include "db/Executor.h"
#include "db/Parser.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace db {

namespace {

// Day 1 is 1 January of year 1 in the proleptic Gregorian calendar.
std::string DateText(int64_t day) {
    constexpr int64_t kDaysBefore1970 = 719162;
    int y, m, d;
    platform::CivilFromDays(day - 1 - kDaysBefore1970, y, m, d);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", d, m, y);
    return buffer;
}

std::string TimeText(int64_t ms) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60));
    return buffer;
}

std::string FloatText(double d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", d);
    return buffer;
}

// Days between 1 January of year 1 (day 1) and 30 December 1899, the zero of
// the platform's date-time values.
constexpr double DateDelta = 693594;

} // namespace

// ---- TField

const TValue& TField::Value() const {
    static const TValue null;
    const TQuery& q = *Query;
    if (!q.Result || q.Current >= q.Result->Rows.size())
        return null;
    return q.Result->Rows[q.Current][Column];
}

bool TField::IsNull() const {
    return Value().IsNull();
}

int32_t TField::AsInteger() const {
    const TValue& v = Value();
    auto fail = [&](const std::string& shown) -> int32_t {
        throw EDatabaseError("Значение \"" + shown + "\" поля \"" + Name +
                             "\" не может быть прочитано как целое число");
    };
    double d = 0;
    switch (v.Kind) {
    case TValueKind::Null:
        return 0;
    case TValueKind::Integer:
    case TValueKind::Logical:
        if (v.Int < std::numeric_limits<int32_t>::min() ||
            v.Int > std::numeric_limits<int32_t>::max())
            return fail(std::to_string(v.Int));
        return static_cast<int32_t>(v.Int);
    case TValueKind::Float:
    case TValueKind::Bcd:
        d = std::nearbyint(v.Float);
        break;
    case TValueKind::Text: {
        std::string t = v.Text;
        size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
        t = b == std::string::npos ? "" : t.substr(b, e - b + 1);
        char* end = nullptr;
        errno = 0;
        long long i = t.empty() ? 0 : std::strtoll(t.c_str(), &end, 10);
        if (t.empty() || *end != '\0' || errno == ERANGE ||
            i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max())
            return fail(v.Text);
        return static_cast<int32_t>(i);
    }
    default:
        return fail(AsString());
    }
    if (!std::isfinite(d) || d < std::numeric_limits<int32_t>::min() ||
        d > std::numeric_limits<int32_t>::max())
        return fail(FloatText(v.Float));
    return static_cast<int32_t>(d);
}

double TField::AsFloat() const {
    const TValue& v = Value();
    switch (v.Kind) {
    case TValueKind::Null:
        return 0;
    case TValueKind::Integer:
    case TValueKind::Logical:
        return static_cast<double>(v.Int);
    case TValueKind::Float:
    case TValueKind::Bcd:
        return v.Float;
    case TValueKind::Date:
        return static_cast<double>(v.Int) - DateDelta;
    case TValueKind::Time:
        return static_cast<double>(v.Int) / 86400000.0;
    case TValueKind::Timestamp:
        return v.Float / 86400000.0 - DateDelta;
    case TValueKind::Text: {
        std::string t = v.Text;
        for (char& c : t)
            if (c == ',')
                c = '.';
        char* end = nullptr;
        double d = std::strtod(t.c_str(), &end);
        while (end && *end == ' ')
            ++end;
        if (!t.empty() && end && *end == '\0' && std::isfinite(d))
            return d;
        break;
    }
    default:
        break;
    }
    throw EDatabaseError("Значение \"" + AsString() + "\" поля \"" + Name +
                         "\" не может быть прочитано как число");
}

std::string TField::AsString() const {
    const TValue& v = Value();
    switch (v.Kind) {
    case TValueKind::Null:
        return {};
    case TValueKind::Integer:
        return std::to_string(v.Int);
    case TValueKind::Float:
        return FloatText(v.Float);
    case TValueKind::Bcd:
    case TValueKind::Text:
    case TValueKind::Bytes:
        return v.Text;
    case TValueKind::Logical:
        return v.Int ? "True" : "False";
    case TValueKind::Date:
        return DateText(v.Int);
    case TValueKind::Time:
        return TimeText(v.Int);
    case TValueKind::Timestamp: {
        const double ms = v.Float;
        const int64_t day = static_cast<int64_t>(std::floor(ms / 86400000.0));
        const int64_t rest = static_cast<int64_t>(ms - static_cast<double>(day) * 86400000.0);
        return DateText(day) + " " + TimeText(rest);
    }
    }
    return {};
}

// ---- TParam

void TParam::SetAsFloat(double value) {
    Bound = TValue::Number(value);
    Assigned = true;
}
void TParam::SetAsInteger(int32_t value) {
    Bound = TValue::Integer(value);
    Assigned = true;
}
void TParam::SetAsString(const std::string& value) {
    Bound = TValue::String(value);
    Assigned = true;
}
void TParam::Clear() {
    Bound = TValue::Null();
    Assigned = true;
}

// ---- TQuery

TQuery::TQuery(TDatabase* owner) : Owner(owner) {}
TQuery::~TQuery() = default;

void TQuery::SetSQL(const std::string& text) {
    Close();
    Text = text;
    Statement.reset();
    std::vector<std::unique_ptr<TParam>> old;
    old.swap(ParamList);
    std::vector<std::string> names;
    try {
        names = FindParams(text);
    } catch (const EDatabaseError&) {
        // A text that does not even tokenise fails at Open or ExecSQL with
        // the reason; until then it simply has no parameters.
    }
    for (const std::string& n : names) {
        // Values bound before a text change stay, as for a reassigned text.
        std::unique_ptr<TParam> param(new TParam(n));
        for (auto& o : old)
            if (o && SameName(o->ParamName, n)) {
                param->Bound = o->Bound;
                param->Assigned = o->Assigned;
            }
        ParamList.push_back(std::move(param));
    }
}

TParam& TQuery::ParamByName(const std::string& name) {
    for (auto& p : ParamList)
        if (SameName(p->ParamName, name))
            return *p;
    throw EDatabaseError("Параметр \"" + name + "\" не найден в запросе");
}

TDatabase& TQuery::Connection() {
    if (Owner && SameName(Owner->DatabaseName, DatabaseName))
        return *Owner;
    TDatabase* db = TDatabase::Find(DatabaseName);
    if (!db)
        throw EDatabaseError("База данных \"" + DatabaseName + "\" не найдена");
    return *db;
}

TStatement& TQuery::Parsed() {
    if (!Statement)
        Statement = std::make_unique<TStatement>(Parse(Text));
    return *Statement;
}

static TParamValues Values(const std::vector<std::unique_ptr<TParam>>& params) {
    TParamValues values;
    for (const auto& p : params)
        if (p->IsBound())
            values[Upper(p->Name())] = p->Value();
    return values;
}

void TQuery::Open() {
    if (Result)
        return;
    TDatabase& db = Connection();
    TStatement& statement = Parsed();
    if (!statement.Select)
        throw EDatabaseError("Запрос не возвращает набор данных; используйте ExecSQL");
    TCatalog& catalog = db.Tables();
    auto result =
        std::make_unique<TResultSet>(ExecuteSelect(*statement.Select, catalog, Values(ParamList)));
    if (result->Rows.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw EDatabaseError("Слишком много строк в результате запроса");
    FieldList.clear();
    for (size_t i = 0; i < result->Columns.size(); ++i)
        FieldList.push_back(std::unique_ptr<TField>(new TField(this, i, result->Columns[i])));
    Result = std::move(result);
    Current = 0;
}

bool TQuery::Eof() const {
    return !Result || Current >= Result->Rows.size();
}

int32_t TQuery::RecNo() const {
    if (!Result || Result->Rows.empty())
        return 0;
    return static_cast<int32_t>(std::min(Current, Result->Rows.size() - 1) + 1);
}

int32_t TQuery::RecordCount() const {
    return Result ? static_cast<int32_t>(Result->Rows.size()) : 0;
}

TField& TQuery::FieldByName(const std::string& name) {
    if (!Result)
        throw EDatabaseError("Набор данных закрыт: поле \"" + name + "\" недоступно");
    for (auto& f : FieldList)
        if (SameName(f->Name, name))
            return *f;
    throw EDatabaseError("Поле \"" + name + "\" не найдено в результате запроса");
}

void TQuery::Next() {
    if (Result && Current < Result->Rows.size())
        ++Current;
}

void TQuery::Close() {
    Result.reset();
    FieldList.clear();
    Current = 0;
}

void TQuery::ExecSQL() {
    TDatabase& db = Connection();
    TStatement& statement = Parsed();
    TCatalog& catalog = db.Tables();
    if (statement.Update) {
        Affected = ExecuteUpdate(*statement.Update, catalog, Values(ParamList));
    } else {
        Affected = ExecuteSelect(*statement.Select, catalog, Values(ParamList)).Rows.size();
    }
}

} // namespace db
