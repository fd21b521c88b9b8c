#pragma once
// A statement with its parameters and, for a select, the result: a snapshot
// of the rows taken when it was opened.
#include "db/DatabaseError.h"
#include "db/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace db {

class TDatabase;
class TQuery;
struct TStatement;
struct TResultSet;

class TField {
public:
    int32_t AsInteger() const;
    std::string AsString() const;
    double AsFloat() const;
    bool IsNull() const;
    const std::string& FieldName() const { return Name; }

private:
    friend class TQuery;
    TField(const TQuery* query, size_t column, std::string name)
        : Query(query), Column(column), Name(std::move(name)) {}
    const TValue& Value() const;
    const TQuery* Query;
    size_t Column;
    std::string Name;
};

class TParam {
public:
    void SetAsFloat(double value);
    void SetAsInteger(int32_t value);
    void SetAsString(const std::string& value);
    void Clear();
    const std::string& Name() const { return ParamName; }
    const TValue& Value() const { return Bound; }
    bool IsBound() const { return Assigned; }

private:
    friend class TQuery;
    explicit TParam(std::string name) : ParamName(std::move(name)) {}
    std::string ParamName;
    TValue Bound;
    bool Assigned = false;
};

class TQuery {
public:
    explicit TQuery(TDatabase* owner = nullptr);
    ~TQuery();
    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    std::string DatabaseName;

    void SetSQL(const std::string& text); // finds the :Name parameters
    const std::string& SQL() const { return Text; }

    void Open();
    bool Active() const { return Result != nullptr; }
    bool Eof() const;
    int32_t RecNo() const;
    int32_t RecordCount() const;
    TField& FieldByName(const std::string& name); // case-insensitive
    void Next();
    void Close();

    TParam& ParamByName(const std::string& name); // case-insensitive
    void ExecSQL();                               // changes are in the files when it returns
    // Rows the last ExecSQL changed.
    size_t RowsAffected() const { return Affected; }

private:
    friend class TField;
    TDatabase& Connection();
    TStatement& Parsed();

    TDatabase* Owner;
    std::string Text;
    std::unique_ptr<TStatement> Statement;
    std::vector<std::unique_ptr<TParam>> ParamList;
    std::unique_ptr<TResultSet> Result;
    std::vector<std::unique_ptr<TField>> FieldList;
    size_t Current = 0;
    size_t Affected = 0;
};

} // namespace db

using db::TField;
using db::TParam;
using db::TQuery;
