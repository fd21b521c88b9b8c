#include "app/Dialogs.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

namespace {

void ShowBox(QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, QString::fromStdString(ApplicationTitle()), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    MoveToScreenCentre(box, box.sizeHint());
    box.exec();
}

} // namespace

void MoveToScreenCentre(QWidget& window, const QSize& size) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, screen->availableGeometry())
                .topLeft());
}

std::string ApplicationTitle() {
    return QCoreApplication::applicationName().toStdString();
}

void ShowMessage(const std::string& text) {
    ShowBox(QMessageBox::NoIcon, text);
}

void ShowException(const std::exception& error) {
    ShowBox(QMessageBox::Critical, error.what());
}

void CallGuarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::runtime_error("Неизвестная ошибка"));
    }
}
