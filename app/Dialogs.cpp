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
    // Centred on the screen, not on whichever window happens to be active.
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        box.move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, box.sizeHint(),
                                     screen->availableGeometry())
                     .topLeft());
    box.exec();
}

} // namespace

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
