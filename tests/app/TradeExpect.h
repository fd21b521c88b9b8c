#pragma once
// What a correction must leave behind, computed from the tables as they
// were: the expected tables, the expected log lines, and the log as read.
#include "platform/CodePage.h"
#include "platform/Format.h"
#include "tools/tradedb/TradeDb.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

struct TTradeData {
    std::vector<TGoodsRow> Goods;
    std::vector<TBatchRow> Batches;
    std::vector<TMotionRow> Motions;
};

inline TTradeData ReadTradeData(const std::string& dir) {
    return {ReadGoods(dir), ReadBatches(dir), ReadMotions(dir)};
}

inline bool HasGoods(const TTradeData& data, int32_t idGoods) {
    for (const TGoodsRow& g : data.Goods)
        if (g.IdGoods == idGoods)
            return true;
    return false;
}

inline bool IsSelected(const TTradeData& data, const TBatchRow& b) {
    return b.Ostatok < 0 && HasGoods(data, b.IdGoods);
}

// The tables after the first `rows` selected batches (in file order) have
// been corrected.
inline void ApplyCorrection(TTradeData& data, size_t rows) {
    std::unordered_multimap<int32_t, TMotionRow*> receipts;
    for (TMotionRow& m : data.Motions)
        if (m.Type == 0)
            receipts.emplace(m.IdP, &m);
    size_t done = 0;
    for (TBatchRow& b : data.Batches) {
        if (done == rows)
            break;
        if (!IsSelected(data, b))
            continue;
        const double add = std::fabs(b.Ostatok);
        auto [first, last] = receipts.equal_range(b.IdP);
        for (auto it = first; it != last; ++it)
            it->second->Count += add;
        b.Count += add;
        b.Ostatok = 0;
        ++done;
    }
}

inline std::string FoundLine(const TTradeData& data, const TBatchRow& b) {
    std::string name, kod;
    for (const TGoodsRow& g : data.Goods)
        if (g.IdGoods == b.IdGoods) {
            name = g.Name;
            kod = g.Kod;
        }
    return platform::Format(
        "Найдена запись: ID_P=%d, ID_Goods=%d, Name=\"%s\" Kod=\"%s\", Ostatok=%.3f",
        {b.IdP, b.IdGoods, name, kod, static_cast<long double>(b.Ostatok)});
}

// The log lines of the first `rows` selected batches, in file order.
inline std::vector<std::string> ExpectedLines(const TTradeData& data, size_t rows) {
    std::vector<std::string> lines;
    for (const TBatchRow& b : data.Batches)
        if (lines.size() < rows && IsSelected(data, b))
            lines.push_back(FoundLine(data, b));
    return lines;
}

inline size_t SelectedCount(const TTradeData& data) {
    size_t n = 0;
    for (const TBatchRow& b : data.Batches)
        n += IsSelected(data, b);
    return n;
}

// The log file's lines as UTF-8, without their CR LF ends.
inline std::vector<std::string> ReadLogLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = platform::CodePageToUtf8(bytes.str(), 1251);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return lines;
}

// The text of a line after its time stamp and level tag.
inline std::string AfterTag(const std::string& line, const std::string& tag) {
    size_t at = line.find(" " + tag + " ");
    return at == std::string::npos ? std::string() : line.substr(at + tag.size() + 2);
}
