// make-demo-db DIR: writes a small trade database for trying the program:
// a few batches below zero (one without goods, which the program leaves
// alone), Cyrillic goods names, and movements of several types.
#include "tools/tradedb/TradeDb.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    try {
        std::filesystem::create_directories(dir);
        const std::vector<TGoodsRow> goods = {
            {1, "Молоко \"Весёлый молочник\" 3,2%", "4607001"},
            {2, "Хлеб Бородинский", "4607002"},
            {3, "Сахар-песок, 1 кг", "4607003"},
            {4, "Чай чёрный байховый", "4607004"},
            {5, "Масло подсолнечное", "4607005"},
            {6, "Гречка ядрица", "4607006"},
        };
        const std::vector<TBatchRow> batches = {
            {101, 1, 40, 12},     {102, 1, 25, -3},  {103, 2, 60, 0}, {104, 2, 30, -2.5},
            {105, 3, 100, 18.75}, {106, 4, 12, -1},  {107, 5, 48, 7}, {108, 6, 20, -0.125},
            {109, 3, 10, 4},      {110, 99, 15, -6}, // goods 99 does not exist
        };
        // Types: 0 receipt, 1 sale, 2 write-off, 3 return.
        const std::vector<TMotionRow> motions = {
            {1, 101, 0, 40},      {2, 101, 1, 28},    {3, 102, 0, 25},   {4, 102, 1, 20},
            {5, 102, 1, 8},       {6, 103, 0, 60},    {7, 103, 1, 60},   {8, 104, 0, 20},
            {9, 104, 0, 10},      {10, 104, 1, 32.5}, {11, 105, 0, 100}, {12, 105, 2, 81.25},
            {13, 106, 1, 13}, // 106: no receipt at all
            {14, 107, 0, 48},     {15, 107, 3, 2},    {16, 107, 1, 43},  {17, 108, 0, 20},
            {18, 108, 1, 20.125}, {19, 109, 0, 10},   {20, 109, 1, 6},   {21, 110, 0, 15},
            {22, 110, 1, 21},
        };
        MakeTradeDatabase(dir, goods, batches, motions);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-demo-db: %s\n", error.what());
        return 1;
    }
    std::printf("%s\n", dir.c_str());
    return 0;
}
