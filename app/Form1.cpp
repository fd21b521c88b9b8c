#include "app/Form1.h"

#include "app/CorrectionRun.h"
#include "app/Dialogs.h"
#include "app/DirectoryEdit.h"
#include "app/MainFrm.h"
#include "platform/WinExec.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace {

// Tahoma where it is installed; otherwise the faces nearest to it in width
// and line height, so that the texts fit the controls laid out for it.
QFont FormFont(bool bold) {
    QFont font;
    font.setFamilies({"Tahoma", "DejaVu Sans Condensed", "Nimbus Sans", "DejaVu Sans"});
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

const char* const MemoLines[] = {
    "Данная программа прибавляет к партиям, у которых имеется ",
    "отрицательный остаток, дополнительное количество товара.",
    "После исправления базы данных необходимо ",
    "сделать пересчет остатков. После этого следует списать из базы ",
    "данных лишний товар, т.к. исправление базы приведет к недостаче ",
    "товара на складе. Информация об исправленных записях находится ",
    "в логе исправлений.",
};

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent), DirectoryEdit1(new TDirectoryEdit(this)), Label1(new QLabel(this)),
      Button1(new QPushButton(this)), Memo1(new QPlainTextEdit(this)),
      Button2(new QPushButton(this)) {
    setWindowTitle("Устранение отрицательных остатков");
    setFont(FormFont(false));
    setAutoFillBackground(true);
    {
        QPalette face = palette();
        face.setColor(QPalette::Window, face.color(QPalette::Button));
        face.setColor(QPalette::WindowText, face.color(QPalette::ButtonText));
        setPalette(face);
    }
    resize(415, 196);

    Label1->setGeometry(8, 9, 260, 13);
    Label1->setText("Выберите каталог базы данных товарного отдела");
    // A label sizes itself to its text: a substitute face may run wider.
    Label1->resize(std::max(260, Label1->sizeHint().width()), 13);

    DirectoryEdit1->setGeometry(11, 26, 382, 21);
    DirectoryEdit1->SetText("C:\\VORN\\DB\\TradeDB");

    Button1->setGeometry(19, 167, 180, 25);
    Button1->setText("Исправить базу данных");
    Button1->setFont(FormFont(true));
    // Enter presses the button that has the focus, as the user's other
    // desktop programs do; the form still has no default button.
    Button1->setAutoDefault(true);

    Memo1->setGeometry(8, 55, 387, 106);
    {
        QPalette info = Memo1->palette();
        info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
        info.setColor(QPalette::Text, info.color(QPalette::ToolTipText));
        Memo1->setPalette(info);
    }
    QStringList lines;
    for (const char* line : MemoLines)
        lines << QString::fromUtf8(line);
    Memo1->setPlainText(lines.join('\n'));
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WordWrap);
    Memo1->setTabChangesFocus(true);

    Button2->setGeometry(240, 167, 153, 25);
    Button2->setText("Показать лог исправлений");
    Button2->setAutoDefault(true);

    Label1->setFocusPolicy(Qt::NoFocus);
    setTabOrder(DirectoryEdit1->Edit(), Button1);
    setTabOrder(Button1, Memo1);
    setTabOrder(Memo1, Button2);

    QObject::connect(Button1, &QPushButton::clicked, this,
                     [this] { CallGuarded([this] { Button1Click(Button1); }); });
    QObject::connect(Button2, &QPushButton::clicked, this,
                     [this] { CallGuarded([this] { Button2Click(Button2); }); });

    MoveToScreenCentre(*this, size());
    DirectoryEdit1->Edit()->setFocus();
}

void OpenAppLog() {
    platform::WinExec(NotepadCommandLine(AppDir + AppLogName), platform::SW_SHOWNORMAL);
}

void TForm1::Button1Click(QObject*) {
    CorrectNegativeRemainders(DirectoryEdit1->Text(), *AppLog,
                              [] { ShowMessage("Исправление базы данных завершено!"); });
    OpenAppLog();
}

void TForm1::Button2Click(QObject*) {
    OpenAppLog();
}
