#include "db/Executor.h"
#include "db/Names.h"

#include "db/DatabaseError.h"
#include "db/Evaluator.h"

#include <algorithm>
#include <span>
#include <unordered_map>

namespace db {

namespace {

struct TSlot {
    TTableEntry* Entry;
    std::string Name;
    std::string Alias;
};

bool Matches(const TSlot& slot, const std::string& qualifier) {
    return SameName(qualifier, slot.Alias) || SameName(qualifier, slot.Name);
}

std::string TableList(const std::vector<TSlot>& slots) {
    std::string list;
    for (const TSlot& s : slots)
        list += (list.empty() ? "\"" : ", \"") + s.Name + "\"";
    return list;
}

int FindSlot(const std::vector<TSlot>& slots, const std::string& qualifier) {
    for (size_t i = 0; i < slots.size(); ++i)
        if (Matches(slots[i], qualifier))
            return static_cast<int>(i);
    throw EDatabaseError("Таблица или псевдоним \"" + qualifier + "\" не указаны во FROM");
}

// Resolves every column reference; returns the set of slots it uses as bits.
uint64_t Bind(TExpr* e, const std::vector<TSlot>& slots) {
    if (!e)
        return 0;
    if (e->Kind == TExprKind::Column) {
        if (!e->Qualifier.empty()) {
            int slot = FindSlot(slots, e->Qualifier);
            int field = slots[slot].Entry->File->FieldIndex(e->Name);
            if (field < 0)
                throw EDatabaseError("Столбец \"" + e->Name + "\" не найден в таблице \"" +
                                     slots[slot].Name + "\"");
            e->Slot = slot;
            e->Field = field;
        } else {
            e->Slot = -1;
            for (size_t i = 0; i < slots.size(); ++i) {
                int field = slots[i].Entry->File->FieldIndex(e->Name);
                if (field < 0)
                    continue;
                if (e->Slot >= 0)
                    throw EDatabaseError("Неоднозначное имя столбца \"" + e->Name +
                                         "\": он есть в таблицах \"" + slots[e->Slot].Name +
                                         "\" и \"" + slots[i].Name + "\"");
                e->Slot = static_cast<int>(i);
                e->Field = field;
            }
            if (e->Slot < 0)
                throw EDatabaseError("Столбец \"" + e->Name + "\" не найден в таблицах " +
                                     TableList(slots));
        }
        return uint64_t{1} << e->Slot;
    }
    return Bind(e->Left.get(), slots) | Bind(e->Right.get(), slots);
}

void Conjuncts(TExpr* e, std::vector<TExpr*>& out) {
    if (!e)
        return;
    if (e->Kind == TExprKind::Binary && e->Op == TBinaryOp::And) {
        Conjuncts(e->Left.get(), out);
        Conjuncts(e->Right.get(), out);
    } else {
        out.push_back(e);
    }
}

struct TRowContext : IColumnSource {
    const std::vector<TSlot>* Slots;
    const uint32_t* Rows; // one row per slot joined so far
    TValue Column(int slot, int field) const override {
        return (*Slots)[slot].Entry->File->Value(Rows[slot], field);
    }
};

std::vector<TSlot> OpenTables(const std::vector<TTableRef>& refs, TCatalog& catalog) {
    std::vector<TSlot> slots;
    if (refs.size() > 16)
        throw EDatabaseError("Слишком много таблиц в запросе");
    for (const TTableRef& ref : refs)
        slots.push_back({&catalog.Table(ref.Name), ref.Name, ref.Alias});
    return slots;
}

} // namespace

TResultSet ExecuteSelect(TSelect& select, TCatalog& catalog, const TParamValues& params) {
    std::vector<TSlot> slots = OpenTables(select.From, catalog);
    const size_t width = slots.size();

    struct TConjunct {
        TExpr* Expr;
        uint64_t Slots;
        bool Done = false;
    };
    std::vector<TExpr*> parts;
    Conjuncts(select.Where.get(), parts);
    std::vector<TConjunct> conjuncts;
    for (TExpr* p : parts)
        conjuncts.push_back({p, Bind(p, slots)});
    for (TSelectItem& item : select.Items) {
        if (item.Star && !item.Qualifier.empty())
            FindSlot(slots, item.Qualifier);
        Bind(item.Expr.get(), slots);
    }

    TEvaluator eval(params);
    TRowContext ctx;
    ctx.Slots = &slots;
    std::vector<uint32_t> scratch(width, 0);
    ctx.Rows = scratch.data();

    // Conditions without columns decide for the whole result at once.
    for (TConjunct& c : conjuncts)
        if (c.Slots == 0) {
            c.Done = true;
            if (!eval.IsTrue(*c.Expr, ctx))
                return {};
        }

    // Each table's own conditions first, so joins see only the rows that pass.
    std::vector<std::vector<uint32_t>> candidates(width);
    for (size_t s = 0; s < width; ++s) {
        const TTableFile& file = *slots[s].Entry->File;
        for (size_t row = 0; row < file.RecordCount(); ++row) {
            scratch[s] = static_cast<uint32_t>(row);
            bool pass = true;
            for (const TConjunct& c : conjuncts)
                if (c.Slots == (uint64_t{1} << s) && !eval.IsTrue(*c.Expr, ctx)) {
                    pass = false;
                    break;
                }
            if (pass)
                candidates[s].push_back(static_cast<uint32_t>(row));
        }
    }
    for (TConjunct& c : conjuncts)
        if (c.Slots != 0 && (c.Slots & (c.Slots - 1)) == 0)
            c.Done = true;

    // Left-deep joins in FROM order; tuples hold one row per joined slot.
    std::vector<uint32_t> tuples;
    for (uint32_t row : candidates[0])
        tuples.push_back(row);
    uint64_t joined = 1;
    std::string key;
    for (size_t s = 1; s < width; ++s) {
        const uint64_t bit = uint64_t{1} << s;
        TExpr* probeSide = nullptr;
        TExpr* buildSide = nullptr;
        for (TConjunct& c : conjuncts) {
            if (c.Done || c.Expr->Kind != TExprKind::Binary || c.Expr->Op != TBinaryOp::Eq)
                continue;
            uint64_t left = Bind(c.Expr->Left.get(), slots);
            uint64_t right = Bind(c.Expr->Right.get(), slots);
            if (left == bit && right != 0 && (right & ~joined) == 0) {
                buildSide = c.Expr->Left.get();
                probeSide = c.Expr->Right.get();
            } else if (right == bit && left != 0 && (left & ~joined) == 0) {
                buildSide = c.Expr->Right.get();
                probeSide = c.Expr->Left.get();
            } else {
                continue;
            }
            c.Done = true;
            break;
        }
        std::vector<uint32_t> next;
        if (buildSide) {
            std::unordered_map<std::string, std::vector<uint32_t>> table;
            for (uint32_t row : candidates[s]) {
                scratch[s] = row;
                if (HashKey(eval.Evaluate(*buildSide, ctx), key))
                    table[key].push_back(row);
            }
            for (size_t t = 0; t < tuples.size(); t += s) {
                std::copy(tuples.begin() + t, tuples.begin() + t + s, scratch.begin());
                if (!HashKey(eval.Evaluate(*probeSide, ctx), key))
                    continue;
                auto it = table.find(key);
                if (it == table.end())
                    continue;
                for (uint32_t row : it->second) {
                    next.insert(next.end(), tuples.begin() + t, tuples.begin() + t + s);
                    next.push_back(row);
                }
            }
        } else {
            for (size_t t = 0; t < tuples.size(); t += s)
                for (uint32_t row : candidates[s]) {
                    next.insert(next.end(), tuples.begin() + t, tuples.begin() + t + s);
                    next.push_back(row);
                }
        }
        tuples.swap(next);
        joined |= bit;
        // Conditions whose tables are all joined now.
        std::vector<TConjunct*> ready;
        for (TConjunct& c : conjuncts)
            if (!c.Done && (c.Slots & ~joined) == 0) {
                c.Done = true;
                ready.push_back(&c);
            }
        if (!ready.empty()) {
            std::vector<uint32_t> kept;
            const size_t w = s + 1;
            for (size_t t = 0; t < tuples.size(); t += w) {
                std::copy(tuples.begin() + t, tuples.begin() + t + w, scratch.begin());
                if (std::all_of(ready.begin(), ready.end(),
                                [&](TConjunct* c) { return eval.IsTrue(*c->Expr, ctx); }))
                    kept.insert(kept.end(), tuples.begin() + t, tuples.begin() + t + w);
            }
            tuples.swap(kept);
        }
    }

    // The snapshot: values copied now, so later updates cannot change it.
    TResultSet result;
    struct TOut {
        TExpr* Expr;
        int Slot;
        int Field;
    };
    std::vector<TOut> outs;
    auto addColumn = [&](const std::string& name) {
        std::string unique = name;
        for (int n = 1;; ++n) {
            bool taken = std::any_of(result.Columns.begin(), result.Columns.end(),
                                     [&](const std::string& c) { return SameName(c, unique); });
            if (!taken)
                break;
            unique = name + "_" + std::to_string(n);
        }
        result.Columns.push_back(unique);
    };
    for (TSelectItem& item : select.Items) {
        if (item.Star) {
            for (size_t s = 0; s < width; ++s) {
                if (!item.Qualifier.empty() && !Matches(slots[s], item.Qualifier))
                    continue;
                const auto& fields = slots[s].Entry->File->Fields();
                for (size_t f = 0; f < fields.size(); ++f) {
                    outs.push_back({nullptr, static_cast<int>(s), static_cast<int>(f)});
                    addColumn(fields[f].Name);
                }
            }
        } else if (item.Expr->Kind == TExprKind::Column) {
            outs.push_back({nullptr, item.Expr->Slot, item.Expr->Field});
            addColumn(item.As.empty()
                          ? slots[item.Expr->Slot].Entry->File->Fields()[item.Expr->Field].Name
                          : item.As);
        } else {
            outs.push_back({item.Expr.get(), -1, -1});
            addColumn(item.As.empty() ? "EXPR" : item.As);
        }
    }
    const size_t rows = width == 0 ? 0 : tuples.size() / width;
    result.Rows.reserve(rows);
    for (size_t t = 0; t < rows; ++t) {
        std::copy(tuples.begin() + t * width, tuples.begin() + (t + 1) * width, scratch.begin());
        std::vector<TValue> values;
        values.reserve(outs.size());
        for (const TOut& o : outs)
            values.push_back(o.Expr ? eval.Evaluate(*o.Expr, ctx)
                                    : slots[o.Slot].Entry->File->Value(scratch[o.Slot], o.Field));
        result.Rows.push_back(std::move(values));
    }
    return result;
}

size_t ExecuteUpdate(TUpdate& update, TCatalog& catalog, const TParamValues& params) {
    std::vector<TSlot> slots = OpenTables({update.Table}, catalog);
    TTableEntry& entry = *slots[0].Entry;
    TTableFile& file = *entry.File;

    // Everything that could refuse the statement is checked before any row changes.
    std::vector<int> targets;
    for (TAssignment& a : update.Set) {
        if (!a.Qualifier.empty() && !Matches(slots[0], a.Qualifier))
            throw EDatabaseError("Таблица или псевдоним \"" + a.Qualifier +
                                 "\" не совпадает с изменяемой таблицей \"" + slots[0].Name + "\"");
        int field = file.FieldIndex(a.Column);
        if (field < 0)
            throw EDatabaseError("Столбец \"" + a.Column + "\" не найден в таблице \"" +
                                 slots[0].Name + "\"");
        const TFieldInfo& info = file.Fields()[field];
        if (!IsWritableFieldType(info.Type))
            throw EDatabaseError("Столбец \"" + info.Name + "\" таблицы \"" + slots[0].Name +
                                 "\" имеет тип " + FieldTypeName(info.Type) +
                                 ", изменение такого поля не поддерживается");
        if (!info.IndexedAs.empty())
            throw EDatabaseError("Столбец \"" + info.Name + "\" таблицы \"" + slots[0].Name +
                                 "\" входит в " + info.IndexedAs +
                                 "; изменение индексированных полей не поддерживается");
        if (std::find(targets.begin(), targets.end(), field) != targets.end())
            throw EDatabaseError("Столбец \"" + info.Name + "\" указан в SET дважды");
        targets.push_back(field);
        Bind(a.Value.get(), slots);
    }
    if (!file.WriteProblem().empty())
        throw EDatabaseError("Таблица \"" + slots[0].Name +
                             "\" не может быть изменена: " + file.WriteProblem());
    std::vector<TExpr*> parts;
    Conjuncts(update.Where.get(), parts);
    for (TExpr* p : parts)
        Bind(p, slots);

    TEvaluator eval(params);
    TRowContext ctx;
    ctx.Slots = &slots;
    uint32_t current = 0;
    ctx.Rows = &current;

    // A column fixed by "=" to a value that needs no row finds its rows by hash.
    std::span<const uint32_t> lookup;
    bool useLookup = false;
    for (TExpr* p : parts) {
        if (p->Kind != TExprKind::Binary || p->Op != TBinaryOp::Eq)
            continue;
        TExpr* column = p->Left.get();
        TExpr* value = p->Right.get();
        if (column->Kind != TExprKind::Column)
            std::swap(column, value);
        if (column->Kind != TExprKind::Column || Bind(value, slots) != 0)
            continue;
        TValue v = eval.Evaluate(*value, ctx);
        const TFieldType type = file.Fields()[column->Field].Type;
        const bool textField = type == TFieldType::Alpha;
        const bool numericField = type == TFieldType::Short || type == TFieldType::Long ||
                                  type == TFieldType::AutoInc || type == TFieldType::Number ||
                                  type == TFieldType::Currency || type == TFieldType::Bcd;
        if (v.IsNull()) {
            useLookup = true;
            break;
        }
        if ((numericField && v.IsNumeric()) || (textField && v.Kind == TValueKind::Text)) {
            lookup = entry.Index(column->Field).Find(v);
            useLookup = true;
            break;
        }
    }
    std::vector<uint32_t> rows;
    if (useLookup) {
        rows.assign(lookup.begin(), lookup.end());
    } else {
        rows.resize(file.RecordCount());
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<uint32_t>(i);
    }

    std::vector<TFieldWrite> writes;
    size_t changed = 0;
    std::vector<TValue> values(targets.size());
    for (uint32_t row : rows) {
        current = row;
        if (!std::all_of(parts.begin(), parts.end(),
                         [&](TExpr* p) { return eval.IsTrue(*p, ctx); }))
            continue;
        // All new values come from the row as it was.
        for (size_t i = 0; i < targets.size(); ++i)
            values[i] = eval.Evaluate(*update.Set[i].Value, ctx);
        for (size_t i = 0; i < targets.size(); ++i) {
            const TFieldInfo& info = file.Fields()[targets[i]];
            std::string reason;
            auto bytes = EncodeField(info.Type, info.SizeByte, info.Length, values[i], reason);
            if (!bytes)
                throw EDatabaseError("Значение не может быть записано в столбец \"" + info.Name +
                                     "\" таблицы \"" + slots[0].Name + "\": " + reason +
                                     "; ничего не изменено");
            writes.push_back({row, targets[i], std::move(*bytes)});
        }
        ++changed;
    }
    // An index on a field that changes is dropped and rebuilt when next
    // needed; so is every index when a write fails part way.
    try {
        file.Write(writes);
    } catch (...) {
        entry.Indexes.clear();
        throw;
    }
    if (changed > 0)
        for (int field : targets)
            entry.Indexes.erase(field);
    return changed;
}

} // namespace db
