#pragma once
// A plain read-only window for a log in Windows-1251, used where no text
// editor of the original kind is installed.
#include <QPlainTextEdit>
#include <string>

class TLogViewer : public QPlainTextEdit {
public:
    explicit TLogViewer(QWidget* parent = nullptr);
    // Reads the file and shows it scrolled to its newest lines. Throws
    // platform::EFOpenError/EOSError with a message naming the file.
    void LoadFile(const std::string& path);
};

// Log bytes (Windows-1251, CR LF line ends) as UTF-8 text with "\n" ends.
std::string LogBytesToText(const std::string& bytes);
