#include "app/CorrectionRun.h"

#include "db/Database.h"
#include "db/Query.h"
#include "log/NMQLogger.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/WinExec.h"
#include "progress/ProgressViewer.h"

#include <cmath>

namespace {

const char* const NoDatabaseText = "Необходимо указать каталог, где хранится база данных товаров!";
const char* const NothingToCorrectText =
    "Отрицательные остатки не обнаружены! База данных в исправлении не нуждается!";
const char* const ViewerCaption = "Выполняется коррекция базы данных";
const char* const FoundLineFormat =
    "Найдена запись: ID_P=%d, ID_Goods=%d, Name=\"%s\" Kod=\"%s\", Ostatok=%.3f";

const char* const BatchSelectSql = "SELECT b.*, g.\"Name\", g.Kod FROM Batches b, Goods g WHERE "
                                   "(b.Ostatok < 0) and (b.id_goods=g.id_goods)";
const char* const MotionUpdateSql = "UPDATE GoodsMotion gm SET gm.\"Count\" = gm.\"Count\" + "
                                    ":AddCount WHERE gm.ID_P=:ID_P AND gm.\"Type\"=0";
const char* const BatchUpdateSql =
    "UPDATE Batches b SET b.\"Count\" = b.\"Count\" + :AddCount, b.Ostatok=0 WHERE b.ID_P=:ID_P";

void ExecuteAddition(TQuery& update, double addCount, int32_t idP) {
    update.ParamByName("AddCount").SetAsFloat(addCount);
    update.ParamByName("ID_P").SetAsInteger(idP);
    update.ExecSQL();
}

// The viewer owns itself: once told to end, its own thread closes the window
// and frees it, so the run must never touch it afterwards.
using progress::TProgressViewer;

class TViewerTermination {
public:
    explicit TViewerTermination(TProgressViewer* viewer) : Viewer(viewer) {}
    ~TViewerTermination() { Viewer->Terminate(); }
    TViewerTermination(const TViewerTermination&) = delete;
    TViewerTermination& operator=(const TViewerTermination&) = delete;

private:
    TProgressViewer* Viewer;
};

} // namespace

std::string DatabaseDirFrom(const std::string& directoryText) {
    if (!directoryText.empty() && directoryText.back() == '/')
        return directoryText;
    return directoryText + "/";
}

std::string NotepadCommandLine(const std::string& logPath) {
    // Quotes keep a path with blanks in one piece; escaping keeps one that
    // holds a quote (possible here, never on the original platform) intact.
    return "notepad.exe \"" + platform::EscapeInsideQuotes(logPath) + "\"";
}

void CorrectNegativeRemainders(const std::string& directoryText, TNMQLogger& log,
                               const std::function<void()>& completed) {
    const std::string databaseDir = DatabaseDirFrom(directoryText);
    if (!platform::FileExists(databaseDir + "Documents.db"))
        throw platform::Exception(NoDatabaseText);

    TDatabase tradeDatabase; // frees the statements and the tables on every path
    TQuery& batchQuery = tradeDatabase.CreateQuery();
    TQuery& motionUpdate = tradeDatabase.CreateQuery();
    TQuery& batchUpdate = tradeDatabase.CreateQuery();
    tradeDatabase.DriverName = "STANDARD";
    tradeDatabase.Params = {"PATH=" + databaseDir};
    tradeDatabase.DatabaseName = "Tovira";
    batchQuery.DatabaseName = "Tovira";
    motionUpdate.DatabaseName = "Tovira";
    batchUpdate.DatabaseName = "Tovira";
    motionUpdate.SetSQL(MotionUpdateSql);
    batchUpdate.SetSQL(BatchUpdateSql);
    batchQuery.SetSQL(BatchSelectSql);

    batchQuery.Open();
    if (batchQuery.Eof())
        throw platform::Exception(NothingToCorrectText);

    auto* viewer = new TProgressViewer(ViewerCaption, true, false);
    {
        TViewerTermination termination(viewer);
        while (!batchQuery.Eof()) {
            const long double share = static_cast<long double>(batchQuery.RecNo()) /
                                      static_cast<long double>(batchQuery.RecordCount()) * 100.0L;
            viewer->Position = static_cast<double>(share);

            const int32_t idP = batchQuery.FieldByName("ID_P").AsInteger();
            const double remainder = batchQuery.FieldByName("Ostatok").AsFloat();
            log.WriteFmt(FoundLineFormat,
                         {idP, batchQuery.FieldByName("ID_Goods").AsInteger(),
                          batchQuery.FieldByName("Name").AsString(),
                          batchQuery.FieldByName("Kod").AsString(),
                          static_cast<long double>(remainder)},
                         lvInfo);

            const double addCount = std::fabs(remainder);
            ExecuteAddition(motionUpdate, addCount, idP);
            try {
                ExecuteAddition(batchUpdate, addCount, idP);
            } catch (...) {
                // The batch still shows its negative remainder, so the next
                // run would add the quantity to its movements a second time:
                // take this row's movement change back before reporting.
                try {
                    ExecuteAddition(motionUpdate, -addCount, idP);
                } catch (...) {
                    // The original failure is the one the user must see.
                }
                throw;
            }
            batchQuery.Next();
        }
    }
    batchQuery.Close();
    if (completed)
        completed();
}
