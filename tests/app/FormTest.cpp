// The main window as the user meets it, the message boxes and the default
// exception handler.
#include "app/Dialogs.h"
#include "app/DirectoryEdit.h"
#include "app/Form1.h"
#include "app/LogViewer.h"
#include "app/MainFrm.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/System.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct TSeenBox {
    bool Seen = false;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Title;
    QString Text;
    int Buttons = 0;
};

// Watches for the next modal box, records it and presses its OK.
void CloseNextBox(TSeenBox& seen) {
    QTimer::singleShot(50, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            CloseNextBox(seen);
            return;
        }
        seen.Seen = true;
        seen.Icon = box->icon();
        seen.Title = box->windowTitle();
        seen.Text = box->text();
        seen.Buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
}

} // namespace

TEST(MainWindow, ControlsStandWhereTheFormPutsThem) {
    TForm1 form;
    EXPECT_EQ(form.windowTitle(), "Устранение отрицательных остатков");
    EXPECT_EQ(form.size(), QSize(415, 196));
    struct Case {
        const char* name;
        QWidget* control;
        QRect geometry;
    };
    const Case cases[] = {
        {"Label1", form.Label1, {8, 9, 260, 13}},
        {"DirectoryEdit1", form.DirectoryEdit1, {11, 26, 382, 21}},
        {"Button1", form.Button1, {19, 167, 180, 25}},
        {"Memo1", form.Memo1, {8, 55, 387, 106}},
        {"Button2", form.Button2, {240, 167, 153, 25}},
    };
    for (const Case& c : cases) {
        QRect geometry = c.control->geometry();
        if (c.control == form.Label1) {
            // The label sizes itself to its text, never below the form's width.
            EXPECT_GE(geometry.width(), std::max(260, form.Label1->sizeHint().width()));
            geometry.setWidth(260);
        }
        EXPECT_EQ(geometry, c.geometry) << c.name;
        EXPECT_EQ(c.control->font().pixelSize(), 11) << c.name;
        EXPECT_EQ(c.control->font().bold(), c.control == form.Button1) << c.name;
    }
    EXPECT_EQ(form.Label1->text(), "Выберите каталог базы данных товарного отдела");
    EXPECT_EQ(form.Button1->text(), "Исправить базу данных");
    EXPECT_EQ(form.Button2->text(), "Показать лог исправлений");
    EXPECT_EQ(form.DirectoryEdit1->Text(), "C:\\VORN\\DB\\TradeDB");
}

