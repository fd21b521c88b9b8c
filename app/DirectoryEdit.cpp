#include "app/DirectoryEdit.h"

#include "app/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

namespace {

// A small folder drawn here, so the button needs no theme icons.
QIcon FolderGlyph() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(0x80, 0x60, 0x00));
    painter.setBrush(QColor(0xF0, 0xC8, 0x40));
    painter.drawRect(1, 3, 6, 2);
    painter.drawRect(1, 5, 13, 8);
    return QIcon(pixmap);
}

} // namespace

TDirectoryEdit::TDirectoryEdit(QWidget* parent)
    : QWidget(parent), LineEdit(new QLineEdit(this)), BrowseButton(new QToolButton(this)) {
    BrowseButton->setIcon(FolderGlyph());
    BrowseButton->setFocusPolicy(Qt::NoFocus);
    BrowseButton->setCursor(Qt::ArrowCursor);
    setFocusProxy(LineEdit);
    QObject::connect(BrowseButton, &QToolButton::clicked, this,
                     [this] { CallGuarded([this] { Browse(); }); });
}

std::string TDirectoryEdit::Text() const {
    return LineEdit->text().toStdString();
}

void TDirectoryEdit::SetText(const std::string& text) {
    LineEdit->setText(QString::fromStdString(text));
}

void TDirectoryEdit::resizeEvent(QResizeEvent*) {
    const int side = height();
    LineEdit->setGeometry(0, 0, width() - side, side);
    BrowseButton->setGeometry(width() - side, 0, side, side);
}

void TDirectoryEdit::Browse() {
    QString start = LineEdit->text();
    if (start.isEmpty() || !QDir(start).exists())
        start = QDir::homePath();
    QString chosen = QFileDialog::getExistingDirectory(
        window(), "Выберите каталог базы данных товарного отдела", start);
    if (!chosen.isEmpty())
        LineEdit->setText(QDir::toNativeSeparators(chosen));
}
