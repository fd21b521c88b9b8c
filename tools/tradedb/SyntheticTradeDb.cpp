#include "tools/tradedb/TradeDb.h"

#include <algorithm>
#include <numeric>
#include <random>

void MakeSyntheticTradeDatabase(const std::string& dir, int batches, int negativeBatches,
                                int motions, unsigned seed) {
    // A fixed generator, not std::uniform_*_distribution, whose output the
    // standard leaves to each library: the same seed must give the same files
    // everywhere.
    std::mt19937 random(seed);
    auto below = [&](uint32_t n) { return static_cast<int32_t>(random() % n); };

    const int goodsCount = std::max(1, batches / 10);
    std::vector<TGoodsRow> goods;
    goods.reserve(goodsCount);
    for (int i = 0; i < goodsCount; ++i)
        goods.push_back(
            {i + 1, "Товар " + std::to_string(i + 1), "K" + std::to_string(100000 + i)});

    // Negative batches spread through the table, not bunched at its start.
    std::vector<int> order(batches);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    std::vector<bool> negative(batches, false);
    for (int i = 0; i < std::min(negativeBatches, batches); ++i)
        negative[order[i]] = true;

    std::vector<TBatchRow> batchRows;
    batchRows.reserve(batches);
    for (int i = 0; i < batches; ++i) {
        double count = 1 + below(1000);
        double ostatok = negative[i] ? -(1 + below(400)) / 4.0 : below(1000) / 4.0;
        batchRows.push_back({i + 1, 1 + below(goodsCount), count, ostatok});
    }

    std::vector<TMotionRow> motionRows;
    motionRows.reserve(motions);
    for (int i = 0; i < motions; ++i)
        motionRows.push_back({i + 1, 1 + below(std::max(1, batches)), below(3),
                              static_cast<double>(1 + below(100))});

    MakeTradeDatabase(dir, goods, batchRows, motionRows);
}