TEST(MainWindow, MemoHoldsTheSevenLinesWithTheirTrailingBlanks) {
    TForm1 form;
    const QStringList expected = {
        "Данная программа прибавляет к партиям, у которых имеется ",
        "отрицательный остаток, дополнительное количество товара.",
        "После исправления базы данных необходимо ",
        "сделать пересчет остатков. После этого следует списать из базы ",
        "данных лишний товар, т.к. исправление базы приведет к недостаче ",
        "товара на складе. Информация об исправленных записях находится ",
        "в логе исправлений.",
    };
    EXPECT_EQ(form.Memo1->toPlainText().split('\n'), expected);
    EXPECT_EQ(form.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(form.Memo1->isReadOnly());
    EXPECT_NE(form.Memo1->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
}

TEST(MainWindow, FocusStartsOnTheDirectoryAndTabWalksTheButtonsInOrder) {
    TForm1 form;
    form.show();
    QApplication::setActiveWindow(&form);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form.DirectoryEdit1->Edit());

    std::vector<QWidget*> chain;
    QWidget* w = form.DirectoryEdit1->Edit();
    for (int i = 0; i < 4; ++i) {
        chain.push_back(w);
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() & Qt::TabFocus ? !w->isVisible() : true);
    }
    EXPECT_EQ(chain, (std::vector<QWidget*>{form.DirectoryEdit1->Edit(), form.Button1, form.Memo1,
                                            form.Button2}));
    EXPECT_EQ(form.DirectoryEdit1->Button()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(form.Label1->focusPolicy(), Qt::NoFocus);
}

TEST(MainWindow, EnterPressesTheFocusedButtonOnly) {
    // The run reaches for the application log as the program sets it up.
    const std::string logPath =
        platform::GetTempDirectory() + "form-test-" + std::to_string(getpid()) + ".log";
    AppLog = std::make_unique<TNMQLogger>(logPath);
    TForm1 form;
    form.show();
    QApplication::setActiveWindow(&form);
    form.DirectoryEdit1->SetText("");
    for (QWidget* target : {static_cast<QWidget*>(form.DirectoryEdit1->Edit()),
                            static_cast<QWidget*>(form.Button1)}) {
        target->setFocus();
        QApplication::processEvents();
        TSeenBox seen;
        if (target == form.Button1)
            CloseNextBox(seen);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        // Enter in the directory field starts nothing: the form has no
        // default button. On the focused button it runs the correction.
        EXPECT_EQ(seen.Seen, target == form.Button1);
        if (seen.Seen) {
            EXPECT_EQ(seen.Text, "Необходимо указать каталог, где хранится база данных товаров!");
        }
    }
    AppLog.reset();
    std::remove(logPath.c_str());
}

TEST(DefaultExceptionHandler, ShowsTheMessageInAStopBoxAndGoesOn) {
    struct Case {
        const char* what;
        std::function<void()> action;
        QString text;
    };
    const Case cases[] = {
        {"our exception", [] { throw platform::Exception("Ошибка: таблица занята"); },
         "Ошибка: таблица занята"},
        {"standard exception", [] { throw std::runtime_error("bad"); }, "bad"},
    };
    for (const Case& c : cases) {
        TSeenBox seen;
        CloseNextBox(seen);
        CallGuarded(c.action);
        EXPECT_TRUE(seen.Seen) << c.what;
        EXPECT_EQ(seen.Icon, QMessageBox::Critical) << c.what;
        EXPECT_EQ(seen.Title, QApplication::applicationName()) << c.what;
        EXPECT_EQ(seen.Text, c.text) << c.what;
        EXPECT_EQ(seen.Buttons, 1) << c.what;
    }
    bool ran = false;
    CallGuarded([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(MessageBox, PlainBoxHasNoIconAndOneButton) {
    TSeenBox seen;
    CloseNextBox(seen);
    ShowMessage("Исправление базы данных завершено!");
    EXPECT_TRUE(seen.Seen);
    EXPECT_EQ(seen.Icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.Text, "Исправление базы данных завершено!");
    EXPECT_EQ(seen.Buttons, 1);
}

TEST(LogViewer, ShowsWindows1251TextWithPlainLineEnds) {
    // "Старт программы" in Windows-1251, CR LF, then a line without an end.
    const std::string bytes = "\xD1\xF2\xE0\xF0\xF2 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\r\nx\ry";
    EXPECT_EQ(LogBytesToText(bytes), "Старт программы\nx\ry");
}

TEST(LogViewer, LoadsTheFileOrSaysWhichOneItCouldNotOpen) {
    const std::string path = ::testing::TempDir() + "лог просмотр.log";
    {
        std::ofstream out(path, std::ios::binary);
        out << "\xD1\xF2\xE0\xF0\xF2\r\n\xC2\xFB\xF5\xEE\xE4\r\n"; // "Старт", "Выход"
    }
    TLogViewer viewer;
    viewer.LoadFile(path);
    EXPECT_EQ(viewer.toPlainText(), "Старт\nВыход\n");
    EXPECT_EQ(viewer.windowTitle(), "лог просмотр.log");
    std::remove(path.c_str());

    try {
        viewer.LoadFile(path);
        ADD_FAILURE() << "a missing file loaded";
    } catch (const platform::EOSError& error) {
        EXPECT_EQ(error.Code, 2u);
        EXPECT_NE(error.Message.find(path), std::string::npos) << error.Message;
    }
}
