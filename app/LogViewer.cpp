#include "app/LogViewer.h"

#include "platform/CodePage.h"
#include "platform/Files.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QScrollBar>

TLogViewer::TLogViewer(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    resize(900, 520);
}

std::string LogBytesToText(const std::string& bytes) {
    std::string text = platform::CodePageToUtf8(bytes, 1251);
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        result += text[i];
    }
    return result;
}

void TLogViewer::LoadFile(const std::string& path) {
    // Shared for writing: the program keeps appending while the log is shown.
    platform::TFile file(path, platform::TAccess::Read, platform::TShare::DenyNone,
                         platform::TDisposition::OpenExisting);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        size_t got = file.Read(buffer, sizeof buffer);
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    setWindowTitle(QFileInfo(QString::fromStdString(path)).fileName());
    setPlainText(QString::fromStdString(LogBytesToText(bytes)));
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    moveCursor(QTextCursor::End);
}
