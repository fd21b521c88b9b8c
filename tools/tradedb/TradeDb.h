#pragma once
// Trade databases made and read by the independent Paradox library, for
// tests and demos only: our own reader is checked against it, and the
// program's tests get real table files to work on.
#include <cstdint>
#include <string>
#include <vector>

struct TGoodsRow {
    int32_t IdGoods;
    std::string Name; // UTF-8
    std::string Kod;  // UTF-8
};
struct TBatchRow {
    int32_t IdP;
    int32_t IdGoods;
    double Count;
    double Ostatok;
};
struct TMotionRow {
    int32_t Id;
    int32_t IdP;
    int32_t Type;
    double Count;
};
struct TTradeDbOptions {
    int CodePage = 1251;       // of the Alpha fields
    bool CountAsShort = false; // Batches.Count and GoodsMotion.Count as Short columns
    bool WithDocuments = true; // write Documents.db
    bool WithGoods = true;     // write Goods.db
};

// Writes Batches.db (ID_P Long, ID_Goods Long, Count Number, Ostatok Number),
// Goods.db (id_goods Long, Name Alpha, Kod Alpha), GoodsMotion.db (ID Long,
// ID_P Long, Type Short, Count Number) and Documents.db (a small table) into
// dir (created if missing). Throws std::runtime_error on failure.
void MakeTradeDatabase(const std::string& dir, const std::vector<TGoodsRow>& goods,
                       const std::vector<TBatchRow>& batches,
                       const std::vector<TMotionRow>& motions, const TTradeDbOptions& options = {});

// Read back through the independent library, in file order.
std::vector<TBatchRow> ReadBatches(const std::string& dir);
std::vector<TMotionRow> ReadMotions(const std::string& dir);
std::vector<TGoodsRow> ReadGoods(const std::string& dir);

// A deterministic trade database of the given size for benchmarks: every
// batch has goods, negativeBatches of them a negative Ostatok spread through
// the table, and motions spread over the batches with about a third of
// Type 0. The same seed gives the same files.
void MakeSyntheticTradeDatabase(const std::string& dir, int batches, int negativeBatches,
                                int motions, unsigned seed = 1);
