#pragma once
// The main window: where the user picks the trade database, starts the
// correction and opens the log of corrections.
#include <QWidget>

class QLabel;
class QPushButton;
class QPlainTextEdit;
class TDirectoryEdit;

class TForm1 : public QWidget {
public:
    explicit TForm1(QWidget* parent = nullptr);

    TDirectoryEdit* DirectoryEdit1;
    QLabel* Label1;
    QPushButton* Button1;
    QPlainTextEdit* Memo1;
    QPushButton* Button2;

    // The correction run on the directory typed in DirectoryEdit1.
    void Button1Click(QObject* sender);
    // Opens the log in the text editor.
    void Button2Click(QObject* sender);
};

// Starts the text editor on the program's log; the outcome is not examined.
void OpenAppLog();
