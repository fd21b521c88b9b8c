// Times a whole correction run as the program does it, with its log lines
// and its progress window (without the boxes and the text editor), against
// the bare database work of the same run on a copy of the same data. The
// difference is what logging and showing progress cost.
#include "app/CorrectionRun.h"
#include "db/Database.h"
#include "db/Query.h"
#include "log/NMQLogger.h"
#include "platform/Thread.h"
#include "progress/ProgressViewer.h"
#include "tools/tradedb/TradeDb.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The run's statements and walk, nothing else.
int PlainDatabaseRun(const std::string& dir) {
    TDatabase database;
    TQuery& select = database.CreateQuery();
    TQuery& motion = database.CreateQuery();
    TQuery& batch = database.CreateQuery();
    database.DriverName = "STANDARD";
    database.Params = {"PATH=" + dir + "/"};
    database.DatabaseName = "Tovira";
    for (TQuery* q : {&select, &motion, &batch})
        q->DatabaseName = "Tovira";
    motion.SetSQL("UPDATE GoodsMotion gm SET gm.\"Count\" = gm.\"Count\" + :AddCount WHERE "
                  "gm.ID_P=:ID_P AND gm.\"Type\"=0");
    batch.SetSQL("UPDATE Batches b SET b.\"Count\" = b.\"Count\" + :AddCount, b.Ostatok=0 WHERE "
                 "b.ID_P=:ID_P");
    select.SetSQL("SELECT b.*, g.\"Name\", g.Kod FROM Batches b, Goods g WHERE (b.Ostatok < 0) "
                  "and (b.id_goods=g.id_goods)");
    int rows = 0;
    select.Open();
    while (!select.Eof()) {
        const int32_t idP = select.FieldByName("ID_P").AsInteger();
        const double addCount = std::fabs(select.FieldByName("Ostatok").AsFloat());
        select.FieldByName("ID_Goods").AsInteger();
        select.FieldByName("Name").AsString();
        select.FieldByName("Kod").AsString();
        for (TQuery* update : {&motion, &batch}) {
            update->ParamByName("AddCount").SetAsFloat(addCount);
            update->ParamByName("ID_P").SetAsInteger(idP);
            update->ExecSQL();
        }
        select.Next();
        ++rows;
    }
    select.Close();
    return rows;
}

int LoggedLines(const fs::path& log) {
    std::FILE* f = std::fopen(log.c_str(), "rb");
    if (!f)
        return 0;
    int lines = 0;
    for (int c; (c = std::fgetc(f)) != EOF;)
        lines += c == '\n';
    std::fclose(f);
    return lines;
}

} // namespace

int main(int argc, char** argv) {
    // The data of the database layer's own benchmark; an optional argument
    // scales it (1 = 100,000 batches, 10,000 negative, 1,000,000 movements).
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int batches = static_cast<int>(100000 * scale);
    const int negative = static_cast<int>(10000 * scale);
    const int motions = static_cast<int>(1000000 * scale);
    const int rounds = 2;
    std::random_device rd;
    const fs::path root = fs::temp_directory_path() / ("bench_app_" + std::to_string(rd()));
    fs::create_directories(root);
    // The viewer draws its text with Qt, which wants an application object;
    // nothing here needs Qt's own windows.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    NMQLoggerStartup();
    ProgressViewerStartup();
    int result = 0;
    try {
        const fs::path source = root / "source";
        MakeSyntheticTradeDatabase(source.string(), batches, negative, motions, 7);

        double plainBest = 1e300, wholeBest = 1e300;
        int rows = 0, logged = 0;
        // Alternating rounds on fresh copies, so that neither side alone
        // profits from a warm cache; the best of each is reported.
        for (int round = 0; round < rounds; ++round) {
            const fs::path plainDir = root / ("plain" + std::to_string(round));
            const fs::path wholeDir = root / ("whole" + std::to_string(round));
            fs::copy(source, plainDir);
            fs::copy(source, wholeDir);

            auto start = std::chrono::steady_clock::now();
            rows = PlainDatabaseRun(plainDir.string());
            plainBest = std::min(plainBest, Seconds(start));

            const fs::path logPath = root / ("ViridazIZ" + std::to_string(round) + ".log");
            {
                TNMQLogger log(logPath.string());
                start = std::chrono::steady_clock::now();
                CorrectNegativeRemainders(wholeDir.string(), log, {});
                wholeBest = std::min(wholeBest, Seconds(start));
            }
            logged = LoggedLines(logPath);
            fs::remove_all(plainDir);
            fs::remove_all(wholeDir);
        }

        std::printf("correction run, %d batches (%d negative), %d movements, %d rows corrected, "
                    "best of %d\n",
                    batches, negative, motions, rows, rounds);
        std::printf("  whole run (log + progress window): %8.3f s, %7.1f us per corrected batch\n",
                    wholeBest, wholeBest / rows * 1e6);
        std::printf("  baseline, database work only:      %8.3f s, %7.1f us per corrected batch\n",
                    plainBest, plainBest / rows * 1e6);
        std::printf("  ratio whole/baseline: %.3f (log and progress add %.1f us per batch)\n",
                    wholeBest / plainBest, (wholeBest - plainBest) / rows * 1e6);
        std::printf("  log lines in the last run's log (after trimming): %d\n", logged);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_app: %s\n", e.what());
        result = 1;
    }
    // Viewers still closing draw with Qt: wait for them while it is here.
    platform::TThread::WaitForAllThreads(5000);
    ProgressViewerShutdown();
    NMQLoggerShutdown();
    fs::remove_all(root);
    return result;
}
